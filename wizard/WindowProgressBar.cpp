#include "wizard/WindowProgressBar.h"

#include <commctrl.h>

WindowProgressBar::WindowProgressBar(HWND bar) : bar_(bar) {
    RECT client = {};
    if (bar_ && GetClientRect(bar_, &client) && client.right > 1) width_ = client.right;
}

long long WindowProgressBar::ShownColumn(int position, int lower, int upper, int width) {
    if (upper <= lower) return 0;
    return (static_cast<long long>(position) - lower) * width / (static_cast<long long>(upper) - lower);
}

void WindowProgressBar::send(UINT message, WPARAM wParam, LPARAM lParam) {
    ++messages_;
    // A worker does not wait for the window's thread to take each message
    // (a round trip between threads costs about a millisecond under Wine);
    // sent messages still arrive in the order sent, before any posted one.
    if (bar_) SendNotifyMessageW(bar_, message, wParam, lParam);
}

void WindowProgressBar::setRange(int lower, int upper) {
    lower_ = lower;
    upper_ = upper;
    send(PBM_SETRANGE32, static_cast<WPARAM>(lower), static_cast<LPARAM>(upper));
    // The control clamps its position into the new range; so do we.
    if (position_ < lower_) position_ = lower_;
    if (position_ > upper_ && upper_ >= lower_) position_ = upper_;
    if (shown_ < lower_) shown_ = lower_;
    if (shown_ > upper_ && upper_ >= lower_) shown_ = upper_;
}

void WindowProgressBar::getRange(int& lower, int& upper) const {
    lower = lower_;
    upper = upper_;
}

void WindowProgressBar::setStep(int step) { step_ = step; }

int WindowProgressBar::position() const { return position_; }

void WindowProgressBar::setPosition(int position) {
    if (position < lower_) position = lower_;
    if (position > upper_ && upper_ >= lower_) position = upper_;
    position_ = position;
    show(position_);
}

void WindowProgressBar::stepIt() {
    long long next = static_cast<long long>(position_) + step_;
    if (next < lower_ || next > upper_) {
        long long span = static_cast<long long>(upper_) - lower_;
        next = span > 0 ? lower_ + (next - lower_) % span : lower_;
        if (next < lower_) next += span;
    }
    position_ = static_cast<int>(next);
    show(position_);
}

void WindowProgressBar::show(int position) {
    if (position == shown_) return;
    bool atEnd = position == lower_ || position == upper_;
    if (!atEnd && ShownColumn(position, lower_, upper_, width_) == ShownColumn(shown_, lower_, upper_, width_))
        return;
    shown_ = position;
    send(PBM_SETPOS, static_cast<WPARAM>(position), 0);
}
