// The built VYN2005.exe run as a user runs it the first time: its install
// wizard driven through its real windows from this process, against our
// update service serving the demo application, with the results looked for
// where a user would find them: files, registry, shortcuts, and the
// launcher's record of how it was started.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "flow/InstallTransaction.h"
#include "flow/InstallerConfig.h"
#include "resources/resource.h"
#include "service/ServiceQuery.h"
#include "service/UpdateServiceClient.h"
#include "support/DirectoryLink.h"
#include "support/ProcessRunner.h"
#include "support/ProxySettings.h"
#include "support/ScratchFolder.h"
#include "support/ScratchRegistry.h"
#include "support/TestPaths.h"
#include "support/TextLines.h"
#include "support/UpdateService.h"
#include "system/FileSystem.h"
#include "system/ResourceText.h"
#include "system/TextCase.h"
#include "system/UniqueHandle.h"
#include "system/Utf8.h"
#include "wizard/QMPropertySheet.h"
#include "wizard/WizardDriver.h"

using namespace wizard_driver;

namespace {

const char kInstallerGuid[] = "4c8e21:10a7f5d2e64:-7d85";
const char kAppFolderPath[] = "Quillmar Technologies INC\\QMTApp\\";

// Points TEMP and TMP, which the programs this test starts inherit, at
// `folder` while it lives.
class ScopedTempFolder {
public:
    explicit ScopedTempFolder(const std::string& folder) {
        for (const wchar_t* name : {L"TEMP", L"TMP"}) {
            wchar_t value[4096] = {};
            const DWORD length = GetEnvironmentVariableW(name, value, ARRAYSIZE(value));
            saved_.emplace_back(name, length > 0 && length < ARRAYSIZE(value) ? value : L"");
            SetEnvironmentVariableW(name, Widen(folder).c_str());
        }
    }
    ~ScopedTempFolder() {
        for (const auto& variable : saved_)
            SetEnvironmentVariableW(variable.first.c_str(), variable.second.empty() ? nullptr : variable.second.c_str());
    }
    ScopedTempFolder(const ScopedTempFolder&) = delete;
    ScopedTempFolder& operator=(const ScopedTempFolder&) = delete;

private:
    std::vector<std::pair<std::wstring, std::wstring>> saved_;
};

// Sets an environment variable, which the programs this test starts
// inherit, while it lives.
class ScopedVariable {
public:
    ScopedVariable(const wchar_t* name, const wchar_t* value) : name_(name) {
        SetEnvironmentVariableW(name, value);
    }
    ~ScopedVariable() { SetEnvironmentVariableW(name_, nullptr); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const wchar_t* name_;
};

// A process `parentId` started running `program` (a file name), opened for
// waiting, reading its times and ending it; none when there is none.
UniqueKernelHandle OpenChildProcess(DWORD parentId, const wchar_t* program) {
    UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (bool more = snapshot && Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ParentProcessID == parentId && lstrcmpiW(entry.szExeFile, program) == 0)
            return UniqueKernelHandle(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE,
                                                  FALSE, entry.th32ProcessID));
    }
    return UniqueKernelHandle();
}

ULONGLONG ProcessTime(HANDLE process, bool exitTime) {
    FILETIME created = {}, exited = {}, kernel = {}, user = {};
    GetProcessTimes(process, &created, &exited, &kernel, &user);
    const FILETIME& time = exitTime ? exited : created;
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

class InstallWizardRun : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(service_.started()) << service_.startError();
        ASSERT_TRUE(service_.copyPublishFolder(UnixToWindowsPath(EnvironmentText("VYN_E2E_PUBLISH"))));
        SetEnvironmentVariableA("VYN2005_SERVER", service_.baseUrl().c_str());
        removeLinks();
    }

    void TearDown() override {
        if (process_ && WaitForSingleObject(process_.get(), 0) != WAIT_OBJECT_0) {
            TerminateProcess(process_.get(), 1);
            WaitForSingleObject(process_.get(), 10000);
        }
        removeLinks();
        RemoveTreeForTest(programFiles() + "Java\\jre1.5.0_22");
        for (const std::string& folder : privateDownloadFolders()) RemoveTreeForTest(folder);
    }

    static void removeLinks() {
        DeleteFileA(ProgramsLinkPath().c_str());
        DeleteFileA(DesktopLinkPath().c_str());
        RemoveDirectoryA(ProgramsLinkPath().substr(0, ProgramsLinkPath().rfind('\\')).c_str());
    }

    // Runs the program with `arguments` to its end, looking at the window
    // list all the while; the exit code, or -1 when it did not end in time.
    // `windowSeen` tells whether any visible window of it ever appeared.
    long runWatchingWindows(const std::string& program, const std::string& arguments, bool& windowSeen) {
        process_ = StartProcess("\"" + program + "\" " + arguments);
        if (!process_) return -1;
        struct Search {
            DWORD processId;
            bool seen;
        } search{GetProcessId(process_.get()), false};
        const DWORD start = GetTickCount();
        while (WaitForSingleObject(process_.get(), 20) == WAIT_TIMEOUT) {
            if (GetTickCount() - start > 120000) return -1;
            EnumWindows(
                [](HWND window, LPARAM parameter) -> BOOL {
                    auto* search = reinterpret_cast<Search*>(parameter);
                    DWORD owner = 0;
                    GetWindowThreadProcessId(window, &owner);
                    if (owner == search->processId && IsWindowVisible(window)) search->seen = true;
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&search));
        }
        windowSeen = search.seen;
        DWORD code = 0;
        GetExitCodeProcess(process_.get(), &code);
        return static_cast<long>(code);
    }
    static std::string tempDir() {
        char path[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, path);
        return path;
    }
    // The Windows temp folder, where an elevated run makes its private folders.
    static std::string windowsTempDir() {
        char path[MAX_PATH] = {};
        GetSystemWindowsDirectoryA(path, MAX_PATH);
        return std::string(path) + "\\Temp\\";
    }
    // The folders the installer downloads programs into: vyn-*\ in either
    // temp folder.
    static std::vector<std::string> privateDownloadFolders() {
        std::vector<std::string> folders;
        for (const std::string& parent : {tempDir(), windowsTempDir()}) {
            WIN32_FIND_DATAA found = {};
            UniqueFindHandle find(FindFirstFileA((parent + "vyn-*").c_str(), &found));
            for (bool more = find.valid(); more; more = FindNextFileA(find.get(), &found) != FALSE)
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    folders.push_back(parent + found.cFileName + "\\");
        }
        return folders;
    }
    static std::string programFiles() {
        return LocalMachineString("Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir") + "\\";
    }
    // A runtime folder below the scratch folder whose bin\javaw.exe is the
    // stand-in runtime, which notes how it was started in <home>\javaw.log.
    std::string javaHome(const std::string& name) {
        const std::string home = scratch_.path() + name;
        MakeFolder(home);
        MakeFolder(home + "\\bin");
        CopyFileA((service_.publishDir() + "files\\JavaRuntimeSetup.exe").c_str(), (home + "\\bin\\javaw.exe").c_str(),
                  FALSE);
        return home;
    }
    void registerJava(const std::string& version) {
        SetLocalMachineString(kJavaRuntimeRoot, "CurrentVersion", version);
        SetLocalMachineString(std::string(kJavaRuntimeRoot) + "\\" + version, "JavaHome", javaHome("jre" + version));
    }

    // Starts the installer as a user would and waits for its wizard.
    HWND startInstaller(const std::string& program = InstallerPath(), const std::string& arguments = "") {
        process_ = StartProcess("\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments));
        return process_ ? WaitForProcessSheet(process_.get()) : nullptr;
    }
    bool installerEnds(DWORD timeoutMs = 20000) {
        return WaitForSingleObject(process_.get(), timeoutMs) == WAIT_OBJECT_0;
    }

    // Answers the message box the sheet shows next; returns its text.
    static std::string answerBox(HWND sheet, int button, std::string* caption = nullptr) {
        HWND box = WaitForMessageBox(sheet);
        if (!box) return "(no message box)";
        std::string text = MessageBoxText(box);
        if (caption) *caption = Text(box);
        AnswerMessageBox(box, button);
        WaitFor([&] { return !IsWindow(box); });
        return text;
    }
    // Agrees to the licence and moves on to the page the update check names.
    static void passLicence(HWND sheet) {
        // The page selects the refusal by a posted click of its own when it
        // opens; agreeing before that click lands would be undone by it.
        WaitFor([&] { return checked(sheet, IDC_DISAGREE); });
        SendMessageA(GetDlgItem(ActivePageOf(sheet), IDC_AGREE), BM_CLICK, 0, 0);
        PostClick(sheet, kNextButton);
    }
    static HWND ActivePageOf(HWND sheet) {
        return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    }
    static void setPageText(HWND sheet, int id, const std::string& text) {
        const std::wstring wide = Widen(text);
        SendMessageW(GetDlgItem(ActivePageOf(sheet), id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    }
    static bool checked(HWND sheet, int id) {
        return SendMessageA(GetDlgItem(ActivePageOf(sheet), id), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    // From the licence through the location page, installing into `parent`;
    // true once the complete page shows.
    static bool installInto(HWND sheet, const std::string& parent) {
        passLicence(sheet);
        if (!WaitForPage(sheet, 3, 30000)) return false;
        setPageText(sheet, IDC_INSTALL_DIR, parent);
        Click(sheet, kNextButton);
        return WaitForPage(sheet, 5, 60000);
    }
    // Replaces `from` in the application's published record with `to`. The
    // service notices a change by the file's size and time: within the same
    // second only a `to` of another length is seen at once.
    void editApplicationRecord(const std::string& from, const std::string& to) {
        const std::string path = service_.publishDir() + "software\\application.txt";
        std::string text = ReadTextFile(path);
        ASSERT_NE(text.find(from), std::string::npos);
        text.replace(text.find(from), from.size(), to);
        WriteTextFile(path, text);
    }
    // The application's Java dependency asks for `version` ("1.60000").
    void requireJava(const std::string& version) { editApplicationRecord("| 1.50000 | 0", "| " + version + " | 0"); }
    // The service offers the application at `version` ("2.5"): an install
    // over the copy in place is an upgrade.
    void publishApplicationVersion(const std::string& version) {
        editApplicationRecord("| 2.00000 |", "| " + version + " |");
    }
    // The service offers installer 2.0: the file `fileName` (by default a
    // batch file with `bytes` as its text).
    void publishNewerInstaller(const std::string& bytes, const std::string& fileName = "NewInstaller.bat") {
        DeleteFileA((service_.publishDir() + "software\\installer.txt").c_str());
        service_.publish(ServiceSoftware(kInstallerGuid, 1001, "VYN2005 Installer", {"1.01000", "2.00000"})
                             .file(5, fileName, "2.00000"));
        service_.putFile(fileName, bytes);
    }
    // On the complete page once the install script has registered the
    // product: Finish with neither the launch nor the desktop icon.
    bool finishWithoutLaunchOrIcon(HWND sheet) {
        if (!WaitFor([] { return LocalMachineKeyExists(kUninstallEntry); }, 30000)) return false;
        SendMessageA(GetDlgItem(ActivePageOf(sheet), IDC_LAUNCH_CHECK), BM_CLICK, 0, 0);
        SendMessageA(GetDlgItem(ActivePageOf(sheet), IDC_DESKTOP_CHECK), BM_CLICK, 0, 0);
        Click(sheet, kFinishButton);
        return installerEnds();
    }
    static bool shown(HWND sheet, int id) { return IsWindowVisible(GetDlgItem(ActivePageOf(sheet), id)) != FALSE; }

    // Goes through the wizard to the complete page, installing into a folder
    // of the scratch folder, which it returns (the application's home).
    std::string installUpToTheCompletePage(HWND sheet) {
        EXPECT_TRUE(installInto(sheet, scratch_.path() + "Apps"));
        return AsciiUpperCase(scratch_.path() + "Apps\\" + kAppFolderPath);
    }

    UpdateService service_;
    ScratchRegistry registry_{kCompanyRoot, kUninstallEntry, kJavaRuntimeRoot, "Software\\JavaSoft\\JRE",
                              "Software\\JavaSoft\\JDK", "Software\\Eclipse Adoptium"};
    ScratchFolder scratch_{"e2e"};
    UniqueKernelHandle process_;
};

TEST_F(InstallWizardRun, FirstInstallFromLicenceToFinish) {
    registerJava("1.6");
    HWND sheet = startInstaller();
    ASSERT_TRUE(sheet);

    // The licence must be agreed to; the page starts on the refusal.
    EXPECT_TRUE(WaitFor([&] { return checked(sheet, IDC_DISAGREE); }));
    EXPECT_FALSE(checked(sheet, IDC_AGREE));
    PostClick(sheet, kNextButton);
    EXPECT_EQ(answerBox(sheet, IDOK), LoadResourceText(IDS_MUST_AGREE));
    EXPECT_EQ(PageIndex(sheet), 0);

    passLicence(sheet);
    ASSERT_TRUE(WaitForPage(sheet, 3, 30000)) << "Java is present, so the Java page is skipped";
    EXPECT_EQ(PageText(sheet, IDC_INSTALL_LABEL), "Install VYN2005 to:");
    // A folder that already ends in the application's folder, in other
    // capitals, is not doubled.
    std::string parent = scratch_.path() + "Apps\\";
    setPageText(sheet, IDC_INSTALL_DIR, parent + "quillmar technologies inc\\QMTAPP");
    Click(sheet, kNextButton);
    ASSERT_TRUE(WaitForPage(sheet, 5, 60000));
    EXPECT_TRUE(shown(sheet, IDC_LAUNCH_CHECK) && checked(sheet, IDC_LAUNCH_CHECK));
    EXPECT_TRUE(shown(sheet, IDC_DESKTOP_CHECK) && checked(sheet, IDC_DESKTOP_CHECK));
    EXPECT_EQ(PageText(sheet, IDC_PAGE_TEXT), "");
    EXPECT_FALSE(Visible(sheet, kCancelButton));
    EXPECT_FALSE(Visible(sheet, kBackButton));
    // The install script's "-register" run has finished once the uninstall
    // entry exists; only then does Finish's desktop icon have its target.
    ASSERT_TRUE(WaitFor([] { return LocalMachineKeyExists(kUninstallEntry); }, 30000));
    Click(sheet, kFinishButton);
    ASSERT_TRUE(installerEnds());

    std::string home = AsciiUpperCase(parent) + kAppFolderPath;
    EXPECT_EQ(AsciiUpperCase(LocalMachineString(kProductKeyPath, "Home")), AsciiUpperCase(home));
    EXPECT_EQ(AsciiUpperCase(LocalMachineString(kFamilyKey, "Home")), AsciiUpperCase(home));
    EXPECT_EQ(AsciiUpperCase(LocalMachineString(kProductKeyPath, "Bin")), AsciiUpperCase(home + "bin\\"));
    EXPECT_EQ(AsciiUpperCase(LocalMachineString(kUninstallEntry, "UninstallString")),
              AsciiUpperCase("\"" + home + "bin\\VYN2005.exe\" -uninstall"));
    for (const char* file : {"bin\\VYN2005.exe", "bin\\QuillmarApp.bat", "conf\\VynApp.xml", "lib\\qmtapp.jar"})
        EXPECT_TRUE(PathExists(home + file)) << file;
    EXPECT_FALSE(PathExists(home + "updates\\vyn-app.zip")) << "the script deletes the download";
    EXPECT_TRUE(PathExists(ProgramsLinkPath()));
    EXPECT_TRUE(PathExists(DesktopLinkPath()));

    // Launched from the bin folder after Finish, registered by the script.
    std::string log;
    EXPECT_TRUE(WaitFor(
        [&] { return (log = ReadTextFile(home + "launcher.log")).find("-a com.quillmar.app.vyn.VynApp") !=
                     std::string::npos; },
        20000))
        << log;
    EXPECT_NE(log.find("-register"), std::string::npos) << log;
    EXPECT_NE(ReadTextFile(home + "bin\\QuillmarApp.bat").find("qmtapp.jar"), std::string::npos);
}

TEST_F(InstallWizardRun, CancelIsAskedTheFolderCanBeChangedAndAnEmptyOneIsRefused) {
    registerJava("1.6");
    HWND sheet = startInstaller();
    ASSERT_TRUE(sheet);
    std::string caption;
    PostClick(sheet, kCancelButton);
    EXPECT_EQ(answerBox(sheet, IDNO, &caption), LoadResourceText(IDS_CONFIRM_CANCEL_INSTALL));
    EXPECT_EQ(caption, "Installer");
    EXPECT_EQ(PageIndex(sheet), 0);

    passLicence(sheet);
    ASSERT_TRUE(WaitForPage(sheet, 3, 30000));
    // "Change" opens the folder browser on the shown folder; OK brings the
    // chosen folder back to the page.
    std::string chosen = scratch_.path() + "Chosen";
    ASSERT_TRUE(CreateDirectoryA(chosen.c_str(), nullptr));
    setPageText(sheet, IDC_INSTALL_DIR, chosen);
    PostClick(ActivePageOf(sheet), IDC_PAGE_BUTTON);
    HWND browser = WaitForMessageBox(sheet);
    ASSERT_TRUE(browser);
    EXPECT_EQ(Text(browser), "Browse for folder");
    EXPECT_TRUE(WaitFor([&] { return EqualsIgnoringCase(Text(GetDlgItem(browser, IDC_PATH_EDIT)), chosen); }));
    AnswerMessageBox(browser, IDOK);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(browser); }));
    EXPECT_EQ(AsciiUpperCase(PageText(sheet, IDC_INSTALL_DIR)), AsciiUpperCase(chosen));

    setPageText(sheet, IDC_INSTALL_DIR, "");
    PostClick(sheet, kNextButton);
    EXPECT_EQ(answerBox(sheet, IDOK, &caption), "Please specify a directory in the space provided.");
    EXPECT_EQ(caption, "VYN2005");
    EXPECT_EQ(PageIndex(sheet), 3);

    PostClick(sheet, kCancelButton);
    answerBox(sheet, IDYES);
    ASSERT_TRUE(installerEnds());
    EXPECT_FALSE(LocalMachineKeyExists(kProductKeyPath));
    EXPECT_FALSE(PathExists(DesktopLinkPath()));
}

TEST_F(InstallWizardRun, MissingJavaIsInstalledFromTheJavaPage) {
    HWND sheet = startInstaller();
    ASSERT_TRUE(sheet);
    passLicence(sheet);
    ASSERT_TRUE(WaitForPage(sheet, 2, 30000));
    EXPECT_EQ(PageText(sheet, IDC_PAGE_TEXT), LoadResourceText(IDS_JAVA_REQUIRED));
    // The page sets the sheet's buttons as it becomes active: a moment after
    // the sheet names it current.
    EXPECT_TRUE(WaitFor([&] { return !(Enabled(sheet, kBackButton) && Visible(sheet, kBackButton)); }));

    PostClick(sheet, kNextButton);
    EXPECT_EQ(answerBox(sheet, IDOK), LoadResourceText(IDS_JAVA_NOT_FOUND));
    EXPECT_EQ(PageIndex(sheet), 2);

    // "Install Java" runs the runtime installer the update check downloaded.
    SendMessageA(GetDlgItem(ActivePageOf(sheet), IDC_PAGE_BUTTON), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([] { return LocalMachineString(kJavaRuntimeRoot, "CurrentVersion") == "1.5"; }, 30000));
    Click(sheet, kNextButton);
    EXPECT_TRUE(WaitForPage(sheet, 3));
    PostClick(sheet, kCancelButton);
    answerBox(sheet, IDYES);
    EXPECT_TRUE(installerEnds());
}

TEST_F(InstallWizardRun, ANewerInstallerReplacesThisOne) {
    registerJava("1.6");
    publishNewerInstaller("@echo %*> \"%~dp0new-installer.log\"\r\n");
    HWND sheet = startInstaller();
    ASSERT_TRUE(sheet);
    passLicence(sheet);

    ASSERT_TRUE(WaitForPage(sheet, 5, 30000));
    EXPECT_FALSE(shown(sheet, IDC_LAUNCH_CHECK));
    EXPECT_FALSE(shown(sheet, IDC_DESKTOP_CHECK));
    EXPECT_EQ(answerBox(sheet, IDOK), LoadResourceText(IDS_NEWER_INSTALLER_DOWNLOADED));
    // The wizard closes by itself, without the cancel question.
    EXPECT_TRUE(installerEnds());
    // Started from a folder of its own, where the batch file writes its log.
    EXPECT_TRUE(WaitFor(
        [] {
            for (const std::string& folder : privateDownloadFolders())
                if (PathExists(folder + "new-installer.log")) return true;
            return false;
        },
        20000))
        << "the new installer was started";
    EXPECT_FALSE(PathExists(DesktopLinkPath()));
    EXPECT_FALSE(LocalMachineKeyExists(kProductKeyPath));
}

// The logs runs without -log leave in the temporary folder, oldest first.
std::vector<std::string> RunLogsInTemp() {
    std::string temp;
    GetTempDirectory(temp);
    std::vector<std::string> logs;
    WIN32_FIND_DATAW entry;
    UniqueFindHandle listing(FindFirstFileW(Widen(temp + "VYN2005-*-*-*.log").c_str(), &entry));
    if (listing) {
        do logs.push_back(temp + Narrow(entry.cFileName));
        while (FindNextFileW(listing.get(), &entry));
    }
    std::sort(logs.begin(), logs.end());
    return logs;
}

TEST_F(InstallWizardRun, AFailingServiceEndsOnInstallFailed) {
    registerJava("1.6");
    service_.misbehave("/servlet/SoftwareUpdateServlet?task=updates", "status 500");
    HWND sheet = startInstaller();
    ASSERT_TRUE(sheet);
    passLicence(sheet);

    ASSERT_TRUE(WaitForPage(sheet, 5, 30000));
    std::string caption;
    std::string message = answerBox(sheet, IDOK, &caption);
    EXPECT_EQ(message.rfind("There was an error during installation: ", 0), 0u) << message;
    EXPECT_GT(message.size(), std::string("There was an error during installation: ").size());
    // The run's own log, in the temporary folder, is named on the last line.
    const std::vector<std::string> logs = RunLogsInTemp();
    ASSERT_FALSE(logs.empty());
    EXPECT_NE(message.find("\nThe log of this run: " + logs.back()), std::string::npos) << message;
    EXPECT_EQ(caption, "Installer");
    EXPECT_EQ(PageText(sheet, IDC_PAGE_TEXT), message);
    EXPECT_FALSE(shown(sheet, IDC_LAUNCH_CHECK));
    EXPECT_FALSE(shown(sheet, IDC_DESKTOP_CHECK));
    Click(sheet, kFinishButton);
    ASSERT_TRUE(installerEnds());
    EXPECT_FALSE(PathExists(DesktopLinkPath()));
    EXPECT_FALSE(LocalMachineKeyExists(kProductKeyPath));
}

// The port a server of tests/e2e/nginx-fixture.sh listens on: "port" for
// the trusted one, "untrusted-port" for the one with a stranger's certificate.
std::string NginxPort(const char* which) {
    std::string port = ReadTextFile(UnixToWindowsPath(EnvironmentText("VYN_E2E_NGINX")) + "\\" + which);
    while (!port.empty() && (port.back() == '\n' || port.back() == '\r')) port.pop_back();
    return port;
}

// The vendor's way: the demo's publish folder exported as a static tree and
// served by real nginx over TLS, its certificate from a test authority the
// machine trusts.
TEST_F(InstallWizardRun, InstallsOverHttpsFromAStaticTreeBehindNginx) {
    const std::string port = NginxPort("port");
    ASSERT_FALSE(port.empty()) << "the nginx fixture did not start";
    SetEnvironmentVariableA("VYN2005_SERVER", ("https://localhost:" + port).c_str());
    registerJava("1.6");
    HWND sheet = startInstaller();
    ASSERT_TRUE(sheet);
    std::string home = installUpToTheCompletePage(sheet);
    EXPECT_EQ(PageText(sheet, IDC_PAGE_TEXT), "");
    ASSERT_TRUE(finishWithoutLaunchOrIcon(sheet));
    EXPECT_TRUE(PathExists(home + "lib\\qmtapp.jar"));
    EXPECT_EQ(AsciiUpperCase(LocalMachineString(kProductKeyPath, "Home")), home);
    EXPECT_TRUE(service_.requests().empty()) << "nothing came from the plain HTTP service";
}

TEST_F(InstallWizardRun, ACertificateNobodyTrustsIsRefusedNamingTheHost) {
    UpdateServiceClient client;
    const std::string query = "/servlet/SoftwareUpdateServlet?task=install&file=7";
    EXPECT_FALSE(client.openRequest("https://localhost:" + NginxPort("untrusted-port") + query, "", "", ""));
    EXPECT_EQ(client.lastError().rfind("The secure connection to localhost failed because its certificate is not "
                                       "valid: ",
                                       0),
              0u)
        << client.lastError();
    // The same request to the trusted server is answered.
    std::unique_ptr<HttpRequest> request =
        client.openRequest("https://localhost:" + NginxPort("port") + query, "", "", "");
    ASSERT_TRUE(request) << client.lastError();
    EXPECT_EQ(request->statusCode(), 200);
}

// The fixture's server redirects one address to plain http and another
// within https: only the second is followed.
TEST_F(InstallWizardRun, AnHttpsRequestFollowsRedirectsOnlyWithinHttps) {
    UpdateServiceClient client;
    const std::string server = "https://localhost:" + NginxPort("port");
    EXPECT_FALSE(client.openRequest(server + "/moved/to-http", "", "", ""));
    EXPECT_EQ(client.lastError(),
              "The update service at localhost redirected to an address that is not https; the download was refused.");
    std::unique_ptr<HttpRequest> request = client.openRequest(server + "/moved/within-https", "", "", "");
    ASSERT_TRUE(request) << client.lastError();
    EXPECT_EQ(request->statusCode(), 200);
}

// A value tests/e2e/squid-fixture.sh wrote: "open-port", "auth-port", or
// "folder" (the Linux folder of the proxies' access logs).
std::string SquidValue(const char* which) {
    std::string value = ReadTextFile(UnixToWindowsPath(EnvironmentText("VYN_E2E_SQUID")) + "\\" + which);
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
    return value;
}
std::string SquidAccessLog(const char* proxy) {
    return ReadTextFile(UnixToWindowsPath(SquidValue("folder") + "/" + proxy + "-access.log"));
}

// A network where only the system's proxy reaches the service: its name
// resolves nowhere but inside the proxy.
class ProxyOnlyNetwork : public InstallWizardRun {
protected:
    void SetUp() override {
        InstallWizardRun::SetUp();
        const std::string address = "http://updates.proxy-only.test:" + std::to_string(service_.port());
        SetEnvironmentVariableA("VYN2005_SERVER", address.c_str());
        registerJava("1.6");
    }
    long installSilently(const std::string& log) {
        bool windowSeen = true;
        return runWatchingWindows(
            InstallerPath(), "-install -silent -dir \"" + scratch_.path() + "Apps\" -log \"" + log + "\"", windowSeen);
    }
};

TEST_F(ProxyOnlyNetwork, SilentInstallGoesThroughTheSystemProxy) {
    const std::string port = SquidValue("open-port");
    ASSERT_FALSE(port.empty()) << "the squid fixture did not start";
    const std::string log = scratch_.path() + "proxy.log";
    {
        ScopedProxySettings proxy("127.0.0.1:" + port);
        ASSERT_EQ(installSilently(log), 0) << ReadTextFile(log);
    }
    EXPECT_TRUE(PathExists(scratch_.path() + "Apps\\" + kAppFolderPath + "lib\\qmtapp.jar"));
    const std::string origin = "http://updates.proxy-only.test:" + std::to_string(service_.port());
    EXPECT_TRUE(WaitFor([&] { return SquidAccessLog("open").find(origin + "/files/vyn-app.zip") != std::string::npos; },
                        10000))
        << SquidAccessLog("open");
    EXPECT_NE(SquidAccessLog("open").find(origin + "/servlet/SoftwareUpdateServlet"), std::string::npos);
}

TEST_F(ProxyOnlyNetwork, ProxyAskingForCredentialsFailsASilentInstallNamingIt) {
    const std::string port = SquidValue("auth-port");
    ASSERT_FALSE(port.empty()) << "the squid fixture did not start";
    const std::string log = scratch_.path() + "proxy.log";
    {
        ScopedProxySettings proxy("127.0.0.1:" + port);
        EXPECT_EQ(installSilently(log), 1) << ReadTextFile(log);
    }
    const std::string written = ReadTextFile(log);
    EXPECT_NE(written.find("The proxy server 127.0.0.1:" + port + " asked for a user name and password"),
              std::string::npos)
        << written;
    EXPECT_TRUE(service_.requests().empty()) << "nothing got past the proxy";
    EXPECT_FALSE(LocalMachineKeyExists(kProductKeyPath));
    EXPECT_NE(SquidAccessLog("auth").find("TCP_DENIED/407"), std::string::npos) << SquidAccessLog("auth");
}

// The system's dialog asks once; the run keeps what was entered for its
// later requests, so no second dialog stops the install.
TEST_F(ProxyOnlyNetwork, TheWizardAsksForTheProxyCredentialsOnceAndInstalls) {
    const std::string port = SquidValue("auth-port");
    ASSERT_FALSE(port.empty()) << "the squid fixture did not start";
    ScopedProxySettings proxy("127.0.0.1:" + port);
    HWND sheet = startInstaller();
    ASSERT_TRUE(sheet);
    passLicence(sheet);
    HWND dialog = WaitForMessageBox(sheet, 30000);
    ASSERT_TRUE(dialog) << "no credentials dialog";
    std::vector<HWND> edits;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char className[16] = {};
        GetClassNameA(child, className, sizeof className);
        if (lstrcmpiA(className, "Edit") == 0) edits.push_back(child);
    }
    ASSERT_EQ(edits.size(), 2u) << "a user name and a password";
    SendMessageA(edits[0], WM_SETTEXT, 0, reinterpret_cast<LPARAM>("vyn"));
    SendMessageA(edits[1], WM_SETTEXT, 0, reinterpret_cast<LPARAM>("secret"));
    AnswerMessageBox(dialog, IDOK);
    ASSERT_TRUE(WaitForPage(sheet, 3, 30000));
    setPageText(sheet, IDC_INSTALL_DIR, scratch_.path() + "Apps");
    Click(sheet, kNextButton);
    ASSERT_TRUE(WaitForPage(sheet, 5, 60000)) << "a second dialog: " << (FindOwnedDialog(sheet) != nullptr);
    ASSERT_TRUE(finishWithoutLaunchOrIcon(sheet));
    EXPECT_TRUE(PathExists(scratch_.path() + "Apps\\" + kAppFolderPath + "lib\\qmtapp.jar"));
    EXPECT_TRUE(
        WaitFor([] { return SquidAccessLog("auth").find("/files/vyn-app.zip vyn HIER") != std::string::npos; }, 10000))
        << SquidAccessLog("auth");
}

TEST_F(InstallWizardRun, AnArchiveReplacedAfterItWasListedIsNeitherUnpackedNorRegistered) {
    registerJava("1.6");
    HWND sheet = startInstaller();
    ASSERT_TRUE(sheet);
    passLicence(sheet);
    // Listed with the digest of the real archive; other bytes go out under
    // its name from now on.
    ASSERT_TRUE(WaitForPage(sheet, 3, 30000));
    service_.putFile("vyn-app.zip", "PK not the archive that was published");
    setPageText(sheet, IDC_INSTALL_DIR, scratch_.path() + "Apps");
    Click(sheet, kNextButton);
    ASSERT_TRUE(WaitForPage(sheet, 5, 60000));
    EXPECT_EQ(FirstLine(answerBox(sheet, IDOK)),
              "There was an error during installation: " + DigestMismatchText("vyn-app.zip"));
    Click(sheet, kFinishButton);
    ASSERT_TRUE(installerEnds());
    const std::string home = scratch_.path() + "Apps\\" + kAppFolderPath;
    EXPECT_FALSE(PathExists(home + "updates\\vyn-app.zip"));
    EXPECT_FALSE(PathExists(home + "bin\\VYN2005.exe")) << "nothing unpacked";
    EXPECT_FALSE(LocalMachineKeyExists(kProductKeyPath)) << "nothing registered";
    EXPECT_FALSE(PathExists(home + "launcher.log")) << "nothing run";
}

}  // namespace

namespace {

// The deployment switches: the same steps as the wizards, with no window,
// an exit code and a log.
TEST_F(InstallWizardRun, SilentInstallAndUninstallShowNoWindow) {
    registerJava("1.6");
    const std::string log = scratch_.path() + "deploy.log";
    bool windowSeen = true;
    ASSERT_EQ(runWatchingWindows(InstallerPath(), "-Install -SILENT -dir \"" + scratch_.path() + "Apps\" -log \"" +
                                                      log + "\"",
                                 windowSeen),
              0)
        << ReadTextFile(log);
    EXPECT_FALSE(windowSeen);
    const std::string home = AsciiUpperCase(scratch_.path() + "Apps\\") + kAppFolderPath;
    // The install ends after the install script's "-register" run.
    ASSERT_TRUE(LocalMachineKeyExists(kUninstallEntry));
    EXPECT_EQ(AsciiUpperCase(LocalMachineString(kProductKeyPath, "Home")), AsciiUpperCase(home));
    EXPECT_TRUE(PathExists(home + "lib\\qmtapp.jar"));
    EXPECT_TRUE(WaitFor([] { return PathExists(ProgramsLinkPath()); }, 30000));
    EXPECT_FALSE(PathExists(DesktopLinkPath())) << "no desktop icon in a silent install";
    std::string written = ReadTextFile(log);
    for (const char* line : {"Silent install into", "Downloaded ", "vyn-app.zip", "Running the install script",
                             "Install complete", "Ended with exit code 0"})
        EXPECT_NE(written.find(line), std::string::npos) << line << "\n" << written;
    EXPECT_EQ(written.find("-a com.quillmar"), std::string::npos) << "nothing is launched";

    windowSeen = true;
    const std::string uninstallLog = scratch_.path() + "uninstall.log";
    EXPECT_EQ(runWatchingWindows(home + "bin\\VYN2005.exe", "-uninstall -silent -log \"" + uninstallLog + "\"",
                                 windowSeen),
              0)
        << ReadTextFile(uninstallLog);
    EXPECT_FALSE(windowSeen);
    EXPECT_FALSE(LocalMachineKeyExists(kProductKeyPath));
    EXPECT_FALSE(LocalMachineKeyExists(kUninstallEntry));
    EXPECT_FALSE(PathExists(ProgramsLinkPath()));
    EXPECT_TRUE(WaitFor([&] { return !PathExists(home); }, 30000)) << "the home folder goes";
    EXPECT_NE(ReadTextFile(uninstallLog).find("Uninstall complete"), std::string::npos) << ReadTextFile(uninstallLog);
}

// Runtimes since Java 9 register below JavaSoft\JRE and JDK, or only below
// their maker's key; the launcher gets the highest one's folder.
TEST_F(InstallWizardRun, CurrentJavaRuntimesAreFoundWhereverTheyRegister) {
    requireJava("11.00000");
    registerJava("1.8");  // too old for the application
    SetLocalMachineString("Software\\JavaSoft\\JRE\\17", "JavaHome", javaHome("jre17"));
    SetLocalMachineString("Software\\JavaSoft\\JDK\\17.0.2", "JavaHome", javaHome("jdk17"));
    const std::string log = scratch_.path() + "deploy.log";
    const std::string install = "-install -silent -dir \"" + scratch_.path() + "Apps\" -log \"" + log + "\"";
    bool windowSeen = false;
    ASSERT_EQ(runWatchingWindows(InstallerPath(), install, windowSeen), 0) << ReadTextFile(log);
    const std::string launcher = AsciiUpperCase(scratch_.path() + "Apps\\") + kAppFolderPath + "bin\\QuillmarApp.bat";
    auto javaPathLine = [](const std::string& home) {
        char shortPath[MAX_PATH] = {};
        GetShortPathNameA(home.c_str(), shortPath, MAX_PATH);
        return "set JAVA_PATH=\"" + std::string(shortPath) + "\"";
    };
    EXPECT_NE(ReadTextFile(launcher).find(javaPathLine(scratch_.path() + "jdk17")), std::string::npos)
        << ReadTextFile(launcher);

    DeleteLocalMachineTree("Software\\JavaSoft");
    SetLocalMachineString("Software\\Eclipse Adoptium\\JRE\\21.0.1.12\\hotspot\\MSI", "Path", javaHome("temurin21"));
    publishApplicationVersion("2.5");
    ASSERT_EQ(runWatchingWindows(InstallerPath(), install, windowSeen), 0) << ReadTextFile(log);
    EXPECT_NE(ReadTextFile(launcher).find(javaPathLine(scratch_.path() + "temurin21")), std::string::npos)
        << ReadTextFile(launcher);
}

// An upgrade is all or nothing. One whose script fails part-way, after it
// replaced files and registered the product again, and one whose process
// was killed with its journal open, both leave the earlier version's files,
// launcher and registration as they were.
TEST_F(InstallWizardRun, AFailedOrKilledUpgradeLeavesTheEarlierVersionAsItWas) {
    registerJava("1.6");
    const std::string log = scratch_.path() + "deploy.log", parent = scratch_.path() + "Apps";
    const std::string home = parent + "\\" + kAppFolderPath;
    const std::string rollback = parent + "\\Quillmar Technologies INC\\VYN2005 rollback";
    bool windowSeen = true;
    const auto install = [&] {
        return runWatchingWindows(InstallerPath(), "-install -silent -dir \"" + parent + "\" -log \"" + log + "\"",
                                  windowSeen);
    };
    const auto snapshot = [&] {
        return ReadTextFile(home + "lib\\qmtapp.jar") + ReadTextFile(home + "bin\\QuillmarApp.bat") +
               AsciiUpperCase(LocalMachineString(kProductKeyPath, "Home") +
                              LocalMachineString(kUninstallEntry, "UninstallString"));
    };
    ASSERT_EQ(install(), 0) << ReadTextFile(log);
    const std::string before = snapshot();
    ASSERT_NE(before.find("qmtapp.jar"), std::string::npos);
    publishApplicationVersion("2.5");

    service_.setInstallScript(7, "<install><task><unzip /><fileName>{$DIR_UPDATES}vyn-app.zip</fileName>"
                                 "<dest>{$DIR_HOME}</dest><overwrite>true</overwrite></task>"
                                 "<task><move /><src>{$DIR_LIB}qmtapp.jar</src><dest>{$DIR_BIN}QuillmarApp.bat</dest>"
                                 "<overwrite>true</overwrite></task>"
                                 "<task><execute /><fileName>{$DIR_BIN}VYN2005.exe -register</fileName></task>"
                                 "<task><delete /><fileName>{$DIR_HOME}..\\..\\x.txt</fileName></task></install>");
    EXPECT_EQ(install(), 1) << ReadTextFile(log);
    EXPECT_EQ(snapshot(), before);
    EXPECT_FALSE(PathExists(rollback));
    EXPECT_NE(ReadTextFile(log).find("Rolled back"), std::string::npos) << ReadTextFile(log);

    {
        // What a killed run leaves: a journal that was neither kept nor undone.
        InstallerConfig config(kInstallerGuid, "", "VYN2005");
        config.setInstallDir(parent + "\\");
        InstallTransaction killed(config);
        ASSERT_TRUE(killed.begin());
        ASSERT_TRUE(killed.journal()->setAside(home + "lib\\qmtapp.jar"));
        ASSERT_TRUE(killed.journal()->recordWrite(home + "bin\\QuillmarApp.bat"));
        WriteTextFile(home + "bin\\QuillmarApp.bat", "half written");
    }
    ASSERT_NE(snapshot(), before);
    EXPECT_EQ(runWatchingWindows(home + "bin\\VYN2005.exe", "-register -log \"" + log + "\"", windowSeen), 0)
        << ReadTextFile(log);
    EXPECT_EQ(snapshot(), before);
    EXPECT_FALSE(PathExists(rollback));
    EXPECT_NE(ReadTextFile(log).find("Finished the rollback of the earlier install"), std::string::npos)
        << ReadTextFile(log);
}

// A file of the installed application held open, as a running program holds
// it: the silent uninstall changes nothing and ends with five, naming the
// file; once the file is free, the same uninstall removes everything.
TEST_F(InstallWizardRun, SilentUninstallWithAFileInUseKeepsTheProductUntilTheFileIsFree) {
    registerJava("1.6");
    const std::string log = scratch_.path() + "deploy.log";
    const std::string home = AsciiUpperCase(scratch_.path() + "Apps\\") + kAppFolderPath;
    const std::string install = "-install -silent -dir \"" + scratch_.path() + "Apps\" -log \"" + log + "\"";
    bool windowSeen = true;
    ASSERT_EQ(runWatchingWindows(InstallerPath(), install, windowSeen), 0) << ReadTextFile(log);
    ASSERT_TRUE(WaitFor([] { return PathExists(ProgramsLinkPath()); }, 30000));
    const std::string heldPath = home + "lib\\qmtapp.jar";
    UniqueFileHandle held(CreateFileW(Widen(heldPath).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);

    const std::string uninstall = "-uninstall -silent -log \"" + log + "\"";
    EXPECT_EQ(runWatchingWindows(home + "bin\\VYN2005.exe", uninstall, windowSeen), 5) << ReadTextFile(log);
    EXPECT_FALSE(windowSeen);
    EXPECT_TRUE(LocalMachineKeyExists(kProductKeyPath));
    EXPECT_TRUE(LocalMachineKeyExists(kUninstallEntry));
    EXPECT_TRUE(PathExists(ProgramsLinkPath()));
    for (const char* file : {"bin\\VYN2005.exe", "bin\\QuillmarApp.bat", "conf\\VynApp.xml"})
        EXPECT_TRUE(PathExists(home + file)) << file;
    EXPECT_NE(AsciiUpperCase(ReadTextFile(log)).find(AsciiUpperCase(heldPath)), std::string::npos) << ReadTextFile(log);

    held.reset();
    EXPECT_EQ(runWatchingWindows(home + "bin\\VYN2005.exe", uninstall, windowSeen), 0) << ReadTextFile(log);
    EXPECT_FALSE(LocalMachineKeyExists(kProductKeyPath));
    EXPECT_FALSE(LocalMachineKeyExists(kUninstallEntry));
    EXPECT_FALSE(PathExists(ProgramsLinkPath()));
    EXPECT_TRUE(WaitFor([&] { return !PathExists(home); }, 30000)) << "the home folder goes";
}

// A reinstall over a copy that has a file held open leaves the old files as
// they are and ends with five; with the file free, it replaces them.
TEST_F(InstallWizardRun, SilentReinstallWithAFileInUseLeavesTheOldFiles) {
    registerJava("1.6");
    const std::string log = scratch_.path() + "deploy.log";
    const std::string home = AsciiUpperCase(scratch_.path() + "Apps\\") + kAppFolderPath;
    const std::string install = "-install -silent -dir \"" + scratch_.path() + "Apps\" -log \"" + log + "\"";
    bool windowSeen = true;
    ASSERT_EQ(runWatchingWindows(InstallerPath(), install, windowSeen), 0) << ReadTextFile(log);
    // The archive's copy of this file replaces whatever an install finds there.
    const std::string oldFile = home + "conf\\VynApp.xml";
    WriteTextFile(oldFile, "the old copy");
    const std::string heldPath = home + "lib\\qmtapp.jar";
    UniqueFileHandle held(CreateFileW(Widen(heldPath).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    publishApplicationVersion("2.5");

    EXPECT_EQ(runWatchingWindows(InstallerPath(), install, windowSeen), 5) << ReadTextFile(log);
    EXPECT_EQ(ReadTextFile(oldFile), "the old copy");
    EXPECT_NE(AsciiUpperCase(ReadTextFile(log)).find(AsciiUpperCase(heldPath)), std::string::npos) << ReadTextFile(log);

    held.reset();
    EXPECT_EQ(runWatchingWindows(InstallerPath(), install, windowSeen), 0) << ReadTextFile(log);
    EXPECT_NE(ReadTextFile(oldFile), "the old copy");
}

// A log folder that is a link could point an administrator's program at any
// file: the run refuses the log, writes nothing there and changes nothing.
TEST_F(InstallWizardRun, ALogBehindAFolderLinkIsRefused) {
    registerJava("1.6");
    const std::string target = scratch_.path() + "elsewhere", link = scratch_.path() + "Logs";
    ASSERT_TRUE(MakeFolder(target));
    ASSERT_NE(MakeDirectoryLink(link, target), DirectoryLinkKind::None);
    bool windowSeen = true;
    EXPECT_EQ(runWatchingWindows(InstallerPath(), "-install -silent -dir \"" + scratch_.path() + "Apps\" -log \"" +
                                                      link + "\\deploy.log\"",
                                 windowSeen),
              4);
    EXPECT_FALSE(PathExists(target + "\\deploy.log"));
    EXPECT_FALSE(LocalMachineKeyExists(kProductKeyPath));
}

// A link planted in the home folder would take the elevated unzip wherever
// it leads: the install names it, fails, and writes nothing behind it.
TEST_F(InstallWizardRun, AFolderLinkInTheHomeFolderFailsTheInstall) {
    registerJava("1.6");
    const std::string log = scratch_.path() + "deploy.log";
    const std::string home = AsciiUpperCase(scratch_.path() + "Apps\\") + kAppFolderPath;
    const std::string target = scratch_.path() + "elsewhere";
    ASSERT_TRUE(MakeFolder(target));
    ASSERT_TRUE(CreateDirectoryPath(home));
    ASSERT_NE(MakeDirectoryLink(home + "lib", target), DirectoryLinkKind::None);
    bool windowSeen = true;
    EXPECT_EQ(runWatchingWindows(InstallerPath(),
                                 "-install -silent -dir \"" + scratch_.path() + "Apps\" -log \"" + log + "\"",
                                 windowSeen),
              1)
        << ReadTextFile(log);
    EXPECT_TRUE(IsDirectoryEmpty(target));
    EXPECT_NE(AsciiUpperCase(ReadTextFile(log)).find(AsciiUpperCase("the path " + home + "lib is a junction")),
              std::string::npos)
        << ReadTextFile(log);
    EXPECT_FALSE(LocalMachineKeyExists(kProductKeyPath));
}

// Installed again elsewhere, the product moves: one copy stays, registered,
// is offered for the next install, and one uninstall removes it.
TEST_F(InstallWizardRun, InstallingElsewhereMovesTheProductAndOneUninstallRemovesIt) {
    registerJava("1.6");
    const std::string log = scratch_.path() + "deploy.log";
    const std::string first = scratch_.path() + "First Place";
    const std::string second = scratch_.path() + "Second Place";
    const std::string firstHome = AsciiUpperCase(first + "\\" + kAppFolderPath);
    const std::string secondHome = AsciiUpperCase(second + "\\" + kAppFolderPath);
    bool windowSeen = true;
    const auto installSilently = [&](const std::string& folderArguments) {
        return runWatchingWindows(InstallerPath(), "-install -silent " + folderArguments + "-log \"" + log + "\"",
                                  windowSeen);
    };
    const auto registeredHome = [] { return AsciiUpperCase(LocalMachineString(kProductKeyPath, "Home")); };

    ASSERT_EQ(installSilently("-dir \"" + first + "\" "), 0) << ReadTextFile(log);
    ASSERT_TRUE(WaitFor([&] { return registeredHome() == firstHome; }, 30000)) << registeredHome();
    ASSERT_EQ(installSilently("-dir \"" + second + "\" "), 0) << ReadTextFile(log);
    // The install waits for the new copy's registration before it removes the earlier one.
    EXPECT_EQ(registeredHome(), secondHome);
    EXPECT_EQ(AsciiUpperCase(LocalMachineString(kFamilyKey, "Home")), secondHome);
    EXPECT_EQ(AsciiUpperCase(LocalMachineString(kUninstallEntry, "UninstallString")),
              "\"" + secondHome + "BIN\\VYN2005.EXE\" -UNINSTALL");
    EXPECT_TRUE(PathExists(secondHome + "lib\\qmtapp.jar"));
    EXPECT_FALSE(PathExists(first + "\\Quillmar Technologies INC")) << ReadTextFile(log);
    EXPECT_NE(AsciiUpperCase(ReadTextFile(log)).find("REMOVED THE EARLIER COPY IN " + firstHome), std::string::npos)
        << ReadTextFile(log);

    // Without a folder, an install goes where the product is.
    ASSERT_EQ(installSilently(""), 0) << ReadTextFile(log);
    EXPECT_NE(AsciiUpperCase(ReadTextFile(log)).find("SILENT INSTALL INTO " + secondHome), std::string::npos)
        << ReadTextFile(log);
    EXPECT_EQ(registeredHome(), secondHome);
    EXPECT_TRUE(PathExists(secondHome + "lib\\qmtapp.jar"));
    // The wizard offers the same folder.
    HWND sheet = startInstaller(InstallerPath(), "-install");
    ASSERT_TRUE(sheet);
    passLicence(sheet);
    ASSERT_TRUE(WaitForPage(sheet, 3, 30000));
    EXPECT_EQ(AsciiUpperCase(PageText(sheet, IDC_INSTALL_DIR)), secondHome);
    PostClick(sheet, kCancelButton);
    answerBox(sheet, IDYES);
    ASSERT_TRUE(installerEnds());

    EXPECT_EQ(runWatchingWindows(secondHome + "bin\\VYN2005.exe", "-uninstall -silent -log \"" + log + "\"",
                                 windowSeen),
              0)
        << ReadTextFile(log);
    EXPECT_FALSE(LocalMachineKeyExists(kProductKeyPath));
    EXPECT_TRUE(WaitFor([&] { return !PathExists(second + "\\Quillmar Technologies INC"); }, 30000))
        << "the uninstall removes the one copy";
    EXPECT_FALSE(PathExists(first + "\\Quillmar Technologies INC"));
}

// Names outside the code page (the ANSI page here is Latin-1) in the install
// folder, the log's path and the temporary folder the uninstall's own copy
// runs from: the product installs there, cmd.exe runs its launcher there,
// and the uninstall removes it all.
TEST_F(InstallWizardRun, SilentInstallAndUninstallInFoldersOfOtherScripts) {
    registerJava("1.6");
    const struct {
        const char* folder;
        const char* temp;
    } cases[] = {{"\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB3\xD1\x80\xD0\xB0\xD0\xBC\xD0\xBC\xD1\x8B",  // Программы
                  "\xD0\x92\xD1\x80\xD0\xB5\xD0\xBC\xD0\xB5\xD0\xBD\xD0\xBD\xD1\x8B\xD0\xB5"},  // Временные
                 {"\xE7\xA8\x8B\xE5\xBA\x8F \xE5\xAE\x89\xE8\xA3\x85",  // 程序 安装
                  "\xE4\xB8\xB4\xE6\x97\xB6"}};                               // 临时
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        const std::string parent = scratch_.path() + c.folder + "\\";
        const std::string temp = scratch_.path() + c.temp + "\\";
        ASSERT_TRUE(CreateDirectoryW(Widen(temp).c_str(), nullptr));
        ScopedTempFolder tempForChildren(temp);
        const std::string log = parent + "deploy " + c.folder + ".log";
        CreateDirectoryW(Widen(parent).c_str(), nullptr);
        bool windowSeen = true;
        const std::string folderArgument = parent.substr(0, parent.size() - 1);  // no backslash before the quote
        ASSERT_EQ(runWatchingWindows(InstallerPath(),
                                     "-install -silent -dir \"" + folderArgument + "\" -log \"" + log + "\"", windowSeen),
                  0)
            << ReadTextFile(log);
        const std::string home = parent + kAppFolderPath;
        ASSERT_TRUE(WaitFor([] { return LocalMachineKeyExists(kUninstallEntry); }, 30000));
        EXPECT_EQ(AsciiUpperCase(LocalMachineString(kProductKeyPath, "Home")), AsciiUpperCase(home));
        EXPECT_EQ(AsciiUpperCase(LocalMachineString(kUninstallEntry, "UninstallString")),
                  AsciiUpperCase("\"" + home + "bin\\VYN2005.exe\" -uninstall"));
        EXPECT_TRUE(PathExists(home + "lib\\qmtapp.jar"));
        // The launcher batch file ran from the folder: the registration wrote its record.
        EXPECT_TRUE(WaitFor([&] { return PathExists(home + "conf\\registration.txt"); }, 30000));
        EXPECT_NE(AsciiUpperCase(ReadTextFile(log)).find(AsciiUpperCase("Silent install into " + home)), std::string::npos)
            << "the log is UTF-8\n" << ReadTextFile(log);

        EXPECT_EQ(runWatchingWindows(home + "bin\\VYN2005.exe", "-uninstall -silent -log \"" + log + "\"", windowSeen),
                  0)
            << ReadTextFile(log);
        EXPECT_FALSE(LocalMachineKeyExists(kProductKeyPath));
        EXPECT_TRUE(WaitFor([&] { return !PathExists(parent + "Quillmar Technologies INC"); }, 30000))
            << "the home folder and the program go";
    }
}

// The location page takes a folder of another script as typed.
TEST_F(InstallWizardRun, WizardInstallsIntoAFolderOfAnotherScript) {
    registerJava("1.6");
    HWND sheet = startInstaller();
    ASSERT_TRUE(sheet);
    const std::string parent = scratch_.path() + "\xE3\x83\x97\xE3\x83\xAD\xE3\x82\xB0\xE3\x83\xA9\xE3\x83\xA0\\";  // プログラム
    ASSERT_TRUE(installInto(sheet, parent));
    EXPECT_EQ(PageText(sheet, IDC_PAGE_TEXT), "");
    ASSERT_TRUE(finishWithoutLaunchOrIcon(sheet));
    EXPECT_EQ(AsciiUpperCase(LocalMachineString(kProductKeyPath, "Home")), AsciiUpperCase(parent + kAppFolderPath));
    EXPECT_TRUE(PathExists(parent + kAppFolderPath + "bin\\QuillmarApp.bat"));
}

// Two installs into the same folder at once: the second waits for the
// first to end, then installs over it; both succeed.
TEST_F(InstallWizardRun, TwoInstallsStartedTogetherRunOneAfterTheOther) {
    registerJava("1.6");
    // The first holds the machine's lock while its download is slow.
    service_.misbehave("/files/vyn-app.zip", "delay 2000");
    const std::string folder = scratch_.path() + "Apps";
    std::vector<std::string> logs;
    std::vector<UniqueKernelHandle> runs;
    for (const char* name : {"first.log", "second.log"}) {
        logs.push_back(scratch_.path() + name);
        runs.push_back(StartProcess("\"" + InstallerPath() + "\" -install -silent -dir \"" + folder + "\" -log \"" +
                                    logs.back() + "\""));
        ASSERT_TRUE(runs.back());
    }
    std::string written;
    for (size_t i = 0; i < runs.size(); ++i) {
        ASSERT_EQ(WaitForSingleObject(runs[i].get(), 120000), WAIT_OBJECT_0);
        DWORD code = 0;
        GetExitCodeProcess(runs[i].get(), &code);
        written += ReadTextFile(logs[i]);
        EXPECT_EQ(code, 0u) << ReadTextFile(logs[i]);
    }
    EXPECT_NE(written.find("Waiting for another install or uninstall to end"), std::string::npos) << written;
    ASSERT_TRUE(WaitFor([] { return LocalMachineKeyExists(kUninstallEntry); }, 30000));
    EXPECT_TRUE(PathExists(folder + "\\" + kAppFolderPath + "lib\\qmtapp.jar"));
}

// The version the service lists is recorded, and installing it again into
// the same folder changes nothing and downloads nothing.
TEST_F(InstallWizardRun, ASecondSilentInstallOfTheSameVersionIsAlreadyDone) {
    registerJava("1.6");
    const std::string log = scratch_.path() + "deploy.log";
    const std::string arguments = "-install -silent -dir \"" + scratch_.path() + "Apps\" -log \"" + log + "\"";
    const std::string home = AsciiUpperCase(scratch_.path() + "Apps\\" + kAppFolderPath);
    bool windowSeen = true;
    ASSERT_EQ(runWatchingWindows(InstallerPath(), arguments, windowSeen), 0) << ReadTextFile(log);
    EXPECT_EQ(LocalMachineString(kProductKeyPath, "Version"), "2.00000");
    EXPECT_EQ(LocalMachineString(kUninstallEntry, "DisplayVersion"), "2.00000");

    service_.clearRequests();
    ASSERT_EQ(runWatchingWindows(InstallerPath(), arguments, windowSeen), 0) << ReadTextFile(log);
    EXPECT_NE(AsciiUpperCase(ReadTextFile(log)).find("VYN2005 2.00000 IS ALREADY INSTALLED IN " + home),
              std::string::npos)
        << ReadTextFile(log);
    const std::vector<std::string> requests = service_.requests();
    EXPECT_NE(requests.size(), 0u) << "the update check still runs";
    for (const std::string& request : requests)
        EXPECT_EQ(request.find("/files/"), std::string::npos) << request;
    EXPECT_EQ(LocalMachineString(kUninstallEntry, "DisplayVersion"), "2.00000");
}

// A file where the product's Programs-menu folder belongs: the installed
// copy's "-register" run cannot make its shortcut and ends with exit code 1.
class BlockedProgramsFolder {
public:
    BlockedProgramsFolder() : path_(ProgramsLinkPath().substr(0, ProgramsLinkPath().rfind('\\'))) {
        WriteTextFile(path_, "not a folder");
    }
    ~BlockedProgramsFolder() { DeleteFileA(path_.c_str()); }
    BlockedProgramsFolder(const BlockedProgramsFolder&) = delete;
    BlockedProgramsFolder& operator=(const BlockedProgramsFolder&) = delete;

private:
    std::string path_;
};

TEST_F(InstallWizardRun, ARegistrationThatEndsWithAnErrorFailsTheInstall) {
    registerJava("1.6");
    BlockedProgramsFolder blocked;
    const std::string log = scratch_.path() + "deploy.log";
    bool windowSeen = true;
    EXPECT_EQ(runWatchingWindows(InstallerPath(),
                                 "-install -silent -dir \"" + scratch_.path() + "Apps\" -log \"" + log + "\"",
                                 windowSeen),
              1);
    const std::string written = ReadTextFile(log);
    EXPECT_NE(written.find("Install failed: There was an error during installation: The installed program's "
                           "registration ended with exit code 1"),
              std::string::npos)
        << written;
    EXPECT_FALSE(LocalMachineKeyExists(kProductKeyPath)) << "a failed registration is undone";
}

TEST_F(InstallWizardRun, SilentInstallAgainstAFailingServiceExitsWithOneAndLogsWhy) {
    registerJava("1.6");
    service_.misbehave("/servlet/SoftwareUpdateServlet?task=updates", "status 500");
    const std::string log = scratch_.path() + "failed.log";
    bool windowSeen = true;
    EXPECT_EQ(runWatchingWindows(InstallerPath(), "-silent -log \"" + log + "\" -install", windowSeen), 1);
    EXPECT_FALSE(windowSeen);
    const std::string written = ReadTextFile(log);
    EXPECT_NE(written.find("Install failed: There was an error during installation: "), std::string::npos)
        << written;
    EXPECT_FALSE(LocalMachineKeyExists(kProductKeyPath));
}

// A service (or a hand-written reply) that lists the archive without its
// digest: the archive is not even downloaded.
TEST_F(InstallWizardRun, SilentInstallOfAFileWithoutADigestExitsWithOneNamingIt) {
    registerJava("1.6");
    const std::string query = "/servlet/SoftwareUpdateServlet?task=updates&sof=a3d907:e2c41b7f96:-7c5e";
    HttpFetch listed = FetchUrl(service_.baseUrl() + query + "_.00000&lang=25&os=11");
    ASSERT_EQ(listed.status, 200u) << listed.body;
    std::string reply = listed.body;
    const size_t digest = reply.find("<sha256>");
    ASSERT_NE(digest, std::string::npos) << reply;
    reply.erase(digest, reply.find("\n", digest) + 1 - digest);
    service_.putFile("no-digest.xml", reply);
    service_.misbehave(query, "redirect /files/no-digest.xml");

    const std::string log = scratch_.path() + "no-digest.log";
    const std::string apps = scratch_.path() + "Apps";
    bool windowSeen = true;
    EXPECT_EQ(runWatchingWindows(InstallerPath(), "-install -silent -dir \"" + apps + "\" -log \"" + log + "\"",
                                 windowSeen),
              1);
    const std::string written = ReadTextFile(log);
    EXPECT_NE(written.find("Install failed: There was an error during installation: " +
                           MissingDigestText("vyn-app.zip")),
              std::string::npos)
        << written;
    for (const std::string& request : service_.requests())
        EXPECT_EQ(request.find("/files/vyn-app.zip"), std::string::npos) << request;
    EXPECT_FALSE(PathExists(apps + "\\" + kAppFolderPath + "bin\\VYN2005.exe"));
    EXPECT_FALSE(LocalMachineKeyExists(kProductKeyPath));
}

// Without -log, the run still leaves its log, among the last five, and says
// on a second line which server it could not reach.
TEST_F(InstallWizardRun, SilentInstallWithTheServerStoppedNamesTheHostInItsDefaultLog) {
    registerJava("1.6");
    const std::string host = "127.0.0.1:" + std::to_string(service_.port());
    service_.stop();
    std::string temp;
    GetTempDirectory(temp);
    // Older logs, and a file of the user's that only looks like one; all go
    // when the test ends, whatever happened.
    std::vector<std::string> planted;
    for (int n = 1; n <= 6; ++n) planted.push_back(temp + "VYN2005-2000010" + std::to_string(n) + "-000000-1.log");
    const std::string usersFile = temp + "VYN2005-notes.log";
    const std::vector<std::string> before = RunLogsInTemp();
    std::vector<std::string> made;
    struct Cleanup {
        std::vector<std::string>& files;
        ~Cleanup() {
            for (const std::string& file : files) DeleteFileW(Widen(file).c_str());
        }
    } cleanup{made};
    made = planted;
    made.push_back(usersFile);
    for (const std::string& file : made) WriteTextFile(file, "earlier");

    bool windowSeen = true;
    EXPECT_EQ(runWatchingWindows(InstallerPath(), "-install -silent", windowSeen), 1);
    const std::vector<std::string> logs = RunLogsInTemp();
    std::vector<std::string> fresh;
    for (const std::string& log : logs)
        if (std::find(before.begin(), before.end(), log) == before.end() && log.find("-2000") == std::string::npos)
            fresh.push_back(log);
    made.insert(made.end(), fresh.begin(), fresh.end());
    ASSERT_EQ(fresh.size(), 1u);
    EXPECT_EQ(logs.size(), 5u);
    EXPECT_FALSE(PathExists(planted[0]));
    EXPECT_FALSE(PathExists(planted[1]));
    EXPECT_TRUE(PathExists(usersFile));
    const std::string written = ReadTextFile(fresh[0]);
    for (const std::string& line : {std::string(kNoConnectionText),
                                    "Could not connect to " + host + ": the connection was refused. Check your "
                                    "network or proxy settings, then run the installer again."})
        EXPECT_NE(written.find(line), std::string::npos) << line << "\n" << written;
}

TEST_F(InstallWizardRun, SilentInstallWithoutJavaExitsWithThreeAndNamesTheRuntimeInstaller) {
    const std::string log = scratch_.path() + "java.log";
    bool windowSeen = true;
    EXPECT_EQ(runWatchingWindows(InstallerPath(), "-install -silent -log \"" + log + "\"", windowSeen), 3);
    EXPECT_FALSE(windowSeen);
    const std::string written = ReadTextFile(log);
    EXPECT_NE(written.find("its installer: " + service_.baseUrl() + "/files/"), std::string::npos) << written;
    EXPECT_FALSE(LocalMachineKeyExists(kProductKeyPath));
}

TEST_F(InstallWizardRun, SilentInstallRunsANewerInstallerWithItsArgumentsAndEndsWithItsCode) {
    // It runs from a private folder of its own: it logs into the scratch folder.
    const std::string log = scratch_.path() + "new-installer.log";
    publishNewerInstaller("@echo %*> \"" + log + "\"\r\n@exit /b 5\r\n");
    bool windowSeen = true;
    // The folder's final backslash is doubled before the closing quote, both
    // in what we are given and in what the newer installer gets.
    const std::string arguments = "-install -silent -dir \"C:\\My Apps\\\\\"";
    EXPECT_EQ(runWatchingWindows(InstallerPath(), arguments, windowSeen), 5) << "its exit code is ours";
    EXPECT_FALSE(windowSeen);
    EXPECT_EQ(ReadTextFile(log), arguments + "\r\n");
    EXPECT_FALSE(LocalMachineKeyExists(kProductKeyPath));
}

// A signed installer hands over only to a newer installer its own publisher
// signed: one unsigned, one signed by another publisher, and one of ours
// changed after it was signed are refused, naming the file; ours runs.
TEST_F(InstallWizardRun, ASignedInstallerRunsOnlyANewerInstallerSignedByItsOwnPublisher) {
    const std::string signedDir = UnixToWindowsPath(EnvironmentText("VYN_E2E_SIGNED")) + "\\";
    const std::string ours = ReadTextFile(signedDir + "same-publisher.exe");
    std::string tampered = ours;
    const size_t stub = tampered.find("DOS mode");
    ASSERT_NE(stub, std::string::npos);
    tampered.replace(stub, 8, "DOS MODE");  // the headers are part of what is signed
    struct Case {
        const char* fileName;  // each of another length: the service tells files apart by size and time
        std::string bytes;
        long exitCode;
        const char* logged;
    } cases[] = {
        {"unsigned.exe", ReadTextFile(UnixToWindowsPath(EnvironmentText("VYN_E2E_UNSIGNED"))), 1,
         "is not signed: its signature is missing"},
        {"other-publisher.exe", ReadTextFile(signedDir + "other-publisher.exe"), 1,
         "is signed by another publisher (Another Publisher)"},
        {"tampered-copy.exe", tampered, 1, "has a signature that is not valid"},
        {"same-publisher.exe", ours, 6, "is signed by Quillmar Technologies INC, as this program is"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.fileName);
        publishNewerInstaller(test.bytes, test.fileName);
        const std::string log = scratch_.path() + test.fileName + ".log";
        bool windowSeen = true;
        EXPECT_EQ(runWatchingWindows(signedDir + "VYN2005.exe", "-install -silent -log \"" + log + "\"", windowSeen),
                  test.exitCode);
        const std::string written = ReadTextFile(log);
        EXPECT_NE(written.find("The newer installer "), std::string::npos) << written;
        EXPECT_NE(written.find(std::string("\\") + test.fileName + " "), std::string::npos) << written;
        EXPECT_NE(written.find(test.logged), std::string::npos) << written;
    }
    EXPECT_FALSE(LocalMachineKeyExists(kProductKeyPath));
}

TEST_F(InstallWizardRun, CancelWhileDownloadingEndsTheProcessWithTwo) {
    registerJava("1.6");
    // The reply waits, so the download is in flight when Cancel comes.
    service_.misbehave("/files/vyn-app.zip", "delay 4000");
    HWND sheet = startInstaller();
    ASSERT_TRUE(sheet);
    passLicence(sheet);
    ASSERT_TRUE(WaitForPage(sheet, 3, 30000));
    setPageText(sheet, IDC_INSTALL_DIR, scratch_.path() + "Apps");
    Click(sheet, kNextButton);
    ASSERT_TRUE(service_.waitForRequest("/files/vyn-app.zip", 30000));
    PostClick(sheet, kCancelButton);
    answerBox(sheet, IDYES);
    ASSERT_TRUE(installerEnds(30000));
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    EXPECT_EQ(code, 2u);
    EXPECT_FALSE(LocalMachineKeyExists(kProductKeyPath));
    // The download finished after Cancel; no install script may have run.
    EXPECT_FALSE(PathExists(scratch_.path() + "Apps\\" + kAppFolderPath + "bin"));
}

// A confirmed Cancel ends the program even while the update service holds
// its request unanswered: nothing has changed yet, so nothing waits for the
// request to give up (the page would wait 10 s for a worker that must finish).
TEST_F(InstallWizardRun, CancelDuringAStalledUpdateCheckEndsTheProgramAtOnce) {
    service_.misbehave("/servlet/", "stall");
    HWND sheet = startInstaller();
    ASSERT_TRUE(sheet);
    passLicence(sheet);
    ASSERT_TRUE(service_.waitForRequest("/servlet/", 30000));
    PostClick(sheet, kCancelButton);
    answerBox(sheet, IDYES);
    ASSERT_TRUE(installerEnds(8000));
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    EXPECT_EQ(code, 2u);
}

TEST_F(InstallWizardRun, AFailedInstallTaskEndsOnInstallFailedWithNothingRegistered) {
    registerJava("1.6");
    std::string archive = ReadTextFile(service_.publishDir() + "files\\vyn-app.zip");
    ASSERT_GT(archive.size(), 100000u);
    const std::string parent = scratch_.path() + "Apps\\";
    const std::string home = parent + kAppFolderPath;
    const struct {
        const char* what;
        std::function<void()> arrange;
        std::string text;
    } cases[] = {
        {"damaged archive",
         [&] {
             std::string damaged = archive;
             for (size_t i = damaged.size() / 2; i < damaged.size() / 2 + 64; ++i) damaged[i] ^= 0x5A;
             service_.putFile("vyn-app.zip", damaged);
         },
         "The install task unzip failed on " + home + "updates\\vyn-app.zip: Error writing to file"},
        {"unzip outside the application folder",
         [&] {
             service_.putFile("vyn-app.zip", archive);
             service_.setInstallScript(7, "<install><task><unzip /><fileName>{$DIR_UPDATES}vyn-app.zip</fileName>"
                                          "<dest>{$DIR_HOME}..\\..</dest><overwrite>true</overwrite></task>"
                                          "<task><execute /><fileName>{$DIR_BIN}VYN2005.exe -register</fileName>"
                                          "</task></install>");
         },
         "The install task unzip failed on " + home + "..\\..: the path lies outside the application folder"},
    };
    for (const auto& c : cases) {
        c.arrange();
        RemoveTreeForTest(parent);
        HWND sheet = startInstaller();
        ASSERT_TRUE(sheet) << c.what;
        ASSERT_TRUE(installInto(sheet, parent)) << c.what;
        std::string message = answerBox(sheet, IDOK);
        EXPECT_EQ(AsciiUpperCase(FirstLine(message)),
                  AsciiUpperCase("There was an error during installation: " + c.text))
            << c.what;
        EXPECT_EQ(PageText(sheet, IDC_PAGE_TEXT), message) << c.what;
        EXPECT_FALSE(shown(sheet, IDC_LAUNCH_CHECK)) << c.what;
        Click(sheet, kFinishButton);
        ASSERT_TRUE(installerEnds()) << c.what;
        EXPECT_FALSE(LocalMachineKeyExists(kProductKeyPath)) << c.what;
        EXPECT_FALSE(LocalMachineKeyExists(kUninstallEntry)) << c.what;
        EXPECT_FALSE(PathExists(parent + "bin")) << c.what;
    }
}

// The required version arrives as a float, where 1.6 is 1.60000002.
TEST_F(InstallWizardRun, JavaOfExactlyTheRequiredVersionPassesTheCheckAndTheJavaPage) {
    requireJava("1.60000");
    HWND sheet = startInstaller();
    ASSERT_TRUE(sheet);
    passLicence(sheet);
    ASSERT_TRUE(WaitForPage(sheet, 2, 30000));
    registerJava("1.6");
    Click(sheet, kNextButton);
    EXPECT_TRUE(WaitForPage(sheet, 3));
    PostClick(sheet, kCancelButton);
    answerBox(sheet, IDYES);
    ASSERT_TRUE(installerEnds());

    sheet = startInstaller();
    ASSERT_TRUE(sheet);
    passLicence(sheet);
    EXPECT_TRUE(WaitForPage(sheet, 3, 30000));
    PostClick(sheet, kCancelButton);
    answerBox(sheet, IDYES);
    EXPECT_TRUE(installerEnds());
}

// Packed on Windows, every member comes out read-only: the launcher edit,
// a reinstall over the same folder and the uninstall must all still work.
TEST_F(InstallWizardRun, AnArchiveMadeOnWindowsInstallsReinstallsAndUninstalls) {
    registerJava("1.6");
    ASSERT_TRUE(service_.putFileFrom("vyn-app.zip", service_.publishDir() + "files\\vyn-app-windows.zip"));
    const std::string parent = scratch_.path() + "Apps\\";
    const std::string home = parent + kAppFolderPath;
    for (int round = 0; round < 2; ++round) {
        HWND sheet = startInstaller(InstallerPath(), "-install");
        ASSERT_TRUE(sheet) << round;
        ASSERT_TRUE(installInto(sheet, parent)) << round;
        EXPECT_EQ(PageText(sheet, IDC_PAGE_TEXT), "") << round;
        ASSERT_TRUE(WaitFor([] { return LocalMachineKeyExists(kUninstallEntry); }, 30000)) << round;
        SendMessageA(GetDlgItem(ActivePageOf(sheet), IDC_LAUNCH_CHECK), BM_SETCHECK, BST_UNCHECKED, 0);
        Click(sheet, kFinishButton);
        ASSERT_TRUE(installerEnds()) << round;
        if (round == 0) {
            EXPECT_TRUE(GetFileAttributesA((home + "lib\\qmtapp.jar").c_str()) & FILE_ATTRIBUTE_READONLY);
        }
        EXPECT_NE(ReadTextFile(home + "bin\\QuillmarApp.bat").find("qmtapp.jar"), std::string::npos);
        // The registration's own launcher run must be over before the next round.
        ASSERT_TRUE(WaitFor([&] { return ReadTextFile(home + "launcher.log").find("-register") != std::string::npos; },
                            20000));
        DeleteFileA((home + "launcher.log").c_str());
    }

    HWND sheet = startInstaller(home + "bin\\VYN2005.exe", "-uninstall");
    ASSERT_TRUE(sheet);
    Click(sheet, kNextButton);
    ASSERT_TRUE(WaitForPage(sheet, 2, 30000));
    EXPECT_TRUE(WaitFor([&] { return PageText(sheet, IDC_PAGE_TEXT) == LoadResourceText(IDS_UNINSTALL_COMPLETED); }));
    Click(sheet, kFinishButton);
    ASSERT_TRUE(installerEnds());
    EXPECT_TRUE(WaitFor([&] { return !PathExists(home); }, 20000)) << home;
    EXPECT_FALSE(LocalMachineKeyExists(kProductKeyPath));
}

// Started without elevation, the program runs the wizard in an elevated copy.
// The copy only reports the launch the user asked for: the first process
// starts the application once the copy has ended, so it never runs elevated.
TEST_F(InstallWizardRun, AfterAnElevatedInstallTheFirstProcessLaunchesTheApplication) {
    registerJava("1.6");
    UniqueKernelHandle copy;
    {
        const ScopedVariable unelevated(L"VYN2005_UNELEVATED", L"1");
        process_ = StartProcess("\"" + InstallerPath() + "\" -install");
        ASSERT_TRUE(process_);
    }
    // A stand-in for the whole run: a copy left behind ends with the test.
    struct EndsCopy {
        UniqueKernelHandle& copy;
        ~EndsCopy() {
            if (copy && WaitForSingleObject(copy.get(), 0) != WAIT_OBJECT_0) TerminateProcess(copy.get(), 1);
        }
    } endsCopy{copy};
    ASSERT_TRUE(WaitFor([&] { return (copy = OpenChildProcess(GetProcessId(process_.get()), L"VYN2005.exe")).valid(); },
                        10000));
    HWND sheet = WaitForProcessSheet(copy.get());
    ASSERT_TRUE(sheet) << "the elevated copy shows the wizard";
    const std::string home = installUpToTheCompletePage(sheet);
    ASSERT_TRUE(WaitFor([] { return LocalMachineKeyExists(kUninstallEntry); }, 30000));

    // The installed launcher stays running until released, so the test can
    // see who started it; released whatever the test's outcome.
    UniqueKernelHandle launcher;
    struct ReleasesLauncher {
        std::string file;
        UniqueKernelHandle& launcher;
        ~ReleasesLauncher() {
            WriteTextFile(file, "go");
            if (launcher) WaitForSingleObject(launcher.get(), 10000);
        }
    } releasesLauncher{home + "release", launcher};
    WriteTextFile(home + "bin\\QuillmarApp.bat", "@echo off\r\necho %* >> \"%~dp0..\\launcher.log\"\r\n:wait\r\n"
                                                 "if not exist \"%~dp0..\\release\" goto wait\r\n");
    ASSERT_TRUE(checked(sheet, IDC_LAUNCH_CHECK));
    Click(sheet, kFinishButton);
    ASSERT_TRUE(installerEnds());
    EXPECT_TRUE(WaitFor([&] { return ReadTextFile(home + "launcher.log").find("-a com.quillmar") != std::string::npos; },
                        20000));

    launcher = OpenChildProcess(GetProcessId(process_.get()), L"cmd.exe");
    ASSERT_TRUE(launcher) << "the first process started the launcher";
    EXPECT_FALSE(OpenChildProcess(GetProcessId(copy.get()), L"cmd.exe")) << "the elevated copy launched nothing";
    ASSERT_EQ(WaitForSingleObject(copy.get(), 0), WAIT_OBJECT_0);
    EXPECT_LE(ProcessTime(copy.get(), true), ProcessTime(launcher.get(), false)) << "launched after the copy ended";
    EXPECT_TRUE(PathExists(DesktopLinkPath())) << "the copy made the desktop shortcut";
}

}  // namespace
