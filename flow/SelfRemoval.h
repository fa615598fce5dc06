#pragma once
// The one file an uninstall cannot delete is the running uninstaller itself
// when it lies in the application's folder. A copy of the program, started
// from a private temporary folder, waits for this process to end, then
// deletes the program file and the folders above it that it leaves empty.

#include <string>
#include <vector>

// The switch that starts the copy's side; never typed by a user.
extern const char kFinishRemovalSwitch[];  // "-finish-removal"

// Starts the copy for `program` (this process's own file). Falls back to
// deleting the file and its folders when the machine next starts. False
// when neither could be arranged.
bool ScheduleSelfRemoval(const std::string& program, int emptyFolderLevels);

// The copy's side, from its command line after the switch: the inherited
// handle of the process to wait for, the program file (ignored: the handle
// names it), and how many folders above it to remove once empty. Deletes only
// a file named like the product's program that is not the registered one,
// and only folders that are empty. False, with the reason logged, when the
// handle is no inherited process handle or its program may not be deleted.
bool FinishSelfRemoval(const std::vector<std::string>& arguments, const std::string& executableName,
                       const std::string& registeredExecutable);
