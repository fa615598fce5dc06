#include "system/DllSearch.h"

#include <windows.h>

bool RestrictDllSearchToSystem32() {
    // Looked up rather than imported: a Windows 7 without the loader update
    // lacks it, and the program must still start there.
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto setDefault = kernel ? reinterpret_cast<SetDefaultDllDirectoriesFunction>(
                                   reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")))
                             : nullptr;
    if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return true;
    // Without it, at least the current folder leaves the search.
    SetDllDirectoryW(L"");
    return false;
}
