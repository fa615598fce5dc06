#pragma once
// What a worker reports when it ends. Workers name what happened; the wizard
// that shows the outcome decides which of its pages that leads to.
#include <string>

enum class OutcomeKind {
    ReadyForLocation,  // update check done, nothing newer, Java present
    JavaRequired,      // the Java runtime's installer is fetched for the user to run
    InstallerUpdated,  // a newer installer is fetched and replaces this one
    Installed,         // every download and script is done
    Uninstalled,       // the product is removed
    FilesInUse,        // programs hold files of the product; nothing changed (text names them)
    Failed,            // text and messageText say why
};

struct WizardOutcome {
    OutcomeKind kind = OutcomeKind::Failed;
    std::string text;          // for the target page's main text
    std::string messageText;   // shown in a message box when not empty
    std::string launchTarget;  // a file or address the target page opens
    std::string launchSha256;  // the digest a downloaded launchTarget is checked against when started
    double requiredVersion = 0;
    bool closeWizard = false;

    bool succeeded() const { return kind == OutcomeKind::Installed || kind == OutcomeKind::Uninstalled; }
    bool failed() const { return kind == OutcomeKind::Failed; }
    bool installerUpdated() const { return kind == OutcomeKind::InstallerUpdated; }

    // A failure shows the same text on the page and in the message box.
    static WizardOutcome Failure(const std::string& text) {
        WizardOutcome outcome;
        outcome.text = text;
        outcome.messageText = text;
        return outcome;
    }
    static WizardOutcome Of(OutcomeKind kind, const std::string& text = std::string()) {
        WizardOutcome outcome;
        outcome.kind = kind;
        outcome.text = text;
        return outcome;
    }
};

// The start of every failure text the installer's and the uninstaller's last
// pages show (the uninstaller's says "installation" too), and the log repeats.
inline constexpr char kInstallationErrorPrefix[] = "There was an error during installation: ";

// Texts of outcomes that the worker base posts itself.
extern const char kWorkerStoppedText[];
extern const char kWorkerInternalErrorText[];
