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

std::wstring LiteralWidePath(const std::string& path) {
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), int(path.size()), nullptr, 0);
    std::wstring wide(size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), int(path.size()), &wide[0], length);
    return L"\\\\?\\" + wide;
}

DWORD WideAttributes(const std::string& path) { return GetFileAttributesW(LiteralWidePath(path).c_str()); }

std::string ReadWideFile(const std::string& path) {
    UniqueFileHandle in(CreateFileW(LiteralWidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string text;
    char block[4096];
    DWORD read = 0;
    while (in && ReadFile(in.get(), block, sizeof block, &read, nullptr) && read > 0) text.append(block, read);
    return text;
}

void WriteWideFile(const std::string& path, const std::string& bytes) {
    UniqueFileHandle out(CreateFileW(LiteralWidePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    WriteFile(out.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr);
}
