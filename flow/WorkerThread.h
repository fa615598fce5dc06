#pragma once
// A worker thread object and the handle its starter keeps. The worker runs
// once, posts exactly one outcome through its channel (the base posts a
// failure for a run that throws or returns without one), and deletes itself
// when its thread ends. The starter's RunningWorker asks it to stop and waits
// for it, within a bound, before anything the worker reads goes away.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "flow/RunLock.h"
#include "flow/WorkerChannel.h"
#include "system/UniqueHandle.h"

class RunningWorker {
public:
    // How long the destructor waits before it abandons the thread: a worker
    // changing the install gets the time to finish or undo its step; any
    // other is left once the stop had a moment to land, as the process is
    // about to end (a request stalled in the network would hold it).
    static constexpr DWORD kStopWaitMs = 10000;
    static constexpr DWORD kLeaveWaitMs = 500;

    RunningWorker(UniqueKernelHandle thread, std::shared_ptr<WorkerChannel> channel)
        : thread_(std::move(thread)), channel_(std::move(channel)) {}
    ~RunningWorker();
    RunningWorker(const RunningWorker&) = delete;
    RunningWorker& operator=(const RunningWorker&) = delete;

    // Asks the worker to stop at its next step and waits at most
    // `timeoutMs` for its thread, handling messages sent to this thread's
    // windows meanwhile. True once the thread has ended.
    bool stopAndWait(DWORD timeoutMs);
    // Asks the worker to stop at its next step; returns at once.
    void requestStop();
    // Waits without asking it to stop.
    bool wait(DWORD timeoutMs);

private:
    UniqueKernelHandle thread_;
    std::shared_ptr<WorkerChannel> channel_;
};

class WorkerThread {
public:
    virtual ~WorkerThread() = default;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Starts the worker's thread and gives up ownership of the worker. Null
    // (and the worker deleted) when the thread cannot be created.
    [[nodiscard]] static std::unique_ptr<RunningWorker> Start(WorkerThread* worker);

protected:
    explicit WorkerThread(std::shared_ptr<WorkerChannel> channel) : channel_(std::move(channel)) {}
    virtual void Run() = 0;

    WorkerChannel& channel() { return *channel_; }
    bool stopRequested() const { return channel_->stopRequested(); }
    void postOutcome(WizardOutcome outcome) { channel_->postOutcome(std::move(outcome)); }
    void postFailure(const std::string& text) { postOutcome(WizardOutcome::Failure(text)); }
    // Takes the machine-wide lock of writing runs, waiting for another run
    // while no stop is asked; false, with the failure posted when another
    // run kept it, when it could not be had.
    bool takeRunLock(MachineRunLock& lock);
    // Looks for files below `folder` that programs hold and, while there are
    // some, asks through the channel whether to look again. True once none
    // is held; false, with the files-in-use outcome posted, when the answer
    // is to give up (or a stop is asked). `ownFiles` are held by this run.
    bool waitUntilFilesFree(const std::string& folder, const std::vector<std::string>& ownFiles = {});

private:
    static DWORD WINAPI Entry(void* parameter);

    std::shared_ptr<WorkerChannel> channel_;
};
