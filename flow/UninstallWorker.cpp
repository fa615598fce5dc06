#include "flow/UninstallWorker.h"

#include <windows.h>
#include <objbase.h>

#include <algorithm>

#include "flow/InstallFolder.h"
#include "flow/InstallerConfig.h"
#include "flow/RunLock.h"
#include "flow/SelfRemoval.h"
#include "system/FileSystem.h"
#include "system/PathSafety.h"
#include "system/PathText.h"
#include "system/ResourceText.h"
#include "system/TextCase.h"
#include "system/TextCompare.h"
#include "system/UniqueHandle.h"
#include "system/Utf8.h"

namespace {

const char kIncorrectDirectorySettings[] = "Incorrect directory settings, uninstall failed.";
const char kErrorDuringUninstall[] = "Error during uninstall";

// The bar counts the unregistration and the deletion; the worker sets a
// position past its top at the end, which shows it full.
constexpr int kBarTop = 3;
constexpr int kBarFull = 10;

// The shell calls of unregistration (the launcher, the special folders, the
// shortcut deletion) expect COM on the calling thread.
class ComApartment {
public:
    ComApartment()
        : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~ComApartment() {
        if (initialised_) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool initialised_;
};

// How long the home folder's deletion is tried again while something holds it.
constexpr DWORD kDeleteRetryMs = 5000;
constexpr DWORD kDeleteRetryPauseMs = 100;

// The first thing in `path` (or `path` itself) that is still there, other
// than the running program and the folders that lead to it: those go only
// once the program has ended. Empty when nothing else is left.
std::string LeftBehind(std::string path, const std::string& ownProgram) {
    RemoveTrailingBackslash(path);
    DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return std::string();
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return SameNameIgnoringCase(path, ownProgram) ? std::string() : path;
    // Links are not followed: a link that stayed is named itself.
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        WIN32_FIND_DATAW entry;
        UniqueFindHandle listing(FindFirstFileW(Widen(path + "\\*").c_str(), &entry));
        if (listing) {
            do {
                const std::string name = Narrow(entry.cFileName);
                if (name == "." || name == "..") continue;
                std::string left = LeftBehind(path + "\\" + name, ownProgram);
                if (!left.empty()) return left;
            } while (FindNextFileW(listing.get(), &entry));
        }
    }
    return IsTextInsideFolder(ownProgram, path) ? std::string() : path;
}

std::string CouldNotRemoveText(const std::string& path) {
    return std::string(kErrorDuringUninstall) + "\nCould not remove " + path +
           ". Close the programs that use it, then run the uninstall again.";
}

}  // namespace

void UninstallWorker::Run() {
    ComApartment com;
    WorkerChannel& ui = channel();
    ui.stepBar()->setRange(0, kBarTop);
    ui.stepBar()->setStep(1);
    ui.enableBack(false);
    ui.enableNext(false);
    MachineRunLock lock;
    if (!takeRunLock(lock)) return;
    {
        ChangingInstallScope changing(ui);
        if (!RemoveProduct()) return;
    }

    ui.stepBar()->setPosition(kBarFull);
    postOutcome(WizardOutcome::Of(OutcomeKind::Uninstalled, LoadResourceText(IDS_UNINSTALL_COMPLETED)));
}

bool UninstallWorker::RemoveProduct() {
    InstallerConfig& config = channel().configuration();
    const std::string home = config.registeredCompanyHome();
    // Checked before anything changes: this folder is about to be deleted
    // with all it holds.
    if (!IsProductHomeDirectory(home, config.appFolderPath())) {
        postFailure(std::string(kIncorrectDirectorySettings) + "\n" +
                    (home.empty() ? "No install folder is registered for " + config.productKey()
                                  : "The registered install folder " + home + " is not this product's folder") +
                    ", so nothing was removed. Run the installer again to repair the installation, then "
                    "uninstall it.");
        return false;
    }
    // The folders down to home are deleted or emptied as administrator: a
    // link among them would lead the deletion elsewhere. Links below home
    // are removed as links.
    const std::string appFolder = config.appFolderPath();
    const std::string link = FirstLinkBelowInstallDir(home.substr(0, home.size() - appFolder.size()), appFolder, home);
    if (!link.empty()) {
        postFailure(std::string(kErrorDuringUninstall) + "\nThe path " + link +
                    " is a junction or symbolic link, so nothing was removed. Remove the link, then run the "
                    "uninstall again.");
        return false;
    }
    // A stop before anything changed leaves the product as it was.
    if (stopRequested()) return false;
    // Nothing is unregistered while a program holds a file that must go.
    if (!waitUntilFilesFree(home)) return false;
    // From here on an uninstall that does not finish, stopped or failed,
    // puts the registration back while the folder is there, so the product
    // can still be started or uninstalled again. `blocked` says what failed.
    std::string blocked;
    if (!config.unregisterProduct()) {
        blocked = std::string(kErrorDuringUninstall) +
                  "\nThe product's registration or a shortcut of it could not be removed; the registration was "
                  "put back and the application's files were kept. Close the programs that use its shortcuts, "
                  "then run the uninstall again.";
    } else {
        channel().stepBar()->stepIt();
        // The family's key outlives this product while another product of the
        // family is installed; the shared home folder stays for it.
        if (config.companyKeyExists()) return true;
        const std::string left = DeleteHomeFolder(home);
        if (!left.empty()) blocked = CouldNotRemoveText(left);
        if (left.empty() && !stopRequested()) {
            // The company folder above the home folder goes too once it is empty.
            std::string companyFolder = home.substr(0, home.size() - config.appFolderPath().size());
            companyFolder += config.companyName();
            RemoveDirectoryW(Widen(companyFolder).c_str());
            // Run from the bin folder, this program is the one file left; a copy of
            // it removes the file, and the folders it empties, once we have ended.
            const std::string ownProgram = GetModulePath();
            if (IsTextInsideFolder(ownProgram, companyFolder)) {
                const std::string below = ownProgram.substr(companyFolder.size());
                const int levels = static_cast<int>(std::count(below.begin(), below.end(), '\\'));
                if (!ScheduleSelfRemoval(ownProgram, levels))
                    blocked = CouldNotRemoveText(ownProgram);
            }
            if (blocked.empty()) {
                channel().stepBar()->stepIt();
                return true;
            }
        }
    }
    if (IsDirectory(home)) {
        config.setInstallDir(home.substr(0, home.size() - config.appFolderPath().size()));
        (void)config.writeRegistration();
    }
    if (!stopRequested()) postFailure(blocked);
    return false;
}

std::string UninstallWorker::DeleteHomeFolder(const std::string& home) {
    // The launcher that unregistered the application, and the console Windows
    // gives it, may hold the bin folder for a moment after they end.
    const std::string ownProgram = GetModulePath();
    const DWORD start = GetTickCount();
    for (;;) {
        DeleteDirectoryTree(home, [this] { return stopRequested(); });
        std::string left = LeftBehind(home, ownProgram);
        if (left.empty() || stopRequested() || GetTickCount() - start >= kDeleteRetryMs) return left;
        Sleep(kDeleteRetryPauseMs);
    }
}
