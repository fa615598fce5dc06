#include "support/ScratchFolder.h"

#include <windows.h>

#include "system/UniqueHandle.h"
#include "system/Utf8.h"
#include "system/WidePath.h"

ScratchFolder::ScratchFolder(const std::string& tag) {
    static int counter = 0;
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    path_ = Narrow(temp) + "vyntest-" + tag + "-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(++counter) + "-" + std::to_string(GetTickCount()) + "\\";
    CreateDirectoryW(Widen(path_).c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() { RemoveTreeForTest(path_); }

void WriteTextFile(const std::string& path, const std::string& text) {
    UniqueFileHandle file(
        CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file) WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string ReadTextFile(const std::string& path) {
    UniqueFileHandle file(CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string text;
    if (!file) return text;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
    return text;
}

bool PathExists(const std::string& path) { return PathAttributes(path) != INVALID_FILE_ATTRIBUTES; }

unsigned long PathAttributes(const std::string& path) { return GetFileAttributesW(WidePath(path).c_str()); }

bool MakeFolder(const std::string& path) { return CreateDirectoryW(WidePath(path).c_str(), nullptr) != FALSE; }

namespace {

// Wide and with the "\\?\" prefix when full, so that names outside the ANSI
// code page and trees deeper than 260 characters go too.
void RemoveWideTree(const std::wstring& dir) {
    DWORD attributes = GetFileAttributesW(dir.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        SetFileAttributesW(dir.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!DeleteFileW(dir.c_str())) RemoveDirectoryW(dir.c_str());
        return;
    }
    WIN32_FIND_DATAW entry;
    {
        UniqueFindHandle find(FindFirstFileW((dir + L"\\*").c_str(), &entry));
        for (bool more = find.valid(); more; more = FindNextFileW(find.get(), &entry) != FALSE) {
            const std::wstring name = entry.cFileName;
            if (name != L"." && name != L"..") RemoveWideTree(dir + L"\\" + name);
        }
    }
    RemoveDirectoryW(dir.c_str());
}

}  // namespace

void RemoveTreeForTest(const std::string& path) {
    std::string dir = path;
    if (!dir.empty() && dir.back() == '\\') dir.pop_back();
    if (dir.empty()) return;
    const std::wstring wide = Widen(dir);
    // The prefixed form is taken literally: "." and ".." resolved first.
    std::wstring full(GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr), L'\0');
    full.resize(GetFullPathNameW(wide.c_str(), DWORD(full.size()), &full[0], nullptr));
    const bool drive = full.size() > 2 && full[1] == L':' && full[2] == L'\\';
    RemoveWideTree(drive ? L"\\\\?\\" + full : full);
}
