#pragma once
// Starts the application's launcher batch file from the bin folder, hidden,
// without waiting for it. What the launcher does with its command line is the
// application's business; its result is not known here.
#include <string>

extern const char kLauncherFile[];           // "QuillmarApp.bat"
extern const char kLaunchParameters[];       // run the application
extern const char kRegisterParameters[];     // the application registers itself
extern const char kUnregisterParameters[];   // ... and unregisters

void StartLauncher(const std::string& binDir, const std::string& parameters);
// Starts the launcher the same way and waits up to `timeoutMs` for it to
// end. False when it could not be started or was still running.
bool RunLauncher(const std::string& binDir, const std::string& parameters, unsigned timeoutMs);
