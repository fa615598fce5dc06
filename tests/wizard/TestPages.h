#pragma once
// A small wizard of plain pages whose answers the tests set.
#include <atomic>
#include <string>

#include "resources/resource.h"
#include "wizard/QMPropertyPage.h"
#include "wizard/QMPropertySheet.h"

class AnsweringPage : public CQMPropertyPage {
public:
    explicit AnsweringPage(CQMPropertySheet& sheet, int number = 1) : CQMPropertyPage(sheet, IDD_PROGRESS_PAGE) {
        title = "Plain page " + std::to_string(number);
        subtitle = "A page for the tests";
    }
    BOOL ValidatePage() override { return validates.load(); }
    BOOL QueryCancel() override {
        ++cancelQuestions;
        return allowsCancel.load();
    }
    std::atomic<bool> validates{true};
    std::atomic<bool> allowsCancel{true};
    std::atomic<int> cancelQuestions{0};
};

class PlainWizard : public CQMPropertySheet {
public:
    explicit PlainWizard(int pageCount) : CQMPropertySheet("Install"), count_(pageCount) {}
    AnsweringPage& page(int i) { return *static_cast<AnsweringPage*>(GetPage(i)); }

protected:
    void AddPages() override {
        for (int i = 0; i < count_; ++i) AddPage(new AnsweringPage(*this, i + 1));
    }

private:
    int count_;
};
