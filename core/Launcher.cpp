#include "core/Launcher.h"

#include <windows.h>
#include <shellapi.h>

const char kLauncherFile[] = "QuillmarApp.bat";
const char kLaunchParameters[] = "-a com.quillmar.app.vyn.VynApp";
const char kRegisterParameters[] =
    "-register com.quillmar.app.vyn.VynApp com.quillmar.app.vyn.VynAppXMLHandler VynApp.xml";
const char kUnregisterParameters[] = "-unregister com.quillmar.app.vyn.VynApp";

void StartLauncher(const std::string& binDir, const std::string& parameters) {
    ShellExecuteA(nullptr, "open", kLauncherFile, parameters.c_str(), binDir.c_str(), SW_HIDE);
}
