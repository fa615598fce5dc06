#include "support/DirectoryLink.h"

#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <vector>

#include "system/PathText.h"

namespace {

struct MountPointBuffer {
    DWORD tag;
    WORD dataLength;
    WORD reserved;
    WORD substituteOffset;
    WORD substituteLength;
    WORD printOffset;
    WORD printLength;
    WCHAR paths[1024];
};

bool MakeJunction(const std::string& linkPath, const std::string& targetPath) {
    if (!CreateDirectoryA(linkPath.c_str(), nullptr)) return false;
    HANDLE link = CreateFileA(linkPath.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (link == INVALID_HANDLE_VALUE) return false;
    std::wstring substitute = L"\\??\\", print;
    for (char c : targetPath) print += static_cast<WCHAR>(c);
    substitute += print;
    MountPointBuffer buffer = {};
    buffer.tag = IO_REPARSE_TAG_MOUNT_POINT;
    buffer.substituteLength = static_cast<WORD>(substitute.size() * 2);
    buffer.printOffset = buffer.substituteLength + 2;
    buffer.printLength = static_cast<WORD>(print.size() * 2);
    std::memcpy(buffer.paths, substitute.c_str(), buffer.substituteLength + 2);
    std::memcpy(reinterpret_cast<char*>(buffer.paths) + buffer.printOffset, print.c_str(),
                buffer.printLength + 2);
    buffer.dataLength = static_cast<WORD>(8 + buffer.printOffset + buffer.printLength + 2);
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(link, FSCTL_SET_REPARSE_POINT, &buffer, 8 + buffer.dataLength,
                              nullptr, 0, &returned, nullptr);
    CloseHandle(link);
    if (!ok) RemoveDirectoryA(linkPath.c_str());
    return ok;
}

std::string UnixPathOf(const std::string& windowsPath) {
    using Converter = char* (*)(LPCWSTR);
    auto convert = reinterpret_cast<Converter>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!convert) return "";
    std::wstring wide(windowsPath.begin(), windowsPath.end());
    char* unixPath = convert(wide.c_str());
    if (!unixPath) return "";
    std::string result = unixPath;
    HeapFree(GetProcessHeap(), 0, unixPath);
    return result;
}

bool MakeWineSymlink(const std::string& linkPath, const std::string& targetPath) {
    std::string dir = linkPath.substr(0, linkPath.rfind('\\'));
    std::string unixDir = UnixPathOf(dir);
    std::string unixTarget = UnixPathOf(targetPath);
    if (unixDir.empty() || unixTarget.empty()) return false;
    std::string unixLink = unixDir + "/" + GetFileNameOfPath(linkPath);
    // A Linux program started from Wine cannot be waited for: watch for the link.
    std::string command = "Z:\\bin\\ln -s \"" + unixTarget + "\" \"" + unixLink + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int i = 0; i < 200; ++i) {
        if (GetFileAttributesA(linkPath.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
        Sleep(25);
    }
    return false;
}

}  // namespace

DirectoryLinkKind MakeDirectoryLink(const std::string& linkPath, const std::string& targetPath) {
    if (MakeJunction(linkPath, targetPath)) return DirectoryLinkKind::Junction;
    if (MakeWineSymlink(linkPath, targetPath)) return DirectoryLinkKind::PosixSymlink;
    return DirectoryLinkKind::None;
}
