// The configuration's fixed names, derived paths and registry queries, and
// the choice of run mode.
#include <windows.h>

#include <gtest/gtest.h>

#include "core/InstallerConfig.h"
#include "core/Startup.h"
#include "service/SoftwareCatalog.h"
#include "support/ScratchRegistry.h"

namespace {

InstallerConfig MakeConfig() {
    return InstallerConfig("4c8e21:10a7f5d2e64:-7d85", "a3d907:e2c41b7f96:-7c5e", "VYN2005");
}

TEST(InstallerConfig, StartsWithTheVendorsNamesAndNoChoices) {
    InstallerConfig config("installer-id", "product-id", "VYN2005");
    EXPECT_EQ(config.installerSoftwareId(), "installer-id");
    EXPECT_EQ(config.productSoftwareId(), "product-id");
    EXPECT_EQ(config.productKey(), "VYN2005");
    EXPECT_EQ(config.installDir(), "");
    EXPECT_EQ(config.javaHome(), "");
    EXPECT_EQ(config.executableName(), "VYN2005.exe");
    EXPECT_EQ(config.companyName(), "Quillmar Technologies INC");
    EXPECT_EQ(config.productRegistryPath(), "Quillmar Technologies INC\\QMTApp\\VYN");
    EXPECT_EQ(config.companyRegistryPath(), "Quillmar Technologies INC\\QMTApp");
    EXPECT_EQ(config.javaSoftwareId(), "4c8e21:10a7f5d2e64:-7b3a");
    EXPECT_EQ(config.languageCode(), 25);
    EXPECT_EQ(config.osCode(), 11);
    EXPECT_FALSE(config.addDesktopIcon());
    EXPECT_FALSE(config.launchAfterInstall());
    ASSERT_FALSE(config.tempDir().empty());
    EXPECT_EQ(config.tempDir().back(), '\\');
    // The test program carries the same version resource as the installer.
    EXPECT_DOUBLE_EQ(config.installerVersion(), 1.01);
    EXPECT_EQ(config.serviceUrl(), config.siteUrl() + "/servlet/SoftwareUpdateServlet");
    EXPECT_TRUE(config.catalog().mainList.empty());
}

TEST(InstallerConfig, ServerAddressCanBeSetFromTheEnvironment) {
    SetEnvironmentVariableA("VYN2005_SERVER", "http://127.0.0.1:8123/");
    InstallerConfig config = MakeConfig();
    SetEnvironmentVariableA("VYN2005_SERVER", nullptr);
    EXPECT_EQ(config.siteUrl(), "http://127.0.0.1:8123");
    EXPECT_EQ(config.serviceUrl(), "http://127.0.0.1:8123/servlet/SoftwareUpdateServlet");
    EXPECT_NE(MakeConfig().siteUrl(), "http://127.0.0.1:8123");
}

TEST(InstallerConfig, DerivedPathsArePlainConcatenations) {
    InstallerConfig config = MakeConfig();
    config.setInstallDir("C:\\Program Files\\");
    EXPECT_EQ(config.homeDir(), "C:\\Program Files\\Quillmar Technologies INC\\QMTApp\\");
    EXPECT_EQ(config.binDir(), "C:\\Program Files\\Quillmar Technologies INC\\QMTApp\\bin\\");
    EXPECT_EQ(config.updatesDir(), "C:\\Program Files\\Quillmar Technologies INC\\QMTApp\\updates\\");
    config.setInstallDir("D:\\Apps");
    EXPECT_EQ(config.homeDir(), "D:\\AppsQuillmar Technologies INC\\QMTApp\\");
}

class RegistryQueries : public testing::Test {
protected:
    ScratchRegistry scratch_{kCompanyRoot};
    InstallerConfig config_ = MakeConfig();
};

TEST_F(RegistryQueries, MissingKeysGiveFalseAndEmptyTexts) {
    EXPECT_FALSE(config_.isInstalled());
    EXPECT_FALSE(config_.companyKeyExists());
    EXPECT_EQ(config_.registeredBinDir(), "");
    EXPECT_EQ(config_.registeredExecutable(), "");
    EXPECT_EQ(config_.registeredCompanyHome(), "");
}

TEST_F(RegistryQueries, RegisteredValuesAreRead) {
    SetLocalMachineString(kProductKeyPath, "Bin", "C:\\A\\bin\\");
    SetLocalMachineString(kProductKeyPath, "Executable", "C:\\A\\bin\\VYN2005.exe");
    SetLocalMachineString(kFamilyKey, "Home", "C:\\A\\");
    EXPECT_TRUE(config_.isInstalled());
    EXPECT_TRUE(config_.companyKeyExists());
    EXPECT_EQ(config_.registeredBinDir(), "C:\\A\\bin\\");
    EXPECT_EQ(config_.registeredExecutable(), "C:\\A\\bin\\VYN2005.exe");
    EXPECT_EQ(config_.registeredCompanyHome(), "C:\\A\\");
}

TEST_F(RegistryQueries, ProductKeyWithoutWriteAccessCountsAsNotInstalled) {
    SetLocalMachineString(kProductKeyPath, "Bin", "C:\\A\\bin\\");
    ASSERT_TRUE(DenyWriteAccess(kProductKeyPath));
    EXPECT_FALSE(config_.isInstalled());
    EXPECT_EQ(config_.registeredBinDir(), "");
    AllowFullAccess(kProductKeyPath);
    EXPECT_TRUE(config_.isInstalled());
}

TEST(SelectRunMode, FirstRecognisedArgumentWinsIgnoringCase) {
    using Args = std::vector<std::string>;
    const struct {
        Args arguments;
        RunMode mode;
    } cases[] = {
        {{}, RunMode::LaunchOrInstall},
        {{"-INSTALL"}, RunMode::Install},
        {{"-Register"}, RunMode::Register},
        {{"-unregister"}, RunMode::Unregister},
        {{"-uninstall", "-install"}, RunMode::Uninstall},
        {{"/install", "-x", "-Uninstall"}, RunMode::Uninstall},
        {{"-installs", "install", "-"}, RunMode::LaunchOrInstall},
        {{"-foo"}, RunMode::LaunchOrInstall},
    };
    for (const auto& c : cases) {
        std::string joined;
        for (const auto& a : c.arguments) joined += a + " ";
        EXPECT_EQ(SelectRunMode(c.arguments), c.mode) << joined;
    }
}

}  // namespace
