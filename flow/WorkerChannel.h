#pragma once
// What a worker thread may do to its progress page, without seeing any
// wizard code: captions, the two bars, the Back and Next buttons, and one
// outcome at the end. The page implements it over its window handles; tests
// record it. It is also who is asked for a proxy's credentials during the
// worker's requests. The page asks the worker to stop through the same channel.
#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "flow/WorkerOutcome.h"
#include "service/ProxyCredentials.h"
#include "system/ProgressBar.h"
#include "system/SlimLock.h"

class InstallerConfig;

// The private message that tells the page an outcome waits in its channel
// (WM_USER+40). Its wParam is the channel's token, never a pointer: anyone
// may post a window message, so the page only takes what its channel holds.
constexpr unsigned WM_PROGRESS_UPDATE = 0x0400 + 40;

class WorkerChannel : public ProxyCredentialsPrompt {
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
    // Tells the user which programs or files are in use and waits for the
    // answer: true to look again, false to give up. Without a user to ask
    // (a silent run) the answer is false.
    virtual bool askRetryFilesInUse(const std::string&) { return false; }
    // Shows the system's credentials dialog for a request a proxy refused;
    // true to send it again. Without a user (a silent run) the answer is
    // false, and the request fails naming the proxy.
    bool askProxyCredentials(void*) override { return false; }

    // Keeps the first outcome of the run and tells the receiver; later ones
    // are dropped. False when this one was dropped.
    bool postOutcome(WizardOutcome outcome);
    bool outcomePosted() const;
    // The kept outcome, once; null before it is posted or once taken.
    std::unique_ptr<WizardOutcome> takeOutcome();

    // Set by the page when the wizard goes away; workers look between steps.
    void requestStop() { stopRequested_ = true; }
    bool stopRequested() const { return stopRequested_; }
    // The same flag for a download loop to look at between blocks.
    const std::atomic<bool>* stopFlag() const { return &stopRequested_; }

    // Set by a worker while it changes the installed product (an install's
    // scripts and their rollback, an uninstall): a stopped worker must be
    // waited for then. Otherwise a wizard that goes need not wait for one
    // stuck in a request.
    void setChangingInstall(bool on) { changingInstall_ = on; }
    bool changingInstall() const { return changingInstall_; }

protected:
    // Tells the receiver that an outcome waits; called once per run.
    virtual void notifyOutcome() = 0;

private:
    mutable SlimLock mutex_;
    bool posted_ = false;
    std::unique_ptr<WizardOutcome> outcome_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> changingInstall_{false};
};

// Marks the channel's worker as changing the install while it lives.
class ChangingInstallScope {
public:
    explicit ChangingInstallScope(WorkerChannel& channel) : channel_(channel) { channel_.setChangingInstall(true); }
    ~ChangingInstallScope() { channel_.setChangingInstall(false); }
    ChangingInstallScope(const ChangingInstallScope&) = delete;
    ChangingInstallScope& operator=(const ChangingInstallScope&) = delete;

private:
    WorkerChannel& channel_;
};
