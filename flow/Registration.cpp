// Registration of the installed product with Windows (registry keys, the
// uninstall entry, shortcuts) and with the application through its launcher.
#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "flow/InstallerConfig.h"
#include "flow/Launcher.h"
#include "system/FileSystem.h"
#include "system/PathText.h"
#include "system/RegistryKey.h"
#include "system/ShellLink.h"
#include "system/TextCase.h"

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

std::string ParentPath(const std::string& path) {
    size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
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
    if (companyCreated) company.setString("Home", home);
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
    entry.close();
    return true;
}

bool InstallerConfig::removeRegistration() {
    RegistryKey key;
    if (key.open(HKEY_LOCAL_MACHINE, uninstallKeyPath()) == ERROR_SUCCESS) key.deleteTree();
    key.close();
    if (key.open(HKEY_LOCAL_MACHINE, productKeyPath()) == ERROR_SUCCESS) key.deleteTree();
    key.close();

    // The family keys go only with their last product.
    std::string familyPath = ParentPath(productKeyPath());
    if (key.open(HKEY_LOCAL_MACHINE, familyPath) == ERROR_SUCCESS && !HasSubkeys(key))
        key.deleteTree();
    key.close();
    std::string companyPath = ParentPath(familyPath);
    if (key.open(HKEY_LOCAL_MACHINE, companyPath) == ERROR_SUCCESS && !HasSubkeys(key))
        key.deleteTree();
    key.close();
    return true;
}

bool InstallerConfig::registerProduct() {
    const std::string executable = GetModulePath();
    if (!writeRegistration()) return false;
    if (!createProgramsShortcut(executable, productKey_, companyName_)) return false;
    if (addDesktopIcon_ && !createDesktopShortcut(executable, productKey_)) return false;
    StartLauncher(registeredBinDir(), kRegisterParameters);
    return true;
}

bool InstallerConfig::unregisterProduct() {
    // The application unregisters itself with its own files and registry
    // entries: they go only once it is done (or has had its time), and its
    // folder is not the working folder of a running launcher any more.
    RunLauncher(registeredBinDir(), kUnregisterParameters, kUnregisterLauncherTimeoutMs);
    removeRegistration();
    // A shortcut that is already gone (say, no desktop icon was chosen) is not
    // a failure; one that is there and cannot be deleted is.
    if (ShellLinkExists(productKey_, companyName_, CSIDL_PROGRAMS) &&
        !deleteProgramsShortcut(productKey_, companyName_, true))
        return false;
    if (ShellLinkExists(productKey_, "", CSIDL_DESKTOP) && !deleteDesktopShortcut(productKey_))
        return false;
    return true;
}
