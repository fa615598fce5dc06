#include "app/Startup.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "app/LaunchRequest.h"
#include "flow/ExitCode.h"
#include "flow/InstallerConfig.h"
#include "flow/Launcher.h"
#include "flow/InstallTransaction.h"
#include "flow/RunLock.h"
#include "flow/SelfRemoval.h"
#include "flow/SilentRun.h"
#include "system/FileSystem.h"
#include "system/Log.h"
#include "system/ProcessLaunch.h"
#include "system/TextCase.h"

namespace {

const char kInstallerSoftwareId[] = "4c8e21:10a7f5d2e64:-7d85";
const char kProductSoftwareId[] = "a3d907:e2c41b7f96:-7c5e";
const char kProductKey[] = "VYN2005";
// Logs a run makes in the temporary folder when no -log was given.
constexpr size_t kRunLogsKept = 5;

bool IsSwitch(const std::string& argument, const char* name) { return EqualsIgnoringCase(argument, name); }

}  // namespace

StartupOptions ParseStartupOptions(const std::vector<std::string>& arguments) {
    static const struct {
        const char* text;
        RunMode mode;
    } kModes[] = {{"-register", RunMode::Register},
                  {"-unregister", RunMode::Unregister},
                  {"-install", RunMode::Install},
                  {"-uninstall", RunMode::Uninstall}};
    StartupOptions options;
    bool modeSeen = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (IsSwitch(argument, "-silent")) {
            options.silent = true;
        } else if (IsSwitch(argument, "-dir") && hasValue) {
            options.hasFolder = true;
            options.folder = arguments[++i];
        } else if (IsSwitch(argument, "-log") && hasValue) {
            options.logPath = arguments[++i];
        } else if (IsSwitch(argument, kLaunchEventSwitch) && hasValue) {
            options.launchEvent = arguments[++i];
        } else if (!modeSeen) {
            for (const auto& entry : kModes) {
                if (!IsSwitch(argument, entry.text)) continue;
                options.mode = entry.mode;
                modeSeen = true;
                break;
            }
        }
    }
    return options;
}

std::vector<std::string> WithFullPaths(std::vector<std::string> arguments) {
    for (size_t i = 0; i + 1 < arguments.size(); ++i) {
        if (!IsSwitch(arguments[i], "-dir") && !IsSwitch(arguments[i], "-log")) continue;
        std::string& value = arguments[++i];
        const std::string full = value.empty() ? std::string() : FullPathName(value);
        if (!full.empty()) value = full;
    }
    return arguments;
}

RunMode SelectRunMode(const std::vector<std::string>& arguments) { return ParseStartupOptions(arguments).mode; }

bool ModeNeedsElevation(RunMode mode, bool productInstalled) {
    return mode != RunMode::LaunchOrInstall || !productInstalled;
}

int ExitCodeForWizard(const WizardEnd& end) {
    if (!end.finished) {
        // Leaving the Java page by Cancel means the runtime is still missing.
        return end.lastOutcome == OutcomeKind::JavaRequired ? kExitJavaRequired : kExitCancelled;
    }
    return end.lastOutcome ? ExitCodeForOutcome(*end.lastOutcome) : kExitSuccess;
}

void RunLaunchMode(const InstallerConfig& config) {
    LogLine("Launching the application from " + config.registeredBinDir());
    StartLauncher(config.registeredBinDir(), kLaunchParameters);
}

namespace {

// Launches the application, or in an elevated copy (with `launchEvent`)
// asks its starter to: launching here would run the application elevated.
void LaunchOrHandOver(const InstallerConfig& config, const std::string& launchEvent) {
    // Started elevated by its user, with no starter to hand the launch to:
    // the application runs with this process's token.
    if (launchEvent.empty()) {
        RunLaunchMode(config);
    } else if (RequestLaunch(launchEvent)) {
        LogLine("Asked the starting process to launch the application");
    } else {
        LogLine("Could not ask the starting process to launch the application (error " +
                std::to_string(GetLastError()) + "); not launched");
    }
}

}  // namespace

int RunInstallMode(InstallerConfig& config, const WizardRunners& wizards, const std::string& launchEvent) {
    WizardEnd end = wizards.install ? wizards.install(config) : WizardEnd();
    const int exitCode = ExitCodeForWizard(end);
    if (!end.finished || exitCode != kExitSuccess) return exitCode;
    if (config.addDesktopIcon()) {
        const bool made = config.createDesktopShortcut(config.registeredExecutable(), config.productKey());
        LogLine(std::string(made ? "Created" : "Could not create") + " the desktop shortcut to " +
                config.registeredExecutable());
    }
    if (config.launchAfterInstall()) LaunchOrHandOver(config, launchEvent);
    return exitCode;
}

namespace {

int RunUninstallMode(InstallerConfig& config, const WizardRunners& wizards) {
    return ExitCodeForWizard(wizards.uninstall ? wizards.uninstall(config) : WizardEnd());
}

int RunSelectedMode(InstallerConfig& config, const StartupOptions& options, const std::vector<std::string>& arguments,
                    const WizardRunners& wizards) {
    switch (options.mode) {
        case RunMode::Register:
        case RunMode::Unregister: {
            MachineRunLock lock;
            if (lock.acquire(config.productKey()) != MachineRunLock::Result::Acquired) {
                LogLine("Failed: " + AnotherRunText(config.productKey()));
                return kExitFailed;
            }
            if (lock.ownsMutex()) FinishInterruptedInstall(config);
            const bool done =
                options.mode == RunMode::Register ? config.registerProduct() : config.unregisterProduct();
            return done ? kExitSuccess : kExitFailed;
        }
        case RunMode::Install:
            if (options.silent) return RunSilentInstall(config, options.hasFolder, options.folder, arguments);
            return RunInstallMode(config, wizards, options.launchEvent);
        case RunMode::Uninstall:
            if (options.silent) return RunSilentUninstall(config);
            return RunUninstallMode(config, wizards);
        case RunMode::LaunchOrInstall:
            if (!config.isInstalled()) return RunInstallMode(config, wizards, options.launchEvent);
            LaunchOrHandOver(config, options.launchEvent);
            return kExitSuccess;
    }
    return kExitFailed;
}

// Runs this program again with the same arguments through the elevation
// prompt and gives the elevated copy's exit code. When the copy ends a
// successful install by asking for the launch, this process starts the
// application the registry names, with the user's own rights.
int RunElevatedCopy(const InstallerConfig& config, std::vector<std::string> arguments) {
    LogLine("Not elevated: starting an elevated copy");
    const LaunchRequestEvent launchRequest;
    if (launchRequest.valid()) {
        arguments.push_back(kLaunchEventSwitch);
        arguments.push_back(launchRequest.name());
    } else {
        LogLine("Could not make the launch event (error " + std::to_string(GetLastError()) + ")");
    }
    DWORD exitCode = kExitFailed;
    DWORD error = RunProgramAndWait(GetModulePath(), JoinCommandLine(arguments), "runas", false, exitCode);
    if (error == ERROR_CANCELLED) {
        LogLine("Not allowed: the elevation was refused");
        return kExitNotAllowed;
    }
    if (error != ERROR_SUCCESS) {
        LogLine("Failed: the elevated copy could not be started (error " + std::to_string(error) + ")");
        return kExitFailed;
    }
    if (exitCode == kExitSuccess && launchRequest.requested()) {
        if (config.registeredBinDir().empty())
            LogLine("The elevated copy asked for the launch, but no installed application is registered");
        else
            RunLaunchMode(config);
    }
    return static_cast<int>(exitCode);
}

// The arguments for the elevated copy: one that this run's own log made
// without -log is named, so the copy appends to it.
std::vector<std::string> WithLogArgument(std::vector<std::string> arguments, const StartupOptions& options) {
    const std::string log = OpenLogPath();
    if (options.logPath.empty() && !log.empty()) {
        arguments.push_back("-log");
        arguments.push_back(log);
    }
    return arguments;
}

// Whether this run counts as elevated. Wine gives every process an elevated
// token, so test builds can ask for the relaunch with VYN2005_UNELEVATED. It
// counts for this process alone: removed here, the copy and the programs it
// starts never see it.
bool RunsElevated() {
#ifdef VYN_TEST_HOOKS
    if (GetEnvironmentVariableW(L"VYN2005_UNELEVATED", nullptr, 0) > 0) {
        SetEnvironmentVariableW(L"VYN2005_UNELEVATED", nullptr);
        return false;
    }
#endif
    return IsProcessElevated();
}

}  // namespace

int RunStartup(const std::vector<std::string>& arguments, const WizardRunners& wizards) {
    InitCommonControls();
    CoInitialize(nullptr);
    int exitCode = kExitSuccess;
    {
        InstallerConfig config(kInstallerSoftwareId, kProductSoftwareId, kProductKey);
        // The copy an uninstall leaves behind to remove the uninstaller's file.
        if (!arguments.empty() && arguments[0] == kFinishRemovalSwitch) {
            OpenLog(ParseStartupOptions(arguments).logPath);
            if (!FinishSelfRemoval(std::vector<std::string>(arguments.begin() + 1, arguments.end()),
                                   config.executableName(), config.registeredExecutable()))
                exitCode = kExitFailed;
        } else {
            const std::vector<std::string> fullArguments = WithFullPaths(arguments);
            const StartupOptions options = ParseStartupOptions(fullArguments);
            const bool writes = ModeNeedsElevation(options.mode, config.isInstalled());
            if (writes && options.logPath.empty()) {
                // A run that changes the machine always leaves its log.
                std::string temp;
                GetTempDirectory(temp);
                OpenNewLogIn(temp, kProductKey, kRunLogsKept);
            } else if (!OpenLog(options.logPath)) {
                const std::string text = "The log file " + options.logPath +
                                         " lies behind a junction or symbolic link. Choose a log file in a plain "
                                         "folder, then run the installer again.";
                if (!options.silent && wizards.showRefusal) wizards.showRefusal(text);
                exitCode = kExitNotAllowed;
            }
            if (exitCode == kExitSuccess) {
                LogLine("Started: " + GetModulePath() + " " + JoinCommandLine(arguments));
                if (writes && !RunsElevated())
                    exitCode = RunElevatedCopy(config, WithLogArgument(fullArguments, options));
                else
                    exitCode = RunSelectedMode(config, options, fullArguments, wizards);
                LogLine("Ended with exit code " + std::to_string(exitCode));
            }
        }
    }
    CoUninitialize();
    return exitCode;
}
