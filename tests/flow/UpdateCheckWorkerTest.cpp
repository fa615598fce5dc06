// The update check run on its own thread against the update service on
// 127.0.0.1 and the Java runtime's registration in the prefix's registry;
// the request log witnesses what was asked, a recording channel what the
// page would have shown.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "flow/InstallerConfig.h"
#include "documents/SoftwareCatalog.h"
#include "flow/UpdateCheckWorker.h"
#include "service/ServiceQuery.h"
#include "service/UpdateServiceClient.h"
#include "support/RecordingChannel.h"
#include "support/ScratchFolder.h"
#include "support/ScratchRegistry.h"
#include "support/TextLines.h"
#include "support/UpdateService.h"
#include "system/ProcessLaunch.h"
#include "system/VersionText.h"

namespace {

const char kInstaller[] = "1f00aa:b0b0b0b0b0:-7001";
const char kApp[] = "a3d907:e2c41b7f96:-7c5e";
const char kHelper[] = "5b1c44:90ad3e7c21:-7f10";
const char kBase[] = "77aa01:c0ffee0123:-7a01";
const char kServlet[] = "GET /servlet/SoftwareUpdateServlet?task=";
const char kNewInstaller[] = "vyn-check-test-installer.exe";
const char kJavaSetup[] = "vyn-check-test-jre.exe";

using Lines = std::vector<std::string>;

class UpdateCheck : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(service.started()) << service.startError(); }
    void TearDown() override {
        for (const std::string& folder : privateFolders) RemoveTreeForTest(folder);
    }
    // A program to start is downloaded into a new folder of its own below
    // the temporary folder (the Windows one when elevated); returns the
    // file's bytes.
    std::string privateDownload(const std::string& target, const std::string& name) {
        const std::string folder = target.substr(0, target.rfind('\\') + 1);
        privateFolders.push_back(folder);
        EXPECT_EQ(target, folder + name);
        EXPECT_EQ(folder.rfind(tempDir() + "vyn-", 0), 0u) << folder;
        EXPECT_GT(folder.size(), tempDir().size() + 20) << folder;
        return ReadTextFile(target);
    }

    // A new configuration (and catalog) on the local service, and a check
    // run on it to its end.
    std::shared_ptr<RecordingChannel> runCheck() {
        SetEnvironmentVariableA("VYN2005_SERVER", service.baseUrl().c_str());
        config = std::make_unique<InstallerConfig>(kInstaller, kApp, "VYN2005");
        SetEnvironmentVariableA("VYN2005_SERVER", nullptr);
        service.clearRequests();
        auto channel = std::make_shared<RecordingChannel>(*config);
        EXPECT_TRUE(RunWorkerToEnd(new UpdateCheckWorker(channel)));
        return channel;
    }
    std::string tempDir() const {
        std::string path(MAX_PATH, '\0');
        if (IsProcessElevated()) {
            path.resize(GetSystemWindowsDirectoryA(&path[0], MAX_PATH));
            return path + "\\Temp\\";
        }
        path.resize(GetTempPathA(MAX_PATH, &path[0]));
        return path;
    }
    std::string sof(const std::string& guid, double version) const {
        return "&sof=" + guid + "_" + FormatVersionNumber(version) + "&lang=25&os=11";
    }
    std::string availabilityLine() const {
        return kServlet + std::string("availability") + sof(kInstaller, config->installerVersion()) + " HTTP/1.1";
    }
    std::string updatesLine(const char* guid, double version = 0.0) const {
        return kServlet + std::string("updates") + sof(guid, version) + " HTTP/1.1";
    }
    std::string dependencyLine(const char* guid) const {
        return kServlet + std::string("associations") + sof(guid, 0.0) + "&type=dependency HTTP/1.1";
    }
    static std::vector<std::string> Guids(const SoftwareList& list) {
        std::vector<std::string> guids;
        for (const auto& software : list) guids.push_back(software->guid);
        return guids;
    }
    // A runtime of `version` whose home, below javaHomes, holds bin\javaw.exe.
    void registerJava(const std::string& version) {
        const std::string home = javaHomes.path() + version;
        MakeFolder(home);
        MakeFolder(home + "\\bin");
        WriteTextFile(home + "\\bin\\javaw.exe", "");
        SetLocalMachineString(std::string(kJavaRuntimeRoot) + "\\" + version, "JavaHome", home);
        SetLocalMachineString(kJavaRuntimeRoot, "CurrentVersion", version);
    }
    void publishInstaller(bool newer, bool withFile) {
        // This build's own version is 1.1.
        ServiceSoftware installer(kInstaller, 1001, "Installer", {"1.00000"});
        if (newer) installer.versions.push_back("9.00000");
        if (withFile) installer.file(5, kNewInstaller, "9.00000");
        service.publish(installer);
    }

    UpdateService service;
    ScratchRegistry javaRegistration{kJavaRuntimeRoot};
    ScratchFolder javaHomes{"java"};
    std::unique_ptr<InstallerConfig> config;
    std::vector<std::string> privateFolders;
};

}  // namespace

TEST_F(UpdateCheck, NothingNewAndNoJavaNeededGoesToTheLocationPageAfterOneQuery) {
    service.publish(ServiceSoftware(kApp, 2001, "App", {"2.10000"}).file(7, "app.zip", "2.10000"));
    auto channel = runCheck();

    ASSERT_NE(channel->outcome(), nullptr);
    const WizardOutcome& outcome = *channel->outcome();
    EXPECT_EQ(outcome.kind, OutcomeKind::ReadyForLocation);
    EXPECT_FALSE(outcome.closeWizard);
    EXPECT_EQ(outcome.text + outcome.messageText + outcome.launchTarget, "");
    EXPECT_EQ(channel->outcomesPosted(), 1);
    // The whole bar is set up and the buttons are off before any step runs.
    const Lines events = channel->events();
    ASSERT_GE(events.size(), 5u);
    EXPECT_EQ(Lines(events.begin(), events.begin() + 5),
              (Lines{"total caption: Total completion", "total range: 0 6", "back: off", "next: off",
                     "step caption: Checking for updates"}));
    EXPECT_EQ(events.back(), "outcome");
    EXPECT_EQ(channel->events("step caption: "), (Lines{"Checking for updates", "Downloading application info..."}));
    EXPECT_EQ(channel->total.position(), 6);
    EXPECT_EQ(channel->total.steps(), 2);
    EXPECT_EQ(service.requests(), (Lines{availabilityLine(), updatesLine(kApp)}));
    EXPECT_EQ(Guids(config->catalog().mainList), Lines{kApp});
    EXPECT_TRUE(config->catalog().dependentList.empty());
}

TEST_F(UpdateCheck, ANewerInstallerIsFetchedIntoTheTemporaryFolderAndStarted) {
    publishInstaller(true, true);
    service.putFile(kNewInstaller, "MZ the newer installer");
    service.publish(ServiceSoftware(kApp, 2001, "App", {"2.10000"}).file(7, "app.zip"));
    auto channel = runCheck();

    ASSERT_NE(channel->outcome(), nullptr);
    const WizardOutcome& outcome = *channel->outcome();
    EXPECT_EQ(outcome.kind, OutcomeKind::InstallerUpdated);
    EXPECT_TRUE(outcome.closeWizard);
    EXPECT_EQ(outcome.text, "This installer must exit and launch a newer installer");
    EXPECT_EQ(outcome.messageText,
              "A newer version of this installer was downloaded.\r\n\r\nThis installer will exit and launch the "
              "new installer.");
    EXPECT_EQ(privateDownload(outcome.launchTarget, kNewInstaller), "MZ the newer installer");
    // The installer's own software asked for at its own version; the
    // application is not asked about.
    EXPECT_EQ(service.requests(),
              (Lines{availabilityLine(), updatesLine(kInstaller, config->installerVersion()),
                     std::string("GET /files/") + kNewInstaller + " HTTP/1.1"}));
    EXPECT_EQ(channel->events("step caption: "), (Lines{"Checking for updates", "Found new installer, downloading..."}));
    EXPECT_EQ(channel->total.position(), 6);

    // A mirror serving other bytes under the installer's name: the failure
    // names the file, and nothing is there to start.
    service.publish(ServiceSoftware(kInstaller, 1001, "Installer", {"1.00000", "9.00000"})
                        .file(5, kNewInstaller, "9.00000", {"/files/tampered.exe"}));
    service.putFile("tampered.exe", "MZ something else");
    channel = runCheck();
    ASSERT_NE(channel->outcome(), nullptr);
    EXPECT_EQ(channel->outcome()->kind, OutcomeKind::Failed);
    EXPECT_EQ(channel->outcome()->text, DigestMismatchText(kNewInstaller));
    EXPECT_TRUE(channel->outcome()->launchTarget.empty());

    // Updates counted but no file to start: a failure of its own, and no
    // download is tried.
    publishInstaller(true, false);
    channel = runCheck();
    ASSERT_NE(channel->outcome(), nullptr);
    EXPECT_EQ(channel->outcome()->kind, OutcomeKind::Failed);
    EXPECT_FALSE(channel->outcome()->closeWizard);
    EXPECT_EQ(channel->outcome()->text, kNoInstallerFileText);
    EXPECT_EQ(channel->outcome()->messageText, kNoInstallerFileText);
    EXPECT_EQ(service.requests().size(), 2u);
}

TEST_F(UpdateCheck, ADependencyChainResolvesOneLinkPerPassAndAPresentJavaIsNotInstalled) {
    // App needs Helper; Helper needs Base and Java 1.4, which is registered.
    service.publish(ServiceSoftware(kApp, 2001, "App", {"2.10000"}).file(7, "app.zip").dependsOn(kHelper));
    service.publish(ServiceSoftware(kHelper, 3001, "Helper").file(8, "helper.jar").dependsOn(kBase).dependsOn(
        "4c8e21:10a7f5d2e64:-7b3a", "1.40000"));
    service.publish(ServiceSoftware(kBase, 4001, "Base").file(9, "base.jar"));
    service.publish(ServiceSoftware("4c8e21:10a7f5d2e64:-7b3a", 9001, "Java").file(60, kJavaSetup));
    registerJava("1.3");
    registerJava("1.5");
    auto channel = runCheck();

    ASSERT_NE(channel->outcome(), nullptr);
    EXPECT_EQ(channel->outcome()->kind, OutcomeKind::ReadyForLocation);
    EXPECT_FALSE(channel->outcome()->failed());
    EXPECT_EQ(service.requests(),
              (Lines{availabilityLine(), updatesLine(kApp), dependencyLine(kApp), dependencyLine(kHelper)}));
    EXPECT_EQ(config->javaHome(), javaHomes.path() + "1.5");
    EXPECT_EQ(Guids(config->catalog().dependentList), (Lines{kHelper, kBase}));
    EXPECT_EQ(channel->total.steps(), 4);
    EXPECT_EQ(channel->total.position(), 6);
    EXPECT_FALSE(PathExists(tempDir() + kJavaSetup));
}

TEST_F(UpdateCheck, AJavaOlderThanRequiredSendsToTheJavaPageWithTheRuntimeInstaller) {
    const std::string javaId = "4c8e21:10a7f5d2e64:-7b3a";
    service.publish(ServiceSoftware(kApp, 2001, "App").file(7, "app.zip").dependsOn(javaId, "1.40000"));
    service.publish(ServiceSoftware(javaId, 9001, "Java").file(60, kJavaSetup, "1.42000"));
    service.putFile(kJavaSetup, "MZ runtime setup");
    registerJava("1.3");
    auto channel = runCheck();

    ASSERT_NE(channel->outcome(), nullptr);
    const WizardOutcome& outcome = *channel->outcome();
    EXPECT_EQ(outcome.kind, OutcomeKind::JavaRequired);
    EXPECT_FALSE(outcome.closeWizard);
    EXPECT_EQ(outcome.text,
              "The required version of Java was not found on your computer and must be installed.  Please click "
              "the Install Java button to continue, then press Next when Java is installed.");
    EXPECT_EQ(outcome.messageText,
              "The required version of Java was not found.\r\nPlease click the Install Java button to continue.");
    EXPECT_FLOAT_EQ(static_cast<float>(outcome.requiredVersion), 1.42f);
    EXPECT_EQ(privateDownload(outcome.launchTarget, kJavaSetup), "MZ runtime setup");
    EXPECT_EQ(service.requests(), (Lines{availabilityLine(), updatesLine(kApp), dependencyLine(kApp),
                                         std::string("GET /files/") + kJavaSetup + " HTTP/1.1"}));
    // The runtime is the Java page's to install, not the install worker's.
    EXPECT_TRUE(config->catalog().dependentList.empty());
    EXPECT_EQ(config->javaHome(), "");
    EXPECT_EQ(channel->total.position(), 6);

    // A runtime the service names without a file cannot be offered.
    service.publish(ServiceSoftware(javaId, 9001, "Java"));
    channel = runCheck();
    ASSERT_NE(channel->outcome(), nullptr);
    EXPECT_EQ(channel->outcome()->kind, OutcomeKind::Failed);
    EXPECT_EQ(channel->outcome()->text, kNoJavaInstallerFileText);
}

TEST_F(UpdateCheck, AFailureWithATextEndsTheCheckOnTheCompletePage) {
    const struct {
        const char* what;
        std::function<void()> arrange;
        std::string text;
        size_t requests;
    } cases[] = {
        {"availability message",
         [&] {
             ServiceSoftware installer(kInstaller, 1001, "Installer");
             installer.message = "Please call the vendor.";
             service.publish(installer);
         },
         "Please call the vendor.", 1},
        {"updates clientMsg",
         [&] {
             ServiceSoftware app(kApp, 2001, "App");
             app.clientMsg = "App withdrawn.";
             service.publish(app);
         },
         "App withdrawn.", 2},
        {"association status",
         [&] {
             service.publish(ServiceSoftware(kApp, 2001, "App").dependsOn(kHelper));
             service.publish(ServiceSoftware(kHelper, 3001, "Helper"));
             service.misbehave("/servlet/SoftwareUpdateServlet?task=associations", "status 503");
         },
         UpdateServiceClient::statusText(503), 3},
        // The service never lists software it does not publish, so a pass
        // leaves the same software unresolved.
        {"unresolved dependency",
         [&] { service.publish(ServiceSoftware(kApp, 2001, "App").dependsOn("0badc0:ffffffffff:-7fff")); },
         kUnresolvedDependenciesText, 3},
        // Each pass names new software: the chain is cut after 16 passes.
        {"endless dependency chain",
         [&] {
             auto link = [](int n) { return "c0ffee:" + std::to_string(1000000000 + n) + ":-7000"; };
             service.publish(ServiceSoftware(kApp, 2001, "App").dependsOn(link(0)));
             for (int n = 0; n < 20; ++n) service.publish(ServiceSoftware(link(n), 5000 + n).dependsOn(link(n + 1)));
         },
         kUnresolvedDependenciesText, 2 + 16},
    };
    for (const auto& c : cases) {
        service.unpublish(kInstaller);
        service.unpublish(kApp);
        service.clearMisbehaviour();
        c.arrange();
        auto channel = runCheck();
        ASSERT_NE(channel->outcome(), nullptr) << c.what;
        const WizardOutcome& outcome = *channel->outcome();
        EXPECT_EQ(outcome.kind, OutcomeKind::Failed) << c.what;
        EXPECT_FALSE(outcome.closeWizard) << c.what;
        EXPECT_EQ(FirstLine(outcome.text), c.text) << c.what;
        EXPECT_EQ(outcome.messageText, outcome.text) << c.what;
        if (c.text == std::string(kUnresolvedDependenciesText)) {
            EXPECT_NE(outcome.text.find("\nThe update service at " + service.serviceUrl() +
                                        " did not describe all the software that "),
                      std::string::npos)
                << outcome.text;
        }
        EXPECT_EQ(service.requests().size(), c.requests) << c.what;
        if (c.requests < 6) {
            EXPECT_LT(channel->total.position(), 6) << c.what;
        }
        EXPECT_EQ(channel->events().back(), "outcome") << c.what;
    }
}
