#pragma once
// The vendor's web server, e.g. "http://host:port" without a final slash. Set
// at build time (VYN_VENDOR_SERVER); the environment variable VYN2005_SERVER,
// when set and not empty, overrides it so a test can use a local service.
#include <string>

std::string VendorServerAddress();
