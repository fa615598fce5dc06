#include "system/RegistryKey.h"

#include "system/Utf8.h"

RegistryKey::RegistryKey(HKEY root, const std::string& path) {
    if (open(root, path) != ERROR_SUCCESS) create(root, path);
}

LONG RegistryKey::open(HKEY root, const std::string& path) {
    close();
    root_ = root;
    path_ = path;
    return RegOpenKeyExW(root, Widen(path).c_str(), 0, KEY_ALL_ACCESS, key_.put());
}

LONG RegistryKey::openForRead(HKEY root, const std::string& path, REGSAM view) {
    close();
    root_ = root;
    path_ = path;
    return RegOpenKeyExW(root, Widen(path).c_str(), 0, KEY_READ | view, key_.put());
}

LONG RegistryKey::create(HKEY root, const std::string& path) {
    close();
    root_ = root;
    path_ = path;
    wchar_t noClass[] = L"";
    return RegCreateKeyExW(root, Widen(path).c_str(), 0, noClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                           key_.put(), nullptr);
}

LONG RegistryKey::close() {
    if (!key_) return ERROR_SUCCESS;
    LONG rc = key_.close();
    if (rc == ERROR_SUCCESS) path_.clear();
    return rc;
}

LONG RegistryKey::deleteTree() {
    if (!key_) return kNotOpen;

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
    return RegDeleteKeyW(root_, Widen(path_).c_str());
}

LONG RegistryKey::deleteValue(const std::string& name) {
    if (!key_) return kNotOpen;
    return RegDeleteValueW(key_.get(), Widen(name).c_str());
}

LONG RegistryKey::setString(const std::string& name, const std::string& text) {
    if (!key_) return kNotOpen;
    const std::wstring wide = Widen(text);
    return RegSetValueExW(key_.get(), Widen(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                          static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
}

LONG RegistryKey::setDword(const std::string& name, DWORD value) {
    if (!key_) return kNotOpen;
    return RegSetValueExW(key_.get(), Widen(name).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof value);
}

LONG RegistryKey::getString(const std::string& name, std::string& text) const {
    if (!key_) return kNotOpen;
    // One character more than we let the registry fill, so a value of exactly
    // the limit without its own terminator still ends in a zero.
    std::wstring buffer(kMaxStringCharacters + 1, L'\0');
    DWORD size = kMaxStringCharacters * sizeof(wchar_t);
    LONG rc = RegQueryValueExW(key_.get(), Widen(name).c_str(), nullptr, nullptr,
                               reinterpret_cast<BYTE*>(&buffer[0]), &size);
    if (rc == ERROR_SUCCESS) text = Narrow(buffer.c_str());
    return rc;
}

LONG RegistryKey::enumSubkeys(std::vector<std::string>& names) const {
    names.clear();
    if (!key_) return kNotOpen;
    // Key names are at most 255 characters.
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(sizeof name / sizeof name[0]);
        LONG rc = RegEnumKeyExW(key_.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
        if (rc != ERROR_SUCCESS) return rc;
        names.push_back(Narrow(std::wstring_view(name, length)));
    }
}

LONG RegistryKey::enumValues(std::vector<std::string>& names) const {
    names.clear();
    if (!key_) return kNotOpen;
    // Value names may be far longer than key names (up to 16383 characters);
    // a short buffer would end the listing early and leave values behind.
    std::vector<wchar_t> name(16384);
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        LONG rc = RegEnumValueW(key_.get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
        if (rc != ERROR_SUCCESS) return rc;
        names.push_back(Narrow(std::wstring_view(name.data(), length)));
    }
}
