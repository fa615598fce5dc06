#include "flow/EarlierCopy.h"

#include <windows.h>

#include <algorithm>

#include "flow/InstallFolder.h"
#include "flow/InstallerConfig.h"
#include "flow/SelfRemoval.h"
#include "system/FileSystem.h"
#include "system/Log.h"
#include "system/PathSafety.h"
#include "system/PathText.h"
#include "system/TextCompare.h"
#include "system/WidePath.h"

namespace {

std::string WithBackslash(std::string path) {
    AddTrailingBackslash(path);
    return path;
}

// Why the earlier home folder must stay; empty when it may go.
std::string ReasonToKeep(const InstallerConfig& config, const std::string& earlier, const std::string& current) {
    if (!IsProductHomeDirectory(earlier, config.appFolderPath())) return "it is not a home folder of the product";
    if (IsTextInsideFolder(current, earlier) || IsTextInsideFolder(earlier, current))
        return "it holds the new home folder or lies in it";
    if (config.otherFamilyProductRegistered()) return "another product of the family is registered";
    const std::string appFolder = config.appFolderPath();
    const std::string link =
        FirstLinkBelowInstallDir(earlier.substr(0, earlier.size() - appFolder.size()), appFolder, earlier);
    if (!link.empty()) return "the path " + link + " is a junction or symbolic link";
    return std::string();
}

}  // namespace

std::vector<std::string> EarlierHomes(const InstallerConfig& config) {
    const std::string current = WithBackslash(config.homeDir());
    std::vector<std::string> homes;
    // Without the product's key there is no earlier copy of it: a family
    // "Home" alone belongs to the family.
    if (!config.isInstalled()) return homes;
    for (const std::string& registered : {config.registeredHome(), config.registeredCompanyHome()}) {
        if (registered.empty()) continue;
        const std::string home = WithBackslash(registered);
        if (SameNameIgnoringCase(home, current)) continue;
        if (std::none_of(homes.begin(), homes.end(),
                         [&](const std::string& known) { return SameNameIgnoringCase(known, home); }))
            homes.push_back(home);
    }
    return homes;
}

bool RegistrationNamesThisCopy(const InstallerConfig& config) {
    const std::string registered = config.registeredHome();
    return !registered.empty() && SameNameIgnoringCase(WithBackslash(registered), WithBackslash(config.homeDir()));
}

void RemoveEarlierCopies(const InstallerConfig& config, const std::vector<std::string>& earlierHomes) {
    if (earlierHomes.empty()) return;
    const std::string current = WithBackslash(config.homeDir());
    if (!RegistrationNamesThisCopy(config)) {
        LogLine("The earlier copy stays: the registration does not name " + current);
        return;
    }
    const std::string appFolder = config.appFolderPath();
    const std::string ownProgram = GetModulePath();
    for (const std::string& home : earlierHomes) {
        if (!IsDirectory(home)) continue;
        const std::string keep = ReasonToKeep(config, home, current);
        if (!keep.empty()) {
            LogLine("Kept the earlier copy in " + home + ": " + keep);
            continue;
        }
        DeleteDirectoryTree(home);
        const std::string companyFolder = home.substr(0, home.size() - appFolder.size()) + config.companyName();
        RemoveDirectoryW(WidePath(companyFolder).c_str());
        // An installer started from the earlier copy's bin folder cannot
        // delete its own file; a copy of it does once this run has ended.
        if (IsTextInsideFolder(ownProgram, home)) {
            const std::string below = ownProgram.substr(companyFolder.size());
            const int levels = static_cast<int>(std::count(below.begin(), below.end(), '\\'));
            if (ScheduleSelfRemoval(ownProgram, levels))
                LogLine("This program's file in the earlier copy goes once it has ended: " + ownProgram);
        }
        if (IsDirectory(home))
            LogLine("Removed the earlier copy in " + home + " but for what is still in use");
        else
            LogLine("Removed the earlier copy in " + home);
    }
}
