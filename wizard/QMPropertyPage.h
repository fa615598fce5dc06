#pragma once
// Base of every wizard page: one dialog template, one static dialog
// procedure that finds the page object, and the activation that lays the
// page out below the sheet's header and sets the wizard buttons.
#include <windows.h>
#include <prsht.h>

#include <memory>
#include <string>

struct WizardOutcome;
class CQMPropertySheet;

class CQMPropertyPage {
public:
    CQMPropertyPage(CQMPropertySheet& sheet, int templateId);
    virtual ~CQMPropertyPage();
    CQMPropertyPage(const CQMPropertyPage&) = delete;
    CQMPropertyPage& operator=(const CQMPropertyPage&) = delete;

    // Asked by the sheet before OK or Finish is acted on.
    virtual BOOL ValidatePage() { return TRUE; }
    // Asked by the sheet before it cancels: may the wizard be cancelled now?
    virtual BOOL QueryCancel() { return TRUE; }
    // The wizard is being cancelled: work the page started must stop now,
    // not once the sheet has finished closing.
    virtual void OnCancelConfirmed() {}
    // Shows a worker's outcome; pages that are no outcome target drop it.
    virtual void ApplyOutcome(std::unique_ptr<WizardOutcome> outcome);

    HWND window() const { return window_; }
    CQMPropertySheet& sheet() const { return sheet_; }
    bool activated() const { return activated_; }
    // Creates the system's page record for this page (first record version).
    HPROPSHEETPAGE CreatePageHandle();
    // Gives screen readers the title and subtitle the sheet's header paints:
    // the page's accessible name and description. Does nothing while they
    // are unchanged.
    void ExposeHeaderText();
    // Lays the page out between the sheet's header and its buttons.
    void PlaceBelowHeader();
    // The sheet went from one DPI to another: the room it made for the page
    // scales with it, and the active page is laid out again.
    void RescaleLayout(int fromDpi, int toDpi);

    std::string title;
    std::string subtitle;

protected:
    virtual BOOL OnInitDialog() { return TRUE; }
    // Returns FALSE to refuse the activation.
    virtual BOOL OnSetActive();
    // 0 moves on in index order, -1 stays on the page.
    virtual LRESULT OnWizardNext() { return 0; }
    virtual LRESULT OnWizardBack() { return 0; }
    // TRUE lets the page be left (or the wizard finish).
    virtual BOOL OnKillActive() { return TRUE; }
    virtual BOOL OnWizardFinish() { return OnKillActive(); }
    // Any other message; return true when handled, with `result` set.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleNotify(const NMHDR& header);

    CQMPropertySheet& sheet_;
    int templateId_;
    HWND window_ = nullptr;
    bool activated_ = false;
    int sheetPageBottom_ = 0;  // in the sheet's client area, as the sheet placed the page
    std::string exposedTitle_, exposedSubtitle_;
    bool exposed_ = false;
};
