#pragma once
// A ProgressBar over a progress-bar control that may live on another
// thread. It keeps range, step and position itself and sends a message only
// when the shown position changes (a new pixel column of the bar) or when a
// position lands on either end of the range, so the end is always exact.
// The caller never waits for the control's thread to take a message.
#include <windows.h>

#include <atomic>

#include "system/ProgressBar.h"

class WindowProgressBar : public ProgressBar {
public:
    // `bar` may be null or die early: the messages then simply go nowhere.
    explicit WindowProgressBar(HWND bar);

    void setRange(int lower, int upper) override;
    void getRange(int& lower, int& upper) const override;
    void setStep(int step) override;
    void setPosition(int position) override;
    int position() const override;
    void stepIt() override;

    // Window messages sent so far.
    long messagesSent() const { return messages_.load(); }
    // Which pixel column a position shows at, for a bar `width` pixels wide.
    static long long ShownColumn(int position, int lower, int upper, int width);

private:
    void show(int position);
    void send(UINT message, WPARAM wParam, LPARAM lParam);

    HWND bar_;
    int width_ = 1;
    int lower_ = 0;
    int upper_ = 100;
    int step_ = 10;
    int position_ = 0;
    int shown_ = 0;
    std::atomic<long> messages_{0};
};
