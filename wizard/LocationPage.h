#pragma once
// Where to install: shows the application's folder below the chosen parent
// folder, lets the user pick another parent with the folder browser, and
// stores the parent (in capitals) as the configuration's install folder.
#include <string>

#include "wizard/QMPropertyPage.h"

class InstallerConfig;

class CLocationPage : public CQMPropertyPage {
public:
    CLocationPage(CQMPropertySheet& sheet, InstallerConfig& configuration);
    BOOL ValidatePage() override;


protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    std::string shownFolder() const;
    void ChangeFolder();

    InstallerConfig& configuration_;
};
