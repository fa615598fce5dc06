#include "wizard/ProgressPage.h"

#include <windows.h>
#include <commctrl.h>
#include <wininet.h>

#include <atomic>
#include <mutex>

#include "flow/WorkerThread.h"
#include "system/ResourceText.h"
#include "system/SlimLock.h"
#include "wizard/QMPropertySheet.h"
#include "wizard/WindowProgressBar.h"
#include "wizard/WindowText.h"

namespace {

// Tells one channel from another in WM_PROGRESS_UPDATE.
std::atomic<WPARAM> lastToken{0};

// Reaches the page's controls by window messages from the worker's thread.
// It holds window handles only, so it stays harmless after the wizard ends.
class PageWorkerChannel : public WorkerChannel {
public:
    PageWorkerChannel(HWND page, InstallerConfig& configuration)
        : token(++lastToken),
          page_(page),
          configuration_(configuration),
          stepBar_(GetDlgItem(page, IDC_STEP_BAR)),
          totalBar_(GetDlgItem(page, IDC_TOTAL_BAR)) {}

    InstallerConfig& configuration() override { return configuration_; }
    void setStepCaption(const std::string& text) override { setText(IDC_STEP_CAPTION, text); }
    void setTotalCaption(const std::string& text) override { setText(IDC_TOTAL_CAPTION, text); }
    ProgressBar* stepBar() override { return &stepBar_; }
    ProgressBar* totalBar() override { return &totalBar_; }
    void enableBack(bool enable) override { enableButton(kBackButton, enable); }
    void enableNext(bool enable) override { enableButton(kNextButton, enable); }
    // The page shows the question on its own thread; a page that is gone
    // answers nothing, which gives up.
    bool askRetryFilesInUse(const std::string& text) override {
        return SendMessageW(page_, kAskRetryMessage, token, reinterpret_cast<LPARAM>(&text)) == IDRETRY;
    }
    // The same for a proxy's credentials: the page shows the system's
    // dialog for the request, which keeps what the user enters.
    bool askProxyCredentials(void* request) override {
        return SendMessageW(page_, kAskProxyMessage, token, reinterpret_cast<LPARAM>(request)) ==
               static_cast<LRESULT>(ERROR_INTERNET_FORCE_RETRY);
    }

    // The caption the worker last gave control `id`.
    std::string caption(int id) {
        std::lock_guard<SlimLock> locked(captionLock_);
        return id == IDC_STEP_CAPTION ? stepCaption_ : totalCaption_;
    }

    const WPARAM token;

protected:
    // A page whose window is gone loses the message; the outcome then goes
    // with the channel.
    void notifyOutcome() override { PostMessageW(page_, WM_PROGRESS_UPDATE, token, 0); }

private:
    // The worker does not wait for the page's thread, which may be busy
    // drawing the bars: the text is kept here and the page, told by a
    // message sent in order with the bars' own, fetches it.
    void setText(int id, const std::string& text) {
        {
            std::lock_guard<SlimLock> locked(captionLock_);
            (id == IDC_STEP_CAPTION ? stepCaption_ : totalCaption_) = text;
        }
        SendNotifyMessageW(page_, kCaptionMessage, token, static_cast<LPARAM>(id));
    }
    // Posted to the page, behind the button settings the page posted when
    // it became active, so the worker's setting is the one that stays.
    void enableButton(int id, bool enable) {
        PostMessageW(page_, kEnableButtonMessage, static_cast<WPARAM>(id), enable ? 1 : 0);
    }

    HWND page_;
    InstallerConfig& configuration_;
    WindowProgressBar stepBar_;
    WindowProgressBar totalBar_;
    SlimLock captionLock_;
    std::string stepCaption_;
    std::string totalCaption_;

public:
    static constexpr UINT kEnableButtonMessage = WM_APP + 0x52;
    static constexpr UINT kCaptionMessage = WM_APP + 0x53;
    static constexpr UINT kAskRetryMessage = WM_APP + 0x54;
    static constexpr UINT kAskProxyMessage = WM_APP + 0x55;
};

}  // namespace

CProgressPage::CProgressPage(CQMPropertySheet& sheet, InstallerConfig& configuration)
    : CQMPropertyPage(sheet, IDD_PROGRESS_PAGE), configuration(configuration) {}

// The wizard's windows are gone by now; the worker is asked to stop and
// waited for (within a bound) before the configuration it reads goes.
CProgressPage::~CProgressPage() = default;

BOOL CProgressPage::OnSetActive() {
    if (!CQMPropertyPage::OnSetActive()) return FALSE;
    sheet().SetWizardButtons(PSWIZB_NEXT);
    sheet().SetWizardButtons(PSWIZB_BACK);
    if (worker_) worker_->stopAndWait(RunningWorker::kStopWaitMs);
    channel_ = std::make_shared<PageWorkerChannel>(window(), configuration);
    worker_ = WorkerThread::Start(CreateWorker(channel_));
    return TRUE;
}

bool CProgressPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    if (message == WM_PROGRESS_UPDATE) {
        // Only the running worker's own token takes its outcome.
        auto* channel = static_cast<PageWorkerChannel*>(channel_.get());
        if (channel && wParam == channel->token) OnWorkerMessage(channel->takeOutcome());
        result = 0;
        return true;
    }
    if (message == PageWorkerChannel::kCaptionMessage) {
        auto* channel = static_cast<PageWorkerChannel*>(channel_.get());
        const int id = static_cast<int>(lParam);
        if (channel && wParam == channel->token) SetDlgItemTextUtf8(window(), id, channel->caption(id));
        result = 0;
        return true;
    }
    if (message == PageWorkerChannel::kAskRetryMessage) {
        // Sent by the worker, which waits for the answer. A page that is
        // stopping its worker asks nobody.
        auto* channel = static_cast<PageWorkerChannel*>(channel_.get());
        int answer = IDCANCEL;
        if (channel && wParam == channel->token && !channel->stopRequested())
            answer = ShowMessageBox(sheet().window(),
                                    *reinterpret_cast<const std::string*>(lParam) +
                                        "\n\nClose them, then choose Retry. Cancel changes nothing.",
                                    LoadResourceText(messageCaptionId), MB_RETRYCANCEL | MB_ICONEXCLAMATION);
        // A dialog answers a sent message through its result slot.
        SetWindowLongPtrW(window(), DWLP_MSGRESULT, answer);
        result = TRUE;
        return true;
    }
    if (message == PageWorkerChannel::kAskProxyMessage) {
        // Sent by the worker, which waits with the request open. The dialog
        // sets the credentials on the request and answers FORCE_RETRY when
        // the user gave them.
        auto* channel = static_cast<PageWorkerChannel*>(channel_.get());
        DWORD answer = ERROR_CANCELLED;
        if (channel && wParam == channel->token && !channel->stopRequested())
            answer = InternetErrorDlg(sheet().window(), reinterpret_cast<HINTERNET>(lParam),
                                      ERROR_INTERNET_INCORRECT_PASSWORD,
                                      FLAGS_ERROR_UI_FLAGS_GENERATE_DATA | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS,
                                      nullptr);
        SetWindowLongPtrW(window(), DWLP_MSGRESULT, static_cast<LONG_PTR>(answer));
        result = TRUE;
        return true;
    }
    if (message == PageWorkerChannel::kEnableButtonMessage) {
        // Posted by the worker, so it is handled after the button settings
        // this page posted on activation and the worker's choice stands.
        EnableWindow(GetDlgItem(sheet().window(), static_cast<int>(wParam)), lParam != 0);
        result = 0;
        return true;
    }
    return false;
}

void CProgressPage::OnCancelConfirmed() {
    if (worker_) worker_->requestStop();
}

void CProgressPage::OnWorkerMessage(std::unique_ptr<WizardOutcome> outcome) {
    if (!outcome) return;
    // The user gave up on files in use: the run ends as cancelled, nothing changed.
    if (outcome->kind == OutcomeKind::FilesInUse) {
        sheet().NoteAppliedOutcome(outcome->kind);
        sheet().EndWizard(IDCANCEL);
        return;
    }
    const int targetPage = sheet().PageForOutcome(outcome->kind);
    CQMPropertyPage* target = sheet().GetPage(targetPage);
    if (!target) return;
    sheet().NoteAppliedOutcome(outcome->kind);
    sheet().SetActivePage(targetPage);
    target->ApplyOutcome(std::move(outcome));
    // The header shows the new page's title, also one ApplyOutcome changed.
    InvalidateRect(sheet().window(), nullptr, TRUE);
    UpdateWindow(sheet().window());
}
