#pragma once
// The page behind every long job: two captions and two bars that a worker
// thread drives through a WorkerChannel, and the handler that turns the
// wizard to the page the sheet gives for the worker's outcome. The page owns
// the running worker: when the page goes, the worker is asked to stop and
// waited for, so nothing it reads is destroyed under it.
#include <memory>

#include "flow/WorkerChannel.h"
#include "resources/resource.h"
#include "wizard/QMPropertyPage.h"

class InstallerConfig;
class RunningWorker;
class WorkerThread;

class CProgressPage : public CQMPropertyPage {
public:
    CProgressPage(CQMPropertySheet& sheet, InstallerConfig& configuration);
    ~CProgressPage() override;

    BOOL ValidatePage() override { return TRUE; }
    // The running worker is asked to stop before the sheet starts closing,
    // so it takes no further step (an install script) meanwhile.
    void OnCancelConfirmed() override;
    // The channel of the worker now running (or last run); null before the
    // first activation.
    std::shared_ptr<WorkerChannel> channel() const { return channel_; }

protected:
    // A new worker over `channel`, or null to run none.
    virtual WorkerThread* CreateWorker(std::shared_ptr<WorkerChannel> channel) = 0;
    void OnWorkerMessage(std::unique_ptr<WizardOutcome> outcome);
    // The caption (a string id) of the questions the page asks for its worker.
    unsigned messageCaptionId = IDS_INSTALLER_CAPTION;

    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override { return 0; }
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

    InstallerConfig& configuration;

private:
    std::shared_ptr<WorkerChannel> channel_;
    std::unique_ptr<RunningWorker> worker_;
};
