#include "flow/ServiceAddress.h"

#include <windows.h>

#include "system/Utf8.h"

#ifndef VYN_VENDOR_SERVER
#define VYN_VENDOR_SERVER "https://updates.quillmar-technologies.com"
#endif

std::string VendorServerAddress() {
    std::string server = VYN_VENDOR_SERVER;
#ifdef VYN_TEST_HOOKS
    wchar_t value[1024] = {};
    DWORD length = GetEnvironmentVariableW(L"VYN2005_SERVER", value, ARRAYSIZE(value));
    if (length > 0 && length < ARRAYSIZE(value)) server = Narrow(value);
#endif
    while (!server.empty() && server.back() == '/') server.pop_back();
    return server;
}
