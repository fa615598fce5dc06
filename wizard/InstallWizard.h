#pragma once
// The install wizard: licence, update check, Java runtime, location,
// download and install, and the final page. It asks before it cancels.
#include <string>

#include "wizard/QMPropertySheet.h"

class InstallerConfig;

class CInstallWizard : public CQMPropertySheet {
public:
    // Page indices that workers' outcomes lead to.
    static constexpr int kJavaPage = 2;
    static constexpr int kLocationPage = 3;
    static constexpr int kCompletePage = 5;

    CInstallWizard(InstallerConfig& configuration, const std::string& caption);

    int PageForOutcome(OutcomeKind kind) const override;

protected:
    void AddPages() override;
    BOOL CanCancel() override;

private:
    InstallerConfig& configuration_;
};
