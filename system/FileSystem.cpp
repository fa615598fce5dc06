#include "system/FileSystem.h"

#include <vector>

#include "system/PathSafety.h"
#include "system/PathText.h"
#include "system/TextCase.h"
#include "system/UniqueHandle.h"
#include "system/Utf8.h"
#include "system/WidePath.h"

namespace {

DWORD Attributes(const std::string& path) { return GetFileAttributesW(WidePath(path).c_str()); }

bool Gone(const std::string& path) { return Attributes(path) == INVALID_FILE_ATTRIBUTES; }

bool IsDotEntry(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

// True when both handles name the same file (volume and file index); false
// when either cannot be asked.
bool SameFile(HANDLE first, HANDLE second) {
    BY_HANDLE_FILE_INFORMATION a, b;
    return GetFileInformationByHandle(first, &a) && GetFileInformationByHandle(second, &b) &&
           a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}

// Fills `text` through a call that writes into a wide buffer of the given size
// and answers with the length written, or with the size it needs when the
// buffer is too small (0 on failure). False when the call failed.
template <typename Call>
bool ReadWideText(Call call, std::string& text, size_t initialSize = MAX_PATH) {
    std::vector<wchar_t> buffer(initialSize);
    for (;;) {
        const DWORD length = call(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return false;
        if (length < buffer.size()) {
            text = Narrow(std::wstring_view(buffer.data(), length));
            return true;
        }
        buffer.resize(length + 1);
    }
}

}  // namespace

std::string GetModulePath(HMODULE module) {
    // GetModuleFileNameW cuts the name to the buffer and says nothing but
    // its full size: grow until the name fits with room to spare.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return std::string();
        if (length < buffer.size() - 1) return Narrow(std::wstring_view(buffer.data(), length));
        buffer.resize(buffer.size() * 2);
    }
}

std::string GetModuleName(HMODULE module) {
    std::string name = GetFileNameOfPath(GetModulePath(module));
    size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}

std::string FullPathName(const std::string& path) {
    const std::wstring wide = Widen(path);
    std::string full;
    const bool made = ReadWideText(
        [&wide](wchar_t* buffer, DWORD size) { return GetFullPathNameW(wide.c_str(), size, buffer, nullptr); }, full,
        wide.size() + MAX_PATH);
    return made ? full : std::string();
}

std::string ShortPathName(const std::string& path) {
    const std::wstring wide = WidePath(path);
    std::string shortPath;
    if (!ReadWideText([&wide](wchar_t* buffer, DWORD size) { return GetShortPathNameW(wide.c_str(), buffer, size); },
                      shortPath, wide.size() + 1))
        return std::string();
    // A long path went in as "\\?\..."; the short form is for text, without it.
    if (shortPath.compare(0, 8, "\\\\?\\UNC\\") == 0) return "\\" + shortPath.substr(7);
    if (shortPath.compare(0, 4, "\\\\?\\") == 0) return shortPath.substr(4);
    return shortPath;
}

bool IsPathInsideFolder(const std::string& path, const std::string& folder) {
    const std::string fullPath = FullPathName(path);
    const std::string fullFolder = FullPathName(folder);
    return !fullPath.empty() && !fullFolder.empty() && IsTextInsideFolder(fullPath, fullFolder);
}

bool IsSameFolder(const std::string& path, const std::string& folder) {
    std::string fullPath = FullPathName(path), fullFolder = FullPathName(folder);
    RemoveTrailingBackslash(fullPath);
    RemoveTrailingBackslash(fullFolder);
    return !fullPath.empty() && EqualsIgnoringCase(fullPath, fullFolder);
}

bool MakeWritable(const std::string& path) {
    const std::wstring wide = WidePath(path);
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY)) return true;
    return SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY) != 0;
}

void GetTempDirectory(std::string& path) {
    ReadWideText([](wchar_t* buffer, DWORD size) { return GetTempPathW(size, buffer); }, path);
}

bool CreateDirectoryPath(const std::string& path) {
    std::string full = path;
    AddTrailingBackslash(full);
    size_t pos = full.find('\\');
    while (pos != 0) {
        if (pos == std::string::npos) return true;
        std::string prefix = full.substr(0, pos);
        if (!IsDirectory(prefix) && !CreateDirectoryW(WidePath(prefix).c_str(), nullptr)) {
            // Someone else may have made it in the meantime.
            if (!IsDirectory(prefix)) return false;
        }
        pos = full.find('\\', pos + 1);
    }
    return true;
}

bool IsLinkHandle(HANDLE handle) {
    FILE_BASIC_INFO basic = {};
    return GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) &&
           (basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool DeleteEntry(const std::string& path) {
    // Opened on the entry itself: a link is never followed, and what the
    // handle names is what goes.
    UniqueFileHandle entry(CreateFileW(WidePath(path).c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!entry) return Gone(path);
    FILE_BASIC_INFO basic = {};
    if (!GetFileInformationByHandleEx(entry.get(), FileBasicInfo, &basic, sizeof basic)) return false;
    // Wine opens what a POSIX link points at even when asked for the link:
    // a handle that is the same file as the link's target is not the link,
    // and nothing goes through it.
    if ((basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || IsLink(path)) {
        UniqueFileHandle target(CreateFileW(WidePath(path).c_str(), FILE_READ_ATTRIBUTES,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (target && SameFile(entry.get(), target.get())) {
            SetLastError(ERROR_CANT_ACCESS_FILE);
            return false;
        }
    }
    if (basic.FileAttributes & FILE_ATTRIBUTE_READONLY) {
        FILE_BASIC_INFO writable = {};  // zero times: left as they are
        writable.FileAttributes = basic.FileAttributes & ~FILE_ATTRIBUTE_READONLY;
        if (writable.FileAttributes == 0) writable.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        if (!SetFileInformationByHandle(entry.get(), FileBasicInfo, &writable, sizeof writable)) return false;
    }
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle(entry.get(), FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

bool DeleteDirectoryTree(const std::string& path, const std::function<bool()>& stopRequested) {
    std::string dir = path;
    RemoveTrailingBackslash(dir);

    // A link given as the tree itself goes as a link, never through it.
    DWORD attributes = Attributes(dir);
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return DeleteEntry(dir) && Gone(dir);

    WIN32_FIND_DATAW entry;
    UniqueFindHandle listing(FindFirstFileW(WidePath(dir + "\\*.*").c_str(), &entry));
    if (!listing) return Gone(dir);
    do {
        if (IsDotEntry(entry.cFileName)) continue;
        if (stopRequested && stopRequested()) return false;
        std::string child = dir + "\\" + Narrow(entry.cFileName);
        bool isDirectory = entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        bool isLink = entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
        if (isDirectory && !isLink)
            DeleteDirectoryTree(child, stopRequested);
        else
            DeleteEntry(child);
    } while (FindNextFileW(listing.get(), &entry));
    listing.reset();

    return DeleteEntry(dir) && Gone(dir);
}

std::string FirstLinkOnPath(const std::string& fullPath) {
    // Past the root: "C:\" or "\\server\share\".
    size_t from = 3;
    if (fullPath.compare(0, 2, "\\\\") == 0) {
        from = fullPath.find('\\', 2);
        from = from == std::string::npos ? fullPath.size() : fullPath.find('\\', from + 1);
        if (from == std::string::npos) from = fullPath.size();
    }
    for (size_t end = fullPath.find('\\', from);; end = fullPath.find('\\', end + 1)) {
        const std::string prefix = fullPath.substr(0, end);
        const DWORD attributes = Attributes(prefix);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return prefix;
        if (end == std::string::npos) return std::string();
    }
}

std::string FirstLinkFrom(const std::string& top, const std::string& path) {
    std::string folder = FullPathName(top), target = FullPathName(path);
    RemoveTrailingBackslash(folder);
    RemoveTrailingBackslash(target);
    if (folder.empty()) return std::string();
    const DWORD topAttributes = Attributes(folder);
    if (topAttributes != INVALID_FILE_ATTRIBUTES && (topAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) return folder;
    if (!IsTextInsideFolder(target, folder)) return std::string();
    for (size_t end = target.find('\\', folder.size() + 1);; end = target.find('\\', end + 1)) {
        const std::string prefix = target.substr(0, end);
        const DWORD attributes = Attributes(prefix);
        // Nothing exists below a missing entry.
        if (attributes == INVALID_FILE_ATTRIBUTES) return std::string();
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return prefix;
        if (end == std::string::npos) return std::string();
    }
}

bool IsLink(const std::string& path) {
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool IsDirectory(const std::string& path) {
    DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsDirectoryEmpty(const std::string& path) {
    std::string dir = path;
    RemoveTrailingBackslash(dir);
    WIN32_FIND_DATAW entry;
    UniqueFindHandle listing(FindFirstFileW(WidePath(dir + "\\*.*").c_str(), &entry));
    if (!listing) return false;
    // At most three entries are read: ".", ".." and anything at all.
    for (int seen = 1; seen < 3; ++seen) {
        if (!IsDotEntry(entry.cFileName)) return false;
        if (!FindNextFileW(listing.get(), &entry)) return true;
    }
    return false;
}
