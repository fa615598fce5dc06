#include "wizard/JVMPage.h"

#include "flow/InstallerConfig.h"
#include "flow/WorkerChannel.h"
#include "resources/resource.h"
#include "system/JavaRuntimeLocator.h"
#include "system/ResourceText.h"
#include "wizard/QMPropertySheet.h"
#include "wizard/WindowText.h"

CJVMPage::CJVMPage(CQMPropertySheet& sheet, InstallerConfig& configuration)
    : CQMPropertyPage(sheet, IDD_JAVA_PAGE), configuration_(configuration) {
    title = "Java installation";
    subtitle = "The required version of Java must be installed";
}

BOOL CJVMPage::OnSetActive() {
    if (!CQMPropertyPage::OnSetActive()) return FALSE;
    sheet().SetWizardButtons(PSWIZB_NEXT);  // there is no way back to the update check
    return TRUE;
}

void CJVMPage::ApplyOutcome(std::unique_ptr<WizardOutcome> outcome) {
    if (!outcome) return;
    requiredVersion_ = outcome->requiredVersion;
    launchTarget_ = outcome->launchTarget;
    launchSha256_ = outcome->launchSha256;
    messageText_ = outcome->messageText;
    SetDlgItemTextUtf8(window(), IDC_PAGE_TEXT, outcome->text);
}

LRESULT CJVMPage::OnWizardNext() {
    JavaRuntimeLocator java;
    std::string home;
    if (java.FindJavaRuntimeHome(requiredVersion_, home)) {
        configuration_.setJavaHome(home);
        return 0;
    }
    ShowMessageBox(window(), messageText_, LoadResourceText(IDS_INSTALLER_CAPTION), MB_OK | MB_ICONEXCLAMATION);
    return -1;
}

bool CJVMPage::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) {
    if (message != WM_COMMAND || LOWORD(wParam) != IDC_PAGE_BUTTON || HIWORD(wParam) != BN_CLICKED) return false;
    // Started, not waited for: the user presses Next when it has finished.
    OpenVerifiedWithShell(window(), launchTarget_, launchSha256_, LoadResourceText(IDS_INSTALLER_CAPTION));
    result = TRUE;
    return true;
}
