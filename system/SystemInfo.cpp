#include "system/SystemInfo.h"

#include <cstdlib>
#include <vector>

#include "system/FileSystem.h"
#include "system/RegistryKey.h"
#include "system/ResourceText.h"

void GetModuleFileVersion(HMODULE module, std::string& version) {
    std::string path = GetModulePath(module);
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return;
    std::vector<char> block(size + 100, 0);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return;
    char* text = nullptr;
    UINT length = 0;
    char query[] = "\\StringFileInfo\\040904E4\\FileVersion";
    if (VerQueryValueA(block.data(), query, reinterpret_cast<void**>(&text), &length) && text)
        version.assign(text, strnlen(text, length));
}

std::string GetModuleDisplayVersion(HMODULE module) {
    std::string path = GetModulePath(module);
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return std::string();
    std::vector<char> block(size, 0);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return std::string();
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    char root[] = "\\";
    if (!VerQueryValueA(block.data(), root, reinterpret_cast<void**>(&fixed), &length) || !fixed ||
        length < sizeof *fixed)
        return std::string();
    return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) +
           "." + std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionLS));
}

double GetModuleVersionNumber(HMODULE module) {
    std::string text;
    GetModuleFileVersion(module, text);
    return std::atof(text.c_str());
}

void GetProgramFilesDirectory(std::string& path) {
    RegistryKey key;
    if (key.openForRead(HKEY_LOCAL_MACHINE, LoadResourceText(IDS_CURRENT_VERSION_KEY)) != ERROR_SUCCESS)
        return;
    key.getString("ProgramFilesDir", path);
    key.close();
}
