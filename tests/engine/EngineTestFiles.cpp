#include "EngineTestFiles.h"

#include "support/TestPaths.h"
#include "system/UniqueHandle.h"

std::string ArchivePath(const std::string& relative) {
    std::string path = UnixToWindowsPath(EnvironmentText("VYN_ENGINE_ARCHIVES")) + "\\" + relative;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

uint64_t FileTimeOfUtc(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME system = {};
    system.wYear = year;
    system.wMonth = month;
    system.wDay = day;
    system.wHour = hour;
    system.wMinute = minute;
    system.wSecond = second;
    FILETIME file = {};
    SystemTimeToFileTime(&system, &file);
    return uint64_t(file.dwHighDateTime) << 32 | file.dwLowDateTime;
}

uint64_t FileTimeOfUnix(int32_t seconds) {
    return uint64_t(int64_t(seconds) * 10000000LL + 116444736000000000LL);
}

bool ReadDiskFileTimes(const std::string& path, DiskFileTimes& times) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
    auto value = [](const FILETIME& t) { return uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime; };
    times.creation = value(data.ftCreationTime);
    times.access = value(data.ftLastAccessTime);
    times.write = value(data.ftLastWriteTime);
    return true;
}

