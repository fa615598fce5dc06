#include "system/FileSystem.h"

#include "system/PathSafety.h"
#include "system/PathText.h"
#include "system/TextCase.h"
#include "system/UniqueHandle.h"

namespace {

bool Gone(const std::string& path) { return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES; }

bool IsDotEntry(const char* name) {
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

// Removes a directory junction or symbolic link itself, never what it points
// at. Windows removes a directory link with RemoveDirectory; some file systems
// (a POSIX symlink seen through Wine) only let it go as a file.
void RemoveLinkOnly(const std::string& link) {
    if (!RemoveDirectoryA(link.c_str())) DeleteFileA(link.c_str());
}

}  // namespace

std::string GetModulePath(HMODULE module) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, MAX_PATH);
    return path;
}

std::string GetModuleName(HMODULE module) {
    std::string name = GetFileNameOfPath(GetModulePath(module));
    size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}

std::string FullPathName(const std::string& path) {
    // The ANSI call stops at MAX_PATH on many systems; the room beyond that is
    // for those that do not.
    char full[4 * MAX_PATH] = {};
    DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return (length > 0 && length < sizeof full) ? std::string(full, length) : std::string();
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
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY)) return true;
    return SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY) != 0;
}

void GetTempDirectory(std::string& path) {
    char buffer[2048] = {};
    DWORD length = GetTempPathA(sizeof buffer, buffer);
    if (length > 0 && length < sizeof buffer) path = buffer;
}

bool CreateDirectoryPath(const std::string& path) {
    std::string full = path;
    AddTrailingBackslash(full);
    size_t pos = full.find('\\');
    while (pos != 0) {
        if (pos == std::string::npos) return true;
        std::string prefix = full.substr(0, pos);
        if (!IsDirectory(prefix) && !CreateDirectoryA(prefix.c_str(), nullptr)) {
            // Someone else may have made it in the meantime.
            if (!IsDirectory(prefix)) return false;
        }
        pos = full.find('\\', pos + 1);
    }
    return true;
}

bool DeleteDirectoryTree(const std::string& path, const std::function<bool()>& stopRequested) {
    std::string dir = path;
    RemoveTrailingBackslash(dir);

    // A link given as the tree itself goes as a link, never through it.
    DWORD attributes = GetFileAttributesA(dir.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        RemoveLinkOnly(dir);
        return Gone(dir);
    }

    WIN32_FIND_DATAA entry;
    UniqueFindHandle listing(FindFirstFileA((dir + "\\*.*").c_str(), &entry));
    if (!listing) return Gone(dir);
    do {
        if (IsDotEntry(entry.cFileName)) continue;
        if (stopRequested && stopRequested()) return false;
        std::string child = dir + "\\" + entry.cFileName;
        bool isDirectory = entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        bool isLink = entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
        if (isDirectory && isLink) {
            RemoveLinkOnly(child);
        } else if (isDirectory) {
            DeleteDirectoryTree(child, stopRequested);
        } else if (MakeWritable(child)) {
            DeleteFileA(child.c_str());
        }
    } while (FindNextFileA(listing.get(), &entry));
    listing.reset();

    return RemoveDirectoryA(dir.c_str()) != 0;
}

bool IsDirectory(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsDirectoryEmpty(const std::string& path) {
    std::string dir = path;
    RemoveTrailingBackslash(dir);
    WIN32_FIND_DATAA entry;
    UniqueFindHandle listing(FindFirstFileA((dir + "\\*.*").c_str(), &entry));
    if (!listing) return false;
    // At most three entries are read: ".", ".." and anything at all.
    for (int seen = 1; seen < 3; ++seen) {
        if (!IsDotEntry(entry.cFileName)) return false;
        if (!FindNextFileA(listing.get(), &entry)) return true;
    }
    return false;
}
