#include "uninstall/UninstallProgressPage.h"

#include "flow/UninstallWorker.h"
#include "wizard/QMPropertySheet.h"

UninstallProgressPage::UninstallProgressPage(CQMPropertySheet& sheet, InstallerConfig& configuration)
    : CProgressPage(sheet, configuration) {
    title = "Unstalling application";
    subtitle = "The application is being uninstalled";
}

BOOL UninstallProgressPage::OnInitDialog() {
    BOOL result = CProgressPage::OnInitDialog();
    SetDlgItemTextA(window(), IDC_STEP_CAPTION, "Uninstalling");
    // The uninstall has one bar only.
    ShowWindow(GetDlgItem(window(), IDC_TOTAL_BAR), SW_HIDE);
    ShowWindow(GetDlgItem(window(), IDC_TOTAL_CAPTION), SW_HIDE);
    return result;
}

WorkerThread* UninstallProgressPage::CreateWorker(std::shared_ptr<WorkerChannel> channel) {
    return new UninstallWorker(std::move(channel));
}

LRESULT UninstallProgressPage::OnWorkerMessage(std::unique_ptr<WizardOutcome> outcome) {
    if (!outcome || outcome->targetPage < 0) return 0;
    CQMPropertyPage* target = sheet().GetPage(outcome->targetPage);
    if (!target) return 0;
    sheet().SetActivePage(outcome->targetPage);
    if (outcome->targetPage == kUninstallCompletePage) target->ApplyOutcome(std::move(outcome));
    return 0;
}
