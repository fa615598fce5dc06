#pragma once
// Runs a wizard on a thread of its own and drives its real windows by
// window messages from the test thread.
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

class CQMPropertySheet;

namespace wizard_driver {

// Waits until `condition` holds or `timeoutMs` passes; true when it held.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = 5000);

// A barrier on the message queue of a window of this process: returns once
// every message posted to the window's thread before the call has been
// handled. A marker is posted after them, and a message hook on that thread
// reports when the loop takes the marker, which it does only after handling
// each message before it. False when the marker is not taken in time.
bool HandlePostedMessages(HWND window, DWORD timeoutMs = 10000);

// Clicks and returns once the click has been handled.
void Click(HWND sheet, int buttonId);
// Clicks without waiting: for a click that opens a modal message box, which
// would otherwise hold the caller until the box is answered.
void PostClick(HWND window, int buttonId);
int PageIndex(HWND sheet);
bool WaitForPage(HWND sheet, int index, DWORD timeoutMs = 5000);
// The window's text, as UTF-8.
std::string Text(HWND window);
// The text of control `id` on the active page.
std::string PageText(HWND sheet, int id);
int BarPosition(HWND sheet, int id);
bool Enabled(HWND sheet, int buttonId);
bool Visible(HWND sheet, int buttonId);
RECT ClientRectOf(HWND sheet, int buttonId);

// Message boxes (and other dialogs) owned by `owner`, in this or another
// process: the first visible one, waiting up to `timeoutMs`; null if none.
HWND FindOwnedDialog(HWND owner);
HWND WaitForMessageBox(HWND owner, DWORD timeoutMs = 5000);
// The box's message text (its static control) and its caption.
std::string MessageBoxText(HWND box);
// Presses IDOK, IDYES, IDNO ... as the user would.
void AnswerMessageBox(HWND box, int buttonId);
// The first visible top-level wizard sheet of another process, once it
// shows a page; null on time-out or when the process has ended.
HWND WaitForProcessSheet(HANDLE process, DWORD timeoutMs = 20000);

}  // namespace wizard_driver

class WizardRun {
public:
    // Starts sheet.DoWizard() on a new thread.
    explicit WizardRun(CQMPropertySheet& sheet);
    // Cancels a wizard still running and waits for its thread.
    ~WizardRun();
    WizardRun(const WizardRun&) = delete;
    WizardRun& operator=(const WizardRun&) = delete;

    // The sheet window once it is shown and initialised; null on time-out.
    HWND WaitForSheet(DWORD timeoutMs = 10000);
    bool WaitForEnd(DWORD timeoutMs = 5000);
    bool running() const { return !ended_; }
    INT_PTR result() const { return result_; }

private:
    CQMPropertySheet& sheetObject_;
    std::atomic<DWORD> threadId_{0};
    std::atomic<bool> ended_{false};
    std::atomic<INT_PTR> result_{0};
    std::thread thread_;
    HWND sheet_ = nullptr;
};
