#pragma once
// An exclusive lock over a Win32 slim reader/writer lock, for std::lock_guard
// in place of std::mutex. Taking it cannot fail, so unlike std::mutex it
// brings no std::system_error (and its share of the C++ library) into the
// program. Not recursive, as std::mutex is not. Constant-initialised, so a
// lock at namespace scope is ready before any constructor runs.
#include <windows.h>

class SlimLock {
public:
    constexpr SlimLock() = default;
    SlimLock(const SlimLock&) = delete;
    SlimLock& operator=(const SlimLock&) = delete;

    void lock() { AcquireSRWLockExclusive(&lock_); }
    void unlock() { ReleaseSRWLockExclusive(&lock_); }
    // For SleepConditionVariableSRW, which waits with the lock held.
    SRWLOCK* native() { return &lock_; }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
};
