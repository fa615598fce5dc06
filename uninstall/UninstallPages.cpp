#include "uninstall/UninstallPages.h"

#include "flow/InstallerConfig.h"
#include "flow/WorkerChannel.h"
#include "system/ResourceText.h"
#include "flow/WorkerOutcome.h"
#include "wizard/QMPropertySheet.h"
#include "wizard/WindowText.h"

namespace {
const char kPageTitle[] = "Uninstall application";
const char kFailedTitle[] = "Uninstall failed";
const char kFailedSubtitle[] = "The uninstall had errors";
}  // namespace

CPreUninstallPage::CPreUninstallPage(CQMPropertySheet& sheet, InstallerConfig& configuration)
    : CQMPropertyPage(sheet, IDD_PLAIN_PAGE), configuration(configuration) {
    title = kPageTitle;
    subtitle = "About to uninstall application";
}

BOOL CPreUninstallPage::OnInitDialog() {
    BOOL result = CQMPropertyPage::OnInitDialog();
    std::string text = LoadResourceText(IDS_BEGIN_UNINSTALL) + configuration.productKey();
    SetDlgItemTextUtf8(window(), IDC_PAGE_TEXT, text);
    return result;
}

CUninstallCompletePage::CUninstallCompletePage(CQMPropertySheet& sheet, InstallerConfig& configuration)
    : CQMPropertyPage(sheet, IDD_PLAIN_PAGE), configuration(configuration) {
    title = kPageTitle;
    subtitle = "Completed the uninstall process";
}

BOOL CUninstallCompletePage::OnSetActive() {
    if (!CQMPropertyPage::OnSetActive()) return FALSE;
    // Nothing is left to cancel or go back to: Finish only.
    ShowWindow(GetDlgItem(sheet().window(), kCancelButton), SW_HIDE);
    ShowWindow(GetDlgItem(sheet().window(), kBackButton), SW_HIDE);
    return TRUE;
}

void CUninstallCompletePage::ApplyOutcome(std::unique_ptr<WizardOutcome> outcome) {
    if (!outcome) return;
    const bool failed = outcome->failed();
    if (failed) {
        title = kFailedTitle;
        subtitle = kFailedSubtitle;
        InvalidateRect(sheet().window(), nullptr, TRUE);
    }
    SetDlgItemTextUtf8(window(), IDC_PAGE_TEXT, failed ? ShownFailureText(outcome->text) : outcome->text);
    if (!outcome->messageText.empty()) {
        ShowMessageBox(sheet().window(), failed ? ShownFailureText(outcome->messageText) : outcome->messageText,
                       LoadResourceText(IDS_UNINSTALLER_CAPTION), MB_OK | (failed ? MB_ICONERROR : MB_ICONEXCLAMATION));
    }
}
