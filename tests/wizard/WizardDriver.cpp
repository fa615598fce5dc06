#include <windows.h>
#include "wizard/WizardDriver.h"

#include <commctrl.h>

#include "wizard/QMPropertySheet.h"

namespace wizard_driver {

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(10);
    }
    return true;
}

void Click(HWND sheet, int buttonId) { SendMessageA(GetDlgItem(sheet, buttonId), BM_CLICK, 0, 0); }

int PageIndex(HWND sheet) {
    HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    return static_cast<int>(SendMessageA(sheet, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0));
}

bool WaitForPage(HWND sheet, int index, DWORD timeoutMs) {
    return WaitFor([&] { return PageIndex(sheet) == index; }, timeoutMs);
}

std::string Text(HWND window) {
    char buffer[1024] = {};
    SendMessageA(window, WM_GETTEXT, sizeof(buffer), reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

static HWND ActivePage(HWND sheet) {
    return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

std::string PageText(HWND sheet, int id) { return Text(GetDlgItem(ActivePage(sheet), id)); }

int BarPosition(HWND sheet, int id) {
    return static_cast<int>(SendMessageA(GetDlgItem(ActivePage(sheet), id), PBM_GETPOS, 0, 0));
}

bool Enabled(HWND sheet, int buttonId) { return IsWindowEnabled(GetDlgItem(sheet, buttonId)) != FALSE; }
bool Visible(HWND sheet, int buttonId) { return IsWindowVisible(GetDlgItem(sheet, buttonId)) != FALSE; }

RECT ClientRectOf(HWND sheet, int buttonId) {
    RECT rect = {};
    GetWindowRect(GetDlgItem(sheet, buttonId), &rect);
    MapWindowPoints(nullptr, sheet, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

}  // namespace wizard_driver

WizardRun::WizardRun(CQMPropertySheet& sheet) : sheetObject_(sheet) {
    thread_ = std::thread([this, &sheet] {
        threadId_ = GetCurrentThreadId();
        result_ = sheet.DoWizard();
        ended_ = true;
    });
}

WizardRun::~WizardRun() {
    if (!ended_ && sheet_) PostMessageA(sheet_, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    if (thread_.joinable()) thread_.join();
}

static BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
    char className[16] = {};
    GetClassNameA(window, className, sizeof(className));
    if (std::string(className) == "#32770" && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

HWND WizardRun::WaitForSheet(DWORD timeoutMs) {
    wizard_driver::WaitFor(
        [this] {
            if (ended_ || threadId_ == 0) return ended_.load();
            HWND found = nullptr;
            EnumThreadWindows(threadId_, FindDialog, reinterpret_cast<LPARAM>(&found));
            if (found && sheetObject_.initialised()) sheet_ = found;
            return sheet_ != nullptr;
        },
        timeoutMs);
    return sheet_;
}

bool WizardRun::WaitForEnd(DWORD timeoutMs) {
    return wizard_driver::WaitFor([this] { return ended_.load(); }, timeoutMs);
}
