#pragma once
// The process exit codes of every run mode, for administrators and package
// managers (README, "Deploying").
#include "flow/WorkerOutcome.h"

enum ExitCode : int {
    kExitSuccess = 0,
    kExitFailed = 1,        // the service, a download, a script or the uninstall failed
    kExitCancelled = 2,     // the user cancelled a wizard
    kExitJavaRequired = 3,  // the Java runtime must be installed first
    kExitNotAllowed = 4,    // no elevation, or the install folder was refused
    kExitFilesInUse = 5,    // programs hold files of the product; nothing was changed
};

// The exit code of a run that ended on this outcome.
inline ExitCode ExitCodeForOutcome(OutcomeKind kind) {
    switch (kind) {
        case OutcomeKind::Failed: return kExitFailed;
        case OutcomeKind::JavaRequired: return kExitJavaRequired;
        case OutcomeKind::FilesInUse: return kExitFilesInUse;
        case OutcomeKind::ReadyForLocation:
        case OutcomeKind::InstallerUpdated:
        case OutcomeKind::Installed:
        case OutcomeKind::Uninstalled: break;
    }
    return kExitSuccess;
}
