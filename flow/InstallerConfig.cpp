#include "flow/InstallerConfig.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "flow/ServiceAddress.h"
#include "documents/SoftwareCatalog.h"
#include "system/FileSystem.h"
#include "system/PathText.h"
#include "system/RegistryKey.h"
#include "system/ResourceText.h"
#include "system/ShellLink.h"
#include "system/SystemInfo.h"
#include "system/TextCase.h"
#include "system/UniqueHandle.h"
#include "system/VersionText.h"

namespace {

std::string ReadLocalMachineString(const std::string& path, const std::string& name) {
    RegistryKey key;
    std::string value;
    if (key.openForRead(HKEY_LOCAL_MACHINE, path) == ERROR_SUCCESS) key.getString(name, value);
    return value;
}

// A key that may not be read is still there: only "not found" is absent.
bool LocalMachineKeyExists(const std::string& path) {
    RegistryKey key;
    const LONG rc = key.openForRead(HKEY_LOCAL_MACHINE, path);
    return rc != ERROR_FILE_NOT_FOUND && rc != ERROR_PATH_NOT_FOUND;
}

}  // namespace

InstallerConfig::InstallerConfig(const std::string& installerSoftwareId,
                                 const std::string& productSoftwareId,
                                 const std::string& productKey)
    : productSoftwareId_(productSoftwareId),
      installerSoftwareId_(installerSoftwareId),
      productKey_(productKey),
      catalog_(new SoftwareCatalog) {
    GetTempDirectory(tempDir_);
    installerVersion_ = GetModuleVersionNumber(nullptr);
    siteUrl_ = VendorServerAddress();
    serviceUrl_ = siteUrl_ + "/servlet/SoftwareUpdateServlet";
}

InstallerConfig::~InstallerConfig() = default;

std::string InstallerConfig::uninstallKeyPath() const {
    return LoadResourceText(IDS_UNINSTALL_KEY) + "\\" + productKey_;
}

bool InstallerConfig::isInstalled() const { return LocalMachineKeyExists(productKeyPath()); }

bool InstallerConfig::companyKeyExists() const { return LocalMachineKeyExists(companyKeyPath()); }

std::string InstallerConfig::registeredBinDir() const {
    return ReadLocalMachineString(productKeyPath(), "Bin");
}

std::string InstallerConfig::registeredExecutable() const {
    return ReadLocalMachineString(productKeyPath(), "Executable");
}

std::string InstallerConfig::registeredCompanyHome() const {
    return ReadLocalMachineString(companyKeyPath(), "Home");
}

std::string InstallerConfig::registeredHome() const {
    return ReadLocalMachineString(productKeyPath(), "Home");
}

std::string InstallerConfig::registeredVersion() const {
    return ReadLocalMachineString(productKeyPath(), "Version");
}

std::string InstallerConfig::catalogVersion() {
    const SoftwareRecord* product = SoftwareCatalog::findSoftware(catalog_->mainList, productSoftwareId_);
    if (!product || product->files.empty()) return std::string();
    return FormatVersionNumber(product->files.front()->ver);
}

bool InstallerConfig::otherFamilyProductRegistered() const {
    RegistryKey family;
    if (family.openForRead(HKEY_LOCAL_MACHINE, companyKeyPath()) != ERROR_SUCCESS) return false;
    std::vector<std::string> products;
    family.enumSubkeys(products);
    const std::string ownKey = GetFileNameOfPath(productKeyPath());
    for (const std::string& product : products)
        if (!EqualsIgnoringCase(product, ownKey)) return true;
    return false;
}

bool InstallerConfig::createProgramsShortcut(const std::string& target, const std::string& name,
                                             const std::string& subfolder) const {
    return CreateShellLink(name, target, subfolder, CSIDL_COMMON_PROGRAMS);
}

bool InstallerConfig::createDesktopShortcut(const std::string& target,
                                            const std::string& name) const {
    return CreateShellLink(name, target, "", CSIDL_COMMON_DESKTOPDIRECTORY);
}

bool InstallerConfig::deleteProgramsShortcut(const std::string& name, const std::string& subfolder,
                                             bool removeEmptyFolder) const {
    return DeleteShellLink(name, subfolder, CSIDL_COMMON_PROGRAMS, removeEmptyFolder);
}

bool InstallerConfig::deleteDesktopShortcut(const std::string& name) const {
    return DeleteShellLink(name, "", CSIDL_COMMON_DESKTOPDIRECTORY, false);
}
