#pragma once
// The install wizard's two progress pages: the update check (page 1) and
// the download and install (page 4). Each starts its worker when it becomes
// active and turns the wizard to the page the worker's outcome names.
#include "wizard/ProgressPage.h"

class UpdateCheckPage : public CProgressPage {
public:
    UpdateCheckPage(CQMPropertySheet& sheet, InstallerConfig& configuration);

protected:
    WorkerThread* CreateWorker(std::shared_ptr<WorkerChannel> channel) override;
};

class InstallProgressPage : public CProgressPage {
public:
    InstallProgressPage(CQMPropertySheet& sheet, InstallerConfig& configuration);

protected:
    WorkerThread* CreateWorker(std::shared_ptr<WorkerChannel> channel) override;
};
