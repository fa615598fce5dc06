#pragma once
// The one configuration of a run: product identity, the vendor's fixed names,
// the chosen install folder and the paths derived from it, the wizard's
// options, and the catalog the update check fills. Not thread-safe: the UI
// thread leaves it alone while a worker runs.
#include <memory>
#include <string>

class SoftwareCatalog;

class InstallerConfig {
public:
    InstallerConfig(const std::string& installerSoftwareId, const std::string& productSoftwareId,
                    const std::string& productKey);
    ~InstallerConfig();
    InstallerConfig(const InstallerConfig&) = delete;
    InstallerConfig& operator=(const InstallerConfig&) = delete;

    std::string installDir() const { return installDir_; }
    void setInstallDir(const std::string& dir) { installDir_ = dir; }
    std::string homeDir() const { return installDir_ + appFolderPath_; }
    std::string binDir() const { return homeDir() + binFolderName_; }
    std::string updatesDir() const { return homeDir() + updatesFolderName_; }

    std::string productRegistryPath() const { return productRegistryPath_; }
    std::string companyRegistryPath() const { return companyRegistryPath_; }
    std::string tempDir() const { return tempDir_; }
    std::string javaHome() const { return javaHome_; }
    void setJavaHome(const std::string& home) { javaHome_ = home; }
    bool addDesktopIcon() const { return addDesktopIcon_; }
    void setAddDesktopIcon(bool on) { addDesktopIcon_ = on; }
    bool launchAfterInstall() const { return launchAfterInstall_; }
    void setLaunchAfterInstall(bool on) { launchAfterInstall_ = on; }
    double installerVersion() const { return installerVersion_; }
    int languageCode() const { return languageCode_; }
    int osCode() const { return osCode_; }
    std::string javaSoftwareId() const { return javaSoftwareId_; }
    std::string productSoftwareId() const { return productSoftwareId_; }
    std::string installerSoftwareId() const { return installerSoftwareId_; }
    std::string productKey() const { return productKey_; }
    std::string executableName() const { return executableName_; }
    std::string appFolderPath() const { return appFolderPath_; }
    std::string binFolderName() const { return binFolderName_; }
    std::string updatesFolderName() const { return updatesFolderName_; }
    std::string companyName() const { return companyName_; }
    std::string siteUrl() const { return siteUrl_; }
    std::string serviceUrl() const { return serviceUrl_; }
    SoftwareCatalog& catalog() { return *catalog_; }

    // Registry queries below HKEY_LOCAL_MACHINE; a missing key or value gives
    // false or the empty text.
    // The product's key is there, whether or not this user may change it.
    bool isInstalled() const;
    bool companyKeyExists() const;
    std::string registeredBinDir() const;
    std::string registeredExecutable() const;
    std::string registeredCompanyHome() const;
    // The home folder of the registered copy of this product.
    std::string registeredHome() const;
    // The application's version the last install recorded ("2.00000").
    std::string registeredVersion() const;
    // The application's version as the catalog lists it: the version of the
    // product software's first file, empty when the catalog has none.
    std::string catalogVersion();
    // Another product of the family has its key beside this product's.
    bool otherFamilyProductRegistered() const;

    // The product is installed for every user, so its shortcuts are in the
    // all-users Programs menu and desktop.
    bool createProgramsShortcut(const std::string& target, const std::string& name,
                                const std::string& subfolder) const;
    bool createDesktopShortcut(const std::string& target, const std::string& name) const;
    bool deleteProgramsShortcut(const std::string& name, const std::string& subfolder,
                                bool removeEmptyFolder) const;
    bool deleteDesktopShortcut(const std::string& name) const;

    // Registration with Windows and with the application (Registration.cpp).
    bool writeRegistration();
    bool removeRegistration();
    bool registerProduct();
    // Records the application's version in the product key ("Version") and
    // as the uninstall entry's DisplayVersion; both keys must exist.
    bool recordVersion(const std::string& version);
    bool unregisterProduct();

private:
    std::string productKeyPath() const { return "Software\\" + productRegistryPath_; }
    std::string companyKeyPath() const { return "Software\\" + companyRegistryPath_; }
    std::string uninstallKeyPath() const;
    void startLauncher(const std::string& parameters) const;

    std::string installDir_;
    std::string productRegistryPath_ = "Quillmar Technologies INC\\QMTApp\\VYN";
    std::string companyRegistryPath_ = "Quillmar Technologies INC\\QMTApp";
    std::string tempDir_;
    std::string javaHome_;
    bool addDesktopIcon_ = false;
    bool launchAfterInstall_ = false;
    double installerVersion_ = 0.0;
    int languageCode_ = 25;
    int osCode_ = 11;
    std::string javaSoftwareId_ = "4c8e21:10a7f5d2e64:-7b3a";
    std::string productSoftwareId_;
    std::string installerSoftwareId_;
    std::string productKey_;
    std::string executableName_ = "VYN2005.exe";
    std::string appFolderPath_ = "Quillmar Technologies INC\\QMTApp\\";
    std::string binFolderName_ = "bin\\";
    std::string updatesFolderName_ = "updates\\";
    std::string companyName_ = "Quillmar Technologies INC";
    std::string siteUrl_;
    std::string serviceUrl_;
    std::unique_ptr<SoftwareCatalog> catalog_;
};
