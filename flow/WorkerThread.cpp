#include "flow/WorkerThread.h"

#include "flow/InstallTransaction.h"
#include "flow/InstallerConfig.h"
#include "service/ProxyCredentials.h"
#include "system/FileSystem.h"
#include "system/FilesInUse.h"
#include "system/Log.h"

namespace {

// Waits for `handle` while handling the messages other threads send to this
// thread's windows: a worker may be inside SendMessage to one of them.
bool WaitHandlingSentMessages(HANDLE handle, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
        DWORD result = MsgWaitForMultipleObjects(1, &handle, FALSE, timeoutMs - elapsed, QS_SENDMESSAGE);
        if (result == WAIT_OBJECT_0) return true;
        if (result != WAIT_OBJECT_0 + 1) return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

// How many files the question names before it only counts the rest.
constexpr size_t kFilesNamed = 5;
// How long files must stay held before the user is asked, and the pause
// between the looks meanwhile.
constexpr DWORD kSettleMs = 5000;
constexpr DWORD kSettlePauseMs = 200;

// "a, b, c and 4 more": the first `limit` of `items`, then their count.
std::string ListText(const std::vector<std::string>& items, size_t limit) {
    std::string text;
    for (size_t i = 0; i < items.size() && i < limit; ++i) {
        text += i ? ", " : " ";
        text += items[i];
    }
    if (items.size() > limit) text += " and " + std::to_string(items.size() - limit) + " more";
    return text;
}

}  // namespace

RunningWorker::~RunningWorker() {
    stopAndWait(channel_ && channel_->changingInstall() ? kStopWaitMs : kLeaveWaitMs);
}

void RunningWorker::requestStop() {
    if (channel_) channel_->requestStop();
}

bool RunningWorker::stopAndWait(DWORD timeoutMs) {
    requestStop();
    return wait(timeoutMs);
}

bool RunningWorker::wait(DWORD timeoutMs) {
    return !thread_ || WaitHandlingSentMessages(thread_.get(), timeoutMs);
}

std::unique_ptr<RunningWorker> WorkerThread::Start(WorkerThread* worker) {
    if (!worker) return nullptr;
    std::shared_ptr<WorkerChannel> channel = worker->channel_;
    UniqueKernelHandle thread(CreateThread(nullptr, 0, &WorkerThread::Entry, worker, 0, nullptr));
    if (!thread) {
        delete worker;
        return nullptr;
    }
    return std::make_unique<RunningWorker>(std::move(thread), std::move(channel));
}

DWORD WINAPI WorkerThread::Entry(void* parameter) {
    std::unique_ptr<WorkerThread> worker(static_cast<WorkerThread*>(parameter));
    std::shared_ptr<WorkerChannel> channel = worker->channel_;
    DWORD result = 0;
    // A proxy's question for credentials goes to the channel's user.
    ProxyCredentialsScope proxyPrompt(channel.get());
    try {
        worker->Run();
    } catch (...) {
        channel->postOutcome(WizardOutcome::Failure(kWorkerInternalErrorText));
        result = 1;
    }
    worker.reset();
    // A run that ended without saying how must not leave the wizard waiting.
    if (!channel->outcomePosted()) channel->postOutcome(WizardOutcome::Failure(kWorkerStoppedText));
    return result;
}

bool WorkerThread::waitUntilFilesFree(const std::string& folder, const std::vector<std::string>& ownFiles) {
    // The running program may be the copy in the folder (an uninstall from bin).
    std::vector<std::string> excluded = ownFiles;
    excluded.push_back(GetModulePath());
    const DWORD start = GetTickCount();
    for (;;) {
        const FilesInUse inUse = FindFilesInUse(folder, excluded);
        if (inUse.empty()) return true;
        if (stopRequested()) return false;
        // A program that is just ending (the launcher of the registration)
        // holds its files a moment longer: only what stays held counts.
        if (GetTickCount() - start < kSettleMs) {
            Sleep(kSettlePauseMs);
            continue;
        }
        // The programs when the system names them, else the files.
        const bool named = !inUse.programs.empty();
        const std::string text =
            (named ? "Programs are using files of the application:" : "Files of the application are in use:") +
            ListText(named ? inUse.programs : inUse.files, kFilesNamed) + ".";
        LogLine(text);
        if (!channel().askRetryFilesInUse(text) || stopRequested()) {
            postOutcome(WizardOutcome::Of(OutcomeKind::FilesInUse, text));
            return false;
        }
    }
}

bool WorkerThread::takeRunLock(MachineRunLock& lock) {
    InstallerConfig& config = channel().configuration();
    switch (lock.acquire(config.productKey(), MachineRunLock::kWaitMs, [this] { return stopRequested(); })) {
        case MachineRunLock::Result::Acquired:
            if (lock.ownsMutex()) {
                ChangingInstallScope changing(channel());
                FinishInterruptedInstall(config);
            }
            return true;
        case MachineRunLock::Result::Busy: postFailure(AnotherRunText(config.productKey())); return false;
        case MachineRunLock::Result::Stopped: return false;
        case MachineRunLock::Result::Failed: break;
    }
    postFailure("The lock that keeps two installs of " + config.productKey() + " apart could not be made.");
    return false;
}
