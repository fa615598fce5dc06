#pragma once
// A modal property sheet in wizard mode with a painted header: a white band,
// an etched line, the banner at the right and the active page's title and
// subtitle. It owns its pages and filters Finish and Cancel through
// CanFinish() and CanCancel().
#include <windows.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "flow/WorkerOutcome.h"
#include "wizard/DibBitmap.h"
#include "wizard/GdiObjects.h"

class CQMPropertyPage;

// The sheet's buttons, by control id.
constexpr int kBackButton = 0x3023;
constexpr int kNextButton = 0x3024;
constexpr int kFinishButton = 0x3025;
constexpr int kCancelButton = IDCANCEL;
constexpr int kHelpButton = IDHELP;

// Header geometry, in pixels of the sheet's client area.
constexpr int kHeaderBandBottom = 55;  // rows 0 to 54 are white
constexpr int kPageTop = 57;
constexpr int kButtonStripHeight = 57;

class CQMPropertySheet {
public:
    explicit CQMPropertySheet(const std::string& caption, HWND parent = nullptr, int firstPage = 0);
    CQMPropertySheet(UINT captionId, HWND parent = nullptr, int firstPage = 0);
    virtual ~CQMPropertySheet();
    CQMPropertySheet(const CQMPropertySheet&) = delete;
    CQMPropertySheet& operator=(const CQMPropertySheet&) = delete;

    // Adds the pages, runs the wizard modally; IDOK when finished or closed
    // with IDOK, IDCANCEL otherwise.
    INT_PTR DoWizard();

    // The sheet takes ownership.
    void AddPage(CQMPropertyPage* page);
    int GetPageCount() const { return static_cast<int>(pages_.size()); }
    int GetPageIndex(const CQMPropertyPage* page) const;
    CQMPropertyPage* GetPage(int index) const;
    int GetActiveIndex() const;
    CQMPropertyPage* GetActivePage() const;
    void SetActivePage(int index);
    // Posted, so the last setting posted wins.
    void SetWizardButtons(DWORD flags);
    // Ends the modal loop with `result` (IDOK or IDCANCEL).
    void EndWizard(int result);

    HWND window() const { return window_; }
    bool wizardMode() const { return wizardMode_; }
    // True once the sheet's own initialisation has run; readable from any thread.
    bool initialised() const { return initialised_; }
    int bannerWidth() const { return bannerWidth_; }
    int bannerHeight() const { return bannerHeight_; }
    // Pixels given at 96 DPI in pixels at the screen's DPI.
    int ScaleForDpi(int pixels) const;

    // Called by the first page that creates its window.
    void Attach(HWND sheetWindow);
    // The sheet moved to a monitor of `dpi`: size and place it at the
    // suggested rectangle and lay it out for that DPI.
    void OnDpiChanged(int dpi, const RECT& suggested);

    // The index of the page that shows a worker's outcome of this kind; -1
    // when this wizard has none, and the outcome is dropped.
    virtual int PageForOutcome(OutcomeKind) const { return -1; }
    // The kind of the last worker outcome a page applied, for the exit code.
    void NoteAppliedOutcome(OutcomeKind kind) { lastOutcome_ = kind; }
    std::optional<OutcomeKind> lastAppliedOutcome() const { return lastOutcome_; }

protected:
    virtual void AddPages() {}
    virtual void DrawHeader();
    virtual BOOL CanFinish();
    virtual BOOL CanCancel();

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR self);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Initialise();
    void PlaceButtons();
    // Tells the active page that Cancel was confirmed.
    void NotifyCancelConfirmed();
    void PaintBackground();
    void DrawHeaderText(HDC dc, const std::string& text, int height, int weight, int left, int top);

    std::string caption_;
    HWND parent_;
    int firstPage_;
    bool wizardMode_ = false;
    bool closing_ = false;
    int closeResult_ = 0;
    int bannerWidth_ = 0;
    int bannerHeight_ = 0;
    int bannerId_ = 129;
    static constexpr int kDefaultDpi = 96;
    int dpi_ = kDefaultDpi;
    std::unique_ptr<DibBitmap> banner_;
    UniquePalette bannerPalette_;
    std::vector<std::unique_ptr<CQMPropertyPage>> pages_;
    HWND window_ = nullptr;
    RECT buttonPlaces_[4] = {};
    bool buttonsPlaced_ = false;
    std::atomic<bool> initialised_{false};
    std::optional<OutcomeKind> lastOutcome_;
};
