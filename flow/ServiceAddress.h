#pragma once
// The vendor's web server, e.g. "https://host:port" without a final slash. Set
// at build time (VYN_VENDOR_SERVER). In test builds only (VYN_TEST_HOOKS) the
// environment variable VYN2005_SERVER, when set and not empty, overrides it
// so a test can use a local service; the release program has no override.
#include <string>

std::string VendorServerAddress();
