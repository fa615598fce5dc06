#pragma once
// Wall time since construction, from the performance counter.
#include <windows.h>

class Stopwatch {
public:
    Stopwatch() { QueryPerformanceCounter(&start_); }
    double seconds() const {
        LARGE_INTEGER now, frequency;
        QueryPerformanceCounter(&now);
        QueryPerformanceFrequency(&frequency);
        return double(now.QuadPart - start_.QuadPart) / double(frequency.QuadPart);
    }

private:
    LARGE_INTEGER start_;
};
