#pragma once
// Carrying out a file's install script.
#include <string>

#include "documents/InstallData.h"

// Runs the items in order: expands the placeholders of fileName, src, dest
// and confFile in place (creating the five install folders first), then does
// the item's task. A task's failure does not stop the next one. homeDir ends
// with a backslash, javaHome has none. Returns true.
bool runInstallScript(InstallData& installData, const std::string& homeDir, const std::string& javaHome);
