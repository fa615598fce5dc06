#include "system/WidePath.h"

#include <windows.h>

#include "system/PathSafety.h"
#include "system/Utf8.h"

namespace {

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.compare(0, wcslen(prefix), prefix) == 0;
}

// GetFullPathNameW with a buffer as large as it asks for; empty on failure.
std::wstring FullWidePath(const std::wstring& path) {
    std::wstring full(path.size() + 16, L'\0');
    for (;;) {
        const DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
        if (length == 0) return std::wstring();
        if (length < full.size()) {
            full.resize(length);
            return full;
        }
        full.resize(length);  // too small: length counts the terminator too
    }
}

}  // namespace

std::wstring WidePath(const std::string& path) {
    std::wstring wide = Widen(path);
    if (wide.size() < kLongPathFrom || !IsFullPath(path)) return wide;
    for (wchar_t& c : wide)
        if (c == L'/') c = L'\\';
    if (StartsWith(wide, L"\\\\?\\") || StartsWith(wide, L"\\\\.\\")) return wide;
    const std::wstring full = FullWidePath(wide);
    if (full.empty()) return wide;
    if (StartsWith(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}
