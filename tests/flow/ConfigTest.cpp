// The configuration's derived paths, server address and registry queries.
#include <windows.h>

#include <gtest/gtest.h>

#include "flow/InstallerConfig.h"
#include "documents/SoftwareCatalog.h"
#include "support/ScratchRegistry.h"

namespace {

InstallerConfig MakeConfig() {
    return InstallerConfig("4c8e21:10a7f5d2e64:-7d85", "a3d907:e2c41b7f96:-7c5e", "VYN2005");
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

// A standard user may read the product's keys without being allowed to
// change them: the product is installed for them too.
TEST_F(RegistryQueries, ProductKeyWithoutWriteAccessIsStillInstalledAndReadable) {
    SetLocalMachineString(kProductKeyPath, "Bin", "C:\\A\\bin\\");
    ASSERT_TRUE(DenyWriteAccess(kProductKeyPath));
    EXPECT_TRUE(config_.isInstalled());
    EXPECT_EQ(config_.registeredBinDir(), "C:\\A\\bin\\");
    AllowFullAccess(kProductKeyPath);
}

}  // namespace
