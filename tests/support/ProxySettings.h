#pragma once
// The current user's proxy settings (Internet Settings: ProxyEnable,
// ProxyServer, ProxyOverride) set for a test: every request of the system's
// internet library goes to `server` ("127.0.0.1:3128"), none bypasses it.
// What was there before, absent values included, comes back when the guard
// goes, so a failing test leaves later ones a direct connection.
#include <windows.h>

#include <string>
#include <vector>

class ScopedProxySettings {
public:
    explicit ScopedProxySettings(const std::string& server);
    ~ScopedProxySettings();
    ScopedProxySettings(const ScopedProxySettings&) = delete;
    ScopedProxySettings& operator=(const ScopedProxySettings&) = delete;

private:
    struct SavedValue {
        std::wstring name;
        bool present = false;
        DWORD type = 0;
        std::vector<BYTE> data;
    };
    std::vector<SavedValue> saved_;
};
