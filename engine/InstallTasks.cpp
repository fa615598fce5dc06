#include "engine/InstallTasks.h"

#include <windows.h>
#include <shellapi.h>

#include "engine/MemberNames.h"
#include "engine/ZipArchive.h"
#include "system/UniqueHandle.h"

namespace {

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Sets the process's current directory for the lifetime of the object.
class CurrentDirectoryScope {
public:
    explicit CurrentDirectoryScope(const std::string& folder) {
        char previous[MAX_PATH] = {};
        DWORD length = GetCurrentDirectoryA(MAX_PATH, previous);
        if (length > 0 && length < MAX_PATH) previous_ = previous;
        entered_ = SetCurrentDirectoryA(folder.c_str()) != 0;
    }
    ~CurrentDirectoryScope() {
        if (entered_ && !previous_.empty()) SetCurrentDirectoryA(previous_.c_str());
    }
    CurrentDirectoryScope(const CurrentDirectoryScope&) = delete;
    CurrentDirectoryScope& operator=(const CurrentDirectoryScope&) = delete;
    bool entered() const { return entered_; }

private:
    std::string previous_;
    bool entered_ = false;
};

}  // namespace

bool runExecuteTask(const std::string& fileName) {
    size_t slash = fileName.rfind('\\');
    std::string folder = slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    std::string program = name, parameters;
    size_t blank = name.find(' ');
    if (blank != std::string::npos) {
        program = name.substr(0, blank);
        parameters = name.substr(blank + 1);
    }
    HINSTANCE started = ShellExecuteA(nullptr, "open", program.c_str(),
                                      parameters.empty() ? nullptr : parameters.c_str(),
                                      folder.empty() ? nullptr : folder.c_str(), SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(started) > 32;
}

bool runExtractFileTask(const std::string& archive, const std::string& member, const std::string& dest,
                        bool overwrite) {
    if (Exists(dest) && !overwrite) return true;
    UniqueZipArchive zip(ZipOpen(archive.c_str(), 0, ZipFromFileName));
    if (!zip) return false;
    int index = -1;
    if (ZipFindItem(zip.get(), member.c_str(), 1, &index, nullptr) != ZipOk) {
        std::string stored = member;
        for (char& c : stored)
            if (c == '\\') c = '/';
        if (stored == member || ZipFindItem(zip.get(), stored.c_str(), 1, &index, nullptr) != ZipOk) return false;
    }
    return ZipExtractItem(zip.get(), index, dest.c_str(), 0, ZipFromFileName) == ZipOk;
}

bool runUnzipTask(const std::string& archive, const std::string& dest, const std::string& homeDir,
                  bool overwrite) {
    // Members go below this folder by their relative names; without it they
    // would land wherever the current directory happens to be.
    CurrentDirectoryScope folder(dest.empty() ? homeDir : dest);
    if (!folder.entered()) return false;
    UniqueZipArchive zip(ZipOpen(archive.c_str(), 0, ZipFromFileName));
    if (!zip) return false;
    ZipItemInfo item;
    if (ZipGetItem(zip.get(), -1, &item) != ZipOk) return false;
    const int count = item.index;

    bool complete = true;
    for (int index = 0; index < count; ++index) {
        if (ZipGetItem(zip.get(), index, &item) != ZipOk) return false;
        const std::string name = item.name;
        if (!IsSafeMemberName(name)) {
            complete = false;
            continue;
        }
        bool exists = Exists(MemberCheckPath(homeDir, name));
        if (exists && (IsProtectedMember(name) || !overwrite)) continue;
        if (ZipExtractItem(zip.get(), index, name.c_str(), 0, ZipFromFileName) != ZipOk) complete = false;
    }
    return complete;
}

bool runMoveTask(const std::string& src, const std::string& dest, bool overwrite) {
    if (Exists(dest) && !overwrite) return true;
    // The source opens first: a missing source must leave dest as it was.
    // It is shared for reading only, so a dest naming the same file fails to
    // open instead of emptying it.
    UniqueFileHandle in(
        CreateFileA(src.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!in) return false;
    UniqueFileHandle out(
        CreateFileA(dest.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return false;
    char block[2048];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(in.get(), block, sizeof block, &read, nullptr)) return false;
        if (read == 0) break;
        DWORD written = 0;
        if (!WriteFile(out.get(), block, read, &written, nullptr) || written != read) return false;
    }
    out.reset();
    in.reset();
    return DeleteFileA(src.c_str()) != 0;
}

bool runDeleteTask(const std::string& fileName) {
    if (!Exists(fileName)) return true;
    return DeleteFileA(fileName.c_str()) != 0;
}
