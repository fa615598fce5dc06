#pragma once
// The folder placeholders of install scripts. Pure text.
#include <string>
#include <vector>

// The five install folders in the order they are created: conf, lib, the
// home folder itself, updates, bin. Each ends with a backslash.
std::vector<std::string> PlaceholderFolders(const std::string& homeDir);

// Turns every "/" into "\" and then replaces "{$DIR_CONF}", "{$DIR_LIB}",
// "{$DIR_HOME}", "{$DIR_UPDATES}" and "{$DIR_BIN}" (exact case) by their
// folders. The slash goes first, so "{$DIR_LIB}/a.jar" keeps two backslashes.
std::string ExpandPlaceholders(const std::string& text, const std::string& homeDir);
