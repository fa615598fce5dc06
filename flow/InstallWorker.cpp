#include "flow/InstallWorker.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "flow/EarlierCopy.h"
#include "flow/FreeSpace.h"
#include "flow/InstallFolder.h"
#include "flow/InstallerConfig.h"
#include "flow/InstallTransaction.h"
#include "flow/RunLock.h"
#include "engine/InstallScript.h"
#include "engine/InstallTasks.h"
#include "service/ServiceQuery.h"
#include "documents/SoftwareCatalog.h"
#include "system/FileSystem.h"
#include "system/Log.h"
#include "system/PathText.h"
#include "system/ProgressBar.h"
#include "system/ResourceText.h"
#include "system/TextCompare.h"
#include "system/Utf8.h"
#include "system/VerifiedFile.h"

namespace {

// How long a stopped install waits for the programs its scripts started
// before it undoes what they did. The page waits 10 s in all.
constexpr unsigned kStartedProgramsWaitMs = 5000;
// How long an install waits for the programs its scripts started (the new
// copy's "-register" run) before it ends; a Cancel ends the wait sooner.
constexpr DWORD kStartedProgramsEndMs = 10 * 60 * 1000;
constexpr DWORD kStartedProgramsPollMs = 100;

int CountFiles(const SoftwareList& list) {
    int count = 0;
    for (const auto& software : list) count += static_cast<int>(software->files.size());
    return count;
}

// The size of the file; -1 when there is none.
long long FileBytes(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void LogDownloads(const SoftwareList& list, const std::string& updatesDir) {
    for (const auto& software : list) {
        for (const auto& file : software->files) {
            const std::string path = updatesDir + file->fileName;
            const long long bytes = FileBytes(path);
            if (bytes >= 0)
                LogLine("Downloaded " + path + " (" + std::to_string(bytes) + " bytes)");
            else
                LogLine("Not downloaded: " + path);
        }
    }
}

// The failure text when the installed copy's own program (its "-register"
// run) ended with an exit code other than 0; empty otherwise. The other
// programs a script starts are not judged: a runtime installer may ask for
// a restart with 3010.
std::string RegistrationFailure(const std::vector<StartedProgram>& programs, const std::string& installedProgram) {
    for (const StartedProgram& program : programs) {
        DWORD code = 0;
        if (SameNameIgnoringCase(program.path, installedProgram) &&
            WaitForSingleObject(program.process.get(), 0) == WAIT_OBJECT_0 &&
            GetExitCodeProcess(program.process.get(), &code) && code != 0)
            return "The installed program's registration ended with exit code " + std::to_string(code);
    }
    return std::string();
}

// Keeps each file of the catalog, as downloaded into the updates folder,
// as verified against its published digest while a script task unpacks or
// starts it: bytes changed on disk since the download fail the task. A
// download still held since it was verified is read as it is; one let go
// (before a program starts from it, or a task moves or deletes it) is held
// and hashed again for each task.
DownloadGuard VerifiedDownloads(const SoftwareCatalog& catalog, const std::string& updatesDir,
                                std::vector<std::pair<std::string, UniqueFileHandle>> held) {
    std::vector<std::pair<std::string, std::string>> downloads;  // full path, digest
    for (const SoftwareList* list : {&catalog.mainList, &catalog.dependentList})
        for (const auto& software : *list)
            for (const auto& file : software->files)
                downloads.emplace_back(FullPathName(updatesDir + file->fileName), file->sha256);
    auto holding = std::make_shared<std::vector<std::pair<std::string, UniqueFileHandle>>>(std::move(held));
    return [downloads, holding](const std::string& path, DownloadUse use, UniqueFileHandle& hold,
                                std::string& reason) {
        const std::string full = FullPathName(path);
        const auto stillHeld = std::find_if(holding->begin(), holding->end(), [&full](const auto& entry) {
            return SameNameIgnoringCase(full, entry.first);
        });
        if (stillHeld != holding->end()) {
            // A program cannot start from a file open for writing.
            if (use == DownloadUse::Read) return true;
            holding->erase(stillHeld);
        }
        if (use == DownloadUse::Change) return true;
        for (const auto& download : downloads) {
            if (!SameNameIgnoringCase(full, download.first)) continue;
            hold = LockVerifiedFile(path, download.second);
            if (hold) return true;
            reason = DigestMismatchText(GetFileNameOfPath(path));
            return false;
        }
        return true;
    };
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

    // Nothing changes on disk before this run is the machine's only writer.
    MachineRunLock lock;
    if (!takeRunLock(lock)) return;

    // Every file into the updates folder, the application's first. A failure
    // without a text passes over the application's files but, for the
    // dependencies', ends the run without an outcome.
    ui.setStepCaption(LoadResourceText(IDS_DOWNLOADING_APP_FILES));
    std::string updatesDir = config.updatesDir();
    AddTrailingBackslash(updatesDir);
    if (!foldersUsable(updatesDir)) return;
    CreateDirectoryPath(updatesDir);
    // A file of the published size may be the one published: the download
    // checks its digest and keeps it, so it needs no room.
    const auto present = [&updatesDir](const FileRecord& file) {
        return FileBytes(updatesDir + file.fileName) == file.fileSize;
    };
    if (!roomFor(BytesToDownload(catalog.mainList, present) + BytesToDownload(catalog.dependentList, present))) return;
    // Each download stays held, as verified, until its scripts have run.
    std::vector<std::pair<std::string, UniqueFileHandle>> heldDownloads;
    {
        ServiceQuery query(config.serviceUrl());
        query.setStopFlag(ui.stopFlag());
        query.holdVerifiedDownloads();
        if (query.retrieveSoftware(catalog.mainList, updatesDir, ui.stepBar(), total) == kQueryFailed &&
            reportFailure(query.lastError()))
            return;
        if (query.retrieveSoftware(catalog.dependentList, updatesDir, ui.stepBar(), total) == kQueryFailed) {
            (void)reportFailure(query.lastError());  // without a text, the base's failure stands
            return;
        }
        heldDownloads = query.takeHeldDownloads();
    }
    std::vector<std::string> heldPaths;
    for (const auto& download : heldDownloads) heldPaths.push_back(download.first);

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
    // Nothing is unpacked over the home folder while a program holds files in it.
    if (!waitUntilFilesFree(config.homeDir(), heldPaths)) return;

    // The dependencies' scripts first: the application's may build on what
    // they installed. A script may register the product (its execute task
    // runs the installed program with -register). Whatever the scripts do
    // below home is journaled: a failure or a stop puts back the files and
    // the registration from before.
    const std::vector<std::string> earlierHomes = EarlierHomes(config);
    std::string homeDir = config.homeDir();
    AddTrailingBackslash(homeDir);
    // Looked at again: the downloads took a while.
    if (!foldersUsable(homeDir)) return;
    if (!roomFor(BytesToUnpack(catalog.dependentList, homeDir, ArchiveUnpackedBytes) +
                 BytesToUnpack(catalog.mainList, homeDir, ArchiveUnpackedBytes)))
        return;
    std::string javaHome = config.javaHome();
    RemoveTrailingBackslash(javaHome);
    ChangingInstallScope changing(ui);
    InstallTransaction transaction(config);
    if (!transaction.begin()) {
        postFailure("The install could not record its changes for a rollback beside " + homeDir);
        return;
    }
    std::vector<StartedProgram> startedPrograms;
    std::string updatesFolder = config.updatesDir();
    AddTrailingBackslash(updatesFolder);
    const DownloadGuard guard = VerifiedDownloads(catalog, updatesFolder, std::move(heldDownloads));
    for (SoftwareList* list : {&catalog.dependentList, &catalog.mainList}) {
        InstallScriptResult result =
            runScripts(*list, homeDir, javaHome, startedPrograms, transaction.journal(), guard);
        if (result.stopped || stopRequested() || !result.succeeded()) {
            // What the scripts started may still be registering the product.
            (void)WaitForPrograms(startedPrograms, kStartedProgramsWaitMs);
            (void)transaction.rollBack();
            if (!result.stopped && !stopRequested()) postFailure(result.describe());
            return;
        }
    }

    // What the scripts started ends under this run's lock: another install
    // must not unpack over a program that is still running from home.
    if (!waitForStartedPrograms(startedPrograms)) {
        (void)WaitForPrograms(startedPrograms, kStartedProgramsWaitMs);
        (void)transaction.rollBack();
        return;
    }
    const std::string registrationFailure =
        RegistrationFailure(startedPrograms, config.binDir() + config.executableName());
    if (!registrationFailure.empty()) {
        (void)transaction.rollBack();
        postFailure(registrationFailure);
        return;
    }
    // The registration ran in the installed copy, which has no catalog: the
    // application's version is recorded here, once it is done.
    const std::string version = config.catalogVersion();
    if (!version.empty() && config.isInstalled()) (void)config.recordVersion(version);
    transaction.commit();
    // Installed elsewhere: the earlier copy goes once the new one is registered.
    if (!earlierHomes.empty()) {
        if (RegistrationNamesThisCopy(config))
            RemoveEarlierCopies(config, earlierHomes);
        else
            LogLine("The earlier copy stays: the new copy was not registered in " + config.homeDir());
    }

    total->setPosition(totalSteps);
    postOutcome(WizardOutcome::Of(OutcomeKind::Installed));
}

InstallScriptResult InstallWorker::runScripts(SoftwareList& list, const std::string& homeDir,
                                              const std::string& javaHome,
                                              std::vector<StartedProgram>& startedPrograms,
                                              InstallJournal* journal, const DownloadGuard& guard) {
    WorkerChannel& ui = channel();
    ui.setStepCaption(LoadResourceText(IDS_INSTALLING_DEPENDENCIES));
    ProgressBar* step = ui.stepBar();
    step->setRange(0, static_cast<int>(list.size()));
    // The bar still has the step of the last transfer, or none at all.
    step->setStep(1);
    const StopCheck stop = [this] { return stopRequested(); };
    for (auto& software : list) {
        step->stepIt();
        for (auto& file : software->files) {
            LogLine("Running the install script of " + file->fileName + " (home " + homeDir + ", Java " + javaHome +
                    ")");
            InstallScriptResult result = runInstallScript(file->installData, homeDir, javaHome, stop, journal, guard);
            for (StartedProgram& program : result.startedPrograms) startedPrograms.push_back(std::move(program));
            if (result.stopped || !result.succeeded()) return result;
        }
    }
    ui.totalBar()->stepIt();
    return InstallScriptResult{};
}

bool InstallWorker::waitForStartedPrograms(const std::vector<StartedProgram>& startedPrograms) {
    const DWORD start = GetTickCount();
    while (!WaitForPrograms(startedPrograms, kStartedProgramsPollMs)) {
        if (stopRequested()) return false;
        if (GetTickCount() - start >= kStartedProgramsEndMs) {
            LogLine("A program the install scripts started is still running; the install ends without it");
            break;
        }
    }
    return !stopRequested();
}

bool InstallWorker::foldersUsable(const std::string& path) {
    const InstallerConfig& config = channel().configuration();
    const std::string link = FirstLinkBelowInstallDir(config.installDir(), config.appFolderPath(), path);
    if (!link.empty()) {
        postFailure("The install folder cannot be used: the path " + link + " is a junction or symbolic link");
        return false;
    }
    const std::string failure = SecureInstallFolders(config);
    if (!failure.empty()) postFailure(failure);
    return failure.empty();
}

bool InstallWorker::roomFor(uint64_t neededBytes) {
    const std::string failure = FreeSpaceFailure(channel().configuration().homeDir(), neededBytes);
    if (!failure.empty()) postFailure(failure);
    return failure.empty();
}

bool InstallWorker::reportFailure(const std::string& error) {
    if (error.empty()) return false;
    postFailure(error);
    return true;
}
