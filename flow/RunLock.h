#pragma once
// One writing run at a time on the machine. Install, uninstall, register
// and unregister hold a machine-wide named mutex while they may change
// anything, so two of them never work on the same folder and keys at once.
// The holder hands the right on to the programs it starts (an install
// script runs the installed copy with -register): they see the holder's
// process id in their environment and take no lock of their own.
#include <functional>
#include <string>

#include "system/UniqueHandle.h"

class MachineRunLock {
public:
    // How long a second run waits for the first.
    static constexpr unsigned kWaitMs = 30000;

    enum class Result {
        Acquired,      // held now, or a program started by the holder
        Busy,          // another run still holds it after the wait
        Stopped,       // `stopRequested` said so during the wait
        Failed         // the mutex could not be made
    };

    MachineRunLock() = default;
    ~MachineRunLock();
    MachineRunLock(const MachineRunLock&) = delete;
    MachineRunLock& operator=(const MachineRunLock&) = delete;

    // Waits up to `waitMs` on the calling thread, which must also be the one
    // that ends the lock's life. A mutex whose holder died without releasing
    // it counts as free.
    Result acquire(const std::string& productKey, unsigned waitMs = kWaitMs,
                   const std::function<bool()>& stopRequested = {});

    // True when this run holds the mutex itself, not through the run that
    // started it.
    bool ownsMutex() const { return owned_; }

private:
    UniqueKernelHandle mutex_;
    bool owned_ = false;
};

// What a run that found the lock busy tells the user and the log.
std::string AnotherRunText(const std::string& productKey);
