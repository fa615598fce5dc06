#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "TestPages.h"
#include "flow/InstallerConfig.h"
#include "flow/WorkerThread.h"
#include "system/UniqueHandle.h"
#include "wizard/ProgressPage.h"
#include "wizard/WindowProgressBar.h"
#include "wizard/WindowShot.h"
#include "wizard/WizardDriver.h"

using namespace wizard_driver;

namespace {

constexpr int kSteps = 1000000;
// A caption naming a file in scripts no ANSI code page holds.
const char kStepCaption[] = "Downloading данные 数据.zip...";

// Reports like a download: a million single steps, then waits for the test
// before it posts its outcome.
class SteppingWorker : public WorkerThread {
public:
    SteppingWorker(std::shared_ptr<WorkerChannel> channel, HANDLE release)
        : WorkerThread(std::move(channel)), release_(release) {}

protected:
    void Run() override {
        WorkerChannel& ui = channel();
        ui.setTotalCaption("Total completion");
        ui.totalBar()->setRange(0, 6);
        ui.totalBar()->setStep(1);
        ui.enableBack(false);
        ui.enableNext(false);
        ui.setStepCaption(kStepCaption);
        ui.stepBar()->setRange(0, kSteps);
        ui.stepBar()->setStep(1);
        for (int i = 0; i < kSteps; ++i) ui.stepBar()->stepIt();
        ui.totalBar()->stepIt();
        WaitForSingleObject(release_, 10000);
        ui.totalBar()->setPosition(6);
        postOutcome(WizardOutcome::Of(OutcomeKind::Installed, "All done"));
        // A second outcome is never delivered.
        postOutcome(WizardOutcome::Of(OutcomeKind::ReadyForLocation));
    }

private:
    HANDLE release_;
};

class SteppingPage : public CProgressPage {
public:
    SteppingPage(CQMPropertySheet& sheet, InstallerConfig& config, HANDLE release)
        : CProgressPage(sheet, config), release_(release) {
        title = "Downloading and installing";
        subtitle = "The application is being downloaded and installed";
    }

protected:
    WorkerThread* CreateWorker(std::shared_ptr<WorkerChannel> channel) override {
        return new SteppingWorker(std::move(channel), release_);
    }

private:
    HANDLE release_;
};

class OutcomePage : public AnsweringPage {
public:
    using AnsweringPage::AnsweringPage;
    void ApplyOutcome(std::unique_ptr<WizardOutcome> outcome) override {
        received = std::move(outcome);
        ++applied;
    }
    std::unique_ptr<WizardOutcome> received;
    int applied = 0;
};

class ProgressWizard : public CQMPropertySheet {
public:
    ProgressWizard(InstallerConfig& config, HANDLE release)
        : CQMPropertySheet("Install"), config_(config), release_(release) {}
    SteppingPage* progress = nullptr;
    OutcomePage* target = nullptr;

    int PageForOutcome(OutcomeKind kind) const override {
        return kind == OutcomeKind::Installed ? 2 : kind == OutcomeKind::ReadyForLocation ? 0 : -1;
    }

protected:
    void AddPages() override {
        AddPage(new AnsweringPage(*this));
        AddPage(progress = new SteppingPage(*this, config_, release_));
        AddPage(target = new OutcomePage(*this));
    }

private:
    InstallerConfig& config_;
    HANDLE release_;
};


TEST(ProgressPage, WorkerDrivesThePageAndItsOutcomeTurnsTheWizard) {
    InstallerConfig config("installer-id", "product-id", "VYN2005");
    UniqueKernelHandle release(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    ProgressWizard wizard(config, release.get());
    WizardRun run(wizard);
    HWND sheet = run.WaitForSheet();
    ASSERT_NE(sheet, nullptr);
    Click(sheet, kNextButton);
    ASSERT_TRUE(WaitForPage(sheet, 1));

    // The worker has stepped its million and waits for us.
    ASSERT_TRUE(WaitFor([&] { return BarPosition(sheet, IDC_TOTAL_BAR) == 1; }, 20000));
    EXPECT_EQ(PageText(sheet, IDC_STEP_CAPTION), kStepCaption);
    EXPECT_EQ(PageText(sheet, IDC_TOTAL_CAPTION), "Total completion");
    EXPECT_EQ(BarPosition(sheet, IDC_STEP_BAR), kSteps);
    auto* stepBar = dynamic_cast<WindowProgressBar*>(wizard.progress->channel()->stepBar());
    ASSERT_NE(stepBar, nullptr);
    RECT barRect = {};
    GetClientRect(GetDlgItem(wizard.progress->window(), IDC_STEP_BAR), &barRect);
    // One message per pixel column at most, plus the range.
    EXPECT_LE(stepBar->messagesSent(), barRect.right + 2);
    EXPECT_GT(stepBar->messagesSent(), 10);
    EXPECT_TRUE(WaitFor([&] { return !Enabled(sheet, kBackButton) && !Enabled(sheet, kNextButton); }));
    // The page's own posted button settings must not undo the worker's.
    ASSERT_TRUE(HandlePostedMessages(sheet));
    EXPECT_FALSE(Enabled(sheet, kBackButton));
    EXPECT_FALSE(Enabled(sheet, kNextButton));
    EXPECT_TRUE(Enabled(sheet, kCancelButton));

    if (const char* binary = std::getenv("VYN_BINARY_DIR")) {
        RedrawWindow(sheet, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        ASSERT_TRUE(HandlePostedMessages(sheet));
        SaveWindowShot(sheet, std::string(binary) + "\\progress-page.bmp");
    }

    // Anyone may post the message; without the channel's token it is
    // ignored, and its wParam is never read as a pointer.
    WizardOutcome forged = WizardOutcome::Of(OutcomeKind::Installed, "forged");
    PostMessageA(wizard.progress->window(), WM_PROGRESS_UPDATE, reinterpret_cast<WPARAM>(&forged), 0);
    PostMessageA(wizard.progress->window(), WM_PROGRESS_UPDATE, 0, 0);

    SetEvent(release.get());
    ASSERT_TRUE(WaitForPage(sheet, 2));
    ASSERT_TRUE(WaitFor([&] { return wizard.target->received != nullptr; }));
    EXPECT_EQ(wizard.target->received->text, "All done");
    EXPECT_TRUE(wizard.target->received->succeeded());
    ASSERT_TRUE(HandlePostedMessages(wizard.progress->window()));
    EXPECT_EQ(PageIndex(sheet), 2);  // the second outcome went nowhere
    EXPECT_EQ(wizard.target->applied, 1);
}

}  // namespace

namespace {

// Works until it is asked to stop, then still reports once more.
class LateWorker : public WorkerThread {
public:
    LateWorker(std::shared_ptr<WorkerChannel> channel, HANDLE done)
        : WorkerThread(std::move(channel)), done_(done) {}

protected:
    void Run() override {
        const DWORD start = GetTickCount();
        while (!stopRequested() && GetTickCount() - start < 30000) Sleep(10);
        WorkerChannel& ui = channel();
        ui.setStepCaption("Still working");
        ui.stepBar()->setRange(0, 10);
        ui.stepBar()->setPosition(10);
        ui.enableNext(false);
        postOutcome(WizardOutcome::Of(OutcomeKind::Installed));
        SetEvent(done_);
    }

private:
    HANDLE done_;
};

class LatePage : public CProgressPage {
public:
    LatePage(CQMPropertySheet& sheet, InstallerConfig& config, HANDLE done)
        : CProgressPage(sheet, config), done_(done) {}

protected:
    WorkerThread* CreateWorker(std::shared_ptr<WorkerChannel> channel) override {
        return new LateWorker(std::move(channel), done_);
    }

private:
    HANDLE done_;
};

class LateWizard : public CQMPropertySheet {
public:
    LateWizard(InstallerConfig& config, HANDLE done) : CQMPropertySheet("Install"), config_(config), done_(done) {}
    int PageForOutcome(OutcomeKind) const override { return 1; }

protected:
    void AddPages() override {
        AddPage(new LatePage(*this, config_, done_));
        AddPage(new AnsweringPage(*this));
    }

private:
    InstallerConfig& config_;
    HANDLE done_;
};

TEST(ProgressPage, ClosingTheWizardStopsItsWorkerBeforeThePagesGo) {
    InstallerConfig config("installer-id", "product-id", "VYN2005");
    UniqueKernelHandle done(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    const DWORD start = GetTickCount();
    {
        auto wizard = std::make_unique<LateWizard>(config, done.get());
        WizardRun run(*wizard);
        HWND sheet = run.WaitForSheet();
        ASSERT_NE(sheet, nullptr);
        EXPECT_TRUE(Enabled(sheet, kCancelButton));
        Click(sheet, kCancelButton);
        ASSERT_TRUE(run.WaitForEnd());
        EXPECT_EQ(run.result(), IDCANCEL);
    }
    // Asked to stop when Cancel came, the worker had ended, its late report
    // gone nowhere, before the pages (and with them what it reads) were
    // destroyed.
    EXPECT_EQ(WaitForSingleObject(done.get(), 0), WAIT_OBJECT_0);
    EXPECT_LT(GetTickCount() - start, 10000u);
}

}  // namespace
