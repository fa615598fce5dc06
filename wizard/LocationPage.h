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

    // The parent folder to store for a shown folder text: the text with a
    // final backslash, in capitals, cut before the application's folder
    // path when the text already holds it. Empty for an empty text.
    static std::string ParentFolderOf(const std::string& shownFolder, const std::string& appFolderPath);

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
