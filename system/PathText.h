#pragma once
// Text-only path helpers. Backslash is the only separator they know.
#include <string>

void AddTrailingBackslash(std::string& path);
void RemoveTrailingBackslash(std::string& path);
// The text before the last backslash; empty when it has none.
std::string GetParentOfPath(const std::string& path);
// The text after the last backslash; the whole path when it has none.
std::string GetFileNameOfPath(const std::string& path);
// An 8.3-style abbreviation made without asking the file system: components
// longer than 8 characters that contain a space become their first six
// characters in capitals plus "~1". Always ends with a backslash (or is empty).
std::string MakeShortPath(const std::string& path);
