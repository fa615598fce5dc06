#pragma once
// Start-up: builds the run's configuration, picks one run mode from the
// command line, carries it out and returns the process's exit code
// (flow/ExitCode.h). The wizards are handed in by the entry point, which is
// the one place that knows them.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "flow/WorkerOutcome.h"

class InstallerConfig;

enum class RunMode { LaunchOrInstall, Register, Unregister, Install, Uninstall };

// What the command line asks for. The first argument that equals a mode
// switch (ignoring case) wins; "-silent", "-dir FOLDER" and "-log FILE" may
// stand anywhere, in any capitals, and so may "-launch-event NAME";
// anything else is skipped. The program
// name is not part of the list.
struct StartupOptions {
    RunMode mode = RunMode::LaunchOrInstall;
    bool silent = false;
    bool hasFolder = false;
    std::string folder;
    std::string logPath;
    // Set in the elevated copy of an install: the starter's event to set
    // instead of launching the application (app/LaunchRequest.h).
    std::string launchEvent;
};
StartupOptions ParseStartupOptions(const std::vector<std::string>& arguments);
// The arguments with each non-empty -dir and -log value made a full path
// against this process's current folder, for an elevated copy that starts
// elsewhere.
std::vector<std::string> WithFullPaths(std::vector<std::string> arguments);
RunMode SelectRunMode(const std::vector<std::string>& arguments);

// Whether a run of `mode` writes below HKEY_LOCAL_MACHINE or the program
// files folder and so needs an elevated token. Launching never does: the
// application runs with the user's own rights.
bool ModeNeedsElevation(RunMode mode, bool productInstalled);

// How a wizard ended: finished (or closed by its last page) or cancelled,
// and the last outcome one of its progress pages applied.
struct WizardEnd {
    bool finished = false;
    std::optional<OutcomeKind> lastOutcome;
};
int ExitCodeForWizard(const WizardEnd& end);

struct WizardRunners {
    // Shows a text the run ends on before any wizard (a refused log file).
    std::function<void(const std::string&)> showRefusal;
    // Each runs its wizard modally.
    std::function<WizardEnd(InstallerConfig&)> install;
    std::function<WizardEnd(InstallerConfig&)> uninstall;
};

int RunStartup(const std::vector<std::string>& arguments, const WizardRunners& wizards);
void RunLaunchMode(const InstallerConfig& config);
// The install wizard, then the desktop shortcut and the launch it asked for.
// With `launchEvent` (an elevated copy) the launch is asked of the starter
// through that event; without, this process launches.
int RunInstallMode(InstallerConfig& config, const WizardRunners& wizards, const std::string& launchEvent = "");
