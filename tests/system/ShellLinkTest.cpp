// Shortcut files in the real Programs menu and desktop folders of the prefix.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "support/ScratchFolder.h"
#include "system/ComPtr.h"
#include "system/ShellLink.h"

namespace {

const char kSubfolder[] = "VYN2005 Test Company";

std::string FolderOf(int csidl) {
    std::string path;
    EXPECT_TRUE(GetSpecialFolderPath(csidl, path));
    return path;
}

// What the shell itself reads back as the link's target.
std::string LinkTarget(const std::string& linkPath) {
    ComPtr<IShellLinkA> link;
    ComPtr<IPersistFile> file;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                link.putVoid())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, file.putVoid())))
        return "<no shell link object>";
    std::wstring wide(linkPath.begin(), linkPath.end());
    if (FAILED(file->Load(wide.c_str(), STGM_READ))) return "<unreadable>";
    char target[MAX_PATH] = {};
    link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
    return target;
}

class ShellLinkTest : public testing::Test {
protected:
    void SetUp() override { RemoveTreeForTest(programs_ + "\\" + kSubfolder); }
    void TearDown() override { RemoveTreeForTest(programs_ + "\\" + kSubfolder); }
    std::string programs_ = FolderOf(CSIDL_PROGRAMS);
    std::string target_ = "C:\\Apps\\Quillmar Technologies INC\\QMTApp\\bin\\VYN2005.exe";
};

TEST_F(ShellLinkTest, ProgramsMenuLinkCreatesItsSubfolderAndPointsAtTheTarget) {
    ASSERT_TRUE(CreateShellLink("First", target_, kSubfolder, CSIDL_PROGRAMS));
    std::string link = programs_ + "\\" + kSubfolder + "\\First.lnk";
    ASSERT_TRUE(PathExists(link));
    EXPECT_EQ(LinkTarget(link), target_);
    EXPECT_TRUE(ShellLinkExists("First", kSubfolder, CSIDL_PROGRAMS));
    // Writing it again overwrites it.
    EXPECT_TRUE(CreateShellLink("First", "C:\\other.exe", kSubfolder, CSIDL_PROGRAMS));
    EXPECT_EQ(LinkTarget(link), "C:\\other.exe");
}

TEST_F(ShellLinkTest, LastLinkTakesTheEmptySubfolderWithIt) {
    ASSERT_TRUE(CreateShellLink("First", target_, kSubfolder, CSIDL_PROGRAMS));
    ASSERT_TRUE(CreateShellLink("Second", target_, kSubfolder, CSIDL_PROGRAMS));
    std::string folder = programs_ + "\\" + kSubfolder;

    EXPECT_TRUE(DeleteShellLink("First", kSubfolder, CSIDL_PROGRAMS, true));
    EXPECT_FALSE(PathExists(folder + "\\First.lnk"));
    EXPECT_TRUE(PathExists(folder + "\\Second.lnk"));  // folder stays for the other link

    EXPECT_TRUE(DeleteShellLink("Second", kSubfolder, CSIDL_PROGRAMS, true));
    EXPECT_FALSE(PathExists(folder));
}

TEST_F(ShellLinkTest, WithoutTheFlagTheEmptySubfolderStays) {
    ASSERT_TRUE(CreateShellLink("First", target_, kSubfolder, CSIDL_PROGRAMS));
    EXPECT_TRUE(DeleteShellLink("First", kSubfolder, CSIDL_PROGRAMS, false));
    EXPECT_TRUE(PathExists(programs_ + "\\" + kSubfolder));
}

TEST_F(ShellLinkTest, DeletingAMissingLinkFails) {
    EXPECT_FALSE(DeleteShellLink("Nowhere", kSubfolder, CSIDL_PROGRAMS, true));
    EXPECT_FALSE(DeleteShellLink("VYN2005 Test Nowhere", "", CSIDL_DESKTOP, false));
    EXPECT_FALSE(ShellLinkExists("Nowhere", kSubfolder, CSIDL_PROGRAMS));
}

TEST_F(ShellLinkTest, DesktopLinkRoundTrip) {
    std::string desktop = FolderOf(CSIDL_DESKTOP);
    ASSERT_TRUE(CreateShellLink("VYN2005 Test Link", target_, "", CSIDL_DESKTOP));
    EXPECT_EQ(LinkTarget(desktop + "\\VYN2005 Test Link.lnk"), target_);
    EXPECT_TRUE(DeleteShellLink("VYN2005 Test Link", "", CSIDL_DESKTOP, false));
    EXPECT_FALSE(PathExists(desktop + "\\VYN2005 Test Link.lnk"));
    EXPECT_TRUE(PathExists(desktop));
}

}  // namespace
