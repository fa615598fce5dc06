#include "flow/Launcher.h"

#include <windows.h>
#include <shellapi.h>

#include "system/UniqueHandle.h"

const char kLauncherFile[] = "QuillmarApp.bat";
const char kLaunchParameters[] = "-a com.quillmar.app.vyn.VynApp";
const char kRegisterParameters[] =
    "-register com.quillmar.app.vyn.VynApp com.quillmar.app.vyn.VynAppXMLHandler VynApp.xml";
const char kUnregisterParameters[] = "-unregister com.quillmar.app.vyn.VynApp";

void StartLauncher(const std::string& binDir, const std::string& parameters) {
    ShellExecuteA(nullptr, "open", kLauncherFile, parameters.c_str(), binDir.c_str(), SW_HIDE);
}

bool RunLauncher(const std::string& binDir, const std::string& parameters, unsigned timeoutMs) {
    SHELLEXECUTEINFOA execute = {};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    execute.lpVerb = "open";
    execute.lpFile = kLauncherFile;
    execute.lpParameters = parameters.c_str();
    execute.lpDirectory = binDir.c_str();
    execute.nShow = SW_HIDE;
    if (!ShellExecuteExA(&execute)) return false;
    UniqueKernelHandle process(execute.hProcess);
    return process && WaitForSingleObject(process.get(), timeoutMs) == WAIT_OBJECT_0;
}
