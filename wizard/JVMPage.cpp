#include "wizard/JVMPage.h"

#include <shellapi.h>

#include "flow/InstallerConfig.h"
#include "flow/WorkerChannel.h"
#include "resources/resource.h"
#include "system/JavaRuntimeLocator.h"
#include "system/ResourceText.h"
#include "wizard/QMPropertySheet.h"

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
    messageText_ = outcome->messageText;
    SetDlgItemTextA(window(), IDC_PAGE_TEXT, outcome->text.c_str());
}

LRESULT CJVMPage::OnWizardNext() {
    JavaRuntimeLocator java;
    if (java.IsJavaRuntimeInstalled(requiredVersion_)) {
        std::string home;
        java.FindJavaRuntimeHome(requiredVersion_, home);
        configuration_.setJavaHome(home);
        return 0;
    }
    std::string caption = LoadResourceText(IDS_INSTALLER_CAPTION);
    MessageBoxA(window(), messageText_.c_str(), caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
    return -1;
}

bool CJVMPage::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) {
    if (message != WM_COMMAND || LOWORD(wParam) != IDC_PAGE_BUTTON || HIWORD(wParam) != BN_CLICKED) return false;
    // Started, not waited for: the user presses Next when it has finished.
    ShellExecuteA(window(), nullptr, launchTarget_.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    result = TRUE;
    return true;
}
