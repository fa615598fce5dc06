#include "support/ProcessRunner.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "system/Utf8.h"

UniqueKernelHandle StartProcess(const std::string& commandLine, const std::string& workingDir) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    std::wstring line = Widen(commandLine);
    const std::wstring folder = Widen(workingDir);
    // Wine's process creation has been seen to fail once, at once, on a busy
    // machine where the same start worked before and after: a few tries, and
    // the error of the last one on the test's output when they all fail.
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (attempt > 0) Sleep(500);
        if (CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                           workingDir.empty() ? nullptr : folder.c_str(), &startup, &started)) {
            error = ERROR_SUCCESS;
            break;
        }
        error = GetLastError();
    }
    if (error != ERROR_SUCCESS) {
        std::fprintf(stderr, "could not start %s: error %lu\n", commandLine.c_str(), error);
        return UniqueKernelHandle();
    }
    UniqueKernelHandle thread(started.hThread);
    return UniqueKernelHandle(started.hProcess);
}

long RunAndWait(const std::string& commandLine, unsigned timeoutMs, const std::string& workingDir) {
    UniqueKernelHandle process = StartProcess(commandLine, workingDir);
    if (!process) return -1;
    DWORD waited = WaitForSingleObject(process.get(), timeoutMs);
    DWORD code = static_cast<DWORD>(-1);
    if (waited == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.get(), &code);
    } else {
        std::fprintf(stderr, "%s did not end within %u ms (wait result %lu)\n", commandLine.c_str(), timeoutMs, waited);
        TerminateProcess(process.get(), 1);
    }
    return waited == WAIT_OBJECT_0 ? static_cast<long>(code) : -1;
}

bool WaitForFile(const std::string& path, unsigned timeoutMs, size_t minBytes) {
    DWORD start = GetTickCount();
    do {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data) &&
            data.nFileSizeLow >= minBytes)
            return true;
        Sleep(50);
    } while (GetTickCount() - start < timeoutMs);
    return false;
}
