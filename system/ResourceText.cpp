#include "system/ResourceText.h"

#include "system/Utf8.h"

std::string LoadResourceText(UINT id) {
    // With no buffer size, LoadStringW hands out the entry where it lies in
    // the loaded module (not terminated) and its length: nothing is copied,
    // and no entry is too long.
    const wchar_t* text = nullptr;
    int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 && text ? Narrow(std::wstring_view(text, static_cast<size_t>(length))) : std::string();
}
