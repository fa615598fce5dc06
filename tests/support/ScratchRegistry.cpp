#include "support/ScratchRegistry.h"

#include <sddl.h>

#include "system/Utf8.h"

const char kCompanyRoot[] = "Software\\Quillmar Technologies INC";
const char kFamilyKey[] = "Software\\Quillmar Technologies INC\\QMTApp";
const char kProductKeyPath[] = "Software\\Quillmar Technologies INC\\QMTApp\\VYN";
const char kUninstallEntry[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VYN2005";
const char kJavaRuntimeRoot[] = "Software\\JavaSoft\\Java Runtime Environment";

ScratchRegistry::ScratchRegistry(std::initializer_list<std::string> paths) : paths_(paths) {
    for (const std::string& path : paths_) DeleteLocalMachineTree(path);
}

ScratchRegistry::~ScratchRegistry() {
    for (const std::string& path : paths_) DeleteLocalMachineTree(path);
}

bool LocalMachineKeyExists(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::string LocalMachineString(const std::string& path, const std::string& name) {
    wchar_t buffer[4096] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, Widen(path).c_str(), Widen(name).c_str(), RRF_RT_REG_SZ, nullptr,
                     buffer, &size) != ERROR_SUCCESS)
        return "<missing>";
    return Narrow(buffer);
}

void SetLocalMachineString(const std::string& path, const std::string& name,
                           const std::string& value) {
    const std::wstring wide = Widen(value);
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, Widen(path).c_str(), Widen(name).c_str(), REG_SZ, wide.c_str(),
                    static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
}

void DeleteLocalMachineTree(const std::string& path) {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, path.c_str());
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
}

static bool SetKeyDacl(const std::string& path, const char* sddl, REGSAM access) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, &key) != ERROR_SUCCESS) return false;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    bool ok = ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1,
                                                                   &descriptor, nullptr) &&
              RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
    LocalFree(descriptor);
    RegCloseKey(key);
    return ok;
}

bool DenyWriteAccess(const std::string& path) {
    return SetKeyDacl(path, "D:(A;;KR;;;WD)", KEY_ALL_ACCESS);
}

void AllowFullAccess(const std::string& path) {
    SetKeyDacl(path, "D:(A;;KA;;;WD)", READ_CONTROL | WRITE_DAC);
}
