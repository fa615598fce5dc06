#include "flow/InstallerConfig.h"

#include <windows.h>
#include <shlobj.h>

#include "flow/ServiceAddress.h"
#include "documents/SoftwareCatalog.h"
#include "system/FileSystem.h"
#include "system/RegistryKey.h"
#include "system/ResourceText.h"
#include "system/ShellLink.h"
#include "system/SystemInfo.h"
#include "system/UniqueHandle.h"

namespace {

std::string ReadLocalMachineString(const std::string& path, const std::string& name) {
    RegistryKey key;
    std::string value;
    if (key.open(HKEY_LOCAL_MACHINE, path) == ERROR_SUCCESS) key.getString(name, value);
    return value;
}

bool CanOpenLocalMachineKey(const std::string& path) {
    RegistryKey key;
    return key.open(HKEY_LOCAL_MACHINE, path) == ERROR_SUCCESS;
}

// Any user may read the product's key; only administrators may change it.
bool CanReadLocalMachineKey(const std::string& path) {
    UniqueRegistryKey key;
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
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

bool InstallerConfig::isInstalled() const { return CanOpenLocalMachineKey(productKeyPath()); }

bool InstallerConfig::isRegistered() const { return CanReadLocalMachineKey(productKeyPath()); }

bool InstallerConfig::companyKeyExists() const { return CanOpenLocalMachineKey(companyKeyPath()); }

std::string InstallerConfig::registeredBinDir() const {
    return ReadLocalMachineString(productKeyPath(), "Bin");
}

std::string InstallerConfig::registeredExecutable() const {
    return ReadLocalMachineString(productKeyPath(), "Executable");
}

std::string InstallerConfig::registeredCompanyHome() const {
    return ReadLocalMachineString(companyKeyPath(), "Home");
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
