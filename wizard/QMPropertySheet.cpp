#include "wizard/QMPropertySheet.h"

#include <commctrl.h>

#include <iterator>

#include "system/ResourceText.h"
#include "system/Utf8.h"
#include "wizard/QMPropertyPage.h"

namespace {
constexpr UINT kInitialiseMessage = WM_APP + 0x51;
constexpr UINT_PTR kSubclassId = 0x514d;
constexpr int kHelpCommand = 0xE146;
constexpr int kMovedButtons[] = {kBackButton, kNextButton, kFinishButton, kCancelButton};
}  // namespace

CQMPropertySheet::CQMPropertySheet(const std::string& caption, HWND parent, int firstPage)
    : caption_(caption), parent_(parent), firstPage_(firstPage), banner_(new DibBitmap) {}

CQMPropertySheet::CQMPropertySheet(UINT captionId, HWND parent, int firstPage)
    : CQMPropertySheet(LoadResourceText(captionId), parent, firstPage) {}

CQMPropertySheet::~CQMPropertySheet() {
    if (window_) RemoveWindowSubclass(window_, &CQMPropertySheet::SubclassProc, kSubclassId);
}

void CQMPropertySheet::AddPage(CQMPropertyPage* page) { pages_.emplace_back(page); }

int CQMPropertySheet::GetPageIndex(const CQMPropertyPage* page) const {
    for (size_t i = 0; i < pages_.size(); ++i)
        if (pages_[i].get() == page) return static_cast<int>(i);
    return -1;
}

CQMPropertyPage* CQMPropertySheet::GetPage(int index) const {
    if (index < 0 || index >= GetPageCount()) return nullptr;
    return pages_[index].get();
}

int CQMPropertySheet::GetActiveIndex() const {
    if (!window_) return -1;
    HWND current = reinterpret_cast<HWND>(SendMessageW(window_, PSM_GETCURRENTPAGEHWND, 0, 0));
    return static_cast<int>(SendMessageW(window_, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(current), 0));
}

CQMPropertyPage* CQMPropertySheet::GetActivePage() const { return GetPage(GetActiveIndex()); }

void CQMPropertySheet::SetActivePage(int index) {
    if (window_) SendMessageW(window_, PSM_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void CQMPropertySheet::SetWizardButtons(DWORD flags) {
    if (window_) PostMessageW(window_, PSM_SETWIZBUTTONS, 0, static_cast<LPARAM>(flags));
}

void CQMPropertySheet::EndWizard(int result) {
    if (!window_) return;
    closing_ = true;
    closeResult_ = result;
    PostMessageW(window_, PSM_PRESSBUTTON, result == IDOK ? PSBTN_FINISH : PSBTN_CANCEL, 0);
}

INT_PTR CQMPropertySheet::DoWizard() {
    wizardMode_ = true;
    AddPages();
    std::vector<HPROPSHEETPAGE> handles;
    for (auto& page : pages_) {
        HPROPSHEETPAGE handle = page->CreatePageHandle();
        if (!handle) {
            for (HPROPSHEETPAGE made : handles) DestroyPropertySheetPage(made);
            return IDCANCEL;
        }
        handles.push_back(handle);
    }
    if (handles.empty()) return IDCANCEL;
    const std::wstring caption = Widen(caption_);
    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_WIZARD | PSH_NOAPPLYNOW;
    header.hwndParent = parent_;
    header.hInstance = GetModuleHandleW(nullptr);
    header.pszCaption = caption.c_str();
    header.nPages = static_cast<UINT>(handles.size());
    header.nStartPage = static_cast<UINT>(firstPage_);
    header.phpage = handles.data();
    INT_PTR result = PropertySheetW(&header);
    if (window_) RemoveWindowSubclass(window_, &CQMPropertySheet::SubclassProc, kSubclassId);
    window_ = nullptr;
    if (closing_) return closeResult_;
    return result > 0 ? IDOK : IDCANCEL;
}

void CQMPropertySheet::Attach(HWND sheetWindow) {
    if (window_ || !sheetWindow) return;
    window_ = sheetWindow;
    {
        // The header's geometry is given at 96 DPI; the dialogs themselves
        // grow with their font. Read before the first page is placed.
        WindowDC dc(window_);
        const int dpi = dc.get() ? GetDeviceCaps(dc.get(), LOGPIXELSY) : 0;
        dpi_ = dpi > 0 ? dpi : kDefaultDpi;
    }
    SetWindowSubclass(window_, &CQMPropertySheet::SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    // The first page is created inside the sheet's own initialisation; the
    // rest of ours runs once that is over.
    PostMessageW(window_, kInitialiseMessage, 0, 0);
}

int CQMPropertySheet::ScaleForDpi(int pixels) const { return MulDiv(pixels, dpi_, kDefaultDpi); }

void CQMPropertySheet::OnDpiChanged(int dpi, const RECT& suggested) {
    // Dragged to a monitor of another DPI: the sheet takes the size and place
    // Windows suggests, and the header and the page are laid out again.
    const int before = dpi_;
    dpi_ = dpi > 0 ? dpi : kDefaultDpi;
    SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    for (RECT& place : buttonPlaces_) {
        if (IsRectEmpty(&place)) continue;
        place = {MulDiv(place.left, dpi_, before), MulDiv(place.top, dpi_, before), MulDiv(place.right, dpi_, before),
                 MulDiv(place.bottom, dpi_, before)};
    }
    PlaceButtons();
    for (int i = 0; i < GetPageCount(); ++i) GetPage(i)->RescaleLayout(before, dpi_);
    InvalidateRect(window_, nullptr, TRUE);
}

void CQMPropertySheet::Initialise() {
    if (buttonsPlaced_) return;
    if (wizardMode_) {
        if (banner_->LoadResourceBitmap(bannerId_, GetModuleHandleW(nullptr))) {
            bannerWidth_ = banner_->Width();
            bannerHeight_ = banner_->Height();
            bannerPalette_.reset(banner_->CreatePalette());
        }
    }
    ShowWindow(reinterpret_cast<HWND>(SendMessageW(window_, PSM_GETTABCONTROL, 0, 0)), SW_HIDE);
    ShowWindow(GetDlgItem(window_, kHelpButton), SW_HIDE);
    // Back, Next, Finish and Cancel move right into the room the hidden Help
    // button leaves, so Cancel stands where Help stood. Where the library has
    // already put Cancel at the edge there is no room and they stay.
    RECT help = {}, cancel = {};
    GetWindowRect(GetDlgItem(window_, kHelpButton), &help);
    GetWindowRect(GetDlgItem(window_, kCancelButton), &cancel);
    int shift = help.left >= cancel.right ? help.right - cancel.right : 0;
    for (size_t i = 0; i < std::size(kMovedButtons); ++i) {
        HWND button = GetDlgItem(window_, kMovedButtons[i]);
        RECT& rect = buttonPlaces_[i];
        SetRectEmpty(&rect);
        if (!button) continue;
        GetWindowRect(button, &rect);
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&rect), 2);
        OffsetRect(&rect, shift, 0);
    }
    buttonsPlaced_ = true;
    PlaceButtons();
    InvalidateRect(window_, nullptr, TRUE);
    initialised_ = true;
}

void CQMPropertySheet::PlaceButtons() {
    if (!buttonsPlaced_) return;
    for (size_t i = 0; i < std::size(kMovedButtons); ++i) {
        HWND button = GetDlgItem(window_, kMovedButtons[i]);
        const RECT& rect = buttonPlaces_[i];
        RECT now = {};
        if (!button || IsRectEmpty(&rect)) continue;
        GetWindowRect(button, &now);
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&now), 2);
        if (!EqualRect(&now, &rect))
            MoveWindow(button, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
    }
}

BOOL CQMPropertySheet::CanFinish() {
    CQMPropertyPage* page = GetActivePage();
    return page ? page->ValidatePage() : TRUE;
}

void CQMPropertySheet::NotifyCancelConfirmed() {
    if (CQMPropertyPage* page = GetActivePage()) page->OnCancelConfirmed();
}

BOOL CQMPropertySheet::CanCancel() {
    CQMPropertyPage* page = GetActivePage();
    return page ? page->QueryCancel() : TRUE;
}

namespace {

// In high contrast the user's colours replace the white band and black text.
bool HighContrastOn() {
    HIGHCONTRASTW contrast = {};
    contrast.cbSize = sizeof contrast;
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

}  // namespace

void CQMPropertySheet::PaintBackground() {
    WindowDC dc(window_);
    if (!dc.get()) return;
    RECT client = {};
    GetClientRect(window_, &client);
    RECT band = {0, 0, client.right, ScaleForDpi(kHeaderBandBottom)};
    FillRect(dc.get(), &band,
             HighContrastOn() ? GetSysColorBrush(COLOR_WINDOW) : static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    // The etched line: two rows at 96 DPI, as thick as the DPI makes them.
    const int lineTop = ScaleForDpi(56), lineMiddle = ScaleForDpi(57), lineBottom = ScaleForDpi(58);
    RECT shadow = {0, lineTop, client.right, lineMiddle};
    FillRect(dc.get(), &shadow, GetSysColorBrush(COLOR_BTNSHADOW));
    RECT highlight = {0, lineMiddle, client.right, lineBottom};
    FillRect(dc.get(), &highlight, GetSysColorBrush(COLOR_BTNHIGHLIGHT));
}

void CQMPropertySheet::DrawHeaderText(HDC dc, const std::string& text, int height, int weight, int left, int top) {
    UniqueFont font(
        CreateFontW(-ScaleForDpi(height), 0, 0, 0, weight, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial"));
    SelectedFont selected(dc, font.get());
    const std::wstring wide = Widen(text);
    SIZE extent = {};
    GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &extent);
    left = ScaleForDpi(left);
    top = ScaleForDpi(top);
    RECT rect = {left, top, left + extent.cx, top + extent.cy};
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, HighContrastOn() ? GetSysColor(COLOR_WINDOWTEXT) : RGB(0, 0, 0));
    DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &rect, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
}

void CQMPropertySheet::DrawHeader() {
    WindowDC dc(window_);
    if (!dc.get()) return;
    RECT client = {};
    GetClientRect(window_, &client);
    const int top = ScaleForDpi(2);
    RECT bannerRect = {client.right - ScaleForDpi(bannerWidth_), top, client.right, top + ScaleForDpi(bannerHeight_)};
    banner_->Draw(dc.get(), bannerRect, bannerPalette_.get());
    CQMPropertyPage* page = GetActivePage();
    if (!page) return;
    page->ExposeHeaderText();
    DrawHeaderText(dc.get(), page->title, 13, FW_BOLD, 30, 10);
    DrawHeaderText(dc.get(), page->subtitle, 11, FW_NORMAL, 40, 30);
}

LRESULT CQMPropertySheet::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case kInitialiseMessage:
        Initialise();
        return 0;
    case WM_PAINT: {
        LRESULT result = DefSubclassProc(window_, message, wParam, lParam);
        PaintBackground();
        if (wizardMode_) DrawHeader();
        return result;
    }
    case PSM_SETWIZBUTTONS: {
        // The library lays its buttons out again when it changes pages; every
        // page change ends with a button setting, so ours is restored here.
        LRESULT result = DefSubclassProc(window_, message, wParam, lParam);
        PlaceButtons();
        return result;
    }
    case WM_HELP:
        return TRUE;
    case WM_DPICHANGED:
        OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE:
        // High contrast turned on or off: the header follows at once.
        InvalidateRect(window_, nullptr, TRUE);
        break;
    case WM_SYSCOMMAND:
        // The close box cancels like the Cancel button does.
        if ((wParam & 0xFFF0) == SC_CLOSE && !closing_) {
            if (!CanCancel()) return 0;
            NotifyCancelConfirmed();
        }
        break;
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        if (id == kHelpCommand || id == kHelpButton) return 0;
        if (closing_) break;
        if ((id == IDOK || id == kFinishButton) && !CanFinish()) return 0;
        if (id == IDCANCEL) {
            if (!CanCancel()) return 0;
            NotifyCancelConfirmed();
        }
        break;
    }
    case WM_NCDESTROY: {
        HWND window = window_;
        RemoveWindowSubclass(window, &CQMPropertySheet::SubclassProc, kSubclassId);
        window_ = nullptr;
        return DefSubclassProc(window, message, wParam, lParam);
    }
    default:
        break;
    }
    return DefSubclassProc(window_, message, wParam, lParam);
}

LRESULT CALLBACK CQMPropertySheet::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                                DWORD_PTR self) {
    try {
        return reinterpret_cast<CQMPropertySheet*>(self)->HandleMessage(message, wParam, lParam);
    } catch (...) {
        return DefSubclassProc(window, message, wParam, lParam);
    }
}
