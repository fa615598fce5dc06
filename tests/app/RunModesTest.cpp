// The built program run as a user would run it: launch, register and
// unregister, observed through the registry, the shortcut files and a
// launcher batch file that records how it was called.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "app/Startup.h"
#include "support/ProcessRunner.h"
#include "support/ScratchFolder.h"
#include "support/ScratchRegistry.h"
#include "support/TestPaths.h"
#include "system/ShellLink.h"

namespace {

const char kRecordingLauncher[] = "@echo %*>> \"%~dp0launcher.log\"\r\n";

class RunModes : public testing::Test {
protected:
    void SetUp() override {
        DeleteFileA(ProgramsLinkPath().c_str());
        DeleteFileA(DesktopLinkPath().c_str());
    }
    void TearDown() override {
        DeleteFileA(ProgramsLinkPath().c_str());
        DeleteFileA(DesktopLinkPath().c_str());
        RemoveDirectoryA(ProgramsLinkPath().substr(0, ProgramsLinkPath().rfind('\\')).c_str());
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
    EXPECT_EQ(run(copy, "-register"), 0);
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
    DWORD major = 0, size = sizeof major;
    EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, kUninstallEntry, "VersionMajor", RRF_RT_REG_DWORD,
                           nullptr, &major, &size),
              0);
    EXPECT_EQ(major, 1u);
    EXPECT_TRUE(PathExists(ProgramsLinkPath()));
    EXPECT_FALSE(PathExists(DesktopLinkPath()));  // no desktop icon was asked for
    EXPECT_EQ(launcherLog(bin),
              "-register com.quillmar.app.vyn.VynApp com.quillmar.app.vyn.VynAppXMLHandler "
              "VynApp.xml\r\n");

    // A second registration keeps the family's first home.
    SetLocalMachineString(kFamilyKey, "Home", "C:\\First\\");
    EXPECT_EQ(run(exe, "-register"), 0);
    EXPECT_EQ(LocalMachineString(kFamilyKey, "Home"), "C:\\First\\");
    // The registration's launcher is not waited for; its line must be in
    // before the next launcher appends to the same log.
    const std::string registered = launcherLog(bin, 2);
    EXPECT_EQ(std::count(registered.begin(), registered.end(), '\n'), 2) << registered;

    // Unregistering succeeds without a desktop icon and removes everything.
    EXPECT_EQ(run(exe, "-unregister"), 0);
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
