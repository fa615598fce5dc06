#include "wizard/InstallCompletePage.h"

#include "flow/InstallerConfig.h"
#include "flow/WorkerChannel.h"
#include "resources/resource.h"
#include "system/ResourceText.h"
#include "flow/WorkerOutcome.h"
#include "wizard/QMPropertySheet.h"
#include "wizard/WindowText.h"

namespace {

// Posted to the page on activation, so that it is handled after the sheet
// has applied the button setting that activation posted.
constexpr UINT kHideButtonsMessage = WM_APP + 0x53;
// In dialog units, from the text's top to just above the page's bottom.
constexpr int kFailureTextHeight = 120;

}  // namespace

CInstallCompletePage::CInstallCompletePage(CQMPropertySheet& sheet, InstallerConfig& configuration)
    : CQMPropertyPage(sheet, IDD_INSTALL_COMPLETE_PAGE), configuration_(configuration) {
    title = "Install complete";
    subtitle = "The installation is now complete";
}

BOOL CInstallCompletePage::OnInitDialog() {
    CheckDlgButton(window(), IDC_LAUNCH_CHECK, BST_CHECKED);
    CheckDlgButton(window(), IDC_DESKTOP_CHECK, BST_CHECKED);
    return TRUE;
}

BOOL CInstallCompletePage::OnSetActive() {
    if (!CQMPropertyPage::OnSetActive()) return FALSE;
    PostMessageW(window(), kHideButtonsMessage, 0, 0);
    return TRUE;
}

bool CInstallCompletePage::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR& result) {
    if (message != kHideButtonsMessage) return false;
    // Only Finish remains: there is nothing to go back to or to cancel.
    ShowWindow(GetDlgItem(sheet().window(), kCancelButton), SW_HIDE);
    ShowWindow(GetDlgItem(sheet().window(), kBackButton), SW_HIDE);
    result = 0;
    return true;
}

void CInstallCompletePage::ShowChoices(bool show) {
    for (int id : {IDC_LAUNCH_CHECK, IDC_DESKTOP_CHECK}) {
        HWND box = GetDlgItem(window(), id);
        if (!show) SendMessageW(box, BM_SETCHECK, BST_UNCHECKED, 0);
        ShowWindow(box, show ? SW_SHOW : SW_HIDE);
    }
}

// A failure's text has more lines than a success's, and the hidden choices
// leave it the page's room.
void CInstallCompletePage::GrowTextOverChoices() {
    HWND text = GetDlgItem(window(), IDC_PAGE_TEXT);
    RECT place;
    GetWindowRect(text, &place);
    MapWindowPoints(nullptr, window(), reinterpret_cast<POINT*>(&place), 2);
    RECT room = {0, 0, 0, kFailureTextHeight};
    MapDialogRect(window(), &room);
    SetWindowPos(text, nullptr, 0, 0, place.right - place.left, room.bottom, SWP_NOMOVE | SWP_NOZORDER);
}

void CInstallCompletePage::ApplyOutcome(std::unique_ptr<WizardOutcome> outcome) {
    if (!outcome) return;
    bool plainSuccess = outcome->succeeded() && !outcome->failed() && !outcome->installerUpdated();
    ShowChoices(plainSuccess);
    if (outcome->failed()) {
        title = "Install failed";
        subtitle = "The installation had errors";
        InvalidateRect(sheet().window(), nullptr, TRUE);
    }
    if (outcome->installerUpdated()) {
        title = "Installer updated";
        subtitle = "The installer was updated with a new version";
        InvalidateRect(sheet().window(), nullptr, TRUE);
    }
    const bool failed = outcome->failed();
    if (failed) GrowTextOverChoices();
    SetDlgItemTextUtf8(window(), IDC_PAGE_TEXT, failed ? ShownFailureText(outcome->text) : outcome->text);
    if (!outcome->messageText.empty()) {
        ShowMessageBox(window(), failed ? ShownFailureText(outcome->messageText) : outcome->messageText,
                       LoadResourceText(IDS_INSTALLER_CAPTION), MB_OK | (failed ? MB_ICONERROR : MB_ICONEXCLAMATION));
    }
    if (!outcome->launchTarget.empty())
        OpenVerifiedWithShell(window(), outcome->launchTarget, outcome->launchSha256,
                              LoadResourceText(IDS_INSTALLER_CAPTION));
    bool close = outcome->closeWizard;
    outcome.reset();
    if (close) {
        configuration_.setLaunchAfterInstall(false);
        configuration_.setAddDesktopIcon(false);
        sheet().EndWizard(IDOK);
    }
}

BOOL CInstallCompletePage::ValidatePage() {
    configuration_.setLaunchAfterInstall(IsDlgButtonChecked(window(), IDC_LAUNCH_CHECK) == BST_CHECKED);
    configuration_.setAddDesktopIcon(IsDlgButtonChecked(window(), IDC_DESKTOP_CHECK) == BST_CHECKED);
    return TRUE;
}
