#pragma once
// The uninstall wizard: the page that names the product, the progress page
// that removes it, and the page that shows how it ended. Cancel asks first.
#include <string>

#include "wizard/QMPropertySheet.h"

class InstallerConfig;

class CUninstallWizard : public CQMPropertySheet {
public:
    // The configuration is not owned; it outlives the wizard.
    CUninstallWizard(InstallerConfig& configuration, const std::string& caption);

protected:
    void AddPages() override;
    BOOL CanCancel() override;

private:
    InstallerConfig& configuration;
};
