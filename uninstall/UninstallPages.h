#pragma once
// The uninstall wizard's two plain pages: the one that names the product
// before anything happens, and the one that shows how the uninstall ended.
#include "wizard/QMPropertyPage.h"

class InstallerConfig;

class CPreUninstallPage : public CQMPropertyPage {
public:
    CPreUninstallPage(CQMPropertySheet& sheet, InstallerConfig& configuration);

protected:
    BOOL OnInitDialog() override;

private:
    InstallerConfig& configuration;
};

class CUninstallCompletePage : public CQMPropertyPage {
public:
    CUninstallCompletePage(CQMPropertySheet& sheet, InstallerConfig& configuration);

    // Shows the worker's outcome on the page, and in a message box when it
    // carries a message.
    void ApplyOutcome(std::unique_ptr<WizardOutcome> outcome) override;

protected:
    BOOL OnSetActive() override;

private:
    InstallerConfig& configuration;
};
