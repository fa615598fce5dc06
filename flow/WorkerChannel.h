#pragma once
// What a worker thread may do to its progress page, without seeing any
// wizard code: captions, the two bars, the Back and Next buttons, and one
// outcome at the end. The page implements it over its window handles.
#include <memory>
#include <string>

#include "system/ProgressBar.h"

class InstallerConfig;

// The private message that carries a WizardOutcome to the page (WM_USER+40).
constexpr unsigned WM_PROGRESS_UPDATE = 0x0400 + 40;

// What a worker reports when it ends; the target page shows it.
struct WizardOutcome {
    std::string text;          // for the target page's main text
    std::string messageText;   // shown in a message box when not empty
    std::string launchTarget;  // a file or address the target page opens
    double requiredVersion = 0;
    int targetPage = -1;       // -1: stay where we are
    bool closeWizard = false;
    bool succeeded = false;
    bool failed = false;
    bool installerUpdated = false;
};

class WorkerChannel {
public:
    virtual ~WorkerChannel() = default;
    virtual InstallerConfig& configuration() = 0;
    virtual void setStepCaption(const std::string& text) = 0;
    virtual void setTotalCaption(const std::string& text) = 0;
    // Never null while the channel lives; they keep working (and move
    // nothing on screen) after the wizard's windows are gone.
    virtual ProgressBar* stepBar() = 0;
    virtual ProgressBar* totalBar() = 0;
    virtual void enableBack(bool enable) = 0;
    virtual void enableNext(bool enable) = 0;
    // Hands the outcome to the page. Only the first call of a channel
    // delivers; an outcome that cannot be delivered is freed here.
    virtual void postOutcome(std::unique_ptr<WizardOutcome> outcome) = 0;
};
