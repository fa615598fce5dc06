#include "flow/UninstallWorker.h"

#include <windows.h>
#include <objbase.h>

#include "flow/InstallerConfig.h"
#include "system/FileSystem.h"
#include "system/ResourceText.h"

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

std::string UpperCase(std::string text) {
    if (!text.empty()) CharUpperBuffA(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// ".", ".." and the like: Windows trims trailing dots and blanks from a
// component, so "..." or ". ." may mean a parent folder too.
bool IsDotComponent(const std::string& component) {
    return component.find('.') != std::string::npos &&
           component.find_first_not_of(". ") == std::string::npos;
}

}  // namespace

bool IsProductHomeDirectory(const std::string& home, const std::string& appFolderPath) {
    if (appFolderPath.empty() || home.size() <= appFolderPath.size()) return false;
    const size_t suffix = home.size() - appFolderPath.size();
    if (UpperCase(home.substr(suffix)) != UpperCase(appFolderPath)) return false;
    if (!IsSeparator(home[suffix - 1])) return false;
    // Only a full path: "X:\..." or "\\server\share\..."; a relative one
    // would be taken from whatever the current folder is.
    const bool drivePath = home.size() > 2 && home[1] == ':' && IsSeparator(home[2]);
    const bool networkPath = IsSeparator(home[0]) && IsSeparator(home[1]);
    if (!drivePath && !networkPath) return false;
    size_t start = 0;
    while (start < home.size()) {
        size_t end = start;
        while (end < home.size() && !IsSeparator(home[end])) ++end;
        if (IsDotComponent(home.substr(start, end - start))) return false;
        start = end + 1;
    }
    return true;
}

int UninstallWorker::Run() {
    ComApartment com;
    WorkerChannel& ui = channel();
    ui.stepBar()->setRange(0, kBarTop);
    ui.stepBar()->setStep(1);
    ui.enableBack(false);
    ui.enableNext(false);
    if (!RemoveProduct()) return 0;

    ui.stepBar()->setPosition(kBarFull);
    auto outcome = std::make_unique<WizardOutcome>();
    outcome->text = LoadResourceText(IDS_UNINSTALL_COMPLETED);
    outcome->targetPage = kUninstallCompletePage;
    outcome->succeeded = true;
    ui.postOutcome(std::move(outcome));
    return 0;
}

bool UninstallWorker::RemoveProduct() {
    InstallerConfig& config = channel().configuration();
    const std::string home = config.registeredCompanyHome();
    // Checked before anything changes: this folder is about to be deleted
    // with all it holds.
    if (!IsProductHomeDirectory(home, config.appFolderPath())) {
        PostFailure(kIncorrectDirectorySettings);
        return false;
    }
    if (!config.unregisterProduct()) {
        PostFailure(kErrorDuringUninstall);
        return false;
    }
    channel().stepBar()->stepIt();

    // The family's key outlives this product while another product of the
    // family is installed; the shared home folder stays for it.
    if (config.companyKeyExists()) return true;
    // Files in use stay, with their folders; that is not reported.
    DeleteDirectoryTree(home);
    channel().stepBar()->stepIt();
    return true;
}

void UninstallWorker::PostFailure(const std::string& text) {
    auto outcome = std::make_unique<WizardOutcome>();
    outcome->text = text;
    outcome->messageText = text;
    outcome->targetPage = kUninstallCompletePage;
    outcome->failed = true;
    channel().postOutcome(std::move(outcome));
}
