#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>
#include <gtest/gtest.h>

#include <string>

#include "TestPages.h"
#include "resources/resource.h"
#include "support/ScratchFolder.h"
#include "support/TestPaths.h"
#include "system/Utf8.h"
#include "wizard/WizardDriver.h"

using namespace wizard_driver;

namespace {

struct ButtonsCase {
    int pages;
    int page;
    bool back;
    bool next;
    bool finish;
};

// The buttons a page shows from its position alone.
TEST(WizardSheet, ButtonsFollowThePagePosition) {
    const ButtonsCase cases[] = {
        {1, 0, false, true, false},  // a single page counts as the first
        {3, 0, false, true, false},
        {3, 1, true, true, false},
        {3, 2, true, false, true},
    };
    for (const ButtonsCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.pages << " pages, page " << c.page);
        PlainWizard wizard(c.pages);
        WizardRun run(wizard);
        HWND sheet = run.WaitForSheet();
        ASSERT_NE(sheet, nullptr);
        for (int i = 0; i < c.page; ++i) {
            ASSERT_TRUE(WaitFor([&] { return Enabled(sheet, kNextButton); }));
            Click(sheet, kNextButton);
            ASSERT_TRUE(WaitForPage(sheet, i + 1));
        }
        EXPECT_TRUE(WaitFor([&] {
            bool nextShown = Visible(sheet, kNextButton) && Enabled(sheet, kNextButton);
            bool finishShown = Visible(sheet, kFinishButton) && Enabled(sheet, kFinishButton);
            return Enabled(sheet, kBackButton) == c.back && nextShown == c.next && finishShown == c.finish;
        }));
        EXPECT_TRUE(Enabled(sheet, kCancelButton));
    }
}

// What a screen reader hears of the active page, through the accessibility
// interfaces.
std::string AccessibleName(HWND window) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::string text = "(no accessible object)";
    IAccessible* object = nullptr;
    if (SUCCEEDED(AccessibleObjectFromWindow(window, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&object)))) {
        VARIANT self = {};
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        BSTR name = nullptr;
        text = object->get_accName(self, &name) == S_OK && name ? Narrow(name) : "(no name)";
        SysFreeString(name);
        object->Release();
    }
    CoUninitialize();
    return text;
}

TEST(WizardSheet, EachPagesTitleIsItsAccessibleNameAndTheSheetFollowsADpiChange) {
    PlainWizard wizard(2);
    WizardRun run(wizard);
    HWND sheet = run.WaitForSheet();
    ASSERT_NE(sheet, nullptr);
    auto activePage = [&] { return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0)); };
    EXPECT_EQ(AccessibleName(activePage()), "Plain page 1");
    Click(sheet, kNextButton);
    ASSERT_TRUE(WaitForPage(sheet, 1));
    EXPECT_TRUE(WaitFor([&] { return AccessibleName(activePage()) == "Plain page 2"; })) << AccessibleName(activePage());

    // Dragged to a monitor at 150%: the sheet takes the suggested rectangle
    // and its header and page grow with the DPI.
    RECT before = {};
    GetWindowRect(sheet, &before);
    const int oldDpi = wizard.ScaleForDpi(96);
    RECT suggested = {before.left + 10, before.top + 10, before.left + 10 + (before.right - before.left) * 3 / 2,
                      before.top + 10 + (before.bottom - before.top) * 3 / 2};
    SendMessageW(sheet, WM_DPICHANGED, MAKEWPARAM(oldDpi * 3 / 2, oldDpi * 3 / 2), reinterpret_cast<LPARAM>(&suggested));
    RECT after = {};
    GetWindowRect(sheet, &after);
    EXPECT_TRUE(EqualRect(&after, &suggested));
    EXPECT_EQ(wizard.ScaleForDpi(kPageTop), MulDiv(kPageTop, oldDpi * 3 / 2, 96));
    RECT page = {};
    GetWindowRect(activePage(), &page);
    MapWindowPoints(nullptr, sheet, reinterpret_cast<POINT*>(&page), 2);
    EXPECT_EQ(page.top, wizard.ScaleForDpi(kPageTop));
}

TEST(WizardSheet, HelpAndTabsAreGoneAndCancelTakesTheHelpButtonsPlace) {
    PlainWizard wizard(2);
    WizardRun run(wizard);
    HWND sheet = run.WaitForSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_FALSE(Visible(sheet, kHelpButton));
    EXPECT_FALSE(IsWindowVisible(reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0))));
    RECT help = ClientRectOf(sheet, kHelpButton);
    RECT cancel = ClientRectOf(sheet, kCancelButton);
    RECT next = ClientRectOf(sheet, kNextButton);
    RECT back = ClientRectOf(sheet, kBackButton);
    RECT client = {};
    GetClientRect(sheet, &client);
    // Cancel now overlaps the hidden Help button and stays inside the sheet;
    // the buttons keep their order without overlapping.
    EXPECT_LT(cancel.left, help.right);
    EXPECT_GT(cancel.right, help.left);
    EXPECT_LE(cancel.right, client.right);
    EXPECT_LE(back.right, next.left);
    EXPECT_LE(next.right, cancel.left);
    // and they stay there when the library changes pages.
    Click(sheet, kNextButton);
    ASSERT_TRUE(WaitForPage(sheet, 1));
    ASSERT_TRUE(WaitFor([&] { return Visible(sheet, kFinishButton); }));
    RECT cancelLater = ClientRectOf(sheet, kCancelButton);
    EXPECT_TRUE(EqualRect(&cancel, &cancelLater));
    // The page sits between the header and the button strip.
    HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    RECT pageRect = {};
    GetWindowRect(page, &pageRect);
    MapWindowPoints(nullptr, sheet, reinterpret_cast<POINT*>(&pageRect), 2);
    EXPECT_EQ(pageRect.top, 57);
    EXPECT_EQ(pageRect.left, 0);
    EXPECT_EQ(pageRect.right, client.right);
    EXPECT_EQ(pageRect.bottom - pageRect.top, client.bottom - 114);
}

// A pixel of the banner as the .bmp file its resource was packed from has it.
COLORREF BannerPixel(int x, int y) {
    static const std::string file = ReadTextFile(SourceDir() + "resources\\banner.bmp");
    const BYTE* data = reinterpret_cast<const BYTE*>(file.data());
    const BITMAPFILEHEADER* fileHeader = reinterpret_cast<const BITMAPFILEHEADER*>(data);
    const BITMAPINFOHEADER* header = reinterpret_cast<const BITMAPINFOHEADER*>(data + sizeof(BITMAPFILEHEADER));
    int stride = (header->biWidth * 3 + 3) & ~3;
    const BYTE* pixel = data + fileHeader->bfOffBits + (header->biHeight - 1 - y) * stride + x * 3;  // bottom-up
    return RGB(pixel[2], pixel[1], pixel[0]);
}

TEST(WizardSheet, HeaderShowsBandLineBannerAndTitle) {
    PlainWizard wizard(2);
    WizardRun run(wizard);
    HWND sheet = run.WaitForSheet();
    ASSERT_NE(sheet, nullptr);
    RECT client = {};
    GetClientRect(sheet, &client);
    HDC dc = GetDC(sheet);
    ASSERT_TRUE(WaitFor([&] {  // the header has been painted
        return GetPixel(dc, 5, 5) == RGB(255, 255, 255) && GetPixel(dc, client.right - 1, 30) != RGB(255, 255, 255);
    }));
    Sleep(100);
    // One column through the logo and one row through the name: a banner
    // drawn a pixel off in either direction differs somewhere on them.
    int mismatches = 0;
    for (int y = 0; y < 50; ++y) mismatches += GetPixel(dc, client.right - 214 + 115, 2 + y) != BannerPixel(115, y);
    for (int x = 0; x < 214; ++x) mismatches += GetPixel(dc, client.right - 214 + x, 2 + 25) != BannerPixel(x, 25);
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(GetPixel(dc, 5, 5), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 5, 54), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 5, 56), GetSysColor(COLOR_BTNSHADOW));
    // The bold title starts at (30, 10): some of its pixels are dark.
    int dark = 0;
    for (int y = 10; y < 24; ++y)
        for (int x = 30; x < 130; ++x)
            if (GetRValue(GetPixel(dc, x, y)) < 100) ++dark;
    EXPECT_GT(dark, 20);
    ReleaseDC(sheet, dc);
}

// Escape, the close box and the Cancel button all ask CanCancel() first.
TEST(WizardSheet, EveryWayOfCancellingAsksFirst) {
    const std::function<void(HWND)> ways[] = {
        [](HWND sheet) { Click(sheet, kCancelButton); },
        [](HWND sheet) { PostMessageA(sheet, WM_SYSCOMMAND, SC_CLOSE, 0); },
        [](HWND sheet) {
            HWND focus = GetDlgItem(sheet, kNextButton);
            PostMessageA(focus, WM_KEYDOWN, VK_ESCAPE, 0);
            PostMessageA(focus, WM_KEYUP, VK_ESCAPE, 0xC0000001);
        },
    };
    int wayIndex = 0;
    for (const auto& cancel : ways) {
        SCOPED_TRACE(testing::Message() << "way " << wayIndex++);
        PlainWizard wizard(2);
        WizardRun run(wizard);
        HWND sheet = run.WaitForSheet();
        ASSERT_NE(sheet, nullptr);
        AnsweringPage& page = wizard.page(0);
        page.allowsCancel = false;
        cancel(sheet);
        ASSERT_TRUE(WaitFor([&] { return page.cancelQuestions.load() == 1; }));
        ASSERT_TRUE(HandlePostedMessages(sheet));
        EXPECT_TRUE(run.running());
        EXPECT_EQ(PageIndex(sheet), 0);
        page.allowsCancel = true;
        cancel(sheet);
        ASSERT_TRUE(run.WaitForEnd());
        EXPECT_EQ(run.result(), IDCANCEL);
        EXPECT_EQ(page.cancelQuestions.load(), 2);  // asked once per attempt
    }
}

TEST(WizardSheet, FinishWaitsForTheActivePageAndHelpDoesNothing) {
    PlainWizard wizard(2);
    WizardRun run(wizard);
    HWND sheet = run.WaitForSheet();
    ASSERT_NE(sheet, nullptr);
    Click(sheet, kNextButton);
    ASSERT_TRUE(WaitForPage(sheet, 1));
    ASSERT_TRUE(WaitFor([&] { return Visible(sheet, kFinishButton); }));

    // F1, the help command and the Help button's id change nothing.
    EXPECT_EQ(SendMessageA(sheet, WM_HELP, 0, 0), TRUE);
    SendMessageA(sheet, WM_COMMAND, 0xE146, 0);
    SendMessageA(sheet, WM_COMMAND, IDHELP, 0);
    EXPECT_TRUE(run.running());

    wizard.page(1).validates = false;
    Click(sheet, kFinishButton);
    ASSERT_TRUE(HandlePostedMessages(sheet));
    EXPECT_TRUE(run.running());
    EXPECT_EQ(PageIndex(sheet), 1);

    wizard.page(1).validates = true;
    Click(sheet, kFinishButton);
    ASSERT_TRUE(run.WaitForEnd());
    EXPECT_EQ(run.result(), IDOK);
}

}  // namespace
