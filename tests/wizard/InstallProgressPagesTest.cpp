// The install wizard's two progress pages in a real wizard under Xvfb, with
// their real workers against the update service on 127.0.0.1.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "TestPages.h"
#include "flow/InstallerConfig.h"
#include "documents/SoftwareCatalog.h"
#include "support/ScratchFolder.h"
#include "support/ScratchRegistry.h"
#include "support/TestPaths.h"
#include "support/UpdateService.h"
#include "wizard/InstallProgressPages.h"
#include "wizard/InstallWizard.h"
#include "wizard/WindowProgressBar.h"
#include "wizard/WindowShot.h"
#include "wizard/WizardDriver.h"

using namespace wizard_driver;

namespace {

const char kApp[] = "a3d907:e2c41b7f96:-7c5e";
const int kDownloadBytes = 1 << 20;

// Stands in for the pages an outcome can lead to, and keeps what it got.
class ReceivingPage : public AnsweringPage {
public:
    using AnsweringPage::AnsweringPage;
    void ApplyOutcome(std::unique_ptr<WizardOutcome> outcome) override { received = std::move(outcome); }
    std::unique_ptr<WizardOutcome> received;
};

// The install wizard, with the two real progress pages and stand-ins for
// the others.
class ProgressPagesWizard : public CInstallWizard {
public:
    explicit ProgressPagesWizard(InstallerConfig& config) : CInstallWizard(config, "Install"), config_(config) {}
    UpdateCheckPage* check = nullptr;
    InstallProgressPage* install = nullptr;
    ReceivingPage* java = nullptr;
    ReceivingPage* complete = nullptr;

protected:
    void AddPages() override {
        AddPage(new AnsweringPage(*this));
        AddPage(check = new UpdateCheckPage(*this, config_));
        AddPage(java = new ReceivingPage(*this));
        AddPage(new ReceivingPage(*this));
        AddPage(install = new InstallProgressPage(*this, config_));
        AddPage(complete = new ReceivingPage(*this));
    }

private:
    InstallerConfig& config_;
};

// While a worker runs only Cancel is offered.
void ExpectOnlyCancel(HWND sheet) {
    EXPECT_TRUE(WaitFor([&] { return !Enabled(sheet, kBackButton) && !Enabled(sheet, kNextButton); }));
    // The page's own posted button settings must not undo the worker's.
    ASSERT_TRUE(HandlePostedMessages(sheet));
    EXPECT_FALSE(Enabled(sheet, kBackButton));
    EXPECT_FALSE(Enabled(sheet, kNextButton));
    EXPECT_TRUE(Enabled(sheet, kCancelButton));
}

}  // namespace

TEST(InstallProgressPages, TheCheckThenTheInstallRunBehindTheirPagesAndTurnTheWizard) {
    UpdateService service;
    ASSERT_TRUE(service.started()) << service.startError();
    ScratchRegistry noJava{kJavaRuntimeRoot};
    ScratchFolder folder{"pages"};
    std::string bytes(kDownloadBytes, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 2654435761u) >> 13);
    service.publish(ServiceSoftware(kApp, 2001, "App").file(7, "app.bin"));
    service.putFile("app.bin", bytes);
    service.setInstallScript(7, "<install><task><move /><src>{$DIR_UPDATES}app.bin</src>"
                                "<dest>{$DIR_LIB}app.bin</dest><overwrite>true</overwrite></task></install>");
    // Slow answers, so each worker is seen at work.
    service.misbehave("/servlet/SoftwareUpdateServlet?task=availability", "delay 1500");
    service.misbehave("/servlet/SoftwareUpdateServlet?task=install", "delay 1500");

    SetEnvironmentVariableA("VYN2005_SERVER", service.baseUrl().c_str());
    InstallerConfig config("1f00aa:b0b0b0b0b0:-7001", kApp, "VYN2005");
    SetEnvironmentVariableA("VYN2005_SERVER", nullptr);
    config.setInstallDir(folder.path());
    ProgressPagesWizard wizard(config);
    WizardRun run(wizard);
    HWND sheet = run.WaitForSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(wizard.check->title + " / " + wizard.check->subtitle, "Update check / Searching for the latest version");
    EXPECT_EQ(wizard.install->title + " / " + wizard.install->subtitle,
              "Downloading and installing / The application is being downloaded and installed");

    Click(sheet, kNextButton);
    ASSERT_TRUE(WaitForPage(sheet, 1));
    ASSERT_TRUE(WaitFor([&] { return PageText(sheet, IDC_STEP_CAPTION) == "Checking for updates"; }));
    EXPECT_EQ(PageText(sheet, IDC_TOTAL_CAPTION), "Total completion");
    ExpectOnlyCancel(sheet);
    // Nothing new, no Java needed: straight on to the location page.
    ASSERT_TRUE(WaitForPage(sheet, 3, 20000));
    EXPECT_EQ(wizard.java->received, nullptr);
    ASSERT_EQ(config.catalog().mainList.size(), 1u);

    Click(sheet, kNextButton);
    ASSERT_TRUE(WaitForPage(sheet, 4));
    ASSERT_TRUE(WaitFor([&] { return PageText(sheet, IDC_STEP_CAPTION) == "Downloading install data..."; }, 20000));
    // The script's reply is held back by the service, so the step bar has
    // seen only the megabyte's download so far.
    auto* stepBar = dynamic_cast<WindowProgressBar*>(wizard.install->channel()->stepBar());
    ASSERT_NE(stepBar, nullptr);
    const long downloadMessages = stepBar->messagesSent();
    RECT barRect = {};
    GetClientRect(GetDlgItem(wizard.install->window(), IDC_STEP_BAR), &barRect);
    EXPECT_LE(downloadMessages, barRect.right + 3);  // a range, then at most one per pixel column
    // and it moved along the whole way, not in a few large jumps
    EXPECT_GE(downloadMessages, std::min<long>(barRect.right, kDownloadBytes / 4096) - 3);
    EXPECT_EQ(BarPosition(sheet, IDC_STEP_BAR), kDownloadBytes + 4096);  // full: the range has 4 KiB to spare
    ExpectOnlyCancel(sheet);
    EXPECT_EQ(BarPosition(sheet, IDC_TOTAL_BAR), 1);  // the one download
    RedrawWindow(sheet, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ASSERT_TRUE(HandlePostedMessages(sheet));
    EXPECT_TRUE(SaveWindowShot(sheet, BinaryDir() + "install-progress-page.bmp"));

    ASSERT_TRUE(WaitForPage(sheet, 5, 20000));
    ASSERT_TRUE(WaitFor([&] { return wizard.complete->received != nullptr; }));
    EXPECT_EQ(wizard.complete->received->kind, OutcomeKind::Installed);
    EXPECT_EQ(ReadTextFile(config.homeDir() + "lib\\app.bin"), bytes);
}
