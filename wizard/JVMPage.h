#pragma once
// Shown when the update check found no suitable Java runtime: it offers the
// runtime installer the check downloaded and lets the wizard go on only
// once a runtime of the required version is registered.
#include <memory>
#include <string>

#include "wizard/QMPropertyPage.h"

class InstallerConfig;

class CJVMPage : public CQMPropertyPage {
public:
    CJVMPage(CQMPropertySheet& sheet, InstallerConfig& configuration);
    void ApplyOutcome(std::unique_ptr<WizardOutcome> outcome) override;

protected:
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    InstallerConfig& configuration_;
    double requiredVersion_ = 0;
    std::string launchTarget_;  // the runtime installer
    std::string launchSha256_;  // its published digest
    std::string messageText_;   // the reminder while Java is still missing
};
