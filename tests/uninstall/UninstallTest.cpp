// The uninstall wizard on real windows, removing a product laid out and
// registered as an install leaves it: real folders, HKLM keys, shortcut
// files, and a launcher batch file that records its command lines.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "flow/InstallerConfig.h"
#include "resources/resource.h"
#include "support/CountingProgressBar.h"
#include "support/DirectoryLink.h"
#include "support/ProcessRunner.h"
#include "support/RecordingChannel.h"
#include "support/ScratchFolder.h"
#include "support/ScratchRegistry.h"
#include "support/TestPaths.h"
#include "support/TextLines.h"
#include "system/FileSystem.h"
#include "system/ShellLink.h"
#include "system/UniqueHandle.h"
#include "uninstall/UninstallWizard.h"
#include "flow/UninstallWorker.h"
#include "wizard/QMPropertyPage.h"
#include "wizard/WizardDriver.h"

using namespace wizard_driver;

namespace {

const char kAppFolder[] = "Quillmar Technologies INC\\QMTApp\\";
const char kCompleted[] = "Uninstall completed.";
const char kIncorrectSettings[] =
    "There was an error during installation: Incorrect directory settings, uninstall failed.";
const char kCancelQuestion[] =
    "Uninstall is not complete.  If you cancel now the application will not be removed.\r\n"
    "Are you sure you want to exit?";

std::string SpecialFolder(int id) {
    std::string path;
    GetSpecialFolderPath(id, path);
    return path;
}
std::string ProgramsFolder() { return SpecialFolder(CSIDL_COMMON_PROGRAMS) + "\\Quillmar Technologies INC"; }
std::string ProgramsLink() { return ProgramsFolder() + "\\VYN2005.lnk"; }
std::string DesktopLink() { return SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + "\\VYN2005.lnk"; }

// The user's click on Cancel, posted: the sheet answers with a modal
// question, and the test thread has to be free to answer it.
void PressCancel(HWND sheet) { PostMessageA(GetDlgItem(sheet, kCancelButton), BM_CLICK, 0, 0); }

HICON MessageBoxIcon(HWND box) {
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (HICON icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0))) return icon;
    }
    return nullptr;
}

// One run of the uninstall wizard in this process, with a configuration as
// start-up builds it.
class UninstallRun {
public:
    UninstallRun() : wizard_(config_, "Uninstall"), run_(wizard_), sheet(run_.WaitForSheet()) {}

    // Next on the first page; true once the complete page shows its text.
    bool uninstall() {
        Click(sheet, kNextButton);
        return WaitForPage(sheet, 2, 30000) &&
               WaitFor([&] { return !PageText(sheet, IDC_PAGE_TEXT).empty(); }, 10000);
    }
    const CQMPropertyPage& page(int index) const { return *wizard_.GetPage(index); }
    HWND pageControl(int index, int id) const { return GetDlgItem(page(index).window(), id); }
    bool finish() {
        Click(sheet, kFinishButton);
        return run_.WaitForEnd() && run_.result() == IDOK;
    }
    bool endsCancelled() { return run_.WaitForEnd() && run_.result() == IDCANCEL; }

private:
    InstallerConfig config_{"installer-id", "product-id", "VYN2005"};
    CUninstallWizard wizard_;
    WizardRun run_;

public:
    const HWND sheet;
};

class Uninstall : public testing::Test {
protected:
    void SetUp() override { removeShortcuts(); }
    void TearDown() override { removeShortcuts(); }

    // The product's folders and files, its registration and shortcuts, as an
    // install followed by "-register" leaves them.
    void installProduct(bool desktopIcon) {
        const std::string bin = home() + "bin\\";
        ASSERT_TRUE(CreateDirectoryPath(bin));
        ASSERT_TRUE(CreateDirectoryPath(home() + "conf"));
        ASSERT_TRUE(CreateDirectoryPath(home() + "lib"));
        WriteTextFile(bin + "VYN2005.exe", "program");
        WriteTextFile(bin + "QuillmarApp.bat", "@echo %*>> \"" + launcherLog() + "\"\r\n");
        WriteTextFile(home() + "conf\\VynApp.xml", "<app/>");
        WriteTextFile(home() + "lib\\vyn.jar", "jar");

        InstallerConfig installed("installer-id", "product-id", "VYN2005");
        installed.setInstallDir(installDir());
        ASSERT_TRUE(installed.writeRegistration());
        ASSERT_TRUE(installed.createProgramsShortcut(bin + "VYN2005.exe", "VYN2005", "Quillmar Technologies INC"));
        if (desktopIcon) {
            ASSERT_TRUE(installed.createDesktopShortcut(bin + "VYN2005.exe", "VYN2005"));
        }
        ASSERT_EQ(LocalMachineString(kFamilyKey, "Home"), home());
    }

    // Everything installProduct() made is still there, and the launcher was
    // not asked to unregister.
    void expectUntouched(bool desktopIcon) {
        EXPECT_EQ(LocalMachineString(kProductKeyPath, "Bin"), home() + "bin\\");
        EXPECT_TRUE(LocalMachineKeyExists(kUninstallEntry));
        EXPECT_TRUE(PathExists(ProgramsLink()));
        EXPECT_EQ(PathExists(DesktopLink()), desktopIcon);
        EXPECT_EQ(ReadTextFile(home() + "lib\\vyn.jar"), "jar");
        EXPECT_TRUE(PathExists(home() + "bin\\QuillmarApp.bat"));
        EXPECT_FALSE(PathExists(launcherLog()));
    }

    void expectUnregistered() {
        EXPECT_FALSE(LocalMachineKeyExists(kProductKeyPath));
        EXPECT_FALSE(LocalMachineKeyExists(kUninstallEntry));
        EXPECT_FALSE(PathExists(ProgramsLink()));
        EXPECT_FALSE(PathExists(ProgramsFolder()));
        EXPECT_FALSE(PathExists(DesktopLink()));
        ASSERT_TRUE(WaitForFile(launcherLog(), 20000));
        EXPECT_EQ(ReadTextFile(launcherLog()), "-unregister com.quillmar.app.vyn.VynApp\r\n");
    }

    std::string installDir() const { return scratch_.path() + "Apps\\"; }
    std::string home() const { return installDir() + kAppFolder; }
    // Outside the home folder, so it survives the folder's deletion.
    std::string launcherLog() const { return scratch_.path() + "launcher.log"; }

    ScratchRegistry registry_{kCompanyRoot, kUninstallEntry};
    ScratchFolder scratch_{"uninstall"};

private:
    static void removeShortcuts() {
        DeleteFileA(ProgramsLink().c_str());
        DeleteFileA(DesktopLink().c_str());
        RemoveDirectoryA(ProgramsFolder().c_str());
    }
};

TEST_F(Uninstall, RemovesTheRegisteredProductAndEndsOnFinishOnly) {
    installProduct(true);
    // Letter case does not matter to the home folder check.
    std::string upperHome = home();
    CharUpperBuffA(&upperHome[0], static_cast<DWORD>(upperHome.size()));
    SetLocalMachineString(kFamilyKey, "Home", upperHome);
    UninstallRun wizard;
    ASSERT_NE(wizard.sheet, nullptr);
    EXPECT_EQ(PageText(wizard.sheet, IDC_PAGE_TEXT), "This wizard will begin uninstalling VYN2005");
    EXPECT_FALSE(Visible(wizard.sheet, kBackButton) && Enabled(wizard.sheet, kBackButton));
    ASSERT_TRUE(wizard.uninstall());

    EXPECT_EQ(PageText(wizard.sheet, IDC_PAGE_TEXT), kCompleted);
    EXPECT_EQ(WaitForMessageBox(wizard.sheet, 1000), nullptr);
    EXPECT_EQ(wizard.page(2).title, "Uninstall application");
    EXPECT_EQ(wizard.page(2).subtitle, "Completed the uninstall process");
    EXPECT_TRUE(Visible(wizard.sheet, kFinishButton));
    EXPECT_FALSE(Visible(wizard.sheet, kCancelButton));
    EXPECT_FALSE(Visible(wizard.sheet, kBackButton));
    EXPECT_FALSE(Visible(wizard.sheet, kNextButton));

    // The progress page showed one full bar, captioned "Uninstalling".
    HWND bar = wizard.pageControl(1, IDC_STEP_BAR);
    EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 3);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 3);
    EXPECT_EQ(Text(wizard.pageControl(1, IDC_STEP_CAPTION)), "Uninstalling");
    EXPECT_FALSE(GetWindowLongA(wizard.pageControl(1, IDC_TOTAL_BAR), GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(GetWindowLongA(wizard.pageControl(1, IDC_TOTAL_CAPTION), GWL_STYLE) & WS_VISIBLE);

    EXPECT_FALSE(PathExists(home()));
    EXPECT_FALSE(LocalMachineKeyExists(kCompanyRoot));
    expectUnregistered();
    EXPECT_TRUE(wizard.finish());
}

TEST_F(Uninstall, AnotherProductOfTheFamilyKeepsTheHomeFolder) {
    installProduct(false);  // and no desktop icon to delete
    const std::string other = std::string(kFamilyKey) + "\\OTHER";
    SetLocalMachineString(other, "Home", home());
    UninstallRun wizard;
    ASSERT_NE(wizard.sheet, nullptr);
    ASSERT_TRUE(wizard.uninstall());

    EXPECT_EQ(PageText(wizard.sheet, IDC_PAGE_TEXT), kCompleted);
    EXPECT_EQ(WaitForMessageBox(wizard.sheet, 1000), nullptr);
    EXPECT_EQ(SendMessageA(wizard.pageControl(1, IDC_STEP_BAR), PBM_GETPOS, 0, 0), 3);
    EXPECT_EQ(LocalMachineString(other, "Home"), home());
    EXPECT_EQ(ReadTextFile(home() + "lib\\vyn.jar"), "jar");
    expectUnregistered();
    EXPECT_TRUE(wizard.finish());
}

TEST_F(Uninstall, AHomeThatIsNotTheProductsFolderChangesNothing) {
    installProduct(true);
    const std::string withoutBackslash = home().substr(0, home().size() - 1);
    const std::vector<std::string> wrongHomes = {
        "C:\\Program Files\\Other\\",
        "",
        withoutBackslash,
        // Contains the application folder, but names a folder far above it.
        home() + "..\\..\\",
    };
    for (const std::string& wrongHome : wrongHomes) {
        SCOPED_TRACE("Home: " + wrongHome);
        SetLocalMachineString(kFamilyKey, "Home", wrongHome);
        UninstallRun wizard;
        ASSERT_NE(wizard.sheet, nullptr);
        ASSERT_TRUE(wizard.uninstall());

        HWND box = WaitForMessageBox(wizard.sheet);
        ASSERT_NE(box, nullptr);
        const std::string shown = MessageBoxText(box);
        EXPECT_EQ(FirstLine(shown), kIncorrectSettings);
        EXPECT_EQ(Text(box), "Uninstaller");
        EXPECT_EQ(MessageBoxIcon(box), LoadIcon(nullptr, IDI_ERROR));
        AnswerMessageBox(box, IDOK);
        EXPECT_EQ(PageText(wizard.sheet, IDC_PAGE_TEXT), shown);
        EXPECT_EQ(wizard.page(2).title, "Uninstall failed");
        EXPECT_EQ(wizard.page(2).subtitle, "The uninstall had errors");
        EXPECT_EQ(SendMessageA(wizard.pageControl(1, IDC_STEP_BAR), PBM_GETPOS, 0, 0), 0);
        EXPECT_EQ(LocalMachineString(kFamilyKey, "Home"), wrongHome);
        expectUntouched(true);
        EXPECT_TRUE(wizard.finish());
    }
}

TEST_F(Uninstall, AShortcutThatCannotBeDeletedFailsTheUninstallAndKeepsTheProductRegistered) {
    installProduct(true);
    UniqueFileHandle open(CreateFileA(DesktopLink().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(open);
    UninstallRun wizard;
    ASSERT_NE(wizard.sheet, nullptr);
    ASSERT_TRUE(wizard.uninstall());

    const std::string failure = "There was an error during installation: Error during uninstall";
    HWND box = WaitForMessageBox(wizard.sheet);
    ASSERT_NE(box, nullptr);
    const std::string shown = MessageBoxText(box);
    EXPECT_EQ(FirstLine(shown), failure);
    EXPECT_EQ(Text(box), "Uninstaller");
    AnswerMessageBox(box, IDOK);
    EXPECT_EQ(PageText(wizard.sheet, IDC_PAGE_TEXT), shown);
    EXPECT_EQ(wizard.page(2).title, "Uninstall failed");
    EXPECT_EQ(SendMessageA(wizard.pageControl(1, IDC_STEP_BAR), PBM_GETPOS, 0, 0), 0);
    // The registration is written back, so the uninstall can be run again;
    // the shortcut removed before the failure stays removed, and the folder
    // is not touched.
    EXPECT_EQ(LocalMachineString(kProductKeyPath, "Bin"), home() + "bin\\");
    EXPECT_TRUE(LocalMachineKeyExists(kUninstallEntry));
    EXPECT_FALSE(PathExists(ProgramsLink()));
    EXPECT_TRUE(PathExists(DesktopLink()));
    EXPECT_EQ(ReadTextFile(home() + "lib\\vyn.jar"), "jar");
    EXPECT_TRUE(wizard.finish());
}

// The stricter rules of the home folder check, beyond the wizard runs above.
TEST(ProductHomeDirectory, OnlyTheApplicationFolderItselfMayBeDeleted) {
    const std::string app = kAppFolder;
    const std::string accepted[] = {
        "C:\\Program Files\\" + app,
        "c:\\program files\\quillmar technologies inc\\qmtapp\\",
        "\\\\server\\share\\" + app,
    };
    for (const std::string& home : accepted) EXPECT_TRUE(IsProductHomeDirectory(home, app)) << home;
    const std::string refused[] = {
        app,                                     // no folder in front
        "C:\\Program Files\\" + app + "bin\\",   // below the application folder
        "C:\\Windows\\..\\" + app,               // ends right, but through ".."
        "C:\\Windows/../" + app,
        "C:\\.\\" + app,
        "C:\\Windows\\...\\" + app,              // trailing dots are trimmed away
        "C:\\Windows\\. .\\" + app,
        "C:\\Program Files\\Not" + app,          // only the tail of a folder's name
        "C:" + app,                              // relative to the drive's current folder
        "Apps\\" + app,                          // relative to the current folder
    };
    for (const std::string& home : refused) EXPECT_FALSE(IsProductHomeDirectory(home, app)) << home;
}

// A folder held open, as the working folder of a console is, cannot be
// deleted; no file in it is in use, so the uninstall starts and fails.
TEST_F(Uninstall, AFolderInUseFailsTheUninstallKeepsTheProductRegisteredAndLinkedFoldersSurvive) {
    installProduct(false);
    const std::string held = home() + "lib\\held";
    ASSERT_TRUE(CreateDirectoryPath(held));
    UniqueFileHandle open(CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(open);
    const std::string outside = scratch_.path() + "outside";
    ASSERT_TRUE(CreateDirectoryPath(outside + "\\docs"));
    WriteTextFile(outside + "\\docs\\letter.txt", "user data");
    DirectoryLinkKind kind = MakeDirectoryLink(home() + "conf\\shared", outside);
    ASSERT_NE(kind, DirectoryLinkKind::None);

    UninstallRun wizard;
    ASSERT_NE(wizard.sheet, nullptr);
    ASSERT_TRUE(wizard.uninstall());
    // What could not be removed is named, not passed over as a success
    // (under Wine, the link may be named first: Wine cannot remove it).
    const std::string failure =
        "There was an error during installation: Error during uninstall\nCould not remove " + home();
    HWND box = WaitForMessageBox(wizard.sheet);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box).rfind(failure, 0), 0u) << MessageBoxText(box);
    AnswerMessageBox(box, IDOK);
    EXPECT_EQ(PageText(wizard.sheet, IDC_PAGE_TEXT).rfind(failure, 0), 0u);
    EXPECT_EQ(wizard.page(2).title, "Uninstall failed");

    EXPECT_EQ(ReadTextFile(outside + "\\docs\\letter.txt"), "user data");
    EXPECT_TRUE(PathExists(held));
    EXPECT_FALSE(PathExists(home() + "lib\\vyn.jar"));
    EXPECT_FALSE(PathExists(home() + "bin"));
    EXPECT_FALSE(PathExists(home() + "conf\\VynApp.xml"));
    // Wine can neither create nor remove junctions; its links stay.
    if (kind == DirectoryLinkKind::Junction) {
        EXPECT_FALSE(PathExists(home() + "conf"));
    }
    EXPECT_EQ(LocalMachineString(kProductKeyPath, "Bin"), home() + "bin\\");
    EXPECT_TRUE(LocalMachineKeyExists(kUninstallEntry));
    EXPECT_TRUE(wizard.finish());
}

// A file of the product held open is named before anything changes: Retry
// looks again, Cancel ends the wizard with everything in place, and Retry
// once the file is free goes on with the uninstall.
TEST_F(Uninstall, AFileInUseIsNamedAndRetryOrCancelDecides) {
    installProduct(false);
    const std::string held = home() + "conf\\VynApp.xml";
    UniqueFileHandle open(CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(open);
    // The question comes once the file has stayed held for a while.
    const auto answerInUseBox = [](HWND sheet, int button) {
        HWND box = WaitForMessageBox(sheet, 30000);
        if (!box) return std::string("(no message box)");
        const std::string text = MessageBoxText(box);
        EXPECT_EQ(Text(box), "Uninstaller");
        EXPECT_NE(GetDlgItem(box, IDRETRY), nullptr);
        AnswerMessageBox(box, button);
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(box); }));
        return text;
    };
    {
        UninstallRun wizard;
        ASSERT_NE(wizard.sheet, nullptr);
        Click(wizard.sheet, kNextButton);
        const std::string first = answerInUseBox(wizard.sheet, IDRETRY);
        EXPECT_NE(first.find(held), std::string::npos) << first;
        const std::string second = answerInUseBox(wizard.sheet, IDCANCEL);
        EXPECT_NE(second.find(held), std::string::npos) << second;
        EXPECT_TRUE(wizard.endsCancelled());
        expectUntouched(false);
    }
    UninstallRun wizard;
    ASSERT_NE(wizard.sheet, nullptr);
    Click(wizard.sheet, kNextButton);
    HWND box = WaitForMessageBox(wizard.sheet, 30000);
    ASSERT_NE(box, nullptr);
    open.reset();
    AnswerMessageBox(box, IDRETRY);
    ASSERT_TRUE(WaitForPage(wizard.sheet, 2, 30000));
    EXPECT_TRUE(WaitFor([&] { return PageText(wizard.sheet, IDC_PAGE_TEXT) == kCompleted; }, 10000));
    EXPECT_FALSE(PathExists(home()));
    expectUnregistered();
    EXPECT_TRUE(wizard.finish());
}

// Asks for a stop once the product is unregistered: the bar's first step.
class StopAfterUnregistering : public RecordingChannel {
public:
    using RecordingChannel::RecordingChannel;
    ProgressBar* stepBar() override { return &bar_; }

private:
    struct StoppingBar : CountingProgressBar {
        explicit StoppingBar(WorkerChannel& channel) : channel(channel) {}
        void stepIt() override {
            CountingProgressBar::stepIt();
            channel.requestStop();
        }
        WorkerChannel& channel;
    } bar_{*this};
};

TEST_F(Uninstall, AStoppedUninstallKeepsTheProductRegisteredWhileItsFolderStays) {
    installProduct(false);
    InstallerConfig config("installer-id", "product-id", "VYN2005");
    auto channel = std::make_shared<StopAfterUnregistering>(config);
    ASSERT_TRUE(RunWorkerToEnd(new UninstallWorker(channel)));
    ASSERT_NE(channel->outcome(), nullptr);
    EXPECT_TRUE(channel->outcome()->failed());
    EXPECT_EQ(ReadTextFile(home() + "lib\\vyn.jar"), "jar");
    EXPECT_EQ(LocalMachineString(kProductKeyPath, "Bin"), home() + "bin\\");
    EXPECT_EQ(LocalMachineString(kFamilyKey, "Home"), home());
    EXPECT_TRUE(LocalMachineKeyExists(kUninstallEntry));
}

// The built program, as the uninstall entry starts it.
TEST_F(Uninstall, CancelAsksFirstAndYesLeavesEverythingInPlace) {
    installProduct(true);
    UniqueKernelHandle process = StartProcess("\"" + InstallerPath() + "\" -uninstall");
    ASSERT_TRUE(process);
    HWND sheet = WaitForProcessSheet(process.get());
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(PageText(sheet, IDC_PAGE_TEXT), "This wizard will begin uninstalling VYN2005");

    PressCancel(sheet);
    HWND box = WaitForMessageBox(sheet);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), kCancelQuestion);
    EXPECT_EQ(Text(box), "Uninstaller");
    EXPECT_NE(GetDlgItem(box, IDNO), nullptr);
    AnswerMessageBox(box, IDNO);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(box); }));
    EXPECT_EQ(PageIndex(sheet), 0);
    EXPECT_EQ(WaitForSingleObject(process.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));

    PressCancel(sheet);
    box = WaitForMessageBox(sheet);
    ASSERT_NE(box, nullptr);
    AnswerMessageBox(box, IDYES);
    EXPECT_EQ(WaitForSingleObject(process.get(), 20000), static_cast<DWORD>(WAIT_OBJECT_0));
    if (WaitForSingleObject(process.get(), 0) != WAIT_OBJECT_0) TerminateProcess(process.get(), 1);
    EXPECT_EQ(LocalMachineString(kFamilyKey, "Home"), home());
    expectUntouched(true);
}

// The uninstall entry starts the installed copy in the bin folder: that file
// goes too, with every folder it leaves empty, once the program has ended.
TEST_F(Uninstall, TheInstalledUninstallerRemovesItselfAfterItEnds) {
    installProduct(false);
    const std::string program = home() + "bin\\VYN2005.exe";
    ASSERT_TRUE(CopyFileA(InstallerPath().c_str(), program.c_str(), FALSE));
    UniqueKernelHandle process = StartProcess("\"" + program + "\" -uninstall");
    ASSERT_TRUE(process);
    HWND sheet = WaitForProcessSheet(process.get());
    ASSERT_NE(sheet, nullptr);
    Click(sheet, kNextButton);
    ASSERT_TRUE(WaitFor([&] { return PageText(sheet, IDC_PAGE_TEXT) == kCompleted; }, 30000))
        << PageText(sheet, IDC_PAGE_TEXT);
    Click(sheet, kFinishButton);
    EXPECT_EQ(WaitForSingleObject(process.get(), 20000), static_cast<DWORD>(WAIT_OBJECT_0));

    const std::string company = installDir() + "Quillmar Technologies INC";
    EXPECT_TRUE(WaitFor([&] { return !PathExists(company); }, 15000)) << "still there: " << company;
    EXPECT_TRUE(PathExists(installDir()));  // not ours
    expectUnregistered();
}

}  // namespace
