#pragma once
// Where the engine tests find the archives that make_archives.py built, and
// small readers for what extraction leaves on disk.
#include <windows.h>

#include <cstdint>
#include <string>

// Constants shared with make_archives.py.
constexpr int32_t kArchiveWriteTime = 1600000000;   // files' mtime
constexpr int32_t kArchiveAccessTime = 1500000000;  // files' atime
constexpr int32_t kStampWriteTime = 1234567890;     // the "UT" field of stamp.txt

// Windows path of a file in the archive folder ("basic.zip",
// "basic-src/lib/a.jar").
std::string ArchivePath(const std::string& relative);

uint64_t FileTimeOfUtc(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second);
uint64_t FileTimeOfUnix(int32_t seconds);

struct DiskFileTimes {
    uint64_t creation = 0, access = 0, write = 0;
};
bool ReadDiskFileTimes(const std::string& path, DiskFileTimes& times);

