#pragma once
// SHA-256 of a byte stream computed on a thread of its own, so hashing a
// download overlaps with waiting for the network instead of adding to it.
// update() copies the bytes and returns at once, unless the thread is more
// than a few blocks behind; finish() waits for it. Without a thread (it could
// not be started) the bytes are hashed on the caller's thread.
#include <windows.h>

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "system/Sha256.h"
#include "system/SlimLock.h"
#include "system/UniqueHandle.h"

class BackgroundSha256 {
public:
    BackgroundSha256();
    // Stops the thread; a digest not finished is dropped.
    ~BackgroundSha256();
    BackgroundSha256(const BackgroundSha256&) = delete;
    BackgroundSha256& operator=(const BackgroundSha256&) = delete;

    void update(const void* data, size_t size);
    // The digest as 64 lower-case hexadecimal digits once every byte handed
    // over is hashed; empty when a hashing step failed.
    std::string finish();

private:
    static DWORD WINAPI ThreadMain(void* self);
    void hashPendingBlocks();
    void stopThread();

    Sha256 hash_;
    SlimLock lock_;
    CONDITION_VARIABLE changed_ = CONDITION_VARIABLE_INIT;
    std::deque<std::vector<char>> pending_;  // handed over, not hashed yet
    std::vector<std::vector<char>> spare_;   // hashed, ready for reuse
    bool closing_ = false;
    UniqueKernelHandle thread_;
};
