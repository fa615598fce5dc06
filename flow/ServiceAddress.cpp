#include "flow/ServiceAddress.h"

#include <windows.h>

#ifndef VYN_VENDOR_SERVER
#define VYN_VENDOR_SERVER "http://updates.quillmar-technologies.com"
#endif

std::string VendorServerAddress() {
    char value[1024] = {};
    DWORD length = GetEnvironmentVariableA("VYN2005_SERVER", value, sizeof value);
    std::string server = (length > 0 && length < sizeof value) ? value : VYN_VENDOR_SERVER;
    while (!server.empty() && server.back() == '/') server.pop_back();
    return server;
}
