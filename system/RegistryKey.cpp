#include "system/RegistryKey.h"

RegistryKey::RegistryKey(HKEY root, const std::string& path) {
    if (open(root, path) != ERROR_SUCCESS) create(root, path);
}

RegistryKey::~RegistryKey() { close(); }

LONG RegistryKey::open(HKEY root, const std::string& path) {
    close();
    root_ = root;
    path_ = path;
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key);
    if (rc == ERROR_SUCCESS) handle_ = key;
    return rc;
}

LONG RegistryKey::create(HKEY root, const std::string& path) {
    close();
    root_ = root;
    path_ = path;
    HKEY key = nullptr;
    char noClass[] = "";
    LONG rc = RegCreateKeyExA(root, path.c_str(), 0, noClass, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (rc == ERROR_SUCCESS) handle_ = key;
    return rc;
}

LONG RegistryKey::close() {
    if (!handle_) return ERROR_SUCCESS;
    LONG rc = RegCloseKey(handle_);
    if (rc == ERROR_SUCCESS) {
        handle_ = nullptr;
        path_.clear();
    }
    return rc;
}

LONG RegistryKey::deleteTree() {
    if (!handle_) return kNotOpen;

    // Collect all names before deleting anything: deleting while enumerating
    // shifts the indexes.
    std::vector<std::string> subkeys;
    enumSubkeys(subkeys);
    for (const std::string& name : subkeys) {
        RegistryKey child(root_, path_ + "\\" + name);
        LONG rc = child.deleteTree();
        child.close();
        if (rc != ERROR_SUCCESS) return rc;
    }

    std::vector<std::string> values;
    enumValues(values);
    for (const std::string& name : values) {
        LONG rc = deleteValue(name);
        if (rc != ERROR_SUCCESS) return rc;
    }
    return RegDeleteKeyA(root_, path_.c_str());
}

LONG RegistryKey::deleteValue(const std::string& name) {
    if (!handle_) return kNotOpen;
    return RegDeleteValueA(handle_, name.c_str());
}

LONG RegistryKey::setString(const std::string& name, const std::string& text) {
    if (!handle_) return kNotOpen;
    return RegSetValueExA(handle_, name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
}

LONG RegistryKey::setDword(const std::string& name, DWORD value) {
    if (!handle_) return kNotOpen;
    return RegSetValueExA(handle_, name.c_str(), 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&value), sizeof value);
}

LONG RegistryKey::getString(const std::string& name, std::string& text) const {
    if (!handle_) return kNotOpen;
    // One byte more than we let the registry fill, so a value of exactly the
    // limit without its own terminator still ends in a zero.
    char buffer[kMaxStringBytes + 1] = {};
    DWORD size = kMaxStringBytes;
    LONG rc = RegQueryValueExA(handle_, name.c_str(), nullptr, nullptr,
                               reinterpret_cast<BYTE*>(buffer), &size);
    if (rc == ERROR_SUCCESS) text = buffer;
    return rc;
}

LONG RegistryKey::enumSubkeys(std::vector<std::string>& names) const {
    names.clear();
    if (!handle_) return kNotOpen;
    for (DWORD index = 0;; ++index) {
        char name[MAX_PATH] = {};
        LONG rc = RegEnumKeyA(handle_, index, name, sizeof name);
        if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
        if (rc != ERROR_SUCCESS) return rc;
        names.push_back(name);
    }
}

LONG RegistryKey::enumValues(std::vector<std::string>& names) const {
    names.clear();
    if (!handle_) return kNotOpen;
    // Value names may be far longer than key names (up to 16383 characters);
    // a short buffer would end the listing early and leave values behind.
    std::vector<char> name(16384);
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        LONG rc = RegEnumValueA(handle_, index, name.data(), &length, nullptr, nullptr,
                                nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
        if (rc != ERROR_SUCCESS) return rc;
        names.emplace_back(name.data(), length);
    }
}
