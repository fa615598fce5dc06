#include <windows.h>
#include "wizard/WizardDriver.h"

#include <commctrl.h>

#include <mutex>

#include "system/UniqueHandle.h"
#include "system/Utf8.h"

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

namespace {

std::mutex barrierMutex;  // one barrier at a time: the hook reads the two below
UINT barrierMarker = 0;
HANDLE barrierReached = nullptr;

struct MessageHookTraits {
    using Handle = HHOOK;
    static Handle invalid() { return nullptr; }
    static void close(Handle hook) { UnhookWindowsHookEx(hook); }
};

LRESULT CALLBACK BarrierHook(int code, WPARAM removal, LPARAM message) {
    const MSG* taken = reinterpret_cast<const MSG*>(message);
    if (code == HC_ACTION && removal == PM_REMOVE && taken->message == barrierMarker) SetEvent(barrierReached);
    return CallNextHookEx(nullptr, code, removal, message);
}

}  // namespace

bool HandlePostedMessages(HWND window, DWORD timeoutMs) {
    std::lock_guard<std::mutex> lock(barrierMutex);
    barrierMarker = RegisterWindowMessageA("VYN2005 test message barrier");
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    UniqueKernelHandle reached(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    barrierReached = reached.get();
    UniqueHandle<MessageHookTraits> hook(SetWindowsHookExA(WH_GETMESSAGE, BarrierHook, nullptr, thread));
    if (!hook) return false;
    return PostMessageA(window, barrierMarker, 0, 0) && WaitForSingleObject(reached.get(), timeoutMs) == WAIT_OBJECT_0;
}

void Click(HWND sheet, int buttonId) { SendMessageA(GetDlgItem(sheet, buttonId), BM_CLICK, 0, 0); }

void PostClick(HWND window, int buttonId) { PostMessageA(GetDlgItem(window, buttonId), BM_CLICK, 0, 0); }

int PageIndex(HWND sheet) {
    HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    return static_cast<int>(SendMessageA(sheet, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0));
}

bool WaitForPage(HWND sheet, int index, DWORD timeoutMs) {
    return WaitFor([&] { return PageIndex(sheet) == index; }, timeoutMs);
}

std::string Text(HWND window) {
    // Asked by message, which also reaches a window of another process.
    const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(copied));
    return Narrow(text);
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

namespace {

bool IsVisibleDialog(HWND window) {
    char className[16] = {};
    GetClassNameA(window, className, sizeof(className));
    return std::string(className) == "#32770" && IsWindowVisible(window);
}

struct OwnedSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindOwned(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<OwnedSearch*>(parameter);
    if (IsVisibleDialog(window) && GetWindow(window, GW_OWNER) == search->owner) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

struct ProcessSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindProcessSheet(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<ProcessSearch*>(parameter);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == search->processId && IsVisibleDialog(window) && !GetWindow(window, GW_OWNER) &&
        SendMessageA(window, PSM_GETCURRENTPAGEHWND, 0, 0) != 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND FindOwnedDialog(HWND owner) {
    OwnedSearch search{owner, nullptr};
    EnumWindows(FindOwned, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForMessageBox(HWND owner, DWORD timeoutMs) {
    HWND box = nullptr;
    WaitFor([&] { return (box = FindOwnedDialog(owner)) != nullptr; }, timeoutMs);
    return box;
}

std::string MessageBoxText(HWND box) {
    // The box's text is its one static control with text (the icon has none).
    std::string text;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char className[16] = {};
        GetClassNameA(child, className, sizeof(className));
        if (lstrcmpiA(className, "Static") != 0) continue;
        text = Text(child);
        if (!text.empty()) break;
    }
    return text;
}

void AnswerMessageBox(HWND box, int buttonId) {
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, buttonId)));
}

HWND WaitForProcessSheet(HANDLE process, DWORD timeoutMs) {
    ProcessSearch search{GetProcessId(process), nullptr};
    WaitFor(
        [&] {
            if (WaitForSingleObject(process, 0) == WAIT_OBJECT_0) return true;
            EnumWindows(FindProcessSheet, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        timeoutMs);
    return search.found;
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
    if (!ended_ && sheet_) {
        // A wizard that asks before it cancels gets its question answered
        // with Yes, and any other box it shows is dismissed.
        PostMessageA(sheet_, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        wizard_driver::WaitFor(
            [this] {
                if (HWND box = wizard_driver::FindOwnedDialog(sheet_)) {
                    wizard_driver::AnswerMessageBox(box, GetDlgItem(box, IDYES) ? IDYES : IDOK);
                    Sleep(50);
                }
                return ended_.load();
            },
            10000);
    }
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
