#include "wizard/InstallWizard.h"

#include "resources/resource.h"
#include "system/ResourceText.h"
#include "wizard/InstallCompletePage.h"
#include "wizard/InstallProgressPages.h"
#include "wizard/JVMPage.h"
#include "wizard/LicensePage.h"
#include "wizard/LocationPage.h"
#include "wizard/WindowText.h"

CInstallWizard::CInstallWizard(InstallerConfig& configuration, const std::string& caption)
    : CQMPropertySheet(caption), configuration_(configuration) {}

void CInstallWizard::AddPages() {
    AddPage(new CLicensePage(*this, configuration_));
    AddPage(new UpdateCheckPage(*this, configuration_));
    AddPage(new CJVMPage(*this, configuration_));
    AddPage(new CLocationPage(*this, configuration_));
    AddPage(new InstallProgressPage(*this, configuration_));
    AddPage(new CInstallCompletePage(*this, configuration_));
}

int CInstallWizard::PageForOutcome(OutcomeKind kind) const {
    switch (kind) {
        case OutcomeKind::ReadyForLocation: return kLocationPage;
        case OutcomeKind::JavaRequired: return kJavaPage;
        case OutcomeKind::InstallerUpdated:
        case OutcomeKind::Installed:
        case OutcomeKind::Failed: return kCompletePage;
        case OutcomeKind::Uninstalled:
        case OutcomeKind::FilesInUse: break;
    }
    return -1;
}

BOOL CInstallWizard::CanCancel() {
    return ShowMessageBox(window(), LoadResourceText(IDS_CONFIRM_CANCEL_INSTALL),
                          LoadResourceText(IDS_INSTALLER_CAPTION), MB_YESNO | MB_ICONQUESTION) != IDNO;
}
