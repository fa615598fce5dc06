// Owners and rights of real folders, read back as Windows stores them (Wine
// keeps them but does not enforce them).
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include "support/ScratchFolder.h"
#include "system/FolderSecurity.h"
#include "system/UniqueHandle.h"
#include "system/Utf8.h"

namespace {

using UniqueLocalMemory = UniqueHandle<LocalMemoryTraits>;

bool IsSid(PSID sid, WELL_KNOWN_SID_TYPE type) { return IsWellKnownSid(sid, type) != 0; }

}  // namespace

TEST(FolderSecurity, TheRestrictedFolderKeepsOnlyAdministratorsAndSystemInCharge) {
    ScratchFolder scratch("acl");
    const std::string folder = scratch.path() + "Company";
    ASSERT_TRUE(CreateDirectoryW(Widen(folder).c_str(), nullptr));
    ASSERT_TRUE(RestrictToAdministrators(folder));

    UniqueFileHandle handle(CreateFileW(Widen(folder).c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(handle);
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR raw = nullptr;
    ASSERT_EQ(GetSecurityInfo(handle.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &raw),
              ERROR_SUCCESS);
    UniqueLocalMemory descriptor(raw);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(raw, &control, &revision));
    // Wine accepts a file's DACL but keeps none: it answers with its default.
    if (!(control & SE_DACL_PROTECTED)) GTEST_SKIP() << "this system does not keep a folder's DACL";
    ASSERT_NE(dacl, nullptr);
    ASSERT_EQ(dacl->AceCount, 3);
    const BYTE inherited = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    int administrators = 0, system = 0, users = 0;
    for (DWORD index = 0; index < dacl->AceCount; ++index) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, index, reinterpret_cast<void**>(&ace)));
        ASSERT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
        EXPECT_EQ(ace->Header.AceFlags & inherited, inherited) << "passed on to what the folder holds";
        PSID sid = &ace->SidStart;
        if (IsSid(sid, WinBuiltinAdministratorsSid) || IsSid(sid, WinLocalSystemSid)) {
            (IsSid(sid, WinLocalSystemSid) ? system : administrators)++;
            EXPECT_EQ(ace->Mask & FILE_ALL_ACCESS, static_cast<DWORD>(FILE_ALL_ACCESS));
        } else {
            ASSERT_TRUE(IsSid(sid, WinBuiltinUsersSid));
            ++users;
            // Users read and run; they can neither write nor change the rights.
            EXPECT_EQ(ace->Mask & (FILE_WRITE_DATA | FILE_APPEND_DATA | WRITE_DAC | WRITE_OWNER | DELETE), 0u);
            EXPECT_EQ(ace->Mask & FILE_GENERIC_EXECUTE, static_cast<DWORD>(FILE_GENERIC_EXECUTE));
        }
    }
    EXPECT_EQ(administrators, 1);
    EXPECT_EQ(system, 1);
    EXPECT_EQ(users, 1);
}

TEST(FolderSecurity, AFolderOwnedBySomeoneElseIsNotTrusted) {
    ScratchFolder scratch("owner");
    const std::string folder = scratch.path() + "Planted";
    ASSERT_TRUE(CreateDirectoryW(Widen(folder).c_str(), nullptr));
    EXPECT_TRUE(HasTrustedOwner(folder)) << "made by this process";

    // An ordinary local account, as a user without administrator rights would own it.
    PSID other = nullptr;
    ASSERT_TRUE(ConvertStringSidToSidW(L"S-1-5-21-1004336348-1177238915-682003330-1001", &other));
    UniqueLocalMemory held(other);
    std::wstring wide = Widen(folder);
    if (SetNamedSecurityInfoW(&wide[0], SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, other, nullptr, nullptr,
                              nullptr) != ERROR_SUCCESS)
        GTEST_SKIP() << "this system does not let the owner be set to another account";
    PSID stored = nullptr;
    PSECURITY_DESCRIPTOR raw = nullptr;
    ASSERT_EQ(GetNamedSecurityInfoW(wide.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &stored, nullptr,
                                    nullptr, nullptr, &raw),
              ERROR_SUCCESS);
    UniqueLocalMemory descriptor(raw);
    if (!EqualSid(stored, other)) GTEST_SKIP() << "this system does not keep a folder's owner";
    EXPECT_FALSE(HasTrustedOwner(folder));
    EXPECT_FALSE(HasTrustedOwner(scratch.path() + "missing")) << "an owner that cannot be read is no trusted one";
}
