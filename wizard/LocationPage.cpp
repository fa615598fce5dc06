#include "wizard/LocationPage.h"

#include "flow/InstallFolder.h"
#include "flow/InstallerConfig.h"
#include "resources/resource.h"
#include "system/FileSystem.h"
#include "system/ResourceText.h"
#include "wizard/FolderBrowserDialog.h"
#include "wizard/QMPropertySheet.h"
#include "wizard/WindowText.h"

CLocationPage::CLocationPage(CQMPropertySheet& sheet, InstallerConfig& configuration)
    : CQMPropertyPage(sheet, IDD_LOCATION_PAGE), configuration_(configuration) {
    title = "Install location";
    subtitle = "Where do you want to install the application?";
}

BOOL CLocationPage::OnInitDialog() {
    std::string label = "Install " + configuration_.productKey() + " to:";
    SetDlgItemTextUtf8(window(), IDC_INSTALL_LABEL, label);
    if (configuration_.installDir().empty()) configuration_.setInstallDir(OfferedInstallDir(configuration_));
    std::string folder = configuration_.installDir() + configuration_.appFolderPath();
    SetDlgItemTextUtf8(window(), IDC_INSTALL_DIR, folder);
    return TRUE;
}

BOOL CLocationPage::OnSetActive() {
    if (!CQMPropertyPage::OnSetActive()) return FALSE;
    sheet().SetWizardButtons(PSWIZB_NEXT);  // nothing before this page can be redone
    return TRUE;
}

std::string CLocationPage::shownFolder() const {
    return GetWindowTextUtf8(GetDlgItem(window(), IDC_INSTALL_DIR));
}

void CLocationPage::ChangeFolder() {
    CFolderBrowserDialog browser(window());
    browser.SetInitialFolder(shownFolder());
    if (browser.DoModal() == IDOK) SetDlgItemTextUtf8(window(), IDC_INSTALL_DIR, browser.GetFolder());
}

BOOL CLocationPage::ValidatePage() {
    std::string folder = shownFolder();
    if (folder.empty()) {
        sheet().SetActivePage(sheet().GetPageIndex(this));
        ShowMessageBox(window(), LoadResourceText(IDS_SPECIFY_DIRECTORY), GetModuleName(), MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    configuration_.setInstallDir(InstallDirFromFolderText(folder, configuration_.appFolderPath()));
    return TRUE;
}

LRESULT CLocationPage::OnWizardNext() { return ValidatePage() ? 0 : -1; }

bool CLocationPage::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) {
    if (message != WM_COMMAND || LOWORD(wParam) != IDC_PAGE_BUTTON || HIWORD(wParam) != BN_CLICKED) return false;
    ChangeFolder();
    result = TRUE;
    return true;
}
