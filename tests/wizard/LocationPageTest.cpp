// The location page in a real wizard under Xvfb, with folders named in
// scripts no ANSI code page holds: shown, picked with the folder browser,
// and stored as the install folder.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "TestPages.h"
#include "flow/InstallerConfig.h"
#include "resources/resource.h"
#include "support/ScratchFolder.h"
#include "system/TextCompare.h"
#include "system/Utf8.h"
#include "wizard/LocationPage.h"
#include "wizard/WizardDriver.h"

using namespace wizard_driver;

namespace {

class LocationWizard : public CQMPropertySheet {
public:
    explicit LocationWizard(InstallerConfig& config) : CQMPropertySheet("Install"), config_(config) {}

protected:
    void AddPages() override {
        AddPage(new CLocationPage(*this, config_));
        AddPage(new AnsweringPage(*this));
    }

private:
    InstallerConfig& config_;
};

HWND ActivePage(HWND sheet) { return reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0)); }

void SetPageText(HWND sheet, int id, const std::string& text) {
    SendMessageW(GetDlgItem(ActivePage(sheet), id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Widen(text).c_str()));
}

}  // namespace

// The page shows the configured folder, the browser opens on the folder
// typed in other capitals and returns it as the disk spells it, and Next
// stores it: every name intact.
TEST(LocationPage, CarriesFolderNamesInAnyScript) {
    ScratchFolder scratch("location");
    ASSERT_TRUE(MakeFolder(scratch.path() + "Программы") && MakeFolder(scratch.path() + "Программы\\数据 2005"));
    const std::string picked = scratch.path() + "Программы\\数据 2005";
    InstallerConfig config("installer-id", "product-id", "VYN2005");
    config.setInstallDir(scratch.path() + "Программы\\");

    LocationWizard wizard(config);
    WizardRun run(wizard);
    HWND sheet = run.WaitForSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(PageText(sheet, IDC_INSTALL_DIR), scratch.path() + "Программы\\" + config.appFolderPath());

    SetPageText(sheet, IDC_INSTALL_DIR, scratch.path() + "ПРОГРАММЫ\\数据 2005");
    PostClick(ActivePage(sheet), IDC_PAGE_BUTTON);
    HWND browser = WaitForMessageBox(sheet, 20000);
    ASSERT_NE(browser, nullptr);
    HWND edit = GetDlgItem(browser, IDC_PATH_EDIT);
    EXPECT_TRUE(WaitFor([&] { return Text(edit) == picked; })) << Text(edit);
    SendMessageW(GetDlgItem(browser, IDOK), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return PageText(sheet, IDC_INSTALL_DIR) == picked; }))
        << PageText(sheet, IDC_INSTALL_DIR);

    Click(sheet, kNextButton);
    ASSERT_TRUE(WaitForPage(sheet, 1));
    EXPECT_TRUE(SameNameIgnoringCase(config.installDir(), picked + "\\")) << config.installDir();
}
