#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <vector>

#include "resources/resource.h"
#include "support/ScratchFolder.h"
#include "support/TestPaths.h"
#include "wizard/DibBitmap.h"
#include "wizard/GdiObjects.h"
#include "wizard/WindowProgressBar.h"

namespace {

struct BarWindow {
    explicit BarWindow(int width)
        : window(CreateWindowA(PROGRESS_CLASSA, "", WS_POPUP, 0, 0, width, 20, nullptr, nullptr, nullptr,
                               nullptr)) {}
    ~BarWindow() { DestroyWindow(window); }
    HWND window;
};

int ControlPosition(HWND bar) { return static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0)); }

TEST(WindowProgressBar, ThrottlesByPixelColumnAndLandsExactly) {
    BarWindow shown(300);
    RECT client = {};
    GetClientRect(shown.window, &client);
    WindowProgressBar bar(shown.window);
    bar.setRange(0, 1000000);
    bar.setStep(1);
    for (int i = 0; i < 1000000; ++i) bar.stepIt();
    EXPECT_EQ(bar.position(), 1000000);
    EXPECT_EQ(ControlPosition(shown.window), 1000000);
    EXPECT_LE(bar.messagesSent(), client.right + 1);

    // Explicit positions that change the picture land exactly, and the ends
    // are exact even inside the last column.
    const int positions[] = {500000, 999999, 1000000, 0, 3, 1};
    for (int position : positions) {
        bar.setPosition(position);
        EXPECT_EQ(bar.position(), position);
        if (position == 0 || position == 1000000 || position == 500000) {
            EXPECT_EQ(ControlPosition(shown.window), position);
        }
    }
}

TEST(WindowProgressBar, StepsAndClampsLikeTheControl) {
    struct Case { int lower, upper, step, start, steps; };
    const Case cases[] = {{0, 10, 3, 0, 5}, {0, 3, 1, 0, 7}, {5, 12, 4, 5, 6}, {0, 6, 1, 0, 6}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.lower << ".." << c.upper << " by " << c.step);
        BarWindow ours(200), control(200);
        WindowProgressBar bar(ours.window);
        bar.setRange(c.lower, c.upper);
        bar.setStep(c.step);
        bar.setPosition(c.start);
        SendMessageA(control.window, PBM_SETRANGE32, c.lower, c.upper);
        SendMessageA(control.window, PBM_SETSTEP, c.step, 0);
        SendMessageA(control.window, PBM_SETPOS, c.start, 0);
        for (int i = 0; i < c.steps; ++i) {
            bar.stepIt();
            SendMessageA(control.window, PBM_STEPIT, 0, 0);
            EXPECT_EQ(bar.position(), ControlPosition(control.window)) << "step " << i;
        }
        bar.setPosition(c.upper + 10);  // clamped to the top, as the control does
        EXPECT_EQ(bar.position(), c.upper);
        EXPECT_EQ(ControlPosition(ours.window), c.upper);
    }
}

TEST(DibBitmap, BannerLoadsAndDrawsPixelForPixel) {
    DibBitmap banner;
    ASSERT_TRUE(banner.LoadResourceBitmap(IDB_BANNER, nullptr));
    EXPECT_EQ(banner.Width(), 214);
    EXPECT_EQ(banner.Height(), 50);
    EXPECT_EQ(banner.CreatePalette(), nullptr);  // 24 bits: no colour table

    // Draw at its own size into a 24-bit section and compare with the
    // pixels of the .bmp file the resource was packed from.
    const std::string file = ReadTextFile(SourceDir() + "resources\\banner.bmp");
    int stride = (214 * 3 + 3) & ~3;
    ASSERT_EQ(file.size(), sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + stride * 50);
    const char* expected = file.data() + sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 214, 50, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(section, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, section);
    banner.Draw(dc, RECT{0, 0, 214, 50}, nullptr);
    GdiFlush();
    EXPECT_EQ(0, memcmp(bits, expected, static_cast<size_t>(stride) * 50));
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(section);

    EXPECT_FALSE(banner.LoadResourceBitmap(4242, nullptr));
    EXPECT_EQ(banner.Width(), 214);  // a failed load keeps what was there
}

}  // namespace

namespace {

INT_PTR CALLBACK QuietDialog(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// Each page template creates and holds its controls with the classes the
// page code expects.
TEST(DialogTemplates, EveryTemplateHoldsItsControls) {
    struct Control { int id; const char* className; };
    struct Template { int id; std::vector<Control> controls; };
    const Template templates[] = {
        {IDD_BROWSE_FOLDER, {{IDC_PATH_EDIT, "Edit"}, {IDC_FOLDER_TREE, "SysTreeView32"}, {IDOK, "Button"}, {IDCANCEL, "Button"}}},
        {IDD_LOCATION_PAGE, {{IDC_INSTALL_LABEL, "Static"}, {IDC_INSTALL_DIR, "Static"}, {IDC_PAGE_BUTTON, "Button"}}},
        {IDD_LICENSE_PAGE, {{IDC_LICENSE_TEXT, "Edit"}, {IDC_AGREE, "Button"}, {IDC_DISAGREE, "Button"}}},
        {IDD_PROGRESS_PAGE, {{IDC_STEP_CAPTION, "Static"}, {IDC_STEP_BAR, "msctls_progress32"}, {IDC_TOTAL_CAPTION, "Static"}, {IDC_TOTAL_BAR, "msctls_progress32"}}},
        {IDD_INSTALL_COMPLETE_PAGE, {{IDC_PAGE_TEXT, "Static"}, {IDC_LAUNCH_CHECK, "Button"}, {IDC_DESKTOP_CHECK, "Button"}}},
        {IDD_JAVA_PAGE, {{IDC_PAGE_TEXT, "Static"}, {IDC_PAGE_BUTTON, "Button"}}},
        {IDD_PLAIN_PAGE, {{IDC_PAGE_TEXT, "Static"}}},
    };
    // Pages are child windows and need a parent.
    HWND parent = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 700, 500, nullptr, nullptr, nullptr, nullptr);
    for (const Template& t : templates) {
        SCOPED_TRACE(testing::Message() << "template " << t.id);
        HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(t.id), parent, QuietDialog, 0);
        ASSERT_NE(dialog, nullptr);
        for (const Control& c : t.controls) {
            HWND control = GetDlgItem(dialog, c.id);
            ASSERT_NE(control, nullptr) << c.id;
            char className[64] = {};
            GetClassNameA(control, className, sizeof(className));
            EXPECT_STRCASEEQ(className, c.className) << c.id;
        }
        DestroyWindow(dialog);
    }
    DestroyWindow(parent);
}

}  // namespace
