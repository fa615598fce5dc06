// The built program run as a user would run it: launch, register and
// unregister, observed through the registry, the shortcut files and a
// launcher batch file that records how it was called.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/LaunchRequest.h"
#include "app/Startup.h"
#include "system/PathText.h"
#include "system/FileSystem.h"
#include "support/ProcessRunner.h"
#include "support/ScratchFolder.h"
#include "support/ScratchRegistry.h"
#include "support/TestPaths.h"
#include "system/ProcessLaunch.h"
#include "system/ShellLink.h"

namespace {

const char kRecordingLauncher[] = "@echo %*>> \"%~dp0launcher.log\"\r\n";

class RunModes : public testing::Test {
protected:
    void SetUp() override { TearDown(); }
    void TearDown() override {
        for (int programs : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) {
            DeleteFileA(ProgramsLinkPath(programs).c_str());
            RemoveDirectoryA(ProgramsLinkPath(programs).substr(0, ProgramsLinkPath(programs).rfind('\\')).c_str());
        }
        DeleteFileA(DesktopLinkPath().c_str());
        DeleteFileA(DesktopLinkPath(CSIDL_DESKTOP).c_str());
    }

    // An installed copy of the program in the bin folder below the scratch
    // install folder, with a launcher that records its command lines.
    std::string installCopy() {
        std::string bin = installDir() + "Quillmar Technologies INC\\QMTApp\\bin\\";
        CreateDirectoryA(installDir().c_str(), nullptr);
        CreateDirectoryA((installDir() + "Quillmar Technologies INC").c_str(), nullptr);
        CreateDirectoryA((installDir() + "Quillmar Technologies INC\\QMTApp").c_str(), nullptr);
        CreateDirectoryA(bin.c_str(), nullptr);
        EXPECT_TRUE(CopyFileA(InstallerPath().c_str(), (bin + "VYN2005.exe").c_str(), FALSE));
        WriteTextFile(bin + "QuillmarApp.bat", kRecordingLauncher);
        return bin;
    }
    std::string installDir() const { return scratch_.path() + "Apps\\"; }
    static DWORD entryDword(const char* name) {
        DWORD value = 0, size = sizeof value;
        LONG read = RegGetValueA(HKEY_LOCAL_MACHINE, kUninstallEntry, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
        EXPECT_EQ(read, ERROR_SUCCESS) << name;
        return value;
    }
    long run(const std::string& program, const std::string& arguments) {
        return RunAndWait("\"" + program + "\" " + arguments, 60000);
    }
    // Waits until the launcher has logged `lines` lines and returns the log.
    std::string launcherLog(const std::string& bin, size_t lines = 1) {
        std::string log;
        for (int i = 0; i < 300; ++i) {
            log = ReadTextFile(bin + "launcher.log");
            size_t count = 0;
            for (char c : log) count += c == '\n';
            if (count >= lines) break;
            Sleep(50);
        }
        return log;
    }

    ScratchRegistry registry_{kCompanyRoot, kUninstallEntry};
    ScratchFolder scratch_{"modes"};
};

TEST_F(RunModes, InstalledProductIsLaunchedFromTheRegisteredBinFolder) {
    std::string bin = scratch_.path() + "bin\\";
    CreateDirectoryA(bin.c_str(), nullptr);
    WriteTextFile(bin + "QuillmarApp.bat", kRecordingLauncher);
    SetLocalMachineString(kProductKeyPath, "Bin", bin);

    EXPECT_EQ(run(InstallerPath(), ""), 0);
    EXPECT_EQ(launcherLog(bin), "-a com.quillmar.app.vyn.VynApp\r\n");
    // An argument that is no mode switch is skipped: the same launch.
    EXPECT_EQ(run(InstallerPath(), "-whatever"), 0);
    EXPECT_EQ(launcherLog(bin, 2), "-a com.quillmar.app.vyn.VynApp\r\n-a com.quillmar.app.vyn.VynApp\r\n");
    // A standard user may only read the product's key: still the launch.
    ASSERT_TRUE(DenyWriteAccess(kProductKeyPath));
    EXPECT_EQ(run(InstallerPath(), ""), 0);
    AllowFullAccess(kProductKeyPath);
    EXPECT_EQ(launcherLog(bin, 3), "-a com.quillmar.app.vyn.VynApp\r\n-a com.quillmar.app.vyn.VynApp\r\n"
                                   "-a com.quillmar.app.vyn.VynApp\r\n");
}

TEST_F(RunModes, RegisterFromOutsideTheApplicationFolderWritesNothing) {
    ScratchFolder elsewhere("elsewhere");
    std::string copy = elsewhere.path() + "VYN2005.exe";
    ASSERT_TRUE(CopyFileA(InstallerPath().c_str(), copy.c_str(), FALSE));
    EXPECT_EQ(run(copy, "-register"), 1) << "failed";
    EXPECT_FALSE(LocalMachineKeyExists(kCompanyRoot));
    EXPECT_FALSE(LocalMachineKeyExists(kUninstallEntry));
    EXPECT_FALSE(PathExists(ProgramsLinkPath()));
}

TEST_F(RunModes, RegisterRecordsTheCopyItRunsFromAndUnregisterUndoesIt) {
    std::string bin = installCopy();
    std::string home = installDir() + "Quillmar Technologies INC\\QMTApp\\";
    std::string exe = bin + "VYN2005.exe";

    EXPECT_EQ(run(exe, "-REGISTER"), 0);
    EXPECT_EQ(LocalMachineString(kProductKeyPath, "Home"), home);
    EXPECT_EQ(LocalMachineString(kProductKeyPath, "Bin"), bin);
    EXPECT_EQ(LocalMachineString(kProductKeyPath, "Executable"), exe);
    EXPECT_EQ(LocalMachineString(kFamilyKey, "Home"), home);
    EXPECT_EQ(LocalMachineString(kUninstallEntry, "DisplayName"), "VYN2005");
    EXPECT_EQ(LocalMachineString(kUninstallEntry, "UninstallString"), "\"" + exe + "\" -uninstall");
    EXPECT_EQ(LocalMachineString(kUninstallEntry, "InstallLocation"), home);
    EXPECT_EQ(LocalMachineString(kUninstallEntry, "Publisher"), "Quillmar Technologies INC");
    EXPECT_EQ(entryDword("VersionMajor"), 1u);
    EXPECT_EQ(entryDword("VersionMinor"), 1u);
    EXPECT_EQ(LocalMachineString(kUninstallEntry, "DisplayVersion"), "1.1.0.0");
    EXPECT_EQ(LocalMachineString(kUninstallEntry, "DisplayIcon"), exe + ",0");
    EXPECT_EQ(entryDword("NoModify"), 1u);
    EXPECT_EQ(entryDword("NoRepair"), 1u);
    // The home folder holds the program and the launcher: their KB, rounded up.
    WIN32_FILE_ATTRIBUTE_DATA program;
    ASSERT_TRUE(GetFileAttributesExA(exe.c_str(), GetFileExInfoStandard, &program));
    const DWORD kb = entryDword("EstimatedSize");
    EXPECT_GE(kb, (program.nFileSizeLow + 1023) / 1024);
    EXPECT_LE(kb, (program.nFileSizeLow + 1023) / 1024 + 4);
    SYSTEMTIME today;
    GetLocalTime(&today);
    char date[16];
    snprintf(date, sizeof date, "%04u%02u%02u", today.wYear, today.wMonth, today.wDay);
    EXPECT_EQ(LocalMachineString(kUninstallEntry, "InstallDate"), date);
    EXPECT_TRUE(PathExists(ProgramsLinkPath()));
    EXPECT_FALSE(PathExists(DesktopLinkPath()));  // no desktop icon was asked for
    EXPECT_EQ(launcherLog(bin),
              "-register com.quillmar.app.vyn.VynApp com.quillmar.app.vyn.VynAppXMLHandler "
              "VynApp.xml\r\n");

    // With no other product in the family, a second registration points the
    // family's home at this copy again.
    SetLocalMachineString(kFamilyKey, "Home", "C:\\First\\");
    EXPECT_EQ(run(exe, "-register"), 0);
    EXPECT_EQ(LocalMachineString(kFamilyKey, "Home"), home);
    // The registration's launcher is not waited for; its line must be in
    // before the next launcher appends to the same log.
    const std::string registered = launcherLog(bin, 2);
    EXPECT_EQ(std::count(registered.begin(), registered.end(), '\n'), 2) << registered;

    // Unregistering succeeds without a desktop icon and removes everything,
    // also the links an older version made in the user's own folders.
    ASSERT_TRUE(CreateShellLink("VYN2005", exe, "Quillmar Technologies INC", CSIDL_PROGRAMS));
    ASSERT_TRUE(CreateShellLink("VYN2005", exe, "", CSIDL_DESKTOP));
    EXPECT_EQ(run(exe, "-unregister"), 0);
    EXPECT_FALSE(PathExists(ProgramsLinkPath(CSIDL_PROGRAMS)));
    EXPECT_FALSE(PathExists(DesktopLinkPath(CSIDL_DESKTOP)));
    EXPECT_FALSE(LocalMachineKeyExists(kCompanyRoot));
    EXPECT_FALSE(LocalMachineKeyExists(kUninstallEntry));
    EXPECT_FALSE(PathExists(ProgramsLinkPath()));
    EXPECT_FALSE(PathExists(ProgramsLinkPath().substr(0, ProgramsLinkPath().rfind('\\'))));
    std::string log = launcherLog(bin, 3);
    EXPECT_NE(log.find("-unregister com.quillmar.app.vyn.VynApp\r\n"), std::string::npos) << log;
}

TEST_F(RunModes, ReRegisterAndUnregisterKeepTheFamilysKeysForAnotherProduct) {
    std::string exe = installCopy() + "VYN2005.exe";
    ASSERT_EQ(run(exe, "-register"), 0);
    SetLocalMachineString(std::string(kFamilyKey) + "\\OTHER", "Home", "C:\\Other\\");
    // The family's home belongs to the first product: registering again
    // leaves it as it is.
    SetLocalMachineString(kFamilyKey, "Home", "C:\\Family\\");
    ASSERT_EQ(run(exe, "-register"), 0);
    EXPECT_EQ(LocalMachineString(kFamilyKey, "Home"), "C:\\Family\\");

    EXPECT_EQ(run(exe, "-unregister"), 0);
    EXPECT_FALSE(LocalMachineKeyExists(kProductKeyPath));
    EXPECT_FALSE(LocalMachineKeyExists(kUninstallEntry));
    EXPECT_TRUE(LocalMachineKeyExists(kFamilyKey));
    EXPECT_EQ(LocalMachineString(std::string(kFamilyKey) + "\\OTHER", "Home"), "C:\\Other\\");
}

// A program started suspended, ended when the test ends even if it fails.
struct SuspendedProgram {
    explicit SuspendedProgram(const std::string& program) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        std::string commandLine = "\"" + program + "\"";
        PROCESS_INFORMATION started = {};
        if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                            nullptr, &startup, &started))
            return;
        process.reset(started.hProcess);
        thread.reset(started.hThread);
    }
    ~SuspendedProgram() {
        if (process) TerminateProcess(process.get(), 0);
    }
    UniqueKernelHandle process;
    UniqueKernelHandle thread;
};

// Runs the removal copy with an inheritable handle to `target` put at the
// "{handle}" mark of its arguments.
long RunRemovalInheriting(const std::string& copy, HANDLE target, std::string arguments) {
    HANDLE inheritable = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), target, GetCurrentProcess(), &inheritable,
                         SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, TRUE, 0))
        return -1;
    UniqueKernelHandle owned(inheritable);
    arguments.replace(arguments.find("{handle}"), 8, std::to_string(reinterpret_cast<uintptr_t>(inheritable)));
    std::string commandLine = "\"" + copy + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(copy.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &started))
        return -1;
    UniqueKernelHandle process(started.hProcess);
    UniqueKernelHandle thread(started.hThread);
    if (WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) return -1;
    DWORD exitCode = 0;
    GetExitCodeProcess(process.get(), &exitCode);
    return static_cast<long>(exitCode);
}

// The removal copy deletes only the program of the process whose handle it
// inherited; a path on its command line names nothing.
TEST_F(RunModes, SelfRemovalDeletesOnlyTheProgramOfItsInheritedProcessHandle) {
    const std::string bin = installCopy();
    const std::string registered = bin + "VYN2005.exe";
    ASSERT_EQ(run(registered, "-register"), 0);
    const std::string log = scratch_.path() + "removal.log";
    // The removal copy marks its own file for deletion at restart: never the
    // built program's.
    const std::string remover = scratch_.path() + "remover\\VYN2005.exe";
    CreateDirectoryA((scratch_.path() + "remover").c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(InstallerPath().c_str(), remover.c_str(), FALSE));

    const std::string refused[] = {
        "0 \"" + registered + "\" 0",
        "0 \"" + bin + ".\\VYN2005.exe\" 0",
        "0 \"" + bin + "..\\bin\\vyn2005.EXE\" 1",
        "4242 \"" + registered + "\" 0",
        "x \"" + registered + "\" 0",
        "\"" + registered + "\"",
    };
    for (const std::string& arguments : refused) {
        EXPECT_EQ(run(remover, "-finish-removal " + arguments + " -log \"" + log + "\""), 1) << arguments;
        EXPECT_TRUE(PathExists(registered)) << arguments;
    }
    EXPECT_NE(ReadTextFile(log).find("Nothing removed: no process handle given"), std::string::npos)
        << ReadTextFile(log);

    // A real handle to a copy that is no installed one: that copy goes,
    // whatever path is written beside the handle.
    const std::string leaving = scratch_.path() + "leaving\\";
    CreateDirectoryA(leaving.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(InstallerPath().c_str(), (leaving + "VYN2005.exe").c_str(), FALSE));
    {
        SuspendedProgram running(leaving + "VYN2005.exe");
        ASSERT_TRUE(running.process);
        // The registered program's own process is refused.
        SuspendedProgram installed(registered);
        ASSERT_TRUE(installed.process);
        EXPECT_EQ(RunRemovalInheriting(remover, installed.process.get(),
                                       "-finish-removal {handle} \"" + leaving + "VYN2005.exe\" 0"),
                  1);
        EXPECT_TRUE(PathExists(leaving + "VYN2005.exe"));

        TerminateProcess(running.process.get(), 0);
        EXPECT_EQ(RunRemovalInheriting(remover, running.process.get(),
                                       "-finish-removal {handle} \"" + registered + "\" 1"),
                  0);
    }
    EXPECT_FALSE(PathExists(leaving + "VYN2005.exe"));
    EXPECT_FALSE(PathExists(leaving)) << "emptied, so removed";
    EXPECT_TRUE(PathExists(registered));
}

TEST(StartupOptions, SilentFolderAndLogCombineInAnyOrderAndCapitals) {
    StartupOptions options =
        ParseStartupOptions({"-LOG", "C:\\a b\\x.log", "-Silent", "-Dir", "-install", "-uninstall"});
    EXPECT_EQ(options.mode, RunMode::Uninstall) << "the folder's value is no mode switch";
    EXPECT_TRUE(options.silent);
    EXPECT_TRUE(options.hasFolder);
    EXPECT_EQ(options.folder, "-install");
    EXPECT_EQ(options.logPath, "C:\\a b\\x.log");

    options = ParseStartupOptions({"-install", "-dir"});
    EXPECT_EQ(options.mode, RunMode::Install);
    EXPECT_FALSE(options.silent);
    EXPECT_FALSE(options.hasFolder) << "a switch without its value is skipped";
    EXPECT_EQ(options.logPath, "");

    // Made full before an elevated copy, which may start in another folder;
    // an empty folder stays empty, to be refused there.
    const std::string here = FullPathName(".");
    EXPECT_EQ(WithFullPaths({"-install", "-DIR", "apps", "-Log", "..\\x.log", "-dir", "", "-log"}),
              (std::vector<std::string>{"-install", "-DIR", here + "\\apps", "-Log",
                                        GetParentOfPath(here) + "\\x.log", "-dir", "", "-log"}));
    EXPECT_EQ(WithFullPaths({"-log", "C:\\a b\\x.log", "-silent"}),
              (std::vector<std::string>{"-log", "C:\\a b\\x.log", "-silent"}));
}

TEST(Elevation, OnlyModesThatWriteTheMachineElevate) {
    EXPECT_FALSE(ModeNeedsElevation(RunMode::LaunchOrInstall, true)) << "launching runs with the user's rights";
    EXPECT_TRUE(ModeNeedsElevation(RunMode::LaunchOrInstall, false)) << "not installed: the install wizard";
    for (RunMode mode : {RunMode::Install, RunMode::Uninstall, RunMode::Register, RunMode::Unregister}) {
        EXPECT_TRUE(ModeNeedsElevation(mode, true));
        EXPECT_TRUE(ModeNeedsElevation(mode, false));
    }
}

// The elevated copy reports the launch through its starter's event: set by
// the name handed over, and by no name the starter did not make.
TEST(Elevation, TheCopyAsksForTheLaunchOnlyThroughTheStartersEvent) {
    const LaunchRequestEvent starter;
    ASSERT_TRUE(starter.valid());
    EXPECT_NE(starter.name(), LaunchRequestEvent().name()) << "a fresh name each run";
    EXPECT_EQ(ParseStartupOptions({"-install", kLaunchEventSwitch, starter.name()}).launchEvent, starter.name());
    EXPECT_FALSE(starter.requested());

    // Another program's event, even with our words in its name, is left alone.
    UniqueKernelHandle foreign(CreateEventW(nullptr, TRUE, FALSE, L"Local\\other-VYN2005-launch-x"));
    ASSERT_TRUE(foreign);
    EXPECT_FALSE(RequestLaunch("Local\\other-VYN2005-launch-x"));
    EXPECT_EQ(WaitForSingleObject(foreign.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_FALSE(RequestLaunch("Local\\VYN2005-launch-{gone}")) << "an event nobody made";

    EXPECT_TRUE(RequestLaunch(starter.name()));
    EXPECT_TRUE(starter.requested());
}

TEST(Elevation, ArgumentsAreQuotedAsTheCommandLineParserReadsThem) {
    const struct {
        const char* argument;
        const char* quoted;
    } cases[] = {
        {"-install", "-install"},
        {"", "\"\""},
        {"C:\\Program Files\\x.log", "\"C:\\Program Files\\x.log\""},
        {"C:\\My Folder\\", "\"C:\\My Folder\\\\\""},  // the final backslash is doubled
        {"a\"b", "\"a\\\"b\""},
        {"a\\\"b c", "\"a\\\\\\\"b c\""},  // a backslash before a quote: 2n+1
        {"C:\\plain\\path", "C:\\plain\\path"},
        {"tab\there", "\"tab\there\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QuoteCommandLineArgument(c.argument), c.quoted) << c.argument;
        // And the system's own parser gives the argument back.
        std::string line = "prog.exe " + QuoteCommandLineArgument(c.argument);
        std::wstring wide(line.begin(), line.end());
        int count = 0;
        LPWSTR* parsed = CommandLineToArgvW(wide.c_str(), &count);
        ASSERT_TRUE(parsed);
        EXPECT_EQ(count, 2) << line;
        if (count == 2) {
            EXPECT_EQ(std::wstring(parsed[1]), std::wstring(c.argument, c.argument + strlen(c.argument)));
        }
        LocalFree(parsed);
    }
    EXPECT_EQ(JoinCommandLine({"-install", "-dir", "C:\\A B\\"}), "-install -dir \"C:\\A B\\\\\"");
}

TEST(ExitCodes, WizardEndsMapToTheDocumentedCodes) {
    auto end = [](bool finished, std::optional<OutcomeKind> kind) {
        WizardEnd e;
        e.finished = finished;
        e.lastOutcome = kind;
        return ExitCodeForWizard(e);
    };
    EXPECT_EQ(end(true, OutcomeKind::Installed), 0);
    EXPECT_EQ(end(true, OutcomeKind::Uninstalled), 0);
    EXPECT_EQ(end(true, OutcomeKind::InstallerUpdated), 0);
    EXPECT_EQ(end(true, OutcomeKind::Failed), 1);
    EXPECT_EQ(end(false, std::nullopt), 2);
    EXPECT_EQ(end(false, OutcomeKind::ReadyForLocation), 2);
    EXPECT_EQ(end(false, OutcomeKind::JavaRequired), 3);
}

TEST(SelectRunMode, FirstRecognisedArgumentWinsIgnoringCase) {
    using Args = std::vector<std::string>;
    const struct {
        Args arguments;
        RunMode mode;
    } cases[] = {
        {{}, RunMode::LaunchOrInstall},
        {{"-INSTALL"}, RunMode::Install},
        {{"-Register"}, RunMode::Register},
        {{"-unregister"}, RunMode::Unregister},
        {{"-uninstall", "-install"}, RunMode::Uninstall},
        {{"/install", "-x", "-Uninstall"}, RunMode::Uninstall},
        {{"-installs", "install", "-"}, RunMode::LaunchOrInstall},
        {{"-foo"}, RunMode::LaunchOrInstall},
    };
    for (const auto& c : cases) {
        std::string joined;
        for (const auto& a : c.arguments) joined += a + " ";
        EXPECT_EQ(SelectRunMode(c.arguments), c.mode) << joined;
    }
}

}  // namespace
