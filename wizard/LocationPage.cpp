#include "wizard/LocationPage.h"

#include <vector>

#include "flow/InstallFolder.h"
#include "flow/InstallerConfig.h"
#include "resources/resource.h"
#include "system/FileSystem.h"
#include "system/ResourceText.h"
#include "wizard/FolderBrowserDialog.h"
#include "wizard/QMPropertySheet.h"

CLocationPage::CLocationPage(CQMPropertySheet& sheet, InstallerConfig& configuration)
    : CQMPropertyPage(sheet, IDD_LOCATION_PAGE), configuration_(configuration) {
    title = "Install location";
    subtitle = "Where do you want to install the application?";
}

BOOL CLocationPage::OnInitDialog() {
    std::string label = "Install " + configuration_.productKey() + " to:";
    SetDlgItemTextA(window(), IDC_INSTALL_LABEL, label.c_str());
    if (configuration_.installDir().empty()) configuration_.setInstallDir(DefaultInstallDir());
    std::string folder = configuration_.installDir() + configuration_.appFolderPath();
    SetDlgItemTextA(window(), IDC_INSTALL_DIR, folder.c_str());
    return TRUE;
}

BOOL CLocationPage::OnSetActive() {
    if (!CQMPropertyPage::OnSetActive()) return FALSE;
    sheet().SetWizardButtons(PSWIZB_NEXT);  // nothing before this page can be redone
    return TRUE;
}

std::string CLocationPage::shownFolder() const {
    HWND control = GetDlgItem(window(), IDC_INSTALL_DIR);
    std::vector<char> text(static_cast<size_t>(GetWindowTextLengthA(control)) + 1);
    GetWindowTextA(control, text.data(), static_cast<int>(text.size()));
    return text.data();
}

void CLocationPage::ChangeFolder() {
    CFolderBrowserDialog browser(window());
    browser.SetInitialFolder(shownFolder());
    if (browser.DoModal() == IDOK) SetDlgItemTextA(window(), IDC_INSTALL_DIR, browser.GetFolder().c_str());
}

BOOL CLocationPage::ValidatePage() {
    std::string folder = shownFolder();
    if (folder.empty()) {
        sheet().SetActivePage(sheet().GetPageIndex(this));
        std::string caption = GetModuleName();
        std::string text = LoadResourceText(IDS_SPECIFY_DIRECTORY);
        MessageBoxA(window(), text.c_str(), caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
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
