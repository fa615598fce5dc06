#pragma once
// Carrying out a file's install script.
#include <string>

#include "documents/InstallData.h"

// What running a script came to. A failed task does not stop the next one;
// the first failure is the one described.
struct [[nodiscard]] InstallScriptResult {
    int failedItem = -1;     // index in the script's items of the first task that failed
    std::string failedFile;  // the file that task could not handle, expanded
    std::string reason;      // the zip layer's message for an archive task; empty for the others

    bool succeeded() const { return failedItem < 0; }
};

// Runs the items in order: expands the placeholders of fileName, src, dest
// and confFile in place (creating the five install folders first), then does
// the item's task. homeDir ends with a backslash, javaHome has none.
InstallScriptResult runInstallScript(InstallData& installData, const std::string& homeDir,
                                     const std::string& javaHome);
