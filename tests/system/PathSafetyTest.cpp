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
        {"name.", true, true, false},
        {".", true, false, true},
        {"..", false, false, true},
        {"...", false, false, true},
        {". .", false, false, true},
        {" .", true, false, true},
        {" ", true, true, false},
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
