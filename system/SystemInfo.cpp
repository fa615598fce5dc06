#include "system/SystemInfo.h"

#include <cstdlib>
#include <vector>

#include "system/FileSystem.h"
#include "system/RegistryKey.h"
#include "system/ResourceText.h"
#include "system/Utf8.h"
#include "system/WidePath.h"

namespace {

// The module's whole version resource; empty when it has none.
std::vector<char> ReadVersionBlock(HMODULE module) {
    const std::wstring path = WidePath(GetModulePath(module));
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return {};
    std::vector<char> block(size, 0);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return {};
    return block;
}

}  // namespace

void GetModuleFileVersion(HMODULE module, std::string& version) {
    std::vector<char> block = ReadVersionBlock(module);
    if (block.empty()) return;
    wchar_t* text = nullptr;
    UINT length = 0;  // characters
    wchar_t query[] = L"\\StringFileInfo\\040904E4\\FileVersion";
    if (VerQueryValueW(block.data(), query, reinterpret_cast<void**>(&text), &length) && text)
        version = Narrow(std::wstring_view(text, wcsnlen(text, length)));
}

std::string GetModuleDisplayVersion(HMODULE module) {
    std::vector<char> block = ReadVersionBlock(module);
    if (block.empty()) return std::string();
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    wchar_t root[] = L"\\";
    if (!VerQueryValueW(block.data(), root, reinterpret_cast<void**>(&fixed), &length) || !fixed ||
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
