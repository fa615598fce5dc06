#pragma once
// The install folder from what a user typed or picked, one rule for the
// location page and for a silent install's "-dir".
#include <string>

// The program-files folder with a final backslash: the install folder
// offered when none was chosen.
std::string DefaultInstallDir();

// The install folder to store for a typed folder: made full ("." and ".."
// resolved), with a final backslash, in capitals, and cut before the
// application's folder path when the text already holds it, so that folder
// is not doubled. Empty for an empty text: there is nothing to install to.
std::string InstallDirFromFolderText(const std::string& folderText, const std::string& appFolderPath);
