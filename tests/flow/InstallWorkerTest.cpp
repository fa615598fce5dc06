// The install worker run on its own thread: files from the update service
// on 127.0.0.1, install scripts from it, real archives unpacked into a
// scratch install folder. The request log witnesses the order of requests,
// the folder what the scripts did, a recording channel what the page showed.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "EngineTestFiles.h"
#include "flow/InstallerConfig.h"
#include "flow/InstallWorker.h"
#include "service/ServiceQuery.h"
#include "flow/UpdateCheckWorker.h"
#include "service/UpdateServiceClient.h"
#include "support/RecordingChannel.h"
#include "support/ScratchFolder.h"
#include "support/ScratchRegistry.h"
#include "support/TextLines.h"
#include "support/TestPaths.h"
#include "support/UpdateService.h"

namespace {

const char kApp[] = "a3d907:e2c41b7f96:-7c5e";
const char kTool[] = "6d2f10:aa55aa55aa:-7e02";
const char kLib[] = "5b1c44:90ad3e7c21:-7f10";
const char kServlet[] = "GET /servlet/SoftwareUpdateServlet?task=";

using Lines = std::vector<std::string>;

std::string UnzipAndDeleteScript(const std::string& archive) {
    return "<install><task><unzip /><fileName>{$DIR_UPDATES}" + archive +
           "</fileName><dest>{$DIR_HOME}</dest><overwrite>true</overwrite></task>"
           "<task><delete /><fileName>{$DIR_UPDATES}" + archive + "</fileName></task></install>";
}

class InstallRun : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(service.started()) << service.startError();
        SetEnvironmentVariableA("VYN2005_SERVER", service.baseUrl().c_str());
        config = std::make_unique<InstallerConfig>("1f00aa:b0b0b0b0b0:-7001", kApp, "VYN2005");
        SetEnvironmentVariableA("VYN2005_SERVER", nullptr);
        config->setInstallDir(folder.path());
    }

    // Fills the catalog as the update check does: the software asked for in
    // mainList, what it depends on in dependentList.
    void listSoftware(const char* guid) {
        ServiceQuery query(service.serviceUrl());
        ASSERT_EQ(query.getUpdates(config->catalog(), guid, 0.0, 25, 11, nullptr), kQueryFound) << query.lastError();
    }
    void listDependencies(const char* guid) {
        ServiceQuery query(service.serviceUrl());
        ASSERT_EQ(query.getAssociations(config->catalog(), guid, 0.0, 25, 11, "dependency", nullptr), kQueryFound)
            << query.lastError();
    }
    // The application in one archive, depending on a library in another,
    // each unpacked and then deleted by its script, and listed as the update
    // check lists them.
    void publishAppWithLibrary(const std::string& appArchive, const std::string& libArchive) {
        service.publish(ServiceSoftware(kApp, 2001, "App").file(31, appArchive).dependsOn(kLib));
        service.publish(ServiceSoftware(kLib, 3001, "Lib").file(32, libArchive));
        ASSERT_TRUE(service.putFileFrom(appArchive, ArchivePath(appArchive)));
        ASSERT_TRUE(service.putFileFrom(libArchive, ArchivePath(libArchive)));
        service.setInstallScript(31, UnzipAndDeleteScript(appArchive));
        service.setInstallScript(32, UnzipAndDeleteScript(libArchive));
        listSoftware(kApp);
        listDependencies(kApp);
    }
    std::shared_ptr<RecordingChannel> runInstall() {
        service.clearRequests();
        auto channel = std::make_shared<RecordingChannel>(*config);
        EXPECT_TRUE(RunWorkerToEnd(new InstallWorker(channel)));
        return channel;
    }
    std::string home() const { return config->homeDir(); }
    std::string updates() const { return config->updatesDir(); }
    static std::string FileLine(const std::string& name) { return "GET /files/" + name + " HTTP/1.1"; }
    static std::string ScriptLine(int fileId) {
        return kServlet + std::string("install&file=") + std::to_string(fileId) + " HTTP/1.1";
    }

    UpdateService service;
    ScratchFolder folder{"install"};
    std::unique_ptr<InstallerConfig> config;
};

void ExpectSuccess(const RecordingChannel& channel, int totalSteps) {
    ASSERT_NE(channel.outcome(), nullptr);
    const WizardOutcome& outcome = *channel.outcome();
    EXPECT_EQ(outcome.kind, OutcomeKind::Installed);
    EXPECT_FALSE(outcome.closeWizard);
    EXPECT_EQ(outcome.text + outcome.messageText + outcome.launchTarget, "");
    EXPECT_EQ(channel.outcomesPosted(), 1);
    EXPECT_EQ(channel.total.ranges(), (std::vector<std::pair<int, int>>{{0, totalSteps}}));
    EXPECT_EQ(channel.total.position(), totalSteps);
    // Every step was taken, so the bar reached its end by itself.
    EXPECT_EQ(channel.total.steps(), totalSteps);
    EXPECT_EQ(channel.events("step caption: "),
              (Lines{"Downloading application files...", "Downloading install data...", "Installing dependencies...",
                     "Installing dependencies..."}));
    const Lines events = channel.events();
    ASSERT_GE(events.size(), 4u);
    EXPECT_EQ(Lines(events.begin(), events.begin() + 4),
              (Lines{"total caption: Total completion", "total range: 0 " + std::to_string(totalSteps), "back: off",
                     "next: off"}));
}

}  // namespace

TEST_F(InstallRun, TheTotalIsTwoStepsPerFilePlusTwoAndEveryFileIsFetchedSoftwareFirst) {
    auto channel = runInstall();
    ExpectSuccess(*channel, 2);
    EXPECT_TRUE(service.requests().empty());
    EXPECT_TRUE(PathExists(updates()));

    // Two programs of 3 and 1 files, a library of 2 files that the first needs.
    service.publish(ServiceSoftware(kApp, 2001, "App").file(11, "a1.jar").file(12, "a2.jar").file(13, "a3.jar")
                        .dependsOn(kLib));
    service.publish(ServiceSoftware(kTool, 2002, "Tool").file(14, "t1.jar"));
    service.publish(ServiceSoftware(kLib, 3001, "Lib").file(21, "l1.jar").file(22, "l2.jar"));
    for (const char* name : {"a1.jar", "a2.jar", "a3.jar", "t1.jar", "l1.jar", "l2.jar"})
        service.putFile(name, std::string("bytes of ") + name);
    listSoftware(kApp);
    listSoftware(kTool);
    listDependencies(kApp);
    channel = runInstall();
    ExpectSuccess(*channel, 14);
    EXPECT_EQ(service.requests(),
              (Lines{FileLine("a1.jar"), FileLine("a2.jar"), FileLine("a3.jar"), FileLine("t1.jar"), FileLine("l1.jar"),
                     FileLine("l2.jar"), ScriptLine(11), ScriptLine(12), ScriptLine(13), ScriptLine(14),
                     ScriptLine(21), ScriptLine(22)}));
    for (const char* name : {"a1.jar", "a2.jar", "a3.jar", "t1.jar", "l1.jar", "l2.jar"})
        EXPECT_EQ(ReadTextFile(updates() + name), std::string("bytes of ") + name);
    // The script stages count software: the one library, then the two programs.
    const auto stepRanges = channel->step.ranges();
    ASSERT_GE(stepRanges.size(), 2u);
    EXPECT_EQ(stepRanges[stepRanges.size() - 2], std::make_pair(0, 1));
    EXPECT_EQ(stepRanges.back(), std::make_pair(0, 2));
}

TEST_F(InstallRun, RealArchivesAreUnpackedByTheirScriptsDependenciesFirst) {
    // Both archives hold app\lib\core.jar and unpack with overwrite: the one
    // unpacked last decides its content.
    publishAppWithLibrary("app2.zip", "app1.zip");
    auto channel = runInstall();

    ExpectSuccess(*channel, 6);
    // Fetched application first, run dependency first.
    EXPECT_EQ(service.requests(),
              (Lines{FileLine("app2.zip"), FileLine("app1.zip"), ScriptLine(31), ScriptLine(32)}));
    EXPECT_EQ(ReadTextFile(home() + "app\\lib\\core.jar"), "app/lib/core.jar version 2\n");
    EXPECT_EQ(ReadTextFile(home() + "app\\conf\\added.xml"), "app/conf/added.xml version 2\n");
    // A launcher that exists is kept: the dependency's copy came first.
    EXPECT_EQ(ReadTextFile(home() + "app\\bin\\QuillmarApp.bat"), "app/bin/QuillmarApp.bat version 1\n");
    EXPECT_FALSE(PathExists(updates() + "app1.zip"));
    EXPECT_FALSE(PathExists(updates() + "app2.zip"));
    for (const char* folderName : {"conf", "lib", "bin", "updates"}) EXPECT_TRUE(PathExists(home() + folderName));
}

TEST_F(InstallRun, AFailureWithATextEndsTheRunWhereItHappensAndKeepsWhatWasDownloaded) {
    publishAppWithLibrary("app2.zip", "app1.zip");

    const struct {
        const char* what;
        std::function<void()> arrange;
        std::string text;
        Lines requests;
        Lines downloaded;
    } cases[] = {
        {"clientMsg in the application's install script",
         [&] { service.setInstallScript(31, "<install><clientMsg>Licence expired.</clientMsg></install>"); },
         "Licence expired.",
         {FileLine("app2.zip"), FileLine("app1.zip"), ScriptLine(31)},
         {"app2.zip", "app1.zip"}},
        {"application file missing",
         [&] { service.misbehave("/files/app2.zip", "status 404"); },
         UpdateServiceClient::statusText(404),
         {FileLine("app2.zip")},
         {}},
        {"dependency file refused",
         [&] { service.misbehave("/files/app1.zip", "status 403"); },
         UpdateServiceClient::statusText(403),
         {FileLine("app2.zip"), FileLine("app1.zip")},
         {"app2.zip"}},
    };
    for (const auto& c : cases) {
        RemoveTreeForTest(home());
        service.clearMisbehaviour();
        service.setInstallScript(31, UnzipAndDeleteScript("app2.zip"));
        c.arrange();
        auto channel = runInstall();
        ASSERT_NE(channel->outcome(), nullptr) << c.what;
        const WizardOutcome& outcome = *channel->outcome();
        EXPECT_EQ(outcome.kind, OutcomeKind::Failed) << c.what;
        EXPECT_EQ(FirstLine(outcome.text), c.text) << c.what;
        EXPECT_EQ(outcome.messageText, outcome.text) << c.what;
        EXPECT_EQ(service.requests(), c.requests) << c.what;
        EXPECT_LT(channel->total.position(), 6) << c.what;
        EXPECT_EQ(channel->events("step caption: Installing").size(), 0u) << c.what;
        // No script ran: none made the install folders.
        EXPECT_FALSE(PathExists(home() + "lib")) << c.what;
        for (const std::string& name : c.downloaded) EXPECT_TRUE(PathExists(updates() + name)) << c.what << name;
    }
}

TEST_F(InstallRun, AFailedScriptFailsTheInstallAndNoLaterScriptRuns) {
    publishAppWithLibrary("app2.zip", "damaged.zip");
    auto channel = runInstall();
    ASSERT_NE(channel->outcome(), nullptr);
    EXPECT_EQ(channel->outcome()->kind, OutcomeKind::Failed);
    EXPECT_EQ(channel->outcome()->text,
              "The install task unzip failed on " + updates() + "damaged.zip: Error writing to file");
    // Neither the dependency's delete task nor the application's script ran.
    EXPECT_TRUE(PathExists(updates() + "damaged.zip"));
    EXPECT_TRUE(PathExists(updates() + "app2.zip"));
    EXPECT_FALSE(PathExists(home() + "app\\conf\\added.xml"));
}

// Stands in for a script's "-register" that has completed when the wizard
// goes: the application's scripts begin with the product registered and a
// stop requested.
class RegisterThenStopChannel : public RecordingChannel {
public:
    using RecordingChannel::RecordingChannel;
    void setStepCaption(const std::string& text) override {
        RecordingChannel::setStepCaption(text);
        if (text == "Installing dependencies..." && ++scriptStages_ == 2) {
            EXPECT_TRUE(configuration().writeRegistration());
            requestStop();
        }
    }

private:
    int scriptStages_ = 0;
};

TEST_F(InstallRun, AStoppedInstallUndoesTheRegistrationItsScriptsMade) {
    ScratchRegistry registry{kCompanyRoot, kUninstallEntry};
    service.publish(ServiceSoftware(kApp, 2001, "App").file(31, "app2.zip"));
    ASSERT_TRUE(service.putFileFrom("app2.zip", ArchivePath("app2.zip")));
    service.setInstallScript(31, UnzipAndDeleteScript("app2.zip"));
    listSoftware(kApp);
    auto channel = std::make_shared<RegisterThenStopChannel>(*config);
    ASSERT_TRUE(RunWorkerToEnd(new InstallWorker(channel)));
    ASSERT_NE(channel->outcome(), nullptr);
    EXPECT_EQ(channel->outcome()->kind, OutcomeKind::Failed);
    EXPECT_FALSE(config->isInstalled());
    EXPECT_FALSE(LocalMachineKeyExists(kUninstallEntry));
    EXPECT_TRUE(PathExists(updates() + "app2.zip"));  // the script was not run
}
