#include "flow/InstallWorker.h"

#include <windows.h>

#include "flow/InstallerConfig.h"
#include "engine/InstallScript.h"
#include "service/ServiceQuery.h"
#include "documents/SoftwareCatalog.h"
#include "system/FileSystem.h"
#include "system/Log.h"
#include "system/PathText.h"
#include "system/ProgressBar.h"
#include "system/ResourceText.h"

namespace {

int CountFiles(const SoftwareList& list) {
    int count = 0;
    for (const auto& software : list) count += static_cast<int>(software->files.size());
    return count;
}

void LogDownloads(const SoftwareList& list, const std::string& updatesDir) {
    for (const auto& software : list) {
        for (const auto& file : software->files) {
            const std::string path = updatesDir + file->fileName;
            WIN32_FILE_ATTRIBUTE_DATA data;
            if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
                LogLine("Downloaded " + path + " (" + std::to_string(data.nFileSizeLow) + " bytes)");
            else
                LogLine("Not downloaded: " + path);
        }
    }
}

}  // namespace

InstallWorker::InstallWorker(std::shared_ptr<WorkerChannel> channel) : WorkerThread(std::move(channel)) {}

void InstallWorker::Run() {
    WorkerChannel& ui = channel();
    InstallerConfig& config = ui.configuration();
    SoftwareCatalog& catalog = config.catalog();
    ProgressBar* total = ui.totalBar();
    const int totalSteps = TotalSteps(CountFiles(catalog.mainList) + CountFiles(catalog.dependentList));

    ui.setTotalCaption(LoadResourceText(IDS_TOTAL_COMPLETION));
    total->setRange(0, totalSteps);
    total->setStep(1);
    ui.enableBack(false);
    ui.enableNext(false);

    // Every file into the updates folder, the application's first. A failure
    // without a text passes over the application's files but, for the
    // dependencies', ends the run without an outcome.
    ui.setStepCaption(LoadResourceText(IDS_DOWNLOADING_APP_FILES));
    std::string updatesDir = config.updatesDir();
    AddTrailingBackslash(updatesDir);
    CreateDirectoryPath(updatesDir);
    {
        ServiceQuery query(config.serviceUrl());
        query.setStopFlag(ui.stopFlag());
        if (query.retrieveSoftware(catalog.mainList, updatesDir, ui.stepBar(), total) == kQueryFailed &&
            reportFailure(query.lastError()))
            return;
        if (query.retrieveSoftware(catalog.dependentList, updatesDir, ui.stepBar(), total) == kQueryFailed) {
            (void)reportFailure(query.lastError());  // without a text, the base's failure stands
            return;
        }
    }

    LogDownloads(catalog.mainList, updatesDir);
    LogDownloads(catalog.dependentList, updatesDir);
    if (stopRequested()) return;

    // Each file's install script from the service.
    ui.setStepCaption(LoadResourceText(IDS_DOWNLOADING_INSTALL_DATA));
    {
        ServiceQuery query(config.serviceUrl());
        if (query.installSoftware(catalog.mainList, ui.stepBar(), total) == kQueryFailed &&
            reportFailure(query.lastError()))
            return;
        if (query.installSoftware(catalog.dependentList, ui.stepBar(), total) == kQueryFailed &&
            reportFailure(query.lastError()))
            return;
    }

    if (stopRequested()) return;

    // The dependencies' scripts first: the application's may build on what
    // they installed.
    std::string homeDir = config.homeDir();
    AddTrailingBackslash(homeDir);
    std::string javaHome = config.javaHome();
    RemoveTrailingBackslash(javaHome);
    runScripts(catalog.dependentList, homeDir, javaHome);
    if (stopRequested()) return;
    runScripts(catalog.mainList, homeDir, javaHome);
    if (stopRequested()) return;

    total->setPosition(totalSteps);
    postOutcome(WizardOutcome::Of(OutcomeKind::Installed));
}

void InstallWorker::runScripts(SoftwareList& list, const std::string& homeDir, const std::string& javaHome) {
    WorkerChannel& ui = channel();
    ui.setStepCaption(LoadResourceText(IDS_INSTALLING_DEPENDENCIES));
    ProgressBar* step = ui.stepBar();
    step->setRange(0, static_cast<int>(list.size()));
    // The bar still has the step of the last transfer, or none at all.
    step->setStep(1);
    for (auto& software : list) {
        step->stepIt();
        // A failed task does not stop the install yet.
        for (auto& file : software->files) {
            LogLine("Running the install script of " + file->fileName + " (home " + homeDir + ", Java " + javaHome +
                    ")");
            (void)runInstallScript(file->installData, homeDir, javaHome);
        }
    }
    ui.totalBar()->stepIt();
}

bool InstallWorker::reportFailure(const std::string& error) {
    if (error.empty()) return false;
    postFailure(error);
    return true;
}
