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

// Required versions arrive as floats, where 1.6 is 1.60000002: an installed
// "1.6" must still count as 1.6.
TEST_F(JavaRuntimeLocatorTest, VersionsCompareAsExactDecimalsAcrossBothRegistryViews) {
    const double requiredAsFloat = static_cast<double>(1.6f);
    setCurrent("1.6");
    registerRuntime("1.6", "C:\\Java\\1.6");
    EXPECT_TRUE(locator_.IsJavaRuntimeInstalled(requiredAsFloat));
    std::string home;
    EXPECT_TRUE(locator_.FindJavaRuntimeHome(requiredAsFloat, home));
    EXPECT_EQ(home, "C:\\Java\\1.6");
    EXPECT_FALSE(locator_.IsJavaRuntimeInstalled(static_cast<double>(1.60001f)));

    // A higher runtime registered only in the other (32-bit) view wins.
    const std::string other = std::string(kJavaRuntimeRoot) + "\\1.8.0_152";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, other.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                              nullptr, &key, nullptr), 0);
    RegSetValueExA(key, "JavaHome", 0, REG_SZ, reinterpret_cast<const BYTE*>("C:\\Java32"), 10);
    RegCloseKey(key);
    EXPECT_TRUE(locator_.FindJavaRuntimeHome(static_cast<double>(1.8f), home));
    EXPECT_EQ(home, "C:\\Java32");
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, other.c_str(), KEY_WOW64_32KEY, 0);
}

TEST(VersionText, ComparesTheDigitsAndFirstDotReadingExactly) {
    const struct {
        const char *a, *b;
        int order;
    } cases[] = {
        {"1.6", "1.60000", 0}, {"1.4.2_05", "1.4205", 0}, {"1.4.2_05", "1.4", 1}, {"1.4.2_05", "1.5", -1},
        {"1.10", "1.4", -1},   {"10.0", "9.99", 1},       {"01.5", "1.5", 0},     {"beta", "", 0},
        {".5", "0.45", 1},     {"1.8.0_152", "1.80152", 0},
    };
    for (const auto& c : cases) {
        const int order = CompareVersionTexts(c.a, c.b);
        EXPECT_EQ((order > 0) - (order < 0), c.order) << c.a << " vs " << c.b;
        EXPECT_EQ(-((order > 0) - (order < 0)), (CompareVersionTexts(c.b, c.a) > 0) - (CompareVersionTexts(c.b, c.a) < 0));
    }
    EXPECT_TRUE(IsVersionAtLeast("1.6", static_cast<double>(1.6f)));
    EXPECT_FALSE(IsVersionAtLeast("1.5.9", static_cast<double>(1.6f)));
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
