#pragma once
// A progress bar as a worker sees it. The wizard's implementation sends a
// window message only when the position shown on screen changes; tests count
// the calls. Callers accept a null bar and then move nothing.
class ProgressBar {
public:
    virtual ~ProgressBar() = default;
    virtual void setRange(int lower, int upper) = 0;
    virtual void getRange(int& lower, int& upper) const = 0;
    virtual void setStep(int step) = 0;
    virtual void setPosition(int position) = 0;
    virtual int position() const = 0;
    // Advances by the step size; at the top of the range it wraps to the
    // bottom, as the common control does.
    virtual void stepIt() = 0;
};
