#include "wizard/QMPropertyPage.h"

#include <algorithm>

#include "flow/WorkerChannel.h"
#include "wizard/AccessibleText.h"
#include "wizard/QMPropertySheet.h"

CQMPropertyPage::CQMPropertyPage(CQMPropertySheet& sheet, int templateId)
    : sheet_(sheet), templateId_(templateId) {}

CQMPropertyPage::~CQMPropertyPage() = default;

void CQMPropertyPage::ApplyOutcome(std::unique_ptr<WizardOutcome>) {}

HPROPSHEETPAGE CQMPropertyPage::CreatePageHandle() {
    PROPSHEETPAGEW page = {};
    page.dwSize = PROPSHEETPAGEW_V1_SIZE;
    page.dwFlags = PSP_DEFAULT;
    page.hInstance = GetModuleHandleW(nullptr);
    page.pszTemplate = MAKEINTRESOURCEW(templateId_);
    page.pfnDlgProc = &CQMPropertyPage::DialogProc;
    page.lParam = reinterpret_cast<LPARAM>(this);
    return CreatePropertySheetPageW(&page);
}

void CQMPropertyPage::ExposeHeaderText() {
    if (!window_ || (exposed_ && title == exposedTitle_ && subtitle == exposedSubtitle_)) return;
    exposed_ = true;
    exposedTitle_ = title;
    exposedSubtitle_ = subtitle;
    SetAccessibleNameAndDescription(window_, title, subtitle);
}

void CQMPropertyPage::PlaceBelowHeader() {
    if (!window_) return;
    HWND sheetWindow = GetParent(window_);
    RECT client = {};
    GetClientRect(sheetWindow, &client);
    // Where the sheet itself ends the page: the page's dialog units may
    // outgrow the header's scaled pixels at a high DPI, and then the page
    // keeps the room the sheet made for it above the buttons.
    if (sheetPageBottom_ == 0) {
        RECT placed = {};
        GetWindowRect(window_, &placed);
        MapWindowPoints(nullptr, sheetWindow, reinterpret_cast<POINT*>(&placed), 2);
        sheetPageBottom_ = placed.bottom;
    }
    const int top = sheet().ScaleForDpi(kPageTop);
    int bottom = client.bottom - sheet().ScaleForDpi(kButtonStripHeight);
    if (sheet().ScaleForDpi(kButtonStripHeight) != kButtonStripHeight) bottom = std::max(bottom, sheetPageBottom_);
    MoveWindow(window_, 0, top, client.right, bottom - top, TRUE);
}

void CQMPropertyPage::RescaleLayout(int fromDpi, int toDpi) {
    if (sheetPageBottom_ != 0 && fromDpi > 0) sheetPageBottom_ = MulDiv(sheetPageBottom_, toDpi, fromDpi);
    if (sheet_.GetActivePage() == this) PlaceBelowHeader();
}

BOOL CQMPropertyPage::OnSetActive() {
    activated_ = true;
    if (!sheet_.wizardMode()) return TRUE;
    ExposeHeaderText();
    PlaceBelowHeader();
    int index = sheet_.GetPageIndex(this);
    int count = sheet_.GetPageCount();
    if (index == 0)
        sheet_.SetWizardButtons(PSWIZB_NEXT);
    else if (index == count - 1)
        sheet_.SetWizardButtons(PSWIZB_BACK | PSWIZB_FINISH);
    else
        sheet_.SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return TRUE;
}

bool CQMPropertyPage::OnMessage(UINT, WPARAM, LPARAM, INT_PTR&) { return false; }

INT_PTR CQMPropertyPage::HandleNotify(const NMHDR& header) {
    switch (header.code) {
    case PSN_SETACTIVE: return OnSetActive() ? 0 : -1;
    case PSN_WIZNEXT: return OnWizardNext();
    case PSN_WIZBACK: return OnWizardBack();
    case PSN_KILLACTIVE: return OnKillActive() ? FALSE : TRUE;
    case PSN_WIZFINISH: return OnWizardFinish() ? FALSE : TRUE;
    // The sheet has already asked CanCancel() before the library cancels.
    case PSN_QUERYCANCEL: return FALSE;
    default: return 0;
    }
}

INT_PTR CALLBACK CQMPropertyPage::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        CQMPropertyPage* page = nullptr;
        if (message == WM_INITDIALOG) {
            page = reinterpret_cast<CQMPropertyPage*>(reinterpret_cast<PROPSHEETPAGEW*>(lParam)->lParam);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(page));
            page->window_ = window;
            page->sheet_.Attach(GetParent(window));
            return page->OnInitDialog();
        }
        page = reinterpret_cast<CQMPropertyPage*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (!page) return FALSE;
        if (message == WM_NOTIFY) {
            const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->hwndFrom == GetParent(window)) {
                SetWindowLongPtrW(window, DWLP_MSGRESULT, page->HandleNotify(*header));
                return TRUE;
            }
        }
        if (message == WM_HELP) return TRUE;  // the wizards offer no help
        if (message == WM_DESTROY) {
            page->window_ = nullptr;
            page->exposed_ = false;
        }
        INT_PTR result = 0;
        if (page->OnMessage(message, wParam, lParam, result)) return result;
    } catch (...) {
        // A page that fails on a message leaves the wizard as it was.
    }
    return FALSE;
}
