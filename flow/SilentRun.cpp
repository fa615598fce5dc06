#include "flow/SilentRun.h"

#include <algorithm>
#include <memory>

#include "flow/ExitCode.h"
#include "flow/InstallFolder.h"
#include "flow/InstallWorker.h"
#include "flow/InstallerConfig.h"
#include "flow/UninstallWorker.h"
#include "flow/UpdateCheckWorker.h"
#include "flow/WorkerChannel.h"
#include "service/ServiceQuery.h"
#include "system/FileSystem.h"
#include "system/Log.h"
#include "system/PathText.h"
#include "system/ProcessLaunch.h"
#include "system/VerifiedFile.h"
#include "system/VersionText.h"

namespace {

// Keeps a position like the common control, so workers that read it back
// see what they set; nothing is shown.
class SilentProgressBar : public ProgressBar {
public:
    void setRange(int lower, int upper) override {
        lower_ = lower;
        upper_ = std::max(lower, upper);
        position_ = std::clamp(position_, lower_, upper_);
    }
    void getRange(int& lower, int& upper) const override {
        lower = lower_;
        upper = upper_;
    }
    void setStep(int step) override { step_ = step; }
    void setPosition(int position) override { position_ = std::clamp(position, lower_, upper_); }
    int position() const override { return position_; }
    void stepIt() override {
        position_ += step_;
        if (position_ > upper_) position_ = lower_ + (position_ - upper_);
    }

private:
    int lower_ = 0, upper_ = 100, step_ = 10, position_ = 0;
};

// A channel with no window: step captions go to the log, the rest nowhere.
class SilentChannel : public WorkerChannel {
public:
    explicit SilentChannel(InstallerConfig& configuration) : configuration_(configuration) {}

    InstallerConfig& configuration() override { return configuration_; }
    void setStepCaption(const std::string& text) override { LogLine(text); }
    void setTotalCaption(const std::string&) override {}
    ProgressBar* stepBar() override { return &step_; }
    ProgressBar* totalBar() override { return &total_; }
    void enableBack(bool) override {}
    void enableNext(bool) override {}

protected:
    // The runner waits for the worker's thread and then takes the outcome.
    void notifyOutcome() override {}

private:
    InstallerConfig& configuration_;
    SilentProgressBar step_;
    SilentProgressBar total_;
};

// Runs one worker to its end and gives its outcome (the base posts one for
// every run).
template <typename Worker>
WizardOutcome RunToOutcome(InstallerConfig& config) {
    auto channel = std::make_shared<SilentChannel>(config);
    std::unique_ptr<RunningWorker> running = WorkerThread::Start(new Worker(channel));
    if (!running) return WizardOutcome::Failure(kWorkerInternalErrorText);
    running->wait(INFINITE);
    std::unique_ptr<WizardOutcome> outcome = channel->takeOutcome();
    return outcome ? *outcome : WizardOutcome::Failure(kWorkerStoppedText);
}

int Failed(const char* run, const WizardOutcome& outcome) {
    LogLine(std::string(run) + " failed: " + kInstallationErrorPrefix + outcome.text);
    return kExitFailed;
}

int StartNewerInstaller(const WizardOutcome& outcome, const std::vector<std::string>& arguments) {
    LogLine("A newer installer was downloaded to " + outcome.launchTarget + "; starting it with: " +
            JoinCommandLine(arguments));
    // Started from the bytes that were verified, held so until it has ended.
    const UniqueFileHandle verified = LockVerifiedFile(outcome.launchTarget, outcome.launchSha256);
    if (!verified)
        return Failed("Install", WizardOutcome::Failure(DigestMismatchText(GetFileNameOfPath(outcome.launchTarget))));
    DWORD exitCode = kExitFailed;
    DWORD error = RunProgramAndWait(outcome.launchTarget, JoinCommandLine(arguments), nullptr, true, exitCode);
    if (error != ERROR_SUCCESS) {
        LogLine("Install failed: the newer installer could not be started (error " + std::to_string(error) + ")");
        return kExitFailed;
    }
    LogLine("The newer installer ended with exit code " + std::to_string(exitCode));
    return static_cast<int>(exitCode);
}

}  // namespace

int RunSilentInstall(InstallerConfig& config, bool hasFolder, const std::string& folderText,
                     const std::vector<std::string>& arguments) {
    const std::string installDir =
        hasFolder ? InstallDirFromFolderText(folderText, config.appFolderPath()) : OfferedInstallDir(config);
    if (installDir.empty()) {
        LogLine("Install refused: no install folder (\"" + folderText + "\")");
        return kExitNotAllowed;
    }
    LogLine("Silent install into " + installDir + config.appFolderPath());

    WizardOutcome checked = RunToOutcome<UpdateCheckWorker>(config);
    switch (checked.kind) {
        case OutcomeKind::ReadyForLocation: break;
        case OutcomeKind::InstallerUpdated: return StartNewerInstaller(checked, arguments);
        case OutcomeKind::JavaRequired:
            LogLine("Install stopped: " + checked.text + " (version " + FormatVersionNumber(checked.requiredVersion) +
                    "; its installer was downloaded to " + checked.launchTarget + ")");
            return kExitJavaRequired;
        default: return Failed("Install", checked);
    }

    // The same version in the same folder: nothing to download or run.
    // A home folder that was deleted meanwhile is installed again.
    const std::string version = config.catalogVersion(), home = config.registeredHome();
    if (!version.empty() && config.registeredVersion() == version && IsDirectory(home) &&
        IsSameFolder(home, installDir + config.appFolderPath())) {
        LogLine(config.productKey() + " " + version + " is already installed in " + home);
        return kExitSuccess;
    }

    config.setInstallDir(installDir);
    config.setLaunchAfterInstall(false);
    config.setAddDesktopIcon(false);
    WizardOutcome installed = RunToOutcome<InstallWorker>(config);
    // The worker has logged which files are in use; nothing was changed.
    if (installed.kind == OutcomeKind::FilesInUse) return kExitFilesInUse;
    if (installed.kind != OutcomeKind::Installed) return Failed("Install", installed);
    LogLine("Install complete: " + config.homeDir());
    return kExitSuccess;
}

int RunSilentUninstall(InstallerConfig& config) {
    LogLine("Silent uninstall of " + config.registeredCompanyHome());
    WizardOutcome removed = RunToOutcome<UninstallWorker>(config);
    if (removed.kind == OutcomeKind::FilesInUse) return kExitFilesInUse;
    if (removed.kind != OutcomeKind::Uninstalled) return Failed("Uninstall", removed);
    LogLine("Uninstall complete: " + removed.text);
    return kExitSuccess;
}
