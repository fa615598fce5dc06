#pragma once
// The uninstall wizard's progress page: one bar captioned "Uninstalling",
// driven by an UninstallWorker, whose outcome goes to the complete page.
#include "wizard/ProgressPage.h"

class UninstallProgressPage : public CProgressPage {
public:
    UninstallProgressPage(CQMPropertySheet& sheet, InstallerConfig& configuration);

protected:
    BOOL OnInitDialog() override;
    WorkerThread* CreateWorker(std::shared_ptr<WorkerChannel> channel) override;
};
