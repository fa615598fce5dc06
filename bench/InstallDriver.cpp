// Runs the installer through its wizard the way a person would and times
// it: from the start of the process to the licence page shown, and from
// Next on the location page to the complete page. Reads the installer's
// peak working set from the process list once the complete page shows.
//   BenchInstallDriver.exe <installer.exe> <install folder | default> [<log file>]
// "default" keeps the folder the location page offers.
// Prints "startup-seconds", "install-seconds" and "peak-working-set-bytes";
// exit status 0 when the install completed without a message.
#include <windows.h>
#include <prsht.h>
#include <psapi.h>

#include <cstdio>
#include <string>

#include "bench/Stopwatch.h"
#include "resources/resource.h"
#include "system/UniqueHandle.h"
#include "wizard/QMPropertySheet.h"
#include "wizard/WizardDriver.h"

using namespace wizard_driver;

namespace {

HWND ActivePage(HWND sheet) { return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0)); }

void SetPageText(HWND sheet, int id, const std::string& text) {
    SendMessageA(GetDlgItem(ActivePage(sheet), id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void SetPageCheck(HWND sheet, int id, bool checked) {
    SendMessageA(GetDlgItem(ActivePage(sheet), id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

// Stops the installer when the run is abandoned half way.
struct ProcessStopper {
    HANDLE process;
    ~ProcessStopper() {
        if (WaitForSingleObject(process, 0) != WAIT_OBJECT_0) TerminateProcess(process, 1);
    }
};

int Fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: BenchInstallDriver <installer.exe> <install folder | default> [<log file>]\n");
        return 2;
    }
    std::string commandLine = "\"" + std::string(argv[1]) + "\" -install";
    if (argc == 4) commandLine += " -log \"" + std::string(argv[3]) + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    Stopwatch sinceStart;
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
        return Fail("cannot start the installer");
    UniqueKernelHandle process(started.hProcess);
    UniqueKernelHandle thread(started.hThread);
    ProcessStopper stopper{process.get()};

    HWND sheet = WaitForProcessSheet(process.get(), 60000);
    if (!sheet || PageIndex(sheet) != 0) return Fail("no licence page");
    const double startupSeconds = sinceStart.seconds();

    // The page selects the refusal when it opens; agree after that.
    WaitFor([&] { return IsDlgButtonChecked(ActivePage(sheet), IDC_DISAGREE) == BST_CHECKED; });
    SendMessageA(GetDlgItem(ActivePage(sheet), IDC_AGREE), BM_CLICK, 0, 0);
    Click(sheet, kNextButton);
    if (!WaitForPage(sheet, 3, 120000)) return Fail("the update check did not reach the location page");

    if (std::string(argv[2]) != "default") SetPageText(sheet, IDC_INSTALL_DIR, argv[2]);
    Stopwatch sinceNext;
    Click(sheet, kNextButton);
    if (!WaitForPage(sheet, 5, 600000)) return Fail("the install did not reach the complete page");
    const double installSeconds = sinceNext.seconds();

    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    if (!GetProcessMemoryInfo(process.get(), &memory, sizeof memory)) return Fail("no memory counters");

    HWND box = WaitForMessageBox(sheet, 500);
    if (box) {
        std::fprintf(stderr, "the install ended with a message: %s\n", MessageBoxText(box).c_str());
        return 1;
    }
    SetPageCheck(sheet, IDC_LAUNCH_CHECK, false);
    SetPageCheck(sheet, IDC_DESKTOP_CHECK, false);
    Click(sheet, kFinishButton);
    if (WaitForSingleObject(process.get(), 30000) != WAIT_OBJECT_0) return Fail("the installer did not end");

    std::printf("startup-seconds %.4f\ninstall-seconds %.4f\npeak-working-set-bytes %llu\n", startupSeconds,
                installSeconds, static_cast<unsigned long long>(memory.PeakWorkingSetSize));
    return 0;
}
