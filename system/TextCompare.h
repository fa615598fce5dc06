#pragma once
// Comparing names the way the file system does: letter case ignored for
// every script, not only ASCII (paths may hold any language).
#include <string>

bool SameNameIgnoringCase(const std::string& a, const std::string& b);
