#pragma once
// One copy of the product on disk: an install into another folder moves the
// product, and the copy it was registered in before goes once the new copy
// is registered, so that a single uninstall leaves nothing behind.
#include <string>
#include <vector>

class InstallerConfig;

// The home folders the registration names before this install, the
// product's and the family's, that are not the configuration's home folder;
// none when the product is not registered. Read before the install
// registers the new copy.
std::vector<std::string> EarlierHomes(const InstallerConfig& config);

// True once the product's registration names the configuration's home folder.
bool RegistrationNamesThisCopy(const InstallerConfig& config);

// Deletes each earlier home folder, and its company folder once empty, when
// the registration names the new copy, the folder is a product home folder
// apart from the new one, and no other product of the family is registered.
// A running program inside it goes once it has ended. Logs what went and
// what stayed.
void RemoveEarlierCopies(const InstallerConfig& config, const std::vector<std::string>& earlierHomes);
