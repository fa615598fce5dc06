// Java runtime lookup on real registry layouts, and the version and
// program-files facts the installer reads about itself and the machine.
#include <windows.h>

#include <gtest/gtest.h>

#include "support/ScratchFolder.h"
#include "support/ScratchRegistry.h"
#include "support/TestPaths.h"
#include "system/JavaRuntimeLocator.h"
#include "system/SystemInfo.h"
#include "system/VersionText.h"

namespace {

class JavaRuntimeLocatorTest : public testing::Test {
protected:
    // A runtime folder holding bin\javaw.exe, below the scratch folder.
    std::string runtimeHome(const std::string& name) {
        const std::string home = homes_.path() + name;
        MakeFolder(home);
        MakeFolder(home + "\\bin");
        WriteTextFile(home + "\\bin\\javaw.exe", "");
        return home;
    }
    void registerRuntime(const std::string& version, const std::string& home) {
        SetLocalMachineString(std::string(kJavaRuntimeRoot) + "\\" + version, "JavaHome", home);
    }
    ScratchFolder homes_{"java"};
    ScratchRegistry scratch_{kJavaRuntimeRoot, "Software\\JavaSoft\\JRE", "Software\\JavaSoft\\JDK",
                             "Software\\Eclipse Adoptium", "Software\\Microsoft\\JDK", "Software\\Azul Systems"};
    JavaRuntimeLocator locator_;
};

TEST_F(JavaRuntimeLocatorTest, OnlyAHomeWithJavawCountsAndTheHighestUsableOneWins) {
    std::string home = "unchanged";
    EXPECT_FALSE(locator_.FindJavaRuntimeHome(1.4, home));
    registerRuntime("1.8", homes_.path() + "gone");  // its folder is not there
    SetLocalMachineString(std::string(kJavaRuntimeRoot) + "\\1.7", "Other", "x");  // no home at all
    EXPECT_FALSE(locator_.IsJavaRuntimeInstalled(1.4));
    EXPECT_EQ(home, "unchanged");

    registerRuntime("1.3", runtimeHome("1.3"));
    registerRuntime("1.4", runtimeHome("1.4"));
    registerRuntime("1.4.2_05", runtimeHome("1.4.2_05"));
    EXPECT_TRUE(locator_.FindJavaRuntimeHome(1.4, home));
    EXPECT_EQ(home, homes_.path() + "1.4.2_05");
    EXPECT_TRUE(locator_.IsJavaRuntimeInstalled(1.4205));
    EXPECT_FALSE(locator_.FindJavaRuntimeHome(1.5, home));
}

// Runtimes since Java 9 register below JavaSoft\JRE and JDK, and the OpenJDK
// builds below their maker's key; the highest of all of them is chosen.
TEST_F(JavaRuntimeLocatorTest, CurrentRuntimesAreFoundBelowEveryLayout) {
    registerRuntime("1.8.0_301", runtimeHome("jre8"));
    SetLocalMachineString("Software\\JavaSoft\\JRE\\11.0.2", "JavaHome", runtimeHome("jre11"));
    std::string home;
    EXPECT_TRUE(locator_.FindJavaRuntimeHome(9.0, home));
    EXPECT_EQ(home, homes_.path() + "jre11");

    SetLocalMachineString("Software\\JavaSoft\\JDK\\17.0.2", "JavaHome", runtimeHome("jdk17"));
    EXPECT_TRUE(locator_.FindJavaRuntimeHome(1.6, home));
    EXPECT_EQ(home, homes_.path() + "jdk17");

    SetLocalMachineString("Software\\Eclipse Adoptium\\JRE\\17.0.10.7\\hotspot\\MSI", "Path",
                          runtimeHome("temurin17"));
    EXPECT_TRUE(locator_.FindJavaRuntimeHome(17.0, home));
    EXPECT_EQ(home, homes_.path() + "temurin17") << "17.0.10 is above 17.0.2";

    SetLocalMachineString("Software\\Azul Systems\\Zulu\\zulu-21", "InstallationPath", runtimeHome("zulu21"));
    EXPECT_TRUE(locator_.FindJavaRuntimeHome(17.0, home));
    EXPECT_EQ(home, homes_.path() + "zulu21");

    SetLocalMachineString("Software\\Microsoft\\JDK\\25.0.1.8\\hotspot\\MSI", "Path", runtimeHome("ms25"));
    EXPECT_TRUE(locator_.FindJavaRuntimeHome(21.0, home));
    EXPECT_EQ(home, homes_.path() + "ms25");
    EXPECT_FALSE(locator_.IsJavaRuntimeInstalled(26.0));
}

TEST_F(JavaRuntimeLocatorTest, EqualVersionsTakeTheFirstListedAndNamesWithoutDigitsNeverWin) {
    registerRuntime("1.5", runtimeHome("first"));
    registerRuntime("1.5.0", runtimeHome("second"));
    registerRuntime("beta", runtimeHome("beta"));
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
        if (name == "1.5" || name == "1.5.0") {
            firstListed = name;
            break;
        }
    std::string home;
    EXPECT_TRUE(locator_.FindJavaRuntimeHome(1.5, home));
    EXPECT_EQ(home, homes_.path() + (firstListed == "1.5" ? "first" : "second"));
}

// Required versions arrive as floats, where 1.6 is 1.60000002: an installed
// "1.6" must still count as 1.6.
TEST_F(JavaRuntimeLocatorTest, VersionsCompareExactlyAcrossBothRegistryViews) {
    const double requiredAsFloat = static_cast<double>(1.6f);
    registerRuntime("1.6", runtimeHome("1.6"));
    std::string home;
    EXPECT_TRUE(locator_.FindJavaRuntimeHome(requiredAsFloat, home));
    EXPECT_EQ(home, homes_.path() + "1.6");
    EXPECT_FALSE(locator_.IsJavaRuntimeInstalled(static_cast<double>(1.60001f)));

    // A higher runtime registered only in the other (32-bit) view wins.
    const std::string other = std::string(kJavaRuntimeRoot) + "\\1.8.0_152";
    const std::string otherHome = runtimeHome("java32");
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, other.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                              nullptr, &key, nullptr), 0);
    RegSetValueExA(key, "JavaHome", 0, REG_SZ, reinterpret_cast<const BYTE*>(otherHome.c_str()),
                   static_cast<DWORD>(otherHome.size() + 1));
    RegCloseKey(key);
    EXPECT_TRUE(locator_.FindJavaRuntimeHome(static_cast<double>(1.8f), home));
    EXPECT_EQ(home, otherHome);
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

TEST(VersionText, JavaVersionsFollowJavasOwnOrder) {
    const struct {
        const char *a, *b;
        int order;
    } cases[] = {
        {"1.6", "1.8", -1},         {"1.8.0_301", "9", -1},   {"9", "11", -1},          {"11.0.2", "17", -1},
        {"17.0.10", "17.0.2", 1},   {"17", "17.0.0", 0},      {"1.8", "8", 0},          {"zulu-17", "17.0.1", -1},
        {"21", "17.0.10.7", 1},     {"1.10", "9", 1},         {"beta", "1.2", -1},
    };
    for (const auto& c : cases) {
        const int order = CompareJavaVersions(c.a, c.b);
        EXPECT_EQ((order > 0) - (order < 0), c.order) << c.a << " vs " << c.b;
        const int back = CompareJavaVersions(c.b, c.a);
        EXPECT_EQ((back > 0) - (back < 0), -c.order) << c.b << " vs " << c.a;
    }
    const struct {
        const char* runtime;
        double required;
        bool enough;
    } needs[] = {
        {"17.0.2", 1.6, true},   {"1.8.0_301", 1.8, true}, {"1.8.0_301", 9.0, false}, {"11", 11.0, true},
        {"1.4.2_05", 1.4205, true}, {"1.4.2_04", 1.4205, false}, {"zulu-21", 17.0, true},
        {"1.6", static_cast<double>(1.6f), true}, {"1.5.9", static_cast<double>(1.6f), false},
    };
    for (const auto& n : needs) EXPECT_EQ(IsJavaVersionAtLeast(n.runtime, n.required), n.enough) << n.runtime << " for " << n.required;
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
