#include "system/Log.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <vector>

#include "system/FileSystem.h"
#include "system/SlimLock.h"
#include "system/TextCase.h"
#include "system/UniqueHandle.h"
#include "system/Utf8.h"
#include "system/WidePath.h"

namespace {

SlimLock logMutex;
UniqueFileHandle logFile;
std::string logPath;  // the open log's full path

// Opens `full` for appending, as the log from now on. `disposition` is
// OPEN_ALWAYS for a log the user named, CREATE_NEW for one this run makes.
bool OpenLogFile(const std::string& full, DWORD disposition) {
    if (full.empty() || !FirstLinkOnPath(full).empty()) return false;
    // Shared, appending: the file stays usable by an elevated copy of this
    // program and by the administrator's tools. A link put in its place
    // since the look is opened as the link itself, and refused.
    logFile.reset(CreateFileW(WidePath(full).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (logFile && IsLinkHandle(logFile.get())) {
        logFile.reset();
        return false;
    }
    if (logFile) logPath = full;
    return true;
}

// Whether `name` is "<prefix>-YYYYMMDD-HHMMSS-<digits>.log", a log this
// program made; such names sort by the time they were made.
bool IsRunLogName(const std::string& name, const std::string& prefix) {
    const std::string pattern = AsciiUpperCase(prefix + "-########-######-");
    const std::string upper = AsciiUpperCase(name);
    const size_t digitsEnd = upper.size() - 4;
    if (upper.size() <= pattern.size() + 4 || upper.compare(digitsEnd, 4, ".LOG") != 0) return false;
    for (size_t i = 0; i < digitsEnd; ++i) {
        const char expected = i < pattern.size() ? pattern[i] : '#';
        const bool digit = upper[i] >= '0' && upper[i] <= '9';
        if (expected == '#' ? !digit : upper[i] != expected) return false;
    }
    return true;
}

// Deletes the oldest of this program's logs in `folder` until at most
// `keep` are left.
void PruneRunLogs(const std::string& folder, const std::string& prefix, size_t keep) {
    std::vector<std::string> logs;
    WIN32_FIND_DATAW entry;
    UniqueFindHandle listing(FindFirstFileW(WidePath(folder + prefix + "-*.log").c_str(), &entry));
    if (!listing) return;
    do {
        const std::string name = Narrow(entry.cFileName);
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsRunLogName(name, prefix)) logs.push_back(name);
    } while (FindNextFileW(listing.get(), &entry));
    std::sort(logs.begin(), logs.end());
    for (size_t i = 0; i + keep < logs.size(); ++i) DeleteEntry(folder + logs[i]);
}

}  // namespace

bool OpenLog(const std::string& path) {
    std::lock_guard<SlimLock> lock(logMutex);
    logFile.reset();
    logPath.clear();
    if (path.empty()) return true;
    return OpenLogFile(FullPathName(path), OPEN_ALWAYS);
}

bool OpenNewLogIn(const std::string& folder, const std::string& prefix, size_t keep) {
    std::lock_guard<SlimLock> lock(logMutex);
    logFile.reset();
    logPath.clear();
    if (folder.empty() || keep == 0) return false;
    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "-%04u%02u%02u-%02u%02u%02u-%lu.log", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond, GetCurrentProcessId());
    PruneRunLogs(folder, prefix, keep - 1);
    return OpenLogFile(folder + prefix + stamp, CREATE_NEW) && logFile;
}

std::string OpenLogPath() {
    std::lock_guard<SlimLock> lock(logMutex);
    return logPath;
}

void LogLine(const std::string& text) {
    std::lock_guard<SlimLock> lock(logMutex);
    if (!logFile) return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u [%lu] ", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, GetCurrentProcessId());
    std::string line = stamp + text + "\r\n";
    DWORD written = 0;
    WriteFile(logFile.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}
