#pragma once
// A worker thread object: started once, never waited for, deletes itself
// when its thread ends. It shares its channel with the page, so the channel
// outlives the page's windows if the wizard closes first.
#include <windows.h>

#include <memory>

#include "flow/WorkerChannel.h"
#include "system/UniqueHandle.h"

class WorkerThread {
public:
    virtual ~WorkerThread() = default;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Starts the worker's thread and gives up ownership. A worker whose
    // thread cannot be created is deleted at once and false is returned.
    static bool Start(WorkerThread* worker) {
        if (!worker) return false;
        UniqueKernelHandle thread(CreateThread(nullptr, 0, &WorkerThread::Entry, worker, 0, nullptr));
        if (!thread) {
            delete worker;
            return false;
        }
        return true;
    }

protected:
    explicit WorkerThread(std::shared_ptr<WorkerChannel> channel) : channel_(std::move(channel)) {}
    virtual bool InitInstance() { return true; }
    virtual int Run() = 0;
    WorkerChannel& channel() { return *channel_; }

private:
    static DWORD WINAPI Entry(void* parameter) {
        WorkerThread* worker = static_cast<WorkerThread*>(parameter);
        DWORD result = 0;
        try {
            if (worker->InitInstance()) result = static_cast<DWORD>(worker->Run());
        } catch (...) {
            result = 1;
        }
        delete worker;
        return result;
    }

    std::shared_ptr<WorkerChannel> channel_;
};
