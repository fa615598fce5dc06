#include "flow/ServiceAddress.h"

#include <windows.h>

#ifndef VYN_VENDOR_SERVER
#define VYN_VENDOR_SERVER "https://updates.quillmar-technologies.com"
#endif

std::string VendorServerAddress() {
    std::string server = VYN_VENDOR_SERVER;
#ifdef VYN_TEST_HOOKS
    char value[1024] = {};
    DWORD length = GetEnvironmentVariableA("VYN2005_SERVER", value, sizeof value);
    if (length > 0 && length < sizeof value) server = value;
#endif
    while (!server.empty() && server.back() == '/') server.pop_back();
    return server;
}
