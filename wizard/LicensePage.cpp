#include "wizard/LicensePage.h"

#include "resources/resource.h"
#include "system/ResourceText.h"
#include "wizard/QMPropertySheet.h"
#include "wizard/WindowText.h"

CLicensePage::CLicensePage(CQMPropertySheet& sheet, InstallerConfig& configuration)
    : CQMPropertyPage(sheet, IDD_LICENSE_PAGE), configuration_(configuration) {
    title = "License agreement";
    subtitle = "You must agree to the license before installing";
}

BOOL CLicensePage::OnInitDialog() {
    std::string text = LoadResourceText(IDS_LICENSE_PART1) + LoadResourceText(IDS_LICENSE_PART2);
    SetDlgItemTextUtf8(window(), IDC_LICENSE_TEXT, text);
    return TRUE;
}

BOOL CLicensePage::OnSetActive() {
    if (!CQMPropertyPage::OnSetActive()) return FALSE;
    // A click on the refusal, as the user would make it, so each visit
    // starts from "do not agree" whatever was chosen before.
    HWND refuse = GetDlgItem(window(), IDC_DISAGREE);
    PostMessageW(refuse, WM_LBUTTONDOWN, 0, 0);
    PostMessageW(refuse, WM_LBUTTONUP, 0, 0);
    return TRUE;
}

BOOL CLicensePage::ValidatePage() {
    if (IsDlgButtonChecked(window(), IDC_AGREE) == BST_CHECKED) return TRUE;
    ShowMessageBox(window(), LoadResourceText(IDS_MUST_AGREE), LoadResourceText(IDS_INSTALLER_CAPTION),
                   MB_OK | MB_ICONEXCLAMATION);
    return FALSE;
}

LRESULT CLicensePage::OnWizardNext() { return ValidatePage() ? 0 : -1; }
