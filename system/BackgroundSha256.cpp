#include "system/BackgroundSha256.h"

#include <cstring>
#include <mutex>

namespace {

// Blocks waiting to be hashed before update() waits: bounds the memory a
// slow hash can hold on to.
const size_t kMaxPendingBlocks = 8;

}  // namespace

BackgroundSha256::BackgroundSha256() {
    // Every block in circulation fits, so the thread's push_back never allocates.
    spare_.reserve(kMaxPendingBlocks + 2);
    thread_.reset(CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr));
}

BackgroundSha256::~BackgroundSha256() { stopThread(); }

void BackgroundSha256::update(const void* data, size_t size) {
    if (size == 0) return;
    if (!thread_) {
        hash_.update(data, size);
        return;
    }
    std::vector<char> block;
    {
        std::lock_guard<SlimLock> locked(lock_);
        while (pending_.size() >= kMaxPendingBlocks)
            SleepConditionVariableSRW(&changed_, lock_.native(), INFINITE, 0);
        if (!spare_.empty()) {
            block = std::move(spare_.back());
            spare_.pop_back();
        }
    }
    // Copied outside the lock, so the thread hashes meanwhile.
    block.assign(static_cast<const char*>(data), static_cast<const char*>(data) + size);
    {
        std::lock_guard<SlimLock> locked(lock_);
        pending_.push_back(std::move(block));
    }
    WakeAllConditionVariable(&changed_);
}

std::string BackgroundSha256::finish() {
    stopThread();
    return hash_.finish();
}

DWORD WINAPI BackgroundSha256::ThreadMain(void* self) {
    static_cast<BackgroundSha256*>(self)->hashPendingBlocks();
    return 0;
}

void BackgroundSha256::hashPendingBlocks() {
    std::lock_guard<SlimLock> locked(lock_);
    for (;;) {
        while (pending_.empty() && !closing_) SleepConditionVariableSRW(&changed_, lock_.native(), INFINITE, 0);
        if (pending_.empty()) return;  // closing, and every block is hashed
        std::vector<char> block = std::move(pending_.front());
        pending_.pop_front();
        lock_.unlock();  // hashing needs no lock: the block is the thread's own now
        hash_.update(block.data(), block.size());
        lock_.lock();
        spare_.push_back(std::move(block));
        WakeAllConditionVariable(&changed_);
    }
}

void BackgroundSha256::stopThread() {
    if (!thread_) return;
    {
        std::lock_guard<SlimLock> locked(lock_);
        closing_ = true;
    }
    WakeAllConditionVariable(&changed_);
    WaitForSingleObject(thread_.get(), INFINITE);
    thread_.reset();
}
