#include "flow/InstallTransaction.h"

#include <windows.h>
#include <shlobj.h>

#include "flow/InstallerConfig.h"
#include "system/Log.h"
#include "system/PathText.h"
#include "system/RegistryKey.h"
#include "system/ShellLink.h"

namespace {

const char kRegistrationNote[] = "registration\t";
const char kFolderValue[] = "Folder";

// The key that names the running install's rollback folder, beside the
// company's product keys in HKEY_LOCAL_MACHINE: only administrators write it.
std::string PendingKeyPath(const InstallerConfig& config) {
    return GetParentOfPath("Software\\" + config.companyRegistryPath()) + "\\" + config.productKey() + " rollback";
}

void ForgetPending(const InstallerConfig& config) {
    const std::string path = PendingKeyPath(config);
    RegistryKey key;
    if (key.open(HKEY_LOCAL_MACHINE, path) == ERROR_SUCCESS) key.deleteTree();
    key.close();
    // The company key goes with its last entry, as the registration's does.
    std::vector<std::string> left;
    if (key.open(HKEY_LOCAL_MACHINE, GetParentOfPath(path)) == ERROR_SUCCESS &&
        key.enumSubkeys(left) == ERROR_SUCCESS && left.empty())
        key.deleteTree();
}

// Puts the registration back as the note records it: none, or the copy in
// the home folder it names, with its shortcuts pointing there again.
void RestoreRegistration(InstallerConfig& config, const std::string& previousHome) {
    if (previousHome.empty()) {
        if (!config.isInstalled()) return;
        LogLine("Rollback: removing the registration this install made");
        (void)config.unregisterProduct();
        return;
    }
    const std::string current = config.installDir();
    const std::string appFolder = config.appFolderPath();
    std::string home = previousHome;
    AddTrailingBackslash(home);
    if (home.size() < appFolder.size()) return;
    config.setInstallDir(home.substr(0, home.size() - appFolder.size()));
    LogLine("Rollback: registering the copy in " + previousHome + " again");
    if (config.writeRegistration()) {
        const std::string program = config.binDir() + config.executableName();
        (void)config.createProgramsShortcut(program, config.productKey(), config.companyName());
        if (ShellLinkExists(config.productKey(), "", CSIDL_COMMON_DESKTOPDIRECTORY))
            (void)config.createDesktopShortcut(program, config.productKey());
    }
    config.setInstallDir(current);
}

// How long a rollback keeps trying while something holds a file it must
// put back: the application's launcher may still be reading its script.
constexpr DWORD kRollBackRetryMs = 5000;
constexpr DWORD kRollBackRetryPauseMs = 200;

// Replays the journal until it is all undone or the time is up; the replay
// does nothing twice.
JournalRollback RollBackUntilDone(const std::string& folder, JournalRollback undone) {
    const DWORD start = GetTickCount();
    while (!undone.complete && GetTickCount() - start < kRollBackRetryMs) {
        Sleep(kRollBackRetryPauseMs);
        undone = RollBackJournal(folder);
    }
    return undone;
}

// Puts back the registration the journal noted; true when the files were
// all put back too.
bool UndoJournal(InstallerConfig& config, const JournalRollback& undone) {
    for (const std::string& note : undone.notes)
        if (note.compare(0, sizeof kRegistrationNote - 1, kRegistrationNote) == 0)
            RestoreRegistration(config, note.substr(sizeof kRegistrationNote - 1));
    if (!undone.complete) {
        LogLine("Rollback incomplete: " + undone.firstFailure + " could not be put back (error " +
                std::to_string(undone.firstError) + "); the next run tries again");
        return false;
    }
    ForgetPending(config);
    return true;
}

}  // namespace

bool InstallTransaction::begin() {
    std::string home = config_.homeDir();
    RemoveTrailingBackslash(home);
    const std::string rollbackDir = GetParentOfPath(home) + "\\" + config_.productKey() + " rollback";
    RegistryKey pending;
    if (pending.create(HKEY_LOCAL_MACHINE, PendingKeyPath(config_)) != ERROR_SUCCESS ||
        pending.setString(kFolderValue, rollbackDir) != ERROR_SUCCESS) {
        LogLine("The install journal's place could not be recorded in HKLM\\" + PendingKeyPath(config_));
        return false;
    }
    std::string previousHome = config_.isInstalled() ? config_.registeredHome() : std::string();
    RemoveTrailingBackslash(previousHome);
    if (!journal_.begin(rollbackDir, home) || !journal_.note(kRegistrationNote + previousHome)) {
        LogLine("The install journal could not be written in " + rollbackDir);
        (void)journal_.rollBack();
        ForgetPending(config_);
        return false;
    }
    LogLine("Journaling the install's changes in " + rollbackDir);
    return true;
}

void InstallTransaction::commit() {
    journal_.commit();
    ForgetPending(config_);
}

bool InstallTransaction::rollBack() {
    LogLine("Rolling back the install's changes");
    const std::string folder = journal_.rollbackDir();
    const bool complete = UndoJournal(config_, RollBackUntilDone(folder, journal_.rollBack()));
    if (complete) LogLine("Rolled back: the files and registration from before the install are back");
    return complete;
}

void FinishInterruptedInstall(InstallerConfig& config) {
    RegistryKey pending;
    std::string folder;
    if (pending.openForRead(HKEY_LOCAL_MACHINE, PendingKeyPath(config)) != ERROR_SUCCESS ||
        pending.getString(kFolderValue, folder) != ERROR_SUCCESS)
        return;
    pending.close();
    if (folder.empty()) {
        ForgetPending(config);
        return;
    }
    LogLine("An earlier install did not finish: rolling back its changes recorded in " + folder);
    if (UndoJournal(config, RollBackUntilDone(folder, RollBackJournal(folder))))
        LogLine("Finished the rollback of the earlier install");
}
