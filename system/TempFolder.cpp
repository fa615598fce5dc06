#include "system/TempFolder.h"

#include <windows.h>
#include <objbase.h>

#include <cstdio>

#include "system/FileSystem.h"
#include "system/WidePath.h"

std::string CreatePrivateTempFolder() {
    std::string temp;
    GetTempDirectory(temp);
    if (temp.empty()) return std::string();
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
        const std::string folder = temp + name;
        if (CreateDirectoryW(WidePath(folder).c_str(), nullptr)) return folder + "\\";
        if (GetLastError() != ERROR_ALREADY_EXISTS) return std::string();
    }
    return std::string();
}
