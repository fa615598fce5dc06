// Finding the files another handle holds, on real files of the Wine prefix.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/DirectoryLink.h"
#include "support/ScratchFolder.h"
#include "system/FilesInUse.h"
#include "system/UniqueHandle.h"
#include "system/Utf8.h"

namespace {

UniqueFileHandle OpenShared(const std::string& path, DWORD share) {
    return UniqueFileHandle(CreateFileW(Widen(path).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
}

TEST(FindFilesInUse, NamesHeldFilesButNotFreeOnesTheExcludedOneOrOnesBehindALink) {
    ScratchFolder scratch("inuse");
    const std::string home = scratch.path() + "home";
    // A name outside the ANSI code page, as the application's files may have.
    const std::string heldName = "\\bin\\\xD0\x94\xD0\xBE\xD0\xBC.jar";  // Дом.jar
    const std::string outside = scratch.path() + "outside";
    ASSERT_TRUE(MakeFolder(home) && MakeFolder(home + "\\bin") && MakeFolder(outside));
    const std::string names[] = {heldName, "\\bin\\VYN2005.exe", "\\free.txt", "\\read-shared.log"};
    for (const std::string& name : names) WriteTextFile(home + name, "x");
    WriteTextFile(outside + "\\held-outside.txt", "x");
    ASSERT_NE(MakeDirectoryLink(home + "\\link", outside), DirectoryLinkKind::None);

    UniqueFileHandle held = OpenShared(home + heldName, 0);
    UniqueFileHandle readShared = OpenShared(home + "\\read-shared.log", FILE_SHARE_READ | FILE_SHARE_WRITE);
    UniqueFileHandle own = OpenShared(home + "\\bin\\VYN2005.exe", 0);
    UniqueFileHandle heldOutside = OpenShared(outside + "\\held-outside.txt", 0);
    ASSERT_TRUE(held && readShared && own && heldOutside);

    // The names come as found below the folder given, in any letter case.
    const FilesInUse found = FindFilesInUse(home + "\\", {home + "\\BIN\\vyn2005.exe"});
    const std::vector<std::string> expected = {home + heldName, home + "\\read-shared.log"};
    std::vector<std::string> files = found.files;
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, expected);
    // This process holds them: it never names itself.
    EXPECT_TRUE(found.programs.empty());

    held.reset();
    readShared.reset();
    EXPECT_TRUE(FindFilesInUse(home, {home + "\\bin\\VYN2005.exe"}).empty());
    EXPECT_TRUE(FindFilesInUse(scratch.path() + "missing", {}).empty());
}

}  // namespace
