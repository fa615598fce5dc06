#include "flow/InstallFolder.h"

#include "system/FileSystem.h"
#include "system/PathText.h"
#include "system/SystemInfo.h"
#include "system/TextCase.h"

std::string DefaultInstallDir() {
    std::string programFiles;
    GetProgramFilesDirectory(programFiles);
    AddTrailingBackslash(programFiles);
    return programFiles;
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
