#include "system/Log.h"

#include <windows.h>

#include <cstdio>
#include <mutex>

#include "system/SlimLock.h"
#include "system/UniqueHandle.h"
#include "system/WidePath.h"

namespace {

SlimLock logMutex;
std::string logPath;

}  // namespace

void OpenLog(const std::string& path) {
    std::lock_guard<SlimLock> lock(logMutex);
    logPath = path;
}

std::string OpenLogPath() {
    std::lock_guard<SlimLock> lock(logMutex);
    return logPath;
}

void LogLine(const std::string& text) {
    std::lock_guard<SlimLock> lock(logMutex);
    if (logPath.empty()) return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u [%lu] ", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, GetCurrentProcessId());
    std::string line = stamp + text + "\r\n";
    // Opened for each line, shared, appending: the file stays usable by an
    // elevated copy of this program and by the administrator's tools.
    UniqueFileHandle file(CreateFileW(WidePath(logPath).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    DWORD written = 0;
    WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}
