#include "system/TempFolder.h"

#include <windows.h>
#include <objbase.h>
#include <aclapi.h>

#include <cstdio>
#include <vector>

#include "system/FileSystem.h"
#include "system/PathText.h"
#include "system/ProcessLaunch.h"
#include "system/UniqueHandle.h"
#include "system/Utf8.h"
#include "system/WidePath.h"

namespace {

using SidBytes = std::vector<BYTE>;

bool WellKnownSid(WELL_KNOWN_SID_TYPE type, SidBytes& sid) {
    DWORD size = SECURITY_MAX_SID_SIZE;
    sid.assign(size, 0);
    return CreateWellKnownSid(type, nullptr, sid.data(), &size) != FALSE;
}

bool CurrentUserSid(SidBytes& sid) {
    UniqueKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return false;
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0) return false;
    std::vector<BYTE> buffer(size);
    if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return false;
    BYTE* user = static_cast<BYTE*>(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
    sid.assign(user, user + GetLengthSid(user));
    return true;
}

// Elevated: Administrators and SYSTEM; otherwise the user alone.
bool AllowedSids(bool elevated, std::vector<SidBytes>& sids) {
    sids.clear();
    if (!elevated) {
        sids.emplace_back();
        return CurrentUserSid(sids.back());
    }
    for (WELL_KNOWN_SID_TYPE type : {WinBuiltinAdministratorsSid, WinLocalSystemSid}) {
        sids.emplace_back();
        if (!WellKnownSid(type, sids.back())) return false;
    }
    return true;
}

// Full control for each, passed on to everything created inside.
bool BuildAcl(const std::vector<SidBytes>& sids, std::vector<BYTE>& acl) {
    DWORD size = sizeof(ACL);
    for (const SidBytes& sid : sids)
        size += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(const_cast<BYTE*>(sid.data()));
    size = (size + sizeof(DWORD) - 1) & ~(sizeof(DWORD) - 1);
    acl.assign(size, 0);
    PACL list = reinterpret_cast<PACL>(acl.data());
    if (!InitializeAcl(list, size, ACL_REVISION)) return false;
    for (const SidBytes& sid : sids)
        if (!AddAccessAllowedAceEx(list, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, FILE_ALL_ACCESS,
                                   const_cast<BYTE*>(sid.data())))
            return false;
    return true;
}

// Elevated, the user's own temp folder will not do: its owner could rename
// our folder away and put another in its place.
std::string ParentFolder(bool elevated) {
    std::string folder;
    if (!elevated) {
        GetTempDirectory(folder);
        return folder;
    }
    wchar_t windows[MAX_PATH] = {};
    const UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::string();
    folder = Narrow(windows);
    AddTrailingBackslash(folder);
    folder += "Temp\\";
    return IsDirectory(folder) ? folder : std::string();
}

// Sets the access list again through a handle, protected from inheritance:
// not every system keeps the one given to CreateDirectory.
bool ApplyAcl(const std::string& folder, std::vector<BYTE>& acl) {
    UniqueFileHandle handle(CreateFileW(WidePath(folder).c_str(), READ_CONTROL | WRITE_DAC, 0, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!handle) return false;
    return SetSecurityInfo(handle.get(), SE_FILE_OBJECT,
                           DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr,
                           reinterpret_cast<PACL>(acl.data()), nullptr) == ERROR_SUCCESS;
}

}  // namespace

std::string CreatePrivateTempFolder() {
    const bool elevated = IsProcessElevated();
    const std::string parent = ParentFolder(elevated);
    std::vector<SidBytes> sids;
    std::vector<BYTE> acl;
    if (parent.empty() || !AllowedSids(elevated, sids) || !BuildAcl(sids, acl)) return std::string();
    SECURITY_DESCRIPTOR descriptor;
    if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor, TRUE, reinterpret_cast<PACL>(acl.data()), FALSE) ||
        !SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
        return std::string();
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
    // A fresh random name each try; CreateDirectory fails on one that exists,
    // so a folder someone prepared is never taken over.
    for (int attempt = 0; attempt < 8; ++attempt) {
        GUID guid = {};
        if (FAILED(CoCreateGuid(&guid))) return std::string();
        char name[48];
        std::snprintf(name, sizeof name, "vyn-%08lx%04x%04x%02x%02x%02x%02x%02x%02x%02x%02x",
                      static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
                      guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6],
                      guid.Data4[7]);
        const std::string folder = parent + name;
        if (CreateDirectoryW(WidePath(folder).c_str(), &attributes)) {
            if (ApplyAcl(folder, acl)) return folder + "\\";
            RemoveDirectoryW(WidePath(folder).c_str());
            return std::string();
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) return std::string();
    }
    return std::string();
}
