// The path checks made before writes, moves and deletes.
#include <gtest/gtest.h>

#include <string>

#include "system/FileSystem.h"
#include "system/PathSafety.h"

TEST(PathSafety, NamesThatStayWhereTheyBelong) {
    const struct {
        const char* name;
        bool member;  // IsSafeMemberName
        bool plain;   // IsPlainFileName
        bool dots;    // IsDotComponent
    } cases[] = {
        {"readme.txt", true, true, false},
        {"..name", true, true, false},
        {"a..b", true, true, false},
        {"name.", false, false, false},
        {".", true, false, true},
        {"..", false, false, true},
        {"...", false, false, true},
        {". .", false, false, true},
        {" .", false, false, true},
        {" ", false, false, false},
        {"", false, false, false},
        {"lib/ext/a.jar", true, false, false},
        {"lib\\a.jar", true, false, false},
        {"./bin/run.bat", true, false, false},
        {"a..b/c", true, false, false},
        {"dir/", true, false, false},
        {"/rooted.txt", false, false, false},
        {"\\rooted.txt", false, false, false},
        {"//server/share/x", false, false, false},
        {"C:/drive.txt", false, false, false},
        {"c:drive.txt", false, false, false},
        {"a.txt:stream", false, false, false},
        {"../up.txt", false, false, false},
        {"..\\up.txt", false, false, false},
        {"sub/../../up.txt", false, false, false},
        {"sub/..", false, false, false},
        {"sub/.../x", false, false, false},
        {"sub/.. /x", false, false, false},
        {"sub/. ./x", false, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsSafeMemberName(c.name), c.member) << c.name;
        EXPECT_EQ(IsPlainFileName(c.name), c.plain) << c.name;
        EXPECT_EQ(IsDotComponent(c.name), c.dots) << c.name;
    }
}

// Names Windows would not take as written: devices, trimmed endings,
// streams and prefixes that skip the path rules.
TEST(PathSafety, LiteralNames) {
    const struct {
        const char* path;
        bool literal;
    } cases[] = {
        {"lib\\app.jar", true},
        {"C:\\Program Files\\App\\lib\\app.jar", true},
        {"\\\\server\\share\\a.txt", true},
        {"C:\\a\\..\\b\\.\\c", true},
        {"console.txt", true},
        {"COM10", true},
        {"LPT0.txt", true},
        {"nulls/auxiliary/prn1", true},
        {"dir/", true},
        {"CON", false},
        {"lib\\nul.txt", false},
        {"COM1", false},
        {"aux.jar", false},
        {"Lpt9.tar.gz", false},
        {"lib/PrN", false},
        {"C:\\App\\nul .txt\\x", false},
        {"conout$", false},
        {"C:\\App\\lib.\\a.jar", false},
        {"lib \\a.jar", false},
        {"C:\\App\\a.jar ", false},
        {"...", false},
        {"file.txt:evil", false},
        {"C:\\App\\file.txt:evil", false},
        {"C:\\App\\file.txt::$DATA", false},
        {"lib/a:b/c", false},
        {"\\\\?\\C:\\App\\a.txt", false},
        {"\\\\.\\C:\\App\\a.txt", false},
        {"//?/C:/App/a.txt", false},
        {"\\\\.\\pipe\\x", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsLiteralPathName(c.path), c.literal) << c.path;
    // The member and file name rules hold the same line.
    for (const char* name : {"lib/nul.txt", "aux.jar", "lib./a.jar", "a.jar "}) {
        EXPECT_FALSE(IsSafeMemberName(name)) << name;
        EXPECT_FALSE(IsPlainFileName(name)) << name;
    }
}

TEST(PathSafety, FullPathsAndDotComponents) {
    for (const char* path : {"C:\\", "c:/x", "\\\\server\\share", "//server/share"})
        EXPECT_TRUE(IsFullPath(path)) << path;
    for (const char* path : {"", "C", "C:", "C:x", "\\x", "x\\y", "\\"}) EXPECT_FALSE(IsFullPath(path)) << path;
    for (const char* path : {"C:\\a\\..\\b", "C:/a/./b", "C:\\a\\. .", "..\\x"})
        EXPECT_TRUE(HasDotComponent(path)) << path;
    for (const char* path : {"C:\\a\\b\\", "C:\\a..\\.b", ""}) EXPECT_FALSE(HasDotComponent(path)) << path;
}

TEST(PathSafety, InsideAFolder) {
    const struct {
        const char* path;
        const char* folder;
        bool inside;
    } cases[] = {
        {"C:\\A\\B", "C:\\A\\", true},
        {"C:\\A\\B", "C:\\A", true},
        {"c:\\a\\b\\c.txt", "C:\\A\\", true},
        {"C:\\x", "C:\\", true},
        {"\\\\server\\share\\x", "\\\\server\\share\\", true},
        {"C:\\AB", "C:\\A\\", false},
        {"C:\\AB\\x", "C:\\A", false},
        {"C:\\A\\", "C:\\A\\", false},
        {"C:\\A", "C:\\A\\", false},
        {"C:\\A\\\\", "C:\\A", false},
        {"C:\\A\\..\\B", "C:\\A\\", false},
        {"C:\\A\\...\\x", "C:\\A\\", false},
        {"C:\\B\\x", "C:\\A\\", false},
        {"C:\\A\\x", "", false},
        {"C:\\A\\x", "\\", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsTextInsideFolder(c.path, c.folder), c.inside) << c.path << " in " << c.folder;
}

TEST(PathSafety, PathsAreMadeFullBeforeTheyAreCompared) {
    EXPECT_EQ(FullPathName("C:\\A\\B\\..\\C"), "C:\\A\\C");
    EXPECT_EQ(FullPathName(""), "");
    EXPECT_TRUE(IsPathInsideFolder("C:\\A\\B\\..\\C", "C:\\A\\"));
    EXPECT_TRUE(IsPathInsideFolder("C:/a/b", "C:\\A"));
    EXPECT_FALSE(IsPathInsideFolder("C:\\A\\..\\B\\x", "C:\\A\\"));
    EXPECT_FALSE(IsPathInsideFolder("C:\\A\\B\\..\\..\\A2\\x", "C:\\A"));
    EXPECT_FALSE(IsPathInsideFolder("", "C:\\A"));
}
