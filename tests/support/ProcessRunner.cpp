#include "support/ProcessRunner.h"

#include <windows.h>

#include <vector>

UniqueKernelHandle StartProcess(const std::string& commandLine, const std::string& workingDir) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workingDir.empty() ? nullptr : workingDir.c_str(), &startup, &started))
        return UniqueKernelHandle();
    UniqueKernelHandle thread(started.hThread);
    return UniqueKernelHandle(started.hProcess);
}

long RunAndWait(const std::string& commandLine, unsigned timeoutMs, const std::string& workingDir) {
    UniqueKernelHandle process = StartProcess(commandLine, workingDir);
    if (!process) return -1;
    DWORD waited = WaitForSingleObject(process.get(), timeoutMs);
    DWORD code = static_cast<DWORD>(-1);
    if (waited == WAIT_OBJECT_0) GetExitCodeProcess(process.get(), &code);
    else TerminateProcess(process.get(), 1);
    return waited == WAIT_OBJECT_0 ? static_cast<long>(code) : -1;
}

bool WaitForFile(const std::string& path, unsigned timeoutMs, size_t minBytes) {
    DWORD start = GetTickCount();
    do {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) &&
            data.nFileSizeLow >= minBytes)
            return true;
        Sleep(50);
    } while (GetTickCount() - start < timeoutMs);
    return false;
}
