// Registration of the installed product with Windows (registry keys, the
// uninstall entry, shortcuts) and with the application through its launcher.
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "flow/InstallerConfig.h"
#include "flow/Launcher.h"
#include "system/FileSystem.h"
#include "system/Log.h"
#include "system/PathText.h"
#include "system/RegistryKey.h"
#include "system/ShellLink.h"
#include "system/SystemInfo.h"
#include "system/TextCase.h"
#include "system/UniqueHandle.h"
#include "system/Utf8.h"

namespace {

// How long unregistration waits for the application's own unregistration.
constexpr unsigned kUnregisterLauncherTimeoutMs = 60000;

// Opens the key, or creates it when it cannot be opened.
bool OpenOrCreate(RegistryKey& key, const std::string& path, bool* created = nullptr) {
    if (created) *created = false;
    if (key.open(HKEY_LOCAL_MACHINE, path) == ERROR_SUCCESS) return true;
    if (key.create(HKEY_LOCAL_MACHINE, path) != ERROR_SUCCESS) return false;
    if (created) *created = true;
    return true;
}

bool HasSubkeys(const RegistryKey& key) {
    std::vector<std::string> names;
    return key.enumSubkeys(names) != ERROR_SUCCESS || !names.empty();
}

// The bytes of every file below `folder`; links to folders are not followed.
unsigned long long FolderSizeBytes(const std::string& folder) {
    unsigned long long total = 0;
    WIN32_FIND_DATAW entry;
    UniqueFindHandle listing(FindFirstFileW(Widen(folder + "*").c_str(), &entry));
    if (!listing) return 0;
    do {
        const std::string name = Narrow(entry.cFileName);
        if (name == "." || name == "..") continue;
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            total += (static_cast<unsigned long long>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
        else if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            total += FolderSizeBytes(folder + name + "\\");
    } while (FindNextFileW(listing.get(), &entry));
    return total;
}

// Today as the uninstall list reads it: YYYYMMDD.
std::string TodayText() {
    SYSTEMTIME today;
    GetLocalTime(&today);
    char text[16];
    std::snprintf(text, sizeof text, "%04u%02u%02u", today.wYear, today.wMonth, today.wDay);
    return text;
}

// Links an older version left in the user's own folders, before shortcuts
// went to the all-users folders.
void DeletePerUserLinks(const std::string& name, const std::string& subfolder) {
    if (ShellLinkExists(name, subfolder, CSIDL_PROGRAMS) && DeleteShellLink(name, subfolder, CSIDL_PROGRAMS, true))
        LogLine("Deleted the older per-user Programs-menu shortcut");
    if (ShellLinkExists(name, "", CSIDL_DESKTOP) && DeleteShellLink(name, "", CSIDL_DESKTOP, false))
        LogLine("Deleted the older per-user desktop shortcut");
}

}  // namespace

bool InstallerConfig::writeRegistration() {
    if (installDir_.empty()) {
        // Run from <installDir>\<appFolderPath>bin\: take the folder from our path.
        std::string modulePath = GetModulePath();
        size_t match = FindIgnoringCase(modulePath, appFolderPath_);
        if (match == std::string::npos) return false;
        installDir_ = modulePath.substr(0, match);
        executableName_ = GetFileNameOfPath(modulePath);
    }
    const std::string home = homeDir();
    const std::string bin = binDir();

    RegistryKey company;
    bool companyCreated = false;
    if (!OpenOrCreate(company, companyKeyPath(), &companyCreated)) return false;
    // The family's "Home" names the copy that an uninstall removes, so it
    // follows this copy wherever it moves, unless another product of the
    // family shares the key and still lives in the folder it names.
    if (companyCreated || !otherFamilyProductRegistered()) company.setString("Home", home);
    company.close();

    RegistryKey product;
    if (!OpenOrCreate(product, productKeyPath())) return false;
    product.setString("Home", home);
    product.setString("Bin", bin);
    product.setString("Executable", bin + executableName_);
    product.close();

    RegistryKey entry;
    if (!OpenOrCreate(entry, uninstallKeyPath())) return false;
    entry.setString("DisplayName", productKey_);
    // Quoted: the path has blanks, and an unquoted one would let the system
    // try "C:\Program.exe" and the like before the real program.
    entry.setString("UninstallString", "\"" + bin + executableName_ + "\" -uninstall");
    entry.setString("InstallLocation", home);
    entry.setString("Publisher", companyName_);
    entry.setString("URLInfoAbout", siteUrl_);
    entry.setString("URLUpdateInfo", siteUrl_);
    entry.setString("HelpLink", siteUrl_);
    entry.setString("Contact", siteUrl_);
    entry.setDword("VersionMajor", 1);
    entry.setDword("VersionMinor", 1);
    // The application's version is known to the install that downloaded it,
    // which records it once this registration is done (recordVersion); a
    // registration run on its own keeps the version recorded before, and
    // only without one names this program's own.
    const std::string version = registeredVersion();
    entry.setString("DisplayVersion", version.empty() ? GetModuleDisplayVersion(nullptr) : version);
    entry.setString("DisplayIcon", bin + executableName_ + ",0");
    const unsigned long long sizeKb = (FolderSizeBytes(home) + 1023) / 1024;
    entry.setDword("EstimatedSize", static_cast<DWORD>(std::min<unsigned long long>(sizeKb, MAXDWORD)));
    entry.setString("InstallDate", TodayText());
    // Nothing to change or repair in place: a new install replaces it.
    entry.setDword("NoModify", 1);
    entry.setDword("NoRepair", 1);
    entry.close();
    LogLine("Registered " + productKey_ + " in HKLM\\" + productKeyPath() + " and HKLM\\" + uninstallKeyPath() +
            " (home " + home + ", " + std::to_string(sizeKb) + " KB)");
    return true;
}

bool InstallerConfig::recordVersion(const std::string& version) {
    RegistryKey product, entry;
    if (product.open(HKEY_LOCAL_MACHINE, productKeyPath()) != ERROR_SUCCESS ||
        entry.open(HKEY_LOCAL_MACHINE, uninstallKeyPath()) != ERROR_SUCCESS)
        return false;
    if (product.setString("Version", version) != ERROR_SUCCESS ||
        entry.setString("DisplayVersion", version) != ERROR_SUCCESS)
        return false;
    LogLine("Recorded " + productKey_ + " version " + version);
    return true;
}

bool InstallerConfig::removeRegistration() {
    RegistryKey key;
    if (key.open(HKEY_LOCAL_MACHINE, uninstallKeyPath()) == ERROR_SUCCESS) key.deleteTree();
    key.close();
    if (key.open(HKEY_LOCAL_MACHINE, productKeyPath()) == ERROR_SUCCESS) key.deleteTree();
    key.close();

    // The family keys go only with their last product.
    std::string familyPath = GetParentOfPath(productKeyPath());
    if (key.open(HKEY_LOCAL_MACHINE, familyPath) == ERROR_SUCCESS && !HasSubkeys(key))
        key.deleteTree();
    key.close();
    std::string companyPath = GetParentOfPath(familyPath);
    if (key.open(HKEY_LOCAL_MACHINE, companyPath) == ERROR_SUCCESS && !HasSubkeys(key))
        key.deleteTree();
    key.close();
    LogLine("Removed the registry keys HKLM\\" + productKeyPath() + " and HKLM\\" + uninstallKeyPath());
    return true;
}

bool InstallerConfig::registerProduct() {
    const std::string executable = GetModulePath();
    if (!writeRegistration()) {
        LogLine("Registration failed: the registry keys could not be written");
        return false;
    }
    if (!createProgramsShortcut(executable, productKey_, companyName_)) {
        LogLine("Registration failed: the Programs-menu shortcut could not be created");
        return false;
    }
    LogLine("Created the Programs-menu shortcut to " + executable);
    if (addDesktopIcon_) {
        if (!createDesktopShortcut(executable, productKey_)) {
            LogLine("Registration failed: the desktop shortcut could not be created");
            return false;
        }
        LogLine("Created the desktop shortcut to " + executable);
    }
    LogLine("Starting the application's registration in " + registeredBinDir());
    StartLauncher(registeredBinDir(), kRegisterParameters);
    return true;
}

bool InstallerConfig::unregisterProduct() {
    // The application unregisters itself with its own files and registry
    // entries: they go only once it is done (or has had its time), and its
    // folder is not the working folder of a running launcher any more.
    LogLine("Running the application's unregistration in " + registeredBinDir());
    RunLauncher(registeredBinDir(), kUnregisterParameters, kUnregisterLauncherTimeoutMs);
    removeRegistration();
    DeletePerUserLinks(productKey_, companyName_);
    // A shortcut that is already gone (say, no desktop icon was chosen) is not
    // a failure; one that is there and cannot be deleted is.
    if (ShellLinkExists(productKey_, companyName_, CSIDL_COMMON_PROGRAMS) &&
        !deleteProgramsShortcut(productKey_, companyName_, true)) {
        LogLine("Unregistration failed: the Programs-menu shortcut could not be deleted");
        return false;
    }
    if (ShellLinkExists(productKey_, "", CSIDL_COMMON_DESKTOPDIRECTORY) && !deleteDesktopShortcut(productKey_)) {
        LogLine("Unregistration failed: the desktop shortcut could not be deleted");
        return false;
    }
    LogLine("Deleted the shortcuts");
    return true;
}
