#pragma once
// The page behind every long job: two captions and two bars that a worker
// thread drives through a WorkerChannel, and the handler that turns the
// wizard to the page the worker's outcome names.
#include <memory>

#include "flow/WorkerChannel.h"
#include "resources/resource.h"
#include "wizard/QMPropertyPage.h"

class InstallerConfig;
class WorkerThread;


class CProgressPage : public CQMPropertyPage {
public:
    CProgressPage(CQMPropertySheet& sheet, InstallerConfig& configuration);

    BOOL ValidatePage() override { return TRUE; }
    // The channel of the worker now running (or last run); null before the
    // first activation.
    std::shared_ptr<WorkerChannel> channel() const { return channel_; }

protected:
    // A new worker over `channel`, or null to run none.
    virtual WorkerThread* CreateWorker(std::shared_ptr<WorkerChannel> channel) = 0;
    virtual LRESULT OnWorkerMessage(std::unique_ptr<WizardOutcome> outcome);

    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override { return 0; }
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

    InstallerConfig& configuration;

private:
    std::shared_ptr<WorkerChannel> channel_;
};
