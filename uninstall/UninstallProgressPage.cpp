#include "uninstall/UninstallProgressPage.h"

#include "flow/UninstallWorker.h"

UninstallProgressPage::UninstallProgressPage(CQMPropertySheet& sheet, InstallerConfig& configuration)
    : CProgressPage(sheet, configuration) {
    title = "Unstalling application";
    subtitle = "The application is being uninstalled";
    messageCaptionId = IDS_UNINSTALLER_CAPTION;
}

BOOL UninstallProgressPage::OnInitDialog() {
    BOOL result = CProgressPage::OnInitDialog();
    SetDlgItemTextW(window(), IDC_STEP_CAPTION, L"Uninstalling");
    // The uninstall has one bar only.
    ShowWindow(GetDlgItem(window(), IDC_TOTAL_BAR), SW_HIDE);
    ShowWindow(GetDlgItem(window(), IDC_TOTAL_CAPTION), SW_HIDE);
    return result;
}

WorkerThread* UninstallProgressPage::CreateWorker(std::shared_ptr<WorkerChannel> channel) {
    return new UninstallWorker(std::move(channel));
}
