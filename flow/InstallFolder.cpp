#include "flow/InstallFolder.h"

#include "flow/InstallerConfig.h"
#include "system/FileSystem.h"
#include "system/FolderSecurity.h"
#include "system/ProcessLaunch.h"
#include "system/PathSafety.h"
#include "system/PathText.h"
#include "system/SystemInfo.h"
#include "system/TextCase.h"
#include "system/TextCompare.h"

std::string DefaultInstallDir() {
    std::string programFiles;
    GetProgramFilesDirectory(programFiles);
    AddTrailingBackslash(programFiles);
    return programFiles;
}

bool IsProductHomeDirectory(const std::string& home, const std::string& appFolderPath) {
    if (appFolderPath.empty() || home.size() <= appFolderPath.size()) return false;
    const size_t suffix = home.size() - appFolderPath.size();
    if (!EqualsIgnoringCase(home.substr(suffix), appFolderPath)) return false;
    if (!IsPathSeparator(home[suffix - 1])) return false;
    // Only a full path: a relative one would be taken from whatever the
    // current folder is. No component may lead elsewhere.
    return IsFullPath(home) && !HasDotComponent(home);
}

std::string OfferedInstallDir(const InstallerConfig& config) {
    const std::string home = config.registeredHome();
    const std::string appFolder = config.appFolderPath();
    if (!config.isInstalled() || !IsProductHomeDirectory(home, appFolder)) return DefaultInstallDir();
    return home.substr(0, home.size() - appFolder.size());
}

std::string InstallDirFromFolderText(const std::string& folderText, const std::string& appFolderPath) {
    if (folderText.empty()) return std::string();
    // The stored folder is the one the user sees, and the uninstaller later
    // accepts it: an absolute path without "." or ".." parts.
    std::string folder = FullPathName(folderText);
    if (folder.empty()) folder = folderText;
    AddTrailingBackslash(folder);
    folder = AsciiUpperCase(folder);
    std::string appFolder = AsciiUpperCase(appFolderPath);
    size_t at = appFolder.empty() ? std::string::npos : folder.find(appFolder);
    if (at != std::string::npos) folder.erase(at);
    return folder;
}

namespace {

// installDir followed by the first folder of the application folder path.
std::string CompanyFolder(const std::string& installDir, const std::string& appFolderPath) {
    std::string folder = installDir;
    AddTrailingBackslash(folder);
    return folder + appFolderPath.substr(0, appFolderPath.find('\\'));
}

}  // namespace

std::string FirstLinkBelowInstallDir(const std::string& installDir, const std::string& appFolderPath,
                                     const std::string& path) {
    if (installDir.empty() || appFolderPath.empty()) return std::string();
    return FirstLinkFrom(CompanyFolder(installDir, appFolderPath), path);
}

std::string SecureInstallFolders(const InstallerConfig& config) {
    if (!IsProcessElevated()) return std::string();
    const std::string installDir = config.installDir();
    const std::string programFiles = DefaultInstallDir();
    if (IsSameFolder(installDir, programFiles) || IsPathInsideFolder(installDir, programFiles)) return std::string();
    const std::string company = CompanyFolder(installDir, config.appFolderPath());
    std::string home = config.homeDir();
    RemoveTrailingBackslash(home);
    for (const std::string& folder : {company, home})
        if (IsDirectory(folder) && !HasTrustedOwner(folder))
            return "The folder " + folder +
                   " belongs to another user, who could change what the installer puts there. Remove it or choose "
                   "another install folder.";
    unsigned long error = 0;
    if (!CreateDirectoryPath(company) || !RestrictToAdministrators(company, &error))
        return "The rights of the folder " + company + " could not be set (error " + std::to_string(error) + ")";
    return std::string();
}
