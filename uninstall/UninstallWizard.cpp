#include "uninstall/UninstallWizard.h"

#include "system/ResourceText.h"
#include "uninstall/UninstallPages.h"
#include "uninstall/UninstallProgressPage.h"
#include "wizard/WindowText.h"

CUninstallWizard::CUninstallWizard(InstallerConfig& configuration, const std::string& caption)
    : CQMPropertySheet(caption), configuration(configuration) {}

void CUninstallWizard::AddPages() {
    AddPage(new CPreUninstallPage(*this, configuration));
    AddPage(new UninstallProgressPage(*this, configuration));
    AddPage(new CUninstallCompletePage(*this, configuration));
}

int CUninstallWizard::PageForOutcome(OutcomeKind kind) const {
    return kind == OutcomeKind::Uninstalled || kind == OutcomeKind::Failed ? kCompletePage : -1;
}

BOOL CUninstallWizard::CanCancel() {
    // Asked on every page; a running worker is not stopped by the answer.
    int answer = ShowMessageBox(window(), LoadResourceText(IDS_CONFIRM_CANCEL_UNINSTALL),
                                LoadResourceText(IDS_UNINSTALLER_CAPTION), MB_YESNO | MB_ICONQUESTION);
    return answer == IDNO ? FALSE : TRUE;
}
