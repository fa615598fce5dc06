// Java runtime lookup on real registry layouts, and the version and
// program-files facts the installer reads about itself and the machine.
#include <windows.h>

#include <gtest/gtest.h>

#include "support/ScratchRegistry.h"
#include "support/TestPaths.h"
#include "system/JavaRuntimeLocator.h"
#include "system/SystemInfo.h"
#include "system/VersionText.h"

namespace {

class JavaRuntimeLocatorTest : public testing::Test {
protected:
    void registerRuntime(const std::string& version, const std::string& home) {
        SetLocalMachineString(std::string(kJavaRuntimeRoot) + "\\" + version, "JavaHome", home);
    }
    void setCurrent(const std::string& version) {
        SetLocalMachineString(kJavaRuntimeRoot, "CurrentVersion", version);
    }
    ScratchRegistry scratch_{kJavaRuntimeRoot};
    JavaRuntimeLocator locator_;
};

TEST_F(JavaRuntimeLocatorTest, NothingRegisteredAnswersFalseAndKeepsTheHome) {
    std::string home = "unchanged";
    EXPECT_FALSE(locator_.IsJavaRuntimeInstalled(1.4));
    EXPECT_FALSE(locator_.FindJavaRuntimeHome(1.4, home));
    EXPECT_EQ(home, "unchanged");
    registerRuntime("1.5", "C:\\Java\\1.5");  // a version but no CurrentVersion
    EXPECT_FALSE(locator_.IsJavaRuntimeInstalled(1.4));
}

TEST_F(JavaRuntimeLocatorTest, CurrentVersionDecidesWhetherInstalled) {
    setCurrent("1.4");
    EXPECT_TRUE(locator_.IsJavaRuntimeInstalled(1.4));  // equal counts
    EXPECT_TRUE(locator_.IsJavaRuntimeInstalled(1.3));
    EXPECT_FALSE(locator_.IsJavaRuntimeInstalled(1.5));
    setCurrent("1.10");  // reads as 1.1
    EXPECT_FALSE(locator_.IsJavaRuntimeInstalled(1.4));
}

TEST_F(JavaRuntimeLocatorTest, HighestRegisteredVersionGivesTheHome) {
    registerRuntime("1.3", "C:\\Java\\1.3");
    registerRuntime("1.4", "C:\\Java\\1.4");
    registerRuntime("1.4.2_05", "C:\\Java\\1.4.2_05");
    std::string home;
    EXPECT_TRUE(locator_.FindJavaRuntimeHome(1.4, home));
    EXPECT_EQ(home, "C:\\Java\\1.4.2_05");

    home = "unchanged";
    EXPECT_FALSE(locator_.FindJavaRuntimeHome(1.5, home));
    EXPECT_EQ(home, "unchanged");
}

TEST_F(JavaRuntimeLocatorTest, EqualVersionsTakeTheFirstListedAndNamesWithoutDigitsNeverWin) {
    registerRuntime("1.5", "C:\\Java\\first");
    registerRuntime("1.5.0", "C:\\Java\\second");
    registerRuntime("beta", "C:\\Java\\beta");
    std::vector<std::string> order;
    {
        HKEY key;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kJavaRuntimeRoot, 0, KEY_READ, &key), 0);
        char name[MAX_PATH];
        for (DWORD i = 0; RegEnumKeyA(key, i, name, MAX_PATH) == 0; ++i) order.push_back(name);
        RegCloseKey(key);
    }
    std::string firstListed;
    for (const std::string& name : order)
        if (ParseVersionNumber(name) == 1.5) {
            firstListed = name;
            break;
        }
    std::string home;
    EXPECT_TRUE(locator_.FindJavaRuntimeHome(1.5, home));
    EXPECT_EQ(home, firstListed == "1.5" ? "C:\\Java\\first" : "C:\\Java\\second");
}

TEST_F(JavaRuntimeLocatorTest, HighestVersionWithoutHomeIsNotFound) {
    registerRuntime("1.4", "C:\\Java\\1.4");
    SetLocalMachineString(std::string(kJavaRuntimeRoot) + "\\1.6", "Other", "x");
    std::string home = "unchanged";
    EXPECT_FALSE(locator_.FindJavaRuntimeHome(1.4, home));
    EXPECT_EQ(home, "unchanged");
}

TEST(SystemInfo, BuiltProgramReportsVersion101) {
    HMODULE program = LoadLibraryExA(InstallerPath().c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(program, nullptr) << InstallerPath();
    std::string text;
    GetModuleFileVersion(program, text);
    EXPECT_EQ(text, "1.01");
    EXPECT_DOUBLE_EQ(GetModuleVersionNumber(program), 1.01);
    EXPECT_EQ(FormatVersionNumber(GetModuleVersionNumber(program)), "1.01000");
    FreeLibrary(program);
}

TEST(SystemInfo, ModuleWithoutVersionStringGivesZeroAndLeavesTheText) {
    // The test support library's string table has no version block of its own
    // in kernel32's sense; use a module that carries none: a data file.
    std::string text = "unchanged";
    HMODULE noVersion = GetModuleHandleA("ntdll.dll");
    std::string before;
    GetModuleFileVersion(noVersion, before);
    if (!before.empty()) GTEST_SKIP() << "ntdll carries a version resource here";
    GetModuleFileVersion(noVersion, text);
    EXPECT_EQ(text, "unchanged");
    EXPECT_EQ(GetModuleVersionNumber(noVersion), 0.0);
}

TEST(SystemInfo, ProgramFilesDirectoryComesFromTheRegistry) {
    std::string expected = LocalMachineString("Software\\Microsoft\\Windows\\CurrentVersion",
                                              "ProgramFilesDir");
    std::string path = "unchanged";
    GetProgramFilesDirectory(path);
    EXPECT_EQ(path, expected);
    EXPECT_NE(path, "<missing>");
}

}  // namespace
