// Clicks through the installer's wizards the way a person would, for the
// headless demo: it starts the program, answers each page, saves a picture
// of every page and message box, and says how the run ended.
//
//   VynDemoDriver.exe <picture-folder> install <installer.exe>
//   VynDemoDriver.exe <picture-folder> uninstall <command line>
// Exit status 0 when the wizard reached its last page with success.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <cstdio>
#include <string>

#include "resources/resource.h"
#include "system/RegistryKey.h"
#include "system/UniqueHandle.h"
#include "wizard/QMPropertySheet.h"
#include "wizard/WindowShot.h"
#include "wizard/WizardDriver.h"

using namespace wizard_driver;

namespace {

class PictureBook {
public:
    PictureBook(std::string folder, std::string run) : folder_(std::move(folder)), run_(std::move(run)) {}
    void take(HWND window, const std::string& name) {
        Sleep(300);  // let the page finish painting
        char file[16];
        std::snprintf(file, sizeof(file), "%02d-", ++count_);
        std::string path = folder_ + "\\" + run_ + "-" + file + name + ".bmp";
        std::printf("  picture %s%s\n", file, name.c_str());
        SaveWindowShot(window, path);
    }

private:
    std::string folder_;
    std::string run_;
    int count_ = 0;
};

// Pictures and dismisses a message box the sheet shows, printing its text.
bool HandleMessageBox(HWND sheet, PictureBook& pictures, const std::string& name, int answer, DWORD waitMs) {
    HWND box = WaitForMessageBox(sheet, waitMs);
    if (!box) return false;
    std::printf("  message box: %s\n", MessageBoxText(box).c_str());
    pictures.take(box, name);
    AnswerMessageBox(box, answer);
    WaitFor([&] { return !IsWindow(box); }, 5000);
    return true;
}

bool JavaRuntimeRegistered() {
    RegistryKey key;
    std::string version;
    return key.open(HKEY_LOCAL_MACHINE, "Software\\JavaSoft\\Java Runtime Environment") == ERROR_SUCCESS &&
           key.getString("CurrentVersion", version) == ERROR_SUCCESS && !version.empty();
}

bool ClickPageButton(HWND sheet, int id) {
    HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    HWND button = GetDlgItem(page, id);
    if (!button) return false;
    SendMessageA(button, BM_CLICK, 0, 0);
    return true;
}

UniqueKernelHandle Start(const std::string& commandLine) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return UniqueKernelHandle();
    UniqueKernelHandle thread(process.hThread);
    return UniqueKernelHandle(process.hProcess);
}

int DriveInstall(HWND sheet, PictureBook& pictures) {
    const char* names[] = {"licence", "update-check", "java", "location", "install-progress", "complete"};
    int last = -1;
    for (;;) {
        if (!IsWindow(sheet)) return last == 5 ? 0 : 1;
        int page = PageIndex(sheet);
        if (page < 0 || page > 5) return 1;
        if (page != last) {
            std::printf("page %d: %s\n", page, names[page]);
            pictures.take(sheet, names[page]);
        }
        last = page;
        switch (page) {
        case 0:
            // The page selects the refusal itself when it opens; agree after that.
            WaitFor([&] {
                HWND active = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
                return IsDlgButtonChecked(active, IDC_DISAGREE) == BST_CHECKED;
            });
            ClickPageButton(sheet, IDC_AGREE);
            PostClick(sheet, kNextButton);
            break;
        case 1:
            if (!WaitFor([&] { return PageIndex(sheet) != 1; }, 120000)) return 1;
            break;
        case 2:
            ClickPageButton(sheet, IDC_PAGE_BUTTON);  // "Install Java"
            std::printf("  Install Java pressed; waiting for the runtime's registration\n");
            WaitFor(JavaRuntimeRegistered, 60000);
            PostClick(sheet, kNextButton);
            HandleMessageBox(sheet, pictures, "java-still-missing", IDOK, 1000);
            break;
        case 3:
            std::printf("  install folder: %s\n", PageText(sheet, IDC_INSTALL_DIR).c_str());
            Click(sheet, kNextButton);
            break;
        case 4: {
            DWORD start = GetTickCount();
            if (!WaitFor([&] { return PageIndex(sheet) != 4; }, 300000)) return 1;
            std::printf("  download and install took %.1f s\n", (GetTickCount() - start) / 1000.0);
            break;
        }
        case 5: {
            bool failed = HandleMessageBox(sheet, pictures, "complete-message", IDOK, 1500);
            std::string text = PageText(sheet, IDC_PAGE_TEXT);
            if (!text.empty()) std::printf("  %s\n", text.c_str());
            if (failed) pictures.take(sheet, "complete-after-message");
            Click(sheet, kFinishButton);
            return failed ? 1 : 0;
        }
        }
        WaitFor([&] { return !IsWindow(sheet) || PageIndex(sheet) != page; }, 3000);
    }
}

int DriveUninstall(HWND sheet, PictureBook& pictures) {
    const char* names[] = {"uninstall-start", "uninstall-progress", "uninstall-complete"};
    std::printf("page 0: %s\n  %s\n", names[0], PageText(sheet, IDC_PAGE_TEXT).c_str());
    pictures.take(sheet, names[0]);
    Click(sheet, kNextButton);
    if (!WaitFor([&] { return PageIndex(sheet) == 2; }, 60000)) return 1;
    bool failed = HandleMessageBox(sheet, pictures, "uninstall-message", IDOK, 1500);
    std::printf("page 2: %s\n  %s\n", names[2], PageText(sheet, IDC_PAGE_TEXT).c_str());
    pictures.take(sheet, names[2]);
    Click(sheet, kFinishButton);
    return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: VynDemoDriver <picture-folder> install|uninstall <program or command line>\n");
        return 2;
    }
    std::string mode = argv[2];
    std::string commandLine = mode == "install" ? "\"" + std::string(argv[3]) + "\"" : argv[3];
    PictureBook pictures(argv[1], mode);
    UniqueKernelHandle process = Start(commandLine);
    if (!process) {
        std::fprintf(stderr, "cannot start %s (error %lu)\n", commandLine.c_str(), GetLastError());
        return 2;
    }
    HWND sheet = WaitForProcessSheet(process.get(), 60000);
    if (!sheet) {
        std::fprintf(stderr, "no wizard appeared\n");
        return 2;
    }
    int result = mode == "install" ? DriveInstall(sheet, pictures) : DriveUninstall(sheet, pictures);
    if (WaitForSingleObject(process.get(), result == 0 ? 60000 : 5000) != WAIT_OBJECT_0) {
        std::fprintf(stderr, "the program did not end after its wizard; stopping it\n");
        TerminateProcess(process.get(), 1);
        return 2;
    }
    std::fflush(stdout);
    return result;
}
