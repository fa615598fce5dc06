#pragma once
// One open registry key together with the root and path it was opened from,
// so the whole key can later be deleted as a tree. Every operation returns the
// Windows error code of its call (0 = success) or -1 when no key is open.
// The object owns its key handle and closes it when destroyed. Names and
// string values are UTF-8 here and UTF-16 (REG_SZ) in the registry.
#include <windows.h>
#include <string>
#include <vector>

#include "system/UniqueHandle.h"

class RegistryKey {
public:
    static constexpr LONG kNotOpen = -1;
    static constexpr DWORD kMaxStringCharacters = 2048;  // UTF-16 units, terminator included

    RegistryKey() = default;
    // Opens the key; creates it when it cannot be opened.
    RegistryKey(HKEY root, const std::string& path);

    // With full access, for keys that are changed or deleted.
    LONG open(HKEY root, const std::string& path);
    // With read access only, so that a user who may not change the key can
    // still read it; view may add KEY_WOW64_32KEY or KEY_WOW64_64KEY. A key
    // that is not there gives ERROR_FILE_NOT_FOUND, one that may not be read
    // ERROR_ACCESS_DENIED.
    LONG openForRead(HKEY root, const std::string& path, REGSAM view = 0);
    LONG create(HKEY root, const std::string& path);
    LONG close();
    LONG deleteTree();
    LONG deleteValue(const std::string& name);
    LONG setString(const std::string& name, const std::string& text);
    LONG setDword(const std::string& name, DWORD value);
    // At most kMaxStringCharacters (ERROR_MORE_DATA past that); the out text
    // is unchanged on failure.
    LONG getString(const std::string& name, std::string& text) const;
    LONG enumSubkeys(std::vector<std::string>& names) const;
    LONG enumValues(std::vector<std::string>& names) const;

    bool isOpen() const { return key_.valid(); }
    HKEY handle() const { return key_.get(); }
    const std::string& path() const { return path_; }

private:
    UniqueRegistryKey key_;
    HKEY root_ = nullptr;
    std::string path_;
};
