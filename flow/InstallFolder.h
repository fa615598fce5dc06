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

// The first junction or symbolic link from the first folder of the
// application folder path below installDir (the company folder) down to
// `path`, path included; empty when there is none. The install folder
// itself and the folders above it are the user's choice and not looked at.
std::string FirstLinkBelowInstallDir(const std::string& installDir, const std::string& appFolderPath,
                                     const std::string& path);

// The elevated program's look at the folders it is about to fill, when they
// lie outside the program files folder, where an ordinary user may have made
// them: an existing company or home folder owned by someone else is refused,
// and the company folder is made and given rights only administrators can
// change. Not elevated, or inside program files, nothing is done. Empty when
// the install may go on, else the failure text.
std::string SecureInstallFolders(const InstallerConfig& config);
