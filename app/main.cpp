// Entry point: the one file that knows both wizards.
#include <windows.h>

#include <string>
#include <vector>

#include "app/Startup.h"
#include "system/DllSearch.h"
#include "uninstall/UninstallWizard.h"
#include "wizard/InstallWizard.h"

namespace {

WizardEnd EndOf(CQMPropertySheet& wizard) {
    WizardEnd end;
    end.finished = wizard.DoWizard() == IDOK;
    end.lastOutcome = wizard.lastAppliedOutcome();
    return end;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before anything can load a DLL by name.
    RestrictDllSearchToSystem32();
    std::vector<std::string> arguments;
    for (int i = 1; i < __argc; ++i) arguments.push_back(__argv[i]);
    WizardRunners wizards;
    wizards.install = [](InstallerConfig& configuration) {
        CInstallWizard wizard(configuration, "Install");
        return EndOf(wizard);
    };
    wizards.uninstall = [](InstallerConfig& configuration) {
        CUninstallWizard wizard(configuration, "Uninstall");
        return EndOf(wizard);
    };
    return RunStartup(arguments, wizards);
}
