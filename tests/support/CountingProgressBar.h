#pragma once
// A progress bar that only counts: what the code under test did to it.
#include "system/ProgressBar.h"

class CountingProgressBar : public ProgressBar {
public:
    void setRange(int lower, int upper) override {
        lower_ = lower;
        upper_ = upper;
        ++rangeCalls;
    }
    void getRange(int& lower, int& upper) const override {
        lower = lower_;
        upper = upper_;
    }
    void setStep(int step) override { step_ = step; }
    void setPosition(int position) override {
        position_ = position;
        ++positionCalls;
    }
    int position() const override { return position_; }
    void stepIt() override {
        ++steps;
        position_ += step_;
        if (position_ > upper_) position_ = lower_ + (position_ - upper_);
    }
    int upper() const { return upper_; }
    int step() const { return step_; }

    long long steps = 0;
    long long positionCalls = 0;
    long long rangeCalls = 0;

private:
    int lower_ = 0;
    int upper_ = 100;
    int step_ = 10;
    int position_ = 0;
};
