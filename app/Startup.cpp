#include "app/Startup.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "flow/InstallerConfig.h"
#include "flow/Launcher.h"
#include "flow/SelfRemoval.h"

namespace {

const char kInstallerSoftwareId[] = "4c8e21:10a7f5d2e64:-7d85";
const char kProductSoftwareId[] = "a3d907:e2c41b7f96:-7c5e";
const char kProductKey[] = "VYN2005";

// The sheet's result when the user pressed Finish.
const long long kWizardFinish = 12325;

}  // namespace

RunMode SelectRunMode(const std::vector<std::string>& arguments) {
    static const struct {
        const char* text;
        RunMode mode;
    } kSwitches[] = {{"-register", RunMode::Register},
                     {"-unregister", RunMode::Unregister},
                     {"-install", RunMode::Install},
                     {"-uninstall", RunMode::Uninstall}};
    for (const std::string& argument : arguments) {
        for (const auto& entry : kSwitches) {
            if (lstrcmpiA(argument.c_str(), entry.text) == 0) return entry.mode;
        }
    }
    return RunMode::LaunchOrInstall;
}

void RunLaunchMode(const InstallerConfig& config) {
    StartLauncher(config.registeredBinDir(), kLaunchParameters);
}

void RunInstallMode(InstallerConfig& config, const WizardRunners& wizards) {
    long long result = wizards.install ? wizards.install(config) : IDCANCEL;
    if (result != IDOK && result != kWizardFinish) return;
    if (config.addDesktopIcon())
        config.createDesktopShortcut(config.registeredExecutable(), config.productKey());
    if (config.launchAfterInstall()) RunLaunchMode(config);
}

namespace {

void RunSelectedMode(InstallerConfig& config, const std::vector<std::string>& arguments, const WizardRunners& wizards) {
    switch (SelectRunMode(arguments)) {
        case RunMode::Register: config.registerProduct(); break;
        case RunMode::Unregister: config.unregisterProduct(); break;
        case RunMode::Install: RunInstallMode(config, wizards); break;
        case RunMode::Uninstall:
            if (wizards.uninstall) wizards.uninstall(config);
            break;
        case RunMode::LaunchOrInstall:
            if (config.isInstalled())
                RunLaunchMode(config);
            else
                RunInstallMode(config, wizards);
            break;
    }
}

}  // namespace

int RunStartup(const std::vector<std::string>& arguments, const WizardRunners& wizards) {
    InitCommonControls();
    CoInitialize(nullptr);
    {
        InstallerConfig config(kInstallerSoftwareId, kProductSoftwareId, kProductKey);
        // The copy an uninstall leaves behind to remove the uninstaller's file.
        if (!arguments.empty() && arguments[0] == kFinishRemovalSwitch)
            FinishSelfRemoval(std::vector<std::string>(arguments.begin() + 1, arguments.end()),
                              config.executableName(), config.registeredExecutable());
        else
            RunSelectedMode(config, arguments, wizards);
    }
    CoUninitialize();
    return 0;
}
