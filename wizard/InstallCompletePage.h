#pragma once
// Last page of the install wizard: the outcome of the install (or of the
// update check), and the choices to launch the application and to put an
// icon on the desktop, which start-up acts on after the wizard closes.
#include <memory>

#include "wizard/QMPropertyPage.h"

class InstallerConfig;

class CInstallCompletePage : public CQMPropertyPage {
public:
    CInstallCompletePage(CQMPropertySheet& sheet, InstallerConfig& configuration);
    void ApplyOutcome(std::unique_ptr<WizardOutcome> outcome) override;
    BOOL ValidatePage() override;

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnWizardFinish() override { return ValidatePage(); }
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void ShowChoices(bool show);
    void GrowTextOverChoices();

    InstallerConfig& configuration_;
};
