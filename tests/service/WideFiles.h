#pragma once
// A folder and files made, read and removed through the wide functions, so
// their names may lie outside any ANSI code page. Each goes when its owner
// does, even after a failed check; declare a file after its folder.
#include <windows.h>

#include <string>

#include "system/UniqueHandle.h"
#include "system/Utf8.h"

class WideFolder {
public:
    // `path` ends with a backslash.
    explicit WideFolder(const std::string& path) : path(path), made_(CreateDirectoryW(Widen(path).c_str(), nullptr)) {}
    ~WideFolder() {
        if (made_) RemoveDirectoryW(Widen(path).c_str());
    }
    WideFolder(const WideFolder&) = delete;
    WideFolder& operator=(const WideFolder&) = delete;

    bool made() const { return made_; }
    const std::string path;

private:
    const bool made_;
};

class WideFile {
public:
    explicit WideFile(const std::string& path) : path(path) {}
    ~WideFile() { DeleteFileW(Widen(path).c_str()); }
    WideFile(const WideFile&) = delete;
    WideFile& operator=(const WideFile&) = delete;

    bool write(const std::string& bytes) const {
        UniqueFileHandle file(open(GENERIC_WRITE, CREATE_ALWAYS));
        DWORD written = 0;
        return file && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
               written == bytes.size();
    }
    std::string read() const {
        UniqueFileHandle file(open(GENERIC_READ, OPEN_EXISTING));
        std::string bytes;
        char block[4096];
        DWORD got = 0;
        while (file && ReadFile(file.get(), block, sizeof block, &got, nullptr) && got > 0) bytes.append(block, got);
        return bytes;
    }
    bool exists() const { return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

    const std::string path;

private:
    HANDLE open(DWORD access, DWORD disposition) const {
        return CreateFileW(Widen(path).c_str(), access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    }
};
