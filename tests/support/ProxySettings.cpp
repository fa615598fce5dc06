#include "support/ProxySettings.h"

#include "system/RegistryKey.h"
#include "system/Utf8.h"

namespace {

const char kInternetSettings[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

}  // namespace

ScopedProxySettings::ScopedProxySettings(const std::string& server) {
    RegistryKey key;
    if (key.create(HKEY_CURRENT_USER, kInternetSettings) != ERROR_SUCCESS) return;
    for (const wchar_t* name : {L"ProxyEnable", L"ProxyServer", L"ProxyOverride"}) {
        SavedValue value;
        value.name = name;
        DWORD size = 0;
        if (RegQueryValueExW(key.handle(), name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
            value.data.resize(size);
            value.present = RegQueryValueExW(key.handle(), name, nullptr, &value.type,
                                             value.data.empty() ? nullptr : value.data.data(),
                                             &size) == ERROR_SUCCESS;
            value.data.resize(size);
        }
        saved_.push_back(std::move(value));
    }
    key.setDword("ProxyEnable", 1);
    key.setString("ProxyServer", server);
    key.deleteValue("ProxyOverride");
}

ScopedProxySettings::~ScopedProxySettings() {
    RegistryKey key;
    if (key.open(HKEY_CURRENT_USER, kInternetSettings) != ERROR_SUCCESS) return;
    for (const SavedValue& value : saved_) {
        if (value.present)
            RegSetValueExW(key.handle(), value.name.c_str(), 0, value.type,
                           value.data.empty() ? nullptr : value.data.data(), static_cast<DWORD>(value.data.size()));
        else
            key.deleteValue(Narrow(value.name));
    }
}
