#include "system/Log.h"

#include <windows.h>

#include <cstdio>
#include <mutex>

#include "system/FileSystem.h"
#include "system/SlimLock.h"
#include "system/UniqueHandle.h"
#include "system/WidePath.h"

namespace {

SlimLock logMutex;
UniqueFileHandle logFile;
std::string logPath;  // the open log's full path

}  // namespace

bool OpenLog(const std::string& path) {
    std::lock_guard<SlimLock> lock(logMutex);
    logFile.reset();
    logPath.clear();
    if (path.empty()) return true;
    const std::string full = FullPathName(path);
    if (full.empty() || !FirstLinkOnPath(full).empty()) return false;
    // Shared, appending: the file stays usable by an elevated copy of this
    // program and by the administrator's tools. A link put in its place
    // since the look is opened as the link itself, and refused.
    logFile.reset(CreateFileW(WidePath(full).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION information;
    if (logFile && GetFileInformationByHandle(logFile.get(), &information) &&
        (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        logFile.reset();
        return false;
    }
    if (logFile) logPath = full;
    return true;
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
