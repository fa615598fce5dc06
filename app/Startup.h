#pragma once
// Start-up: builds the run's configuration, picks one run mode from the
// command line, carries it out and returns. The wizards are handed in by the
// entry point, which is the one place that knows them.
#include <functional>
#include <string>
#include <vector>

class InstallerConfig;

enum class RunMode { LaunchOrInstall, Register, Unregister, Install, Uninstall };

// The first argument that equals a mode switch (ignoring case) wins; others
// are skipped. The program name is not part of the list.
RunMode SelectRunMode(const std::vector<std::string>& arguments);

struct WizardRunners {
    // Each runs its wizard modally and returns the sheet's result.
    std::function<long long(InstallerConfig&)> install;
    std::function<long long(InstallerConfig&)> uninstall;
};

int RunStartup(const std::vector<std::string>& arguments, const WizardRunners& wizards);
void RunLaunchMode(const InstallerConfig& config);
void RunInstallMode(InstallerConfig& config, const WizardRunners& wizards);
