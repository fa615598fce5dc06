#include "wizard/LicensePage.h"

#include "resources/resource.h"
#include "system/ResourceText.h"
#include "wizard/QMPropertySheet.h"

CLicensePage::CLicensePage(CQMPropertySheet& sheet, InstallerConfig& configuration)
    : CQMPropertyPage(sheet, IDD_LICENSE_PAGE), configuration_(configuration) {
    title = "License agreement";
    subtitle = "You must agree to the license before installing";
}

BOOL CLicensePage::OnInitDialog() {
    std::string text = LoadResourceText(IDS_LICENSE_PART1) + LoadResourceText(IDS_LICENSE_PART2);
    SetDlgItemTextA(window(), IDC_LICENSE_TEXT, text.c_str());
    return TRUE;
}

BOOL CLicensePage::OnSetActive() {
    if (!CQMPropertyPage::OnSetActive()) return FALSE;
    // A click on the refusal, as the user would make it, so each visit
    // starts from "do not agree" whatever was chosen before.
    HWND refuse = GetDlgItem(window(), IDC_DISAGREE);
    PostMessageA(refuse, WM_LBUTTONDOWN, 0, 0);
    PostMessageA(refuse, WM_LBUTTONUP, 0, 0);
    return TRUE;
}

BOOL CLicensePage::ValidatePage() {
    if (IsDlgButtonChecked(window(), IDC_AGREE) == BST_CHECKED) return TRUE;
    std::string text = LoadResourceText(IDS_MUST_AGREE);
    std::string caption = LoadResourceText(IDS_INSTALLER_CAPTION);
    MessageBoxA(window(), text.c_str(), caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
    return FALSE;
}

LRESULT CLicensePage::OnWizardNext() { return ValidatePage() ? 0 : -1; }
