// Directory helpers on real folders of the Wine prefix.
#include <windows.h>

#include <gtest/gtest.h>

#include "support/DirectoryLink.h"
#include "support/ScratchFolder.h"
#include "system/FileSystem.h"
#include "system/Utf8.h"
#include "system/WidePath.h"

namespace {

bool IsDir(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string CurrentDirectory() {
    char dir[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, dir);
    return dir;
}

TEST(CreateDirectoryPath, CreatesEveryMissingLevelAndLeavesTheCurrentDirectory) {
    ScratchFolder scratch("mkdir");
    std::string before = CurrentDirectory();
    std::string deep = scratch.path() + "a\\b b\\c";
    EXPECT_TRUE(CreateDirectoryPath(deep));
    EXPECT_TRUE(IsDir(deep));
    EXPECT_EQ(CurrentDirectory(), before);
    // Everything there already: nothing to do, still true; a final backslash is fine.
    EXPECT_TRUE(CreateDirectoryPath(deep + "\\"));
    EXPECT_TRUE(CreateDirectoryPath(scratch.path()));
}

TEST(CreateDirectoryPath, FailsOnMissingDriveAndOnAFileInTheWay) {
    EXPECT_FALSE(CreateDirectoryPath("Q:\\vyn-never\\here"));
    EXPECT_FALSE(IsDir("Q:\\vyn-never"));
    ScratchFolder scratch("mkfile");
    WriteTextFile(scratch.path() + "file", "x");
    EXPECT_FALSE(CreateDirectoryPath(scratch.path() + "file\\sub"));
}

TEST(CreateDirectoryPath, LeadingBackslashCreatesNothing) {
    EXPECT_TRUE(CreateDirectoryPath("\\\\server\\share\\dir"));
    EXPECT_TRUE(CreateDirectoryPath("\\vyn-rootless"));
    EXPECT_FALSE(IsDir("C:\\vyn-rootless"));
    EXPECT_TRUE(CreateDirectoryPath(""));
}

TEST(DeleteDirectoryTree, RemovesNestedTreeAndSaysItIsGone) {
    ScratchFolder scratch("rmtree");
    std::string root = scratch.path() + "tree";
    ASSERT_TRUE(CreateDirectoryPath(root + "\\a\\b"));
    WriteTextFile(root + "\\top.txt", "1");
    WriteTextFile(root + "\\a\\b\\deep.txt", "2");
    EXPECT_TRUE(DeleteDirectoryTree(root + "\\"));
    EXPECT_FALSE(PathExists(root));
    EXPECT_TRUE(DeleteDirectoryTree(root));  // missing: nothing to do
}

TEST(DeleteDirectoryTree, RemovesReadOnlyFilesAndStopsWhenAsked) {
    ScratchFolder scratch("rmro");
    std::string root = scratch.path() + "tree";
    ASSERT_TRUE(CreateDirectoryPath(root + "\\keep\\inner"));
    WriteTextFile(root + "\\keep\\inner\\locked.txt", "ro");
    WriteTextFile(root + "\\keep\\other.txt", "x");
    SetFileAttributesA((root + "\\keep\\inner\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY);

    // Asked before each entry: a stop at the second leaves the rest.
    int asked = 0;
    EXPECT_FALSE(DeleteDirectoryTree(root, [&asked] { return ++asked > 1; }));
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(PathExists(root + "\\keep\\inner\\locked.txt"));

    EXPECT_TRUE(DeleteDirectoryTree(root));
    EXPECT_FALSE(PathExists(root));
}

TEST(DeleteDirectoryTree, NeverDeletesThroughADirectoryLink) {
    ScratchFolder scratch("rmlink");
    std::string precious = scratch.path() + "precious";
    ASSERT_TRUE(CreateDirectoryPath(precious + "\\docs"));
    WriteTextFile(precious + "\\docs\\letter.txt", "user data");

    std::string tree = scratch.path() + "tree";
    ASSERT_TRUE(CreateDirectoryPath(tree + "\\sub"));
    WriteTextFile(tree + "\\sub\\mine.txt", "x");
    DirectoryLinkKind kind = MakeDirectoryLink(tree + "\\sub\\link", precious);
    ASSERT_NE(kind, DirectoryLinkKind::None);
    ASSERT_TRUE(PathExists(tree + "\\sub\\link\\docs\\letter.txt"));
    ASSERT_EQ(MakeDirectoryLink(scratch.path() + "treelink", tree + "\\sub"), kind);
    // An empty folder behind a link is the one a delete that followed it would take.
    ASSERT_TRUE(CreateDirectoryPath(scratch.path() + "empty"));
    ASSERT_EQ(MakeDirectoryLink(tree + "\\emptylink", scratch.path() + "empty"), kind);
    // Looked for from the top folder down to the path, never above it.
    const std::string below = scratch.path() + "treelink\\x\\y.txt";
    EXPECT_EQ(FirstLinkFrom(scratch.path(), below), scratch.path() + "treelink");
    EXPECT_EQ(FirstLinkFrom(scratch.path() + "treelink", below), scratch.path() + "treelink");
    EXPECT_EQ(FirstLinkFrom(precious, precious + "\\docs\\letter.txt"), "");
    EXPECT_EQ(FirstLinkFrom(precious + "\\docs", scratch.path() + "treelink\\y"), "");

    // The tree given as a link: nothing behind it is touched.
    DeleteDirectoryTree(scratch.path() + "treelink");
    EXPECT_TRUE(PathExists(tree + "\\sub\\mine.txt"));
    if (kind == DirectoryLinkKind::Junction) {
        EXPECT_FALSE(PathExists(scratch.path() + "treelink"));
    }

    // A link inside the tree: the tree goes, the link's target stays whole.
    DeleteDirectoryTree(tree);
    EXPECT_FALSE(PathExists(tree + "\\sub\\mine.txt"));
    EXPECT_EQ(ReadTextFile(precious + "\\docs\\letter.txt"), "user data");
    EXPECT_TRUE(IsDirectory(scratch.path() + "empty"));
    if (kind == DirectoryLinkKind::Junction) {
        EXPECT_FALSE(PathExists(tree));
    }
}

TEST(IsDirectoryEmpty, OnlyDotEntriesCountAsEmpty) {
    ScratchFolder scratch("empty");
    std::string dir = scratch.path() + "d";
    EXPECT_FALSE(IsDirectoryEmpty(dir));  // missing
    CreateDirectoryA(dir.c_str(), nullptr);
    EXPECT_TRUE(IsDirectoryEmpty(dir));
    EXPECT_TRUE(IsDirectoryEmpty(dir + "\\"));
    WriteTextFile(dir + "\\one", "1");
    EXPECT_FALSE(IsDirectoryEmpty(dir));
    DeleteFileA((dir + "\\one").c_str());
    CreateDirectoryA((dir + "\\sub").c_str(), nullptr);
    EXPECT_FALSE(IsDirectoryEmpty(dir));
}

TEST(DirectoryHelpers, WorkOnNonLatinNames) {
    ScratchFolder scratch("utf8");
    // "Программы\千\café": Cyrillic, CJK and Latin-1, none of them ASCII.
    const std::string tree =
        scratch.path() + "\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB3\xD1\x80\xD0\xB0\xD0\xBC\xD0\xBC\xD1\x8B";
    const std::string deep = tree + "\\\xE5\x8D\x83\\caf\xC3\xA9";
    const std::wstring wideDeep =
        Widen(scratch.path()) + L"\u041F\u0440\u043E\u0433\u0440\u0430\u043C\u043C\u044B\\\u5343\\caf\u00E9";
    ASSERT_TRUE(CreateDirectoryPath(deep));
    ASSERT_TRUE(GetFileAttributesW(wideDeep.c_str()) & FILE_ATTRIBUTE_DIRECTORY);  // the names Windows sees
    EXPECT_TRUE(IsDirectory(deep));
    EXPECT_TRUE(IsDirectoryEmpty(deep));
    EXPECT_EQ(FullPathName(deep + "\\..\\caf\xC3\xA9"), deep);
    EXPECT_TRUE(IsPathInsideFolder(deep, tree));

    const std::wstring file = wideDeep + L"\\\u00FCber.txt";
    CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_READONLY, nullptr));
    ASSERT_NE(GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(IsDirectoryEmpty(deep));
    EXPECT_TRUE(MakeWritable(deep + "\\\xC3\xBC" "ber.txt"));
    EXPECT_FALSE(GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_READONLY);

    EXPECT_TRUE(DeleteDirectoryTree(tree));
    EXPECT_EQ(GetFileAttributesW(Widen(tree).c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(WidePath, LongFullPathsGetTheLiteralFormResolvedFirst) {
    const std::string name(kLongPathFrom, 'n');
    const std::wstring wideName(kLongPathFrom, L'n');
    const struct {
        std::string path;
        std::wstring wide;
    } cases[] = {
        {"C:\\a\\..\\b/\xC3\xA9", L"C:\\a\\..\\b/\u00E9"},              // short: as it is
        {"a\\..\\" + name, L"a\\..\\" + wideName},                  // relative: as it is
        {"C:\\a\\..\\b/./" + name, L"\\\\?\\C:\\b\\" + wideName},  // resolved, backslashes only
        {"C:/x/\xD0\xAF/" + name, L"\\\\?\\C:\\x\\\u042F\\" + wideName},
        {"\\\\server\\share\\" + name, L"\\\\?\\UNC\\server\\share\\" + wideName},
        {"\\\\?\\C:\\..\\" + name, L"\\\\?\\C:\\..\\" + wideName},  // literal already
    };
    for (const auto& c : cases) EXPECT_EQ(WidePath(c.path), c.wide) << c.path;
}

TEST(ModuleAndTempPaths, NameTheRunningProgramAndTheTempFolder) {
    std::string module = GetModulePath();
    EXPECT_NE(module.find("system_tests.exe"), std::string::npos) << module;
    EXPECT_EQ(GetModuleName(), "system_tests");
    std::string temp = "unchanged";
    GetTempDirectory(temp);
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), '\\');
    EXPECT_TRUE(IsDir(temp));
}

}  // namespace
