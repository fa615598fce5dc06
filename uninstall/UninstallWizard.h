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

    // Page index that the uninstall worker's outcomes lead to.
    static constexpr int kCompletePage = 2;
    int PageForOutcome(OutcomeKind kind) const override;

protected:
    void AddPages() override;
    BOOL CanCancel() override;

private:
    InstallerConfig& configuration;
};
