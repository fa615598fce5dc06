#pragma once
// The install folder from what a user typed or picked, one rule for the
// location page and for a silent install's "-dir".
#include <string>

class InstallerConfig;

// The program-files folder with a final backslash: the install folder
// offered when none was chosen.
std::string DefaultInstallDir();

// The folder to offer for an install: the one the registered copy of the
// product is in, so a new install replaces it in place; else the default.
std::string OfferedInstallDir(const InstallerConfig& config);

// True when `home` may be deleted as the product's home folder: it ends with
// the application folder path (ignoring case) as whole path components, and
// has no "." or ".." component that could make it name another folder.
bool IsProductHomeDirectory(const std::string& home, const std::string& appFolderPath);

// The install folder to store for a typed folder: made full ("." and ".."
// resolved), with a final backslash, in capitals, and cut before the
// application's folder path when the text already holds it, so that folder
// is not doubled. Empty for an empty text: there is nothing to install to.
std::string InstallDirFromFolderText(const std::string& folderText, const std::string& appFolderPath);
