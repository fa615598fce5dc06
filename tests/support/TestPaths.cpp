#include "support/TestPaths.h"

#include <windows.h>
#include <shlobj.h>

#include "system/ShellLink.h"
#include "system/Utf8.h"

std::string UnixToWindowsPath(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::string EnvironmentText(const char* name) {
    wchar_t value[4096] = {};
    DWORD length = GetEnvironmentVariableW(Widen(name).c_str(), value, ARRAYSIZE(value));
    return (length > 0 && length < ARRAYSIZE(value)) ? Narrow(value) : "";
}

static std::string DirFromEnvironment(const char* name) {
    std::string dir = UnixToWindowsPath(EnvironmentText(name));
    if (dir.back() != '\\') dir += '\\';
    return dir;
}

std::string SourceDir() { return DirFromEnvironment("VYN_SOURCE_DIR"); }
std::string BinaryDir() { return DirFromEnvironment("VYN_BINARY_DIR"); }
std::string InstallerPath() { return BinaryDir() + "VYN2005.exe"; }

std::string ProgramsLinkPath(int specialFolder) {
    std::string programs;
    GetSpecialFolderPath(specialFolder, programs);
    return programs + "\\Quillmar Technologies INC\\VYN2005.lnk";
}

std::string DesktopLinkPath(int specialFolder) {
    std::string desktop;
    GetSpecialFolderPath(specialFolder, desktop);
    return desktop + "\\VYN2005.lnk";
}
