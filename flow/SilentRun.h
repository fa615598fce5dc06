#pragma once
// Install and uninstall with no window and no message box: the wizards'
// workers run one after another through a channel that shows nothing, and
// the log records what a user would have seen. Each returns the exit code.
#include <string>
#include <vector>

class InstallerConfig;

// The wizard's steps with the licence accepted by the command: update check
// (a newer installer is started with `arguments` and its exit code is
// returned), Java check, downloads and scripts into the folder typed in
// `folderText` (the default folder when `hasFolder` is false). No launch and
// no desktop icon.
int RunSilentInstall(InstallerConfig& config, bool hasFolder, const std::string& folderText,
                     const std::vector<std::string>& arguments);
int RunSilentUninstall(InstallerConfig& config);
