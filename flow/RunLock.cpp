#include "flow/RunLock.h"

#include <windows.h>

#include "system/Log.h"
#include "system/Utf8.h"

namespace {

constexpr unsigned kWaitSliceMs = 100;
const wchar_t kHolderVariable[] = L"VYN2005_RUN_LOCK_HOLDER";

std::wstring MutexName(const std::string& productKey) { return L"Global\\" + Widen(productKey) + L"-writing-run"; }

// True when a living process whose id the environment names holds the lock
// for us: we are one of the programs it started.
bool StartedByHolder() {
    wchar_t value[32] = {};
    const DWORD length = GetEnvironmentVariableW(kHolderVariable, value, ARRAYSIZE(value));
    if (length == 0 || length >= ARRAYSIZE(value)) return false;
    const DWORD holder = wcstoul(value, nullptr, 10);
    if (holder == 0 || holder == GetCurrentProcessId()) return false;
    UniqueKernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, holder));
    return process && WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

}  // namespace

MachineRunLock::Result MachineRunLock::acquire(const std::string& productKey, unsigned waitMs,
                                               const std::function<bool()>& stopRequested) {
    if (owned_) return Result::Acquired;
    if (StartedByHolder()) {
        LogLine("Started by the run that holds the lock: no lock of our own");
        return Result::Acquired;
    }
    mutex_.reset(CreateMutexW(nullptr, FALSE, MutexName(productKey).c_str()));
    if (!mutex_) {
        LogLine("Could not make the machine-wide run lock (error " + std::to_string(GetLastError()) + ")");
        return Result::Failed;
    }
    const DWORD start = GetTickCount();
    bool announced = false;
    for (;;) {
        const DWORD waited = WaitForSingleObject(mutex_.get(), kWaitSliceMs);
        if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
            if (waited == WAIT_ABANDONED) LogLine("The run lock was left by a run that ended without releasing it");
            owned_ = true;
            // std::to_wstring would bring the C library's whole wide printf.
            SetEnvironmentVariableW(kHolderVariable, Widen(std::to_string(GetCurrentProcessId())).c_str());
            return Result::Acquired;
        }
        if (waited != WAIT_TIMEOUT) return Result::Failed;
        if (!announced) {
            LogLine("Waiting for another install or uninstall to end");
            announced = true;
        }
        if (stopRequested && stopRequested()) return Result::Stopped;
        if (GetTickCount() - start >= waitMs) return Result::Busy;
    }
}

MachineRunLock::~MachineRunLock() {
    if (!owned_) return;
    SetEnvironmentVariableW(kHolderVariable, nullptr);
    ReleaseMutex(mutex_.get());
}

std::string AnotherRunText(const std::string& productKey) {
    return "Another install or uninstall of " + productKey +
           " is running. Wait until it has ended, then try again.";
}
