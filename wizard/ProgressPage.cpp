#include "wizard/ProgressPage.h"

#include <windows.h>
#include <commctrl.h>

#include <atomic>

#include "flow/WorkerThread.h"
#include "wizard/QMPropertySheet.h"
#include "wizard/WindowProgressBar.h"

namespace {

// Reaches the page's controls by window messages from the worker's thread.
// It holds window handles only, so it stays harmless after the wizard ends.
class PageWorkerChannel : public WorkerChannel {
public:
    PageWorkerChannel(HWND page, InstallerConfig& configuration)
        : page_(page),
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

    void postOutcome(std::unique_ptr<WizardOutcome> outcome) override {
        if (!outcome || posted_.exchange(true)) return;
        if (PostMessageA(page_, WM_PROGRESS_UPDATE, reinterpret_cast<WPARAM>(outcome.get()), 0))
            outcome.release();  // the page owns it now
    }

private:
    void setText(int id, const std::string& text) {
        SendDlgItemMessageA(page_, id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    // Posted to the page, behind the button settings the page posted when
    // it became active, so the worker's setting is the one that stays.
    void enableButton(int id, bool enable) {
        PostMessageA(page_, kEnableButtonMessage, static_cast<WPARAM>(id), enable ? 1 : 0);
    }

    HWND page_;
    InstallerConfig& configuration_;
    WindowProgressBar stepBar_;
    WindowProgressBar totalBar_;
    std::atomic<bool> posted_{false};

public:
    static constexpr UINT kEnableButtonMessage = WM_APP + 0x52;
};

}  // namespace

CProgressPage::CProgressPage(CQMPropertySheet& sheet, InstallerConfig& configuration)
    : CQMPropertyPage(sheet, IDD_PROGRESS_PAGE), configuration(configuration) {}

BOOL CProgressPage::OnSetActive() {
    if (!CQMPropertyPage::OnSetActive()) return FALSE;
    sheet().SetWizardButtons(PSWIZB_NEXT);
    sheet().SetWizardButtons(PSWIZB_BACK);
    channel_ = std::make_shared<PageWorkerChannel>(window(), configuration);
    WorkerThread::Start(CreateWorker(channel_));
    return TRUE;
}

bool CProgressPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    if (message == WM_PROGRESS_UPDATE) {
        std::unique_ptr<WizardOutcome> outcome(reinterpret_cast<WizardOutcome*>(wParam));
        result = OnWorkerMessage(std::move(outcome));
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

LRESULT CProgressPage::OnWorkerMessage(std::unique_ptr<WizardOutcome> outcome) {
    if (!outcome || outcome->targetPage < 0) return 0;
    CQMPropertyPage* target = sheet().GetPage(outcome->targetPage);
    if (!target) return 0;
    sheet().SetActivePage(outcome->targetPage);
    target->ApplyOutcome(std::move(outcome));
    InvalidateRect(sheet().window(), nullptr, TRUE);
    UpdateWindow(sheet().window());
    return 0;
}
