#pragma once
// Carrying out a file's install script.
#include <functional>
#include <string>
#include <vector>

#include "documents/InstallData.h"
#include "engine/InstallJournal.h"
#include "engine/InstallTasks.h"
#include "system/UniqueHandle.h"

// What running a script came to. The script stops at its first failed task,
// or when asked to stop between tasks.
struct [[nodiscard]] InstallScriptResult {
    int failedItem = -1;     // index in the script's items of the task that failed
    std::string failedTask;  // that task's command, as the script names it ("unzip")
    std::string failedFile;  // the file that task could not handle, expanded
    std::string reason;      // why, when more than "it failed" is known
    bool stopped = false;    // a stop request ended the script before all its tasks ran
    // The programs its execute tasks started, still owned: a caller that
    // undoes what they did waits for them first (see WaitForPrograms).
    std::vector<StartedProgram> startedPrograms;

    bool succeeded() const { return failedItem < 0; }
    // "The install task unzip failed on C:\...\app.zip: Error writing to file"
    std::string describe() const;
};

// Asked between tasks; true ends the script there.
using StopCheck = std::function<bool()>;

// What a task does with a file the guard may know.
enum class DownloadUse {
    Read,    // unpacks from it
    Start,   // starts it as a program
    Change,  // moves or deletes it
};
// Asked before a task uses a file: for a file the run downloaded, makes sure
// it is still as verified for the task's duration, putting in `hold` a
// handle that keeps it so when needed (see LockVerifiedFile); false with
// `reason` when its bytes are not the ones published. Before a change it
// lets go of the file. Files it does not know pass with no hold.
using DownloadGuard =
    std::function<bool(const std::string& path, DownloadUse use, UniqueFileHandle& hold, std::string& reason)>;

// Runs the items in order: expands the placeholders of fileName, src, dest
// and confFile in place (creating the five install folders first), checks
// that every path the task touches stays inside homeDir, then does the
// item's task. homeDir ends with a backslash, javaHome has none. Given a
// journal, every change below home is journaled before it is made. Given a
// guard, every archive and program a task uses passes it first.
InstallScriptResult runInstallScript(InstallData& installData, const std::string& homeDir,
                                     const std::string& javaHome, const StopCheck& stopRequested = {},
                                     InstallJournal* journal = nullptr, const DownloadGuard& guard = {});
