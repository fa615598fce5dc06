#include "flow/UpdateCheckWorker.h"

#include <vector>

#include "flow/InstallerConfig.h"
#include "flow/InstallerSignature.h"
#include "service/ServiceQuery.h"
#include "documents/SoftwareCatalog.h"
#include "system/FileSystem.h"
#include "system/JavaRuntimeLocator.h"
#include "system/Log.h"
#include "system/VersionText.h"
#include "system/ProgressBar.h"
#include "system/ResourceText.h"
#include "system/TempFolder.h"

const char kUnresolvedDependenciesText[] = "Software IDs continue";
const char kNoInstallerFileText[] =
    "The update service reported a newer installer but named no file to download.";
const char kNoJavaInstallerFileText[] =
    "The update service named no file for the required Java runtime.";
const char kNoPrivateFolderText[] =
    "A private temporary folder for the download could not be created.";

namespace {

// A query's 0/1/2 as a step's result: failed, nothing found, something found.
UpdateCheckWorker::StepResult StepOf(int queryResult) {
    if (queryResult == kQueryFailed) return UpdateCheckWorker::StepResult::Failed;
    return queryResult == kQueryFound ? UpdateCheckWorker::StepResult::Special : UpdateCheckWorker::StepResult::GoOn;
}

// "found", "nothing found" or "failed (<why>)", for the log.
std::string QueryResultText(int queryResult, const ServiceQuery& query) {
    if (queryResult == kQueryFailed) return "failed (" + query.lastError() + ")";
    return queryResult == kQueryFound ? "found" : "nothing found";
}

// How many rounds of association queries a dependency chain may take.
constexpr int kMaxDependencyPasses = 16;

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

// The dependency failure with a second line: whose needs the service left
// undescribed, and what the user can do.
std::string UnresolvedDependenciesText(const std::vector<SoftwareRecord*>& pending, const std::string& serviceUrl) {
    std::string names;
    for (const SoftwareRecord* record : pending)
        names += (names.empty() ? "" : ", ") + (record->name.empty() ? record->guid : record->name);
    return std::string(kUnresolvedDependenciesText) + "\nThe update service at " + serviceUrl +
           " did not describe all the software that " + names +
           " needs. Run the installer again later; if this keeps happening, tell the vendor.";
}

}  // namespace

UpdateCheckWorker::UpdateCheckWorker(std::shared_ptr<WorkerChannel> channel) : WorkerThread(std::move(channel)) {}

void UpdateCheckWorker::Run() {
    WorkerChannel& ui = channel();
    ProgressBar* total = ui.totalBar();
    ui.setTotalCaption(LoadResourceText(IDS_TOTAL_COMPLETION));
    total->setRange(0, kTotalSteps);
    total->setStep(1);
    ui.enableBack(false);
    ui.enableNext(false);

    StepResult result = availabilityStep();
    if (result == StepResult::Failed || stopRequested()) return;
    if (result == StepResult::Special) {
        (void)installerUpdateStep();  // it posts its own outcome
        total->setPosition(kTotalSteps);
        return;
    }
    if (dependencyStep() == StepResult::Failed || stopRequested()) return;
    result = javaCheckStep();
    if (result == StepResult::Failed || stopRequested()) return;
    if (result == StepResult::Special) {
        (void)javaDownloadStep();  // it posts its own outcome
        total->setPosition(kTotalSteps);
        return;
    }
    total->setPosition(kTotalSteps);
    postOutcome(WizardOutcome::Of(OutcomeKind::ReadyForLocation));
}

UpdateCheckWorker::StepResult UpdateCheckWorker::availabilityStep() {
    InstallerConfig& config = channel().configuration();
    channel().setStepCaption(LoadResourceText(IDS_CHECKING_FOR_UPDATES));
    ServiceQuery query(config.serviceUrl());
    int result = query.checkAvailability(config.installerSoftwareId(), config.installerVersion(),
                                         config.languageCode(), config.osCode(), channel().stepBar());
    LogLine("Newer installer for " + config.installerSoftwareId() + " version " +
            FormatVersionNumber(config.installerVersion()) + ": " + QueryResultText(result, query));
    stepTotal();
    if (result == kQueryFailed) reportFailure(query);
    return StepOf(result);
}

UpdateCheckWorker::StepResult UpdateCheckWorker::installerUpdateStep() {
    InstallerConfig& config = channel().configuration();
    SoftwareCatalog& catalog = config.catalog();
    channel().setStepCaption(LoadResourceText(IDS_FOUND_NEW_INSTALLER));
    ServiceQuery query(config.serviceUrl());
    int result = query.getUpdates(catalog, config.installerSoftwareId(), config.installerVersion(),
                                  config.languageCode(), config.osCode(), channel().stepBar());
    stepTotal();
    if (result == kQueryFailed) {
        reportFailure(query);
        return StepResult::Failed;
    }
    // The new installer is the first file of the first software listed;
    // without one there is nothing to start.
    if (catalog.mainList.empty() || catalog.mainList.front()->files.empty()) {
        postFailure(kNoInstallerFileText);
        return StepResult::Failed;
    }
    const std::string folder = downloadIntoPrivateFolder([&](ServiceQuery& download, const std::string& into) {
        return download.retrieveSoftware(catalog.mainList, into, channel().stepBar(), nullptr);
    });
    if (folder.empty()) return StepResult::Failed;
    stepTotal();
    const std::string path = folder + catalog.mainList.front()->files.front()->fileName;
    // The newer installer runs in our place (elevated, when we are): only
    // our own publisher's program may.
    const std::string refusal = NewerInstallerRefusal(path);
    if (!refusal.empty()) {
        DeleteDirectoryTree(folder);
        postFailure(refusal);
        return StepResult::Failed;
    }
    WizardOutcome updated = WizardOutcome::Of(OutcomeKind::InstallerUpdated, LoadResourceText(IDS_INSTALLER_MUST_EXIT));
    updated.messageText = LoadResourceText(IDS_NEWER_INSTALLER_DOWNLOADED);
    updated.launchTarget = path;
    updated.launchSha256 = catalog.mainList.front()->files.front()->sha256;
    updated.closeWizard = true;
    postOutcome(std::move(updated));
    return StepResult::Special;
}

UpdateCheckWorker::StepResult UpdateCheckWorker::dependencyStep() {
    InstallerConfig& config = channel().configuration();
    SoftwareCatalog& catalog = config.catalog();
    channel().setStepCaption(LoadResourceText(IDS_DOWNLOADING_APP_INFO));
    int result;
    {
        ServiceQuery query(config.serviceUrl());
        result = query.getUpdates(catalog, config.productSoftwareId(), kAnyVersion, config.languageCode(),
                                  config.osCode(), channel().stepBar());
        LogLine("Software document of " + config.productSoftwareId() + ": " + QueryResultText(result, query));
        stepTotal();
        if (result == kQueryFailed) {
            reportFailure(query);
            return StepResult::Failed;
        }
    }

    // Each pass asks for the associations of every software with a
    // dependency not yet listed; the replies add the software depended on.
    // A pass that leaves the same software unresolved would repeat forever,
    // and a service that names new software on every pass would too.
    std::vector<SoftwareRecord*> pending = catalog.unmetDependencies();
    std::string previous = SoftwareIdsOf(pending);
    for (int pass = 0; !pending.empty(); ++pass) {
        if (pass == kMaxDependencyPasses) {
            postFailure(UnresolvedDependenciesText(pending, config.serviceUrl()));
            return StepResult::Failed;
        }
        for (SoftwareRecord* software : pending) {
            if (stopRequested()) return StepResult::Failed;
            ServiceQuery query(config.serviceUrl());
            result = query.getAssociations(catalog, software->guid, kAnyVersion, config.languageCode(),
                                           config.osCode(), "dependency", channel().stepBar());
            LogLine("Dependencies of " + software->guid + ": " + QueryResultText(result, query));
            stepTotal();
            if (result == kQueryFailed && !query.lastError().empty()) {
                reportFailure(query);
                return StepResult::Failed;
            }
        }
        pending = catalog.unmetDependencies();
        std::string current = SoftwareIdsOf(pending);
        if (current == previous) {
            postFailure(UnresolvedDependenciesText(pending, config.serviceUrl()));
            return StepResult::Failed;
        }
        previous = current;
    }
    return result == kQueryFailed ? StepResult::Failed : StepResult::GoOn;
}

UpdateCheckWorker::StepResult UpdateCheckWorker::javaCheckStep() {
    InstallerConfig& config = channel().configuration();
    SoftwareCatalog& catalog = config.catalog();
    const std::string javaId = config.javaSoftwareId();
    const DependencyRecord* java = SoftwareCatalog::findDependency(catalog.mainList, javaId);
    if (!java) java = SoftwareCatalog::findDependency(catalog.dependentList, javaId);
    if (!java) {
        SoftwareCatalog::removeSoftware(catalog.dependentList, javaId);
        return StepResult::GoOn;
    }
    JavaRuntimeLocator locator;
    std::string home;
    if (!locator.FindJavaRuntimeHome(java->minVersion, home)) return StepResult::Special;
    config.setJavaHome(home);
    // A runtime already there is not for the install worker to install.
    SoftwareCatalog::removeSoftware(catalog.dependentList, javaId);
    return StepResult::GoOn;
}

UpdateCheckWorker::StepResult UpdateCheckWorker::javaDownloadStep() {
    InstallerConfig& config = channel().configuration();
    SoftwareCatalog& catalog = config.catalog();
    const std::string javaId = config.javaSoftwareId();
    const SoftwareRecord* java = SoftwareCatalog::findSoftware(catalog.dependentList, javaId);
    if (!java) return StepResult::GoOn;
    if (java->files.empty()) {
        postFailure(kNoJavaInstallerFileText);
        return StepResult::Failed;
    }
    const FileRecord& installer = *java->files.front();
    // Administrators deploy the runtime first from the address it comes from.
    for (const auto& link : installer.links)
        LogLine("Java runtime " + FormatVersionNumber(installer.ver) + " required; its installer: " + link->url);
    const std::string folder = downloadIntoPrivateFolder([&](ServiceQuery& download, const std::string& into) {
        return download.retrieveFile(installer, into, channel().stepBar());
    });
    if (folder.empty()) return StepResult::Failed;
    const std::string path = folder + installer.fileName;
    const double requiredVersion = installer.ver;
    const std::string sha256 = installer.sha256;
    // The Java page runs this installer; the install worker must not.
    SoftwareCatalog::removeSoftware(catalog.dependentList, javaId);
    stepTotal();
    WizardOutcome required = WizardOutcome::Of(OutcomeKind::JavaRequired, LoadResourceText(IDS_JAVA_REQUIRED));
    required.messageText = LoadResourceText(IDS_JAVA_NOT_FOUND);
    required.launchTarget = path;
    required.launchSha256 = sha256;
    required.requiredVersion = requiredVersion;
    postOutcome(std::move(required));
    return StepResult::Special;
}

std::string UpdateCheckWorker::downloadIntoPrivateFolder(const DownloadInto& fetch) {
    // A program we start is downloaded into a folder of our own, where
    // nothing else can be waiting under its name.
    const std::string folder = CreatePrivateTempFolder();
    if (folder.empty()) {
        postFailure(kNoPrivateFolderText);
        return std::string();
    }
    ServiceQuery query(channel().configuration().serviceUrl());
    query.setStopFlag(channel().stopFlag());
    if (fetch(query, folder) == kQueryFailed && !query.lastError().empty()) {
        DeleteDirectoryTree(folder);
        reportFailure(query);
        return std::string();
    }
    return folder;
}

void UpdateCheckWorker::reportFailure(const ServiceQuery& query) {
    const std::string error = query.lastError();
    if (!error.empty()) postFailure(error);
}

void UpdateCheckWorker::stepTotal() { channel().totalBar()->stepIt(); }
