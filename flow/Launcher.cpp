#include "flow/Launcher.h"

#include <windows.h>
#include <shellapi.h>

#include "system/UniqueHandle.h"
#include "system/Utf8.h"

const char kLauncherFile[] = "QuillmarApp.bat";
const char kLaunchParameters[] = "-a com.quillmar.app.vyn.VynApp";
const char kRegisterParameters[] =
    "-register com.quillmar.app.vyn.VynApp com.quillmar.app.vyn.VynAppXMLHandler VynApp.xml";
const char kUnregisterParameters[] = "-unregister com.quillmar.app.vyn.VynApp";

void StartLauncher(const std::string& binDir, const std::string& parameters) {
    ShellExecuteW(nullptr, L"open", Widen(kLauncherFile).c_str(), Widen(parameters).c_str(), Widen(binDir).c_str(),
                  SW_HIDE);
}

bool RunLauncher(const std::string& binDir, const std::string& parameters, unsigned timeoutMs) {
    const std::wstring file = Widen(kLauncherFile), wideParameters = Widen(parameters), folder = Widen(binDir);
    SHELLEXECUTEINFOW execute = {};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    execute.lpVerb = L"open";
    execute.lpFile = file.c_str();
    execute.lpParameters = wideParameters.c_str();
    execute.lpDirectory = folder.c_str();
    execute.nShow = SW_HIDE;
    if (!ShellExecuteExW(&execute)) return false;
    UniqueKernelHandle process(execute.hProcess);
    return process && WaitForSingleObject(process.get(), timeoutMs) == WAIT_OBJECT_0;
}
