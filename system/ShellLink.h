#pragma once
// Shortcut files (.lnk) in the shell's special folders. The link path is the
// special folder, then the subfolder when one is given, then name + ".lnk".
// COM must be initialised on the calling thread.
#include <string>

// Writes a link to the target (path only: no arguments, icon or working
// folder), creating the one-level subfolder when needed. True when saved.
bool CreateShellLink(const std::string& name, const std::string& target,
                     const std::string& subfolder, int specialFolder);
// Deletes the link file; false when it could not be deleted, also when it was
// not there. With removeEmptySubfolder, a Programs-menu subfolder left empty
// (the user's or all users') is removed too.
bool DeleteShellLink(const std::string& name, const std::string& subfolder,
                     int specialFolder, bool removeEmptySubfolder);
// True when the link file is there.
bool ShellLinkExists(const std::string& name, const std::string& subfolder, int specialFolder);
// The file-system path of a special folder (CSIDL_*), without a final
// backslash; false when the shell cannot give it.
bool GetSpecialFolderPath(int specialFolder, std::string& path);
