#pragma once
// First page of the install wizard: the licence text and the choice to
// agree. Every visit starts on "do not agree"; Next needs "agree".
#include "wizard/QMPropertyPage.h"

class InstallerConfig;

class CLicensePage : public CQMPropertyPage {
public:
    CLicensePage(CQMPropertySheet& sheet, InstallerConfig& configuration);
    BOOL ValidatePage() override;

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;

private:
    InstallerConfig& configuration_;
};
