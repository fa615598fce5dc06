// The private temporary folder's access list, and files held as verified.
#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/ScratchFolder.h"
#include "system/FileSystem.h"
#include "system/ProcessLaunch.h"
#include "system/Sha256.h"
#include "system/TempFolder.h"
#include "system/UniqueHandle.h"
#include "system/Utf8.h"
#include "system/VerifiedFile.h"

namespace {

std::string SidText(PSID sid) {
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) return "?";
    UniqueLocalMemory owned(text);
    return Narrow(text);
}

std::string CurrentUserSidText() {
    UniqueKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return "?";
    std::vector<BYTE> buffer(512);
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), static_cast<DWORD>(buffer.size()), &size))
        return "?";
    return SidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

// Removes the folder however the test ends.
struct FolderRemover {
    std::string path;
    ~FolderRemover() {
        if (!path.empty()) RemoveTreeForTest(path);
    }
};

// Whether this system keeps the protected access list a folder is given
// (Wine 8 answers with one made from the Unix mode bits instead).
bool KeepsFolderAccessLists(const std::string& scratch) {
    const std::string probe = scratch + "probe";
    if (!CreateDirectoryW(Widen(probe).c_str(), nullptr)) return false;
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof sid;
    BYTE acl[256];
    bool kept = false;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (CreateWellKnownSid(WinLocalSystemSid, nullptr, sid, &size) &&
        InitializeAcl(reinterpret_cast<PACL>(acl), sizeof acl, ACL_REVISION) &&
        AddAccessAllowedAce(reinterpret_cast<PACL>(acl), ACL_REVISION, FILE_ALL_ACCESS, sid) &&
        SetNamedSecurityInfoW(&Widen(probe)[0], SE_FILE_OBJECT,
                              DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              reinterpret_cast<PACL>(acl), nullptr) == ERROR_SUCCESS &&
        GetNamedSecurityInfoW(Widen(probe).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              &dacl, nullptr, &descriptor) == ERROR_SUCCESS) {
        UniqueLocalMemory owned(descriptor);
        kept = GetSecurityDescriptorControl(descriptor, &control, &revision) && (control & SE_DACL_PROTECTED) &&
               dacl && dacl->AceCount == 1;
    }
    RemoveDirectoryW(Widen(probe).c_str());
    return kept;
}

std::string DigestOf(const std::string& bytes) {
    Sha256 hash;
    hash.update(bytes.data(), bytes.size());
    return hash.finish();
}

}  // namespace

TEST(PrivateTempFolder, HasAProtectedAccessListForItsOwnersOnly) {
    const FolderRemover folder{CreatePrivateTempFolder()};
    ASSERT_FALSE(folder.path.empty());
    const bool elevated = IsProcessElevated();
    if (elevated) {
        wchar_t windows[MAX_PATH] = {};
        GetSystemWindowsDirectoryW(windows, MAX_PATH);
        EXPECT_TRUE(IsPathInsideFolder(folder.path, Narrow(windows) + "\\Temp")) << folder.path;
    } else {
        std::string temp;
        GetTempDirectory(temp);
        EXPECT_TRUE(IsPathInsideFolder(folder.path, temp)) << folder.path;
    }

    ScratchFolder scratch("acl");
    if (!KeepsFolderAccessLists(scratch.path())) GTEST_SKIP() << "this system does not keep folder access lists";
    UniqueFileHandle handle(CreateFileW(Widen(folder.path).c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(handle);
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetSecurityInfo(handle.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    UniqueLocalMemory ownedDescriptor(descriptor);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
    EXPECT_TRUE(control & SE_DACL_PROTECTED) << "nothing inherited from the parent";
    ASSERT_NE(dacl, nullptr);

    std::vector<std::string> allowed;
    for (DWORD index = 0; index < dacl->AceCount; ++index) {
        void* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, index, &ace));
        auto* header = static_cast<ACE_HEADER*>(ace);
        ASSERT_EQ(header->AceType, ACCESS_ALLOWED_ACE_TYPE);
        EXPECT_FALSE(header->AceFlags & INHERITED_ACE);
        allowed.push_back(SidText(&static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart));
    }
    std::sort(allowed.begin(), allowed.end());
    const std::vector<std::string> expected =
        elevated ? std::vector<std::string>{"S-1-5-18", "S-1-5-32-544"} : std::vector<std::string>{CurrentUserSidText()};
    EXPECT_EQ(allowed, expected) << (elevated ? "elevated" : "not elevated");
}

TEST(LockVerifiedFile, HoldsTheVerifiedBytesAndRefusesOthers) {
    ScratchFolder scratch("verified");
    const std::string path = scratch.path() + "setup.bin";
    WriteTextFile(path, "the published bytes");
    const std::string published = DigestOf("the published bytes");
    {
        const UniqueFileHandle held = LockVerifiedFile(path, published);
        ASSERT_TRUE(held);
        // Readers still open it; nobody writes, replaces or deletes it.
        EXPECT_TRUE(UniqueFileHandle(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                 OPEN_EXISTING, 0, nullptr)));
        EXPECT_FALSE(UniqueFileHandle(CreateFileW(Widen(path).c_str(), GENERIC_WRITE,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                  OPEN_EXISTING, 0, nullptr)));
        EXPECT_FALSE(DeleteFileW(Widen(path).c_str()));
        EXPECT_FALSE(MoveFileW(Widen(path).c_str(), Widen(scratch.path() + "moved.bin").c_str()));
    }
    EXPECT_FALSE(LockVerifiedFile(path, "")) << "no digest, no trust";
    EXPECT_TRUE(PathExists(path));

    // Swapped after the download: refused, and gone so nothing else runs it.
    WriteTextFile(path, "bytes put in its place");
    EXPECT_FALSE(LockVerifiedFile(path, published));
    EXPECT_FALSE(PathExists(path));
}

TEST(LockVerifiedFile, AHeldProgramStillStarts) {
    ScratchFolder scratch("verified");
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::string program = scratch.path() + "cmd.exe";
    ASSERT_TRUE(CopyFileW((std::wstring(system) + L"\\cmd.exe").c_str(), Widen(program).c_str(), TRUE));
    const UniqueFileHandle held = LockVerifiedFile(program, FileSha256(program));
    ASSERT_TRUE(held);
    std::wstring commandLine = L"cmd.exe /c exit 7";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    ASSERT_TRUE(CreateProcessW(Widen(program).c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                               nullptr, nullptr, &startup, &started))
        << GetLastError();
    UniqueKernelHandle process(started.hProcess), thread(started.hThread);
    ASSERT_EQ(WaitForSingleObject(process.get(), 30000), WAIT_OBJECT_0);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.get(), &exitCode);
    EXPECT_EQ(exitCode, 7u);
}
