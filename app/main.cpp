// Entry point: the one file that knows both wizards.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/Startup.h"
#include "system/DllSearch.h"
#include "system/UniqueHandle.h"
#include "system/Utf8.h"
#include "uninstall/UninstallWizard.h"
#include "wizard/InstallWizard.h"
#include "wizard/WindowText.h"

namespace {

WizardEnd EndOf(CQMPropertySheet& wizard) {
    WizardEnd end;
    end.finished = wizard.DoWizard() == IDOK;
    end.lastOutcome = wizard.lastAppliedOutcome();
    return end;
}

// The arguments after the program's name, as UTF-8: read from the wide
// command line, which carries names in every language.
std::vector<std::string> CommandLineArguments() {
    std::vector<std::string> arguments;
    int count = 0;
    UniqueLocalMemory argv(CommandLineToArgvW(GetCommandLineW(), &count));
    for (int i = 1; argv && i < count; ++i) arguments.push_back(Narrow(static_cast<wchar_t**>(argv.get())[i]));
    return arguments;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before anything can load a DLL by name.
    RestrictDllSearchToSystem32();
    const std::vector<std::string> arguments = CommandLineArguments();
    WizardRunners wizards;
    wizards.showRefusal = [](const std::string& text) {
        ShowMessageBox(nullptr, text, "VYN2005", MB_OK | MB_ICONERROR);
    };
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
