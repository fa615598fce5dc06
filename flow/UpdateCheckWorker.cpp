#include "flow/UpdateCheckWorker.h"

#include <vector>

#include "flow/InstallerConfig.h"
#include "service/ServiceQuery.h"
#include "documents/SoftwareCatalog.h"
#include "system/JavaRuntimeLocator.h"
#include "system/ProgressBar.h"
#include "system/ResourceText.h"

const char kUnresolvedDependenciesText[] = "Software IDs continue";
const char kNoInstallerFileText[] =
    "The update service reported a newer installer but named no file to download.";
const char kNoJavaInstallerFileText[] =
    "The update service named no file for the required Java runtime.";

namespace {

// The install wizard's pages that an update check can lead to.
const int kJavaPage = 2;
const int kLocationPage = 3;
const int kCompletePage = 5;

// The dependency queries send no version of their own.
const double kAnyVersion = 0.0;

// The same text SoftwareCatalog::softwareIdList gives for a list it owns.
std::string SoftwareIdsOf(const std::vector<SoftwareRecord*>& software) {
    std::string ids;
    for (const SoftwareRecord* record : software) {
        if (!ids.empty()) ids += "&";
        ids += "sof=" + record->guid;
    }
    return ids;
}

}  // namespace

UpdateCheckWorker::UpdateCheckWorker(std::shared_ptr<WorkerChannel> channel) : WorkerThread(std::move(channel)) {}

int UpdateCheckWorker::Run() {
    WorkerChannel& ui = channel();
    ProgressBar* total = ui.totalBar();
    ui.setTotalCaption(LoadResourceText(IDS_TOTAL_COMPLETION));
    total->setRange(0, kTotalSteps);
    total->setStep(1);
    ui.enableBack(false);
    ui.enableNext(false);

    int result = availabilityStep();
    if (result == kStepFailed) return 0;
    if (result == kStepSpecial) {
        installerUpdateStep();
        total->setPosition(kTotalSteps);
        return 0;
    }
    if (dependencyStep() == kStepFailed) return 0;
    result = javaCheckStep();
    if (result == kStepFailed) return 0;
    if (result == kStepSpecial) {
        javaDownloadStep();
        total->setPosition(kTotalSteps);
        return 0;
    }
    total->setPosition(kTotalSteps);
    auto outcome = std::make_unique<WizardOutcome>();
    outcome->targetPage = kLocationPage;
    ui.postOutcome(std::move(outcome));
    return 0;
}

int UpdateCheckWorker::availabilityStep() {
    InstallerConfig& config = channel().configuration();
    channel().setStepCaption(LoadResourceText(IDS_CHECKING_FOR_UPDATES));
    ServiceQuery query(config.serviceUrl());
    int result = query.checkAvailability(config.installerSoftwareId(), config.installerVersion(),
                                         config.languageCode(), config.osCode(), channel().stepBar());
    stepTotal();
    if (result == kQueryFailed) reportFailure(query);
    return result;
}

int UpdateCheckWorker::installerUpdateStep() {
    InstallerConfig& config = channel().configuration();
    SoftwareCatalog& catalog = config.catalog();
    channel().setStepCaption(LoadResourceText(IDS_FOUND_NEW_INSTALLER));
    ServiceQuery query(config.serviceUrl());
    int result = query.getUpdates(catalog, config.installerSoftwareId(), config.installerVersion(),
                                  config.languageCode(), config.osCode(), channel().stepBar());
    stepTotal();
    if (result == kQueryFailed) {
        reportFailure(query);
        return kStepFailed;
    }
    // The new installer is the first file of the first software listed;
    // without one there is nothing to start.
    if (catalog.mainList.empty() || catalog.mainList.front()->files.empty()) {
        postFailure(kNoInstallerFileText, kNoInstallerFileText, kCompletePage);
        return kStepFailed;
    }
    ServiceQuery download(config.serviceUrl());
    if (download.retrieveSoftware(catalog.mainList, config.tempDir(), channel().stepBar(), nullptr) ==
            kQueryFailed &&
        !download.lastError().empty()) {
        reportFailure(download);
        return kStepFailed;
    }
    stepTotal();
    const std::string path = config.tempDir() + catalog.mainList.front()->files.front()->fileName;
    postInstallerUpdated(LoadResourceText(IDS_INSTALLER_MUST_EXIT), LoadResourceText(IDS_NEWER_INSTALLER_DOWNLOADED),
                         path, kCompletePage);
    return result;
}

int UpdateCheckWorker::dependencyStep() {
    InstallerConfig& config = channel().configuration();
    SoftwareCatalog& catalog = config.catalog();
    channel().setStepCaption(LoadResourceText(IDS_DOWNLOADING_APP_INFO));
    int result;
    {
        ServiceQuery query(config.serviceUrl());
        result = query.getUpdates(catalog, config.productSoftwareId(), kAnyVersion, config.languageCode(),
                                  config.osCode(), channel().stepBar());
        stepTotal();
        if (result == kQueryFailed) {
            reportFailure(query);
            return kStepFailed;
        }
    }

    // Each pass asks for the associations of every software with a
    // dependency not yet listed; the replies add the software depended on.
    // A pass that leaves the same software unresolved would repeat forever.
    std::vector<SoftwareRecord*> pending = catalog.unmetDependencies();
    std::string previous = SoftwareIdsOf(pending);
    while (!pending.empty()) {
        for (SoftwareRecord* software : pending) {
            ServiceQuery query(config.serviceUrl());
            result = query.getAssociations(catalog, software->guid, kAnyVersion, config.languageCode(),
                                           config.osCode(), "dependency", channel().stepBar());
            stepTotal();
            if (result == kQueryFailed && !query.lastError().empty()) {
                reportFailure(query);
                return kStepFailed;
            }
        }
        pending = catalog.unmetDependencies();
        std::string current = SoftwareIdsOf(pending);
        if (current == previous) {
            postFailure(kUnresolvedDependenciesText, kUnresolvedDependenciesText, kCompletePage);
            return kStepFailed;
        }
        previous = current;
    }
    return result;
}

int UpdateCheckWorker::javaCheckStep() {
    InstallerConfig& config = channel().configuration();
    SoftwareCatalog& catalog = config.catalog();
    const std::string javaId = config.javaSoftwareId();
    const DependencyRecord* java = SoftwareCatalog::findDependency(catalog.mainList, javaId);
    if (!java) java = SoftwareCatalog::findDependency(catalog.dependentList, javaId);
    if (!java) {
        SoftwareCatalog::removeSoftware(catalog.dependentList, javaId);
        return kStepGoOn;
    }
    JavaRuntimeLocator locator;
    if (!locator.IsJavaRuntimeInstalled(java->minVersion)) return kStepSpecial;
    std::string home;
    if (locator.FindJavaRuntimeHome(java->minVersion, home)) config.setJavaHome(home);
    // A runtime already there is not for the install worker to install.
    SoftwareCatalog::removeSoftware(catalog.dependentList, javaId);
    return kStepGoOn;
}

int UpdateCheckWorker::javaDownloadStep() {
    InstallerConfig& config = channel().configuration();
    SoftwareCatalog& catalog = config.catalog();
    const std::string javaId = config.javaSoftwareId();
    const SoftwareRecord* java = SoftwareCatalog::findSoftware(catalog.dependentList, javaId);
    if (!java) return kStepGoOn;
    if (java->files.empty()) {
        postFailure(kNoJavaInstallerFileText, kNoJavaInstallerFileText, kCompletePage);
        return kStepFailed;
    }
    const FileRecord& installer = *java->files.front();
    ServiceQuery query(config.serviceUrl());
    int result = query.retrieveFile(installer, config.tempDir(), channel().stepBar());
    if (result == kQueryFailed && !query.lastError().empty()) {
        reportFailure(query);
        return kStepFailed;
    }
    const std::string path = config.tempDir() + installer.fileName;
    const double requiredVersion = installer.ver;
    // The Java page runs this installer; the install worker must not.
    SoftwareCatalog::removeSoftware(catalog.dependentList, javaId);
    stepTotal();
    postJavaRequired(LoadResourceText(IDS_JAVA_REQUIRED), LoadResourceText(IDS_JAVA_NOT_FOUND), path,
                     requiredVersion, kJavaPage, false);
    return result;
}

void UpdateCheckWorker::reportFailure(const ServiceQuery& query) {
    const std::string error = query.lastError();
    if (!error.empty()) postFailure(error, error, kCompletePage);
}

void UpdateCheckWorker::postFailure(const std::string& text, const std::string& messageText, int targetPage) {
    auto outcome = std::make_unique<WizardOutcome>();
    outcome->text = text;
    outcome->messageText = messageText;
    outcome->targetPage = targetPage;
    outcome->failed = true;
    channel().postOutcome(std::move(outcome));
}

void UpdateCheckWorker::postInstallerUpdated(const std::string& text, const std::string& messageText,
                                             const std::string& launchTarget, int targetPage) {
    auto outcome = std::make_unique<WizardOutcome>();
    outcome->text = text;
    outcome->messageText = messageText;
    outcome->launchTarget = launchTarget;
    outcome->targetPage = targetPage;
    outcome->closeWizard = true;
    outcome->installerUpdated = true;
    channel().postOutcome(std::move(outcome));
}

void UpdateCheckWorker::postJavaRequired(const std::string& text, const std::string& messageText,
                                         const std::string& launchTarget, double requiredVersion, int targetPage,
                                         bool closeWizard) {
    auto outcome = std::make_unique<WizardOutcome>();
    outcome->text = text;
    outcome->messageText = messageText;
    outcome->launchTarget = launchTarget;
    outcome->requiredVersion = requiredVersion;
    outcome->targetPage = targetPage;
    outcome->closeWizard = closeWizard;
    channel().postOutcome(std::move(outcome));
}

void UpdateCheckWorker::stepTotal() { channel().totalBar()->stepIt(); }
