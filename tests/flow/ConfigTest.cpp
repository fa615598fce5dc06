// The configuration's derived paths, server address and registry queries,
// and the machine-wide lock of writing runs.
#include <windows.h>

#include <gtest/gtest.h>

#include "flow/EarlierCopy.h"
#include "flow/InstallFolder.h"
#include "flow/InstallerConfig.h"
#include "flow/RunLock.h"
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

TEST_F(RegistryQueries, OfferedFolderIsTheRegisteredCopysInstallFolder) {
    const std::string home = "C:\\Apps\\Quillmar Technologies INC\\QMTApp\\";
    EXPECT_EQ(OfferedInstallDir(config_), DefaultInstallDir()) << "nothing installed";
    for (const char* notAHome : {"C:\\Apps\\", "Apps\\Quillmar Technologies INC\\QMTApp\\",
                                 "C:\\Apps\\..\\Quillmar Technologies INC\\QMTApp\\"}) {
        SetLocalMachineString(kProductKeyPath, "Home", notAHome);
        EXPECT_EQ(OfferedInstallDir(config_), DefaultInstallDir()) << notAHome;
    }
    SetLocalMachineString(kProductKeyPath, "Home", home);
    EXPECT_EQ(OfferedInstallDir(config_), "C:\\Apps\\");
}

// The homes an install elsewhere replaces: the product's and the family's,
// once each, never the one being installed.
TEST_F(RegistryQueries, EarlierHomesAreTheRegisteredOnesBesideTheNewHome) {
    config_.setInstallDir("C:\\NEW\\");
    SetLocalMachineString(kFamilyKey, "Home", "C:\\A\\Quillmar Technologies INC\\QMTApp\\");
    EXPECT_TRUE(EarlierHomes(config_).empty()) << "the product is not registered";
    SetLocalMachineString(kProductKeyPath, "Home", "C:\\New\\Quillmar Technologies INC\\QMTApp\\");
    SetLocalMachineString(kFamilyKey, "Home", "C:\\New\\Quillmar Technologies INC\\QMTApp");
    EXPECT_TRUE(EarlierHomes(config_).empty());
    EXPECT_TRUE(RegistrationNamesThisCopy(config_));
    SetLocalMachineString(kProductKeyPath, "Home", "C:\\B\\Quillmar Technologies INC\\QMTApp\\");
    SetLocalMachineString(kFamilyKey, "Home", "C:\\A\\Quillmar Technologies INC\\QMTApp\\");
    EXPECT_FALSE(RegistrationNamesThisCopy(config_));
    EXPECT_EQ(EarlierHomes(config_), (std::vector<std::string>{"C:\\B\\Quillmar Technologies INC\\QMTApp\\",
                                                              "C:\\A\\Quillmar Technologies INC\\QMTApp\\"}));
    SetLocalMachineString(kFamilyKey, "Home", "c:\\b\\Quillmar Technologies INC\\QMTApp\\");
    EXPECT_EQ(EarlierHomes(config_).size(), 1u);
}

TEST_F(RegistryQueries, OnlyAnotherKeyInTheFamilyIsAnotherProduct) {
    EXPECT_FALSE(config_.otherFamilyProductRegistered());
    SetLocalMachineString(kProductKeyPath, "Home", "C:\\A\\");
    EXPECT_FALSE(config_.otherFamilyProductRegistered());
    SetLocalMachineString(std::string(kFamilyKey) + "\\OTHER", "Home", "C:\\A\\");
    EXPECT_TRUE(config_.otherFamilyProductRegistered());
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

namespace {

// Holds the lock on a thread of its own until told to let go, or ends
// without letting go when `abandon` is set.
class OtherRun {
public:
    explicit OtherRun(bool abandon) : abandon_(abandon) {
        thread_.reset(CreateThread(nullptr, 0, &OtherRun::Hold, this, 0, nullptr));
        WaitForSingleObject(held_.get(), 10000);
    }
    ~OtherRun() {
        SetEvent(release_.get());
        WaitForSingleObject(thread_.get(), 10000);
    }

private:
    static DWORD WINAPI Hold(void* parameter) {
        auto* self = static_cast<OtherRun*>(parameter);
        if (self->abandon_) {
            // The thread ends owning the mutex: a run that died holding it.
            self->abandoned_.reset(CreateMutexW(nullptr, TRUE, L"Global\\VYN2005-test-writing-run"));
            SetEvent(self->held_.get());
            return 0;
        }
        MachineRunLock lock;
        if (lock.acquire("VYN2005-test") == MachineRunLock::Result::Acquired) SetEvent(self->held_.get());
        WaitForSingleObject(self->release_.get(), INFINITE);
        return 0;
    }

    const bool abandon_;
    UniqueKernelHandle held_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    UniqueKernelHandle release_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    UniqueKernelHandle abandoned_;
    UniqueKernelHandle thread_;
};

}  // namespace

TEST(MachineRunLock, ASecondRunWaitsGivesUpWhenToldAndTakesALockItsHolderLeft) {
    {
        OtherRun other(false);
        MachineRunLock second;
        EXPECT_EQ(second.acquire("VYN2005-test", 300), MachineRunLock::Result::Busy);
        EXPECT_EQ(second.acquire("VYN2005-test", 60000, [] { return true; }), MachineRunLock::Result::Stopped);
    }
    {
        MachineRunLock afterTheOther;
        EXPECT_EQ(afterTheOther.acquire("VYN2005-test", 300), MachineRunLock::Result::Acquired);
    }
    OtherRun died(true);
    MachineRunLock afterDeath;
    EXPECT_EQ(afterDeath.acquire("VYN2005-test", 300), MachineRunLock::Result::Acquired);
}
