#include "system/FolderSecurity.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "system/UniqueHandle.h"
#include "system/Utf8.h"
#include "system/WidePath.h"

namespace {

using UniqueLocalMemory = UniqueHandle<LocalMemoryTraits>;

// The service that owns the system's own files.
const wchar_t kTrustedInstallerSid[] = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

struct WellKnownSid {
    BYTE bytes[SECURITY_MAX_SID_SIZE];
    bool made = false;
    explicit WellKnownSid(WELL_KNOWN_SID_TYPE type) {
        DWORD size = sizeof bytes;
        made = CreateWellKnownSid(type, nullptr, bytes, &size) != 0;
    }
    PSID get() { return made ? static_cast<PSID>(bytes) : nullptr; }
};

// The process token's user or default owner, as a copy of its bytes.
std::vector<BYTE> TokenSid(TOKEN_INFORMATION_CLASS kind) {
    UniqueKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return {};
    DWORD size = 0;
    GetTokenInformation(token.get(), kind, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !GetTokenInformation(token.get(), kind, buffer.data(), size, &size)) return {};
    PSID sid = kind == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid
                                 : reinterpret_cast<TOKEN_OWNER*>(buffer.data())->Owner;
    const BYTE* bytes = static_cast<const BYTE*>(sid);
    return std::vector<BYTE>(bytes, bytes + GetLengthSid(sid));
}

}  // namespace

bool HasTrustedOwner(const std::string& path) {
    PSID owner = nullptr;
    UniqueLocalMemory descriptor;
    PSECURITY_DESCRIPTOR raw = nullptr;
    std::wstring wide = WidePath(path);
    if (GetNamedSecurityInfoW(wide.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                              nullptr, &raw) != ERROR_SUCCESS)
        return false;
    descriptor.reset(raw);
    if (!owner || !IsValidSid(owner)) return false;
    if (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) || IsWellKnownSid(owner, WinLocalSystemSid)) return true;
    PSID trustedInstaller = nullptr;
    if (ConvertStringSidToSidW(kTrustedInstallerSid, &trustedInstaller)) {
        UniqueLocalMemory held(trustedInstaller);
        if (EqualSid(owner, trustedInstaller)) return true;
    }
    for (TOKEN_INFORMATION_CLASS kind : {TokenUser, TokenOwner}) {
        std::vector<BYTE> own = TokenSid(kind);
        if (!own.empty() && EqualSid(owner, own.data())) return true;
    }
    return false;
}

bool RestrictToAdministrators(const std::string& folder, unsigned long* error) {
    WellKnownSid administrators(WinBuiltinAdministratorsSid), system(WinLocalSystemSid), users(WinBuiltinUsersSid);
    struct Grant {
        PSID sid;
        DWORD rights;
    } grants[] = {{administrators.get(), FILE_ALL_ACCESS},
                  {system.get(), FILE_ALL_ACCESS},
                  {users.get(), FILE_GENERIC_READ | FILE_GENERIC_EXECUTE}};
    EXPLICIT_ACCESS_W entries[3] = {};
    for (size_t i = 0; i < 3; ++i) {
        if (!grants[i].sid) {
            if (error) *error = GetLastError();
            return false;
        }
        entries[i].grfAccessPermissions = grants[i].rights;
        entries[i].grfAccessMode = SET_ACCESS;
        entries[i].grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
        entries[i].Trustee.TrusteeForm = TRUSTEE_IS_SID;
        entries[i].Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
        entries[i].Trustee.ptstrName = static_cast<LPWSTR>(grants[i].sid);
    }
    PACL acl = nullptr;
    DWORD result = SetEntriesInAclW(3, entries, nullptr, &acl);
    UniqueLocalMemory heldAcl(acl);
    if (result == ERROR_SUCCESS) {
        std::wstring wide = WidePath(folder);
        result = SetNamedSecurityInfoW(&wide[0], SE_FILE_OBJECT,
                                       DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                       nullptr, acl, nullptr);
    }
    if (error) *error = result;
    return result == ERROR_SUCCESS;
}
