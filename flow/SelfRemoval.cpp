#include "flow/SelfRemoval.h"

#include <windows.h>

#include <cstdlib>

#include "system/FileSystem.h"
#include "system/PathText.h"
#include "system/TempFolder.h"
#include "system/ProcessLaunch.h"
#include "system/TextCompare.h"
#include "system/UniqueHandle.h"
#include "system/Utf8.h"

const char kFinishRemovalSwitch[] = "-finish-removal";

namespace {

// How long the copy waits for the uninstaller to end.
constexpr DWORD kWaitForUninstallerMs = 120000;

// Removes the file and its emptied folders when the machine next starts.
bool RemoveAtRestart(const std::string& program, int emptyFolderLevels) {
    if (!MoveFileExW(Widen(program).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) return false;
    std::string folder = GetParentOfPath(program);
    for (int level = 0; level < emptyFolderLevels && !folder.empty(); ++level) {
        MoveFileExW(Widen(folder).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        folder = GetParentOfPath(folder);
    }
    return true;
}

bool StartCopy(const std::string& program, int emptyFolderLevels) {
    const std::string folder = CreatePrivateTempFolder();
    if (folder.empty()) return false;
    const std::string copy = folder + GetFileNameOfPath(program);
    if (!CopyFileW(Widen(program).c_str(), Widen(copy).c_str(), TRUE)) {
        RemoveDirectoryW(Widen(folder).c_str());
        return false;
    }
    // The copy waits on a handle to this process that it inherits.
    HANDLE self = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self, SYNCHRONIZE, TRUE,
                         0)) {
        DeleteFileW(Widen(copy).c_str());
        RemoveDirectoryW(Widen(folder).c_str());
        return false;
    }
    UniqueKernelHandle inherited(self);
    std::wstring commandLine = Widen(JoinCommandLine({copy, kFinishRemovalSwitch,
                                                      std::to_string(reinterpret_cast<uintptr_t>(self)), program,
                                                      std::to_string(emptyFolderLevels)}));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(Widen(copy).c_str(), &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        Widen(folder).c_str(), &startup, &started)) {
        DeleteFileW(Widen(copy).c_str());
        RemoveDirectoryW(Widen(folder).c_str());
        return false;
    }
    UniqueKernelHandle process(started.hProcess);
    UniqueKernelHandle thread(started.hThread);
    return true;
}

}  // namespace

bool ScheduleSelfRemoval(const std::string& program, int emptyFolderLevels) {
    return StartCopy(program, emptyFolderLevels) || RemoveAtRestart(program, emptyFolderLevels);
}

void FinishSelfRemoval(const std::vector<std::string>& arguments, const std::string& executableName,
                       const std::string& registeredExecutable) {
    if (arguments.size() < 3) return;
    const uintptr_t handleValue = std::strtoull(arguments[0].c_str(), nullptr, 10);
    const std::string program = arguments[1];
    const int levels = std::atoi(arguments[2].c_str());
    // Only ever the product's program, never an installed product's, and
    // never this copy itself.
    if (!SameNameIgnoringCase(GetFileNameOfPath(program), executableName)) return;
    if (SameNameIgnoringCase(program, registeredExecutable)) return;
    if (SameNameIgnoringCase(program, GetModulePath())) return;

    UniqueKernelHandle uninstaller(reinterpret_cast<HANDLE>(handleValue));
    if (uninstaller) WaitForSingleObject(uninstaller.get(), kWaitForUninstallerMs);
    // Windows may hold the image a moment after the process has ended.
    const std::wstring wideProgram = Widen(program);
    for (int attempt = 0; attempt < 50 && !DeleteFileW(wideProgram.c_str()); ++attempt) {
        if (GetFileAttributesW(wideProgram.c_str()) == INVALID_FILE_ATTRIBUTES) break;
        Sleep(100);
    }
    std::string folder = GetParentOfPath(program);
    for (int level = 0; level < levels && !folder.empty(); ++level) {
        if (!RemoveDirectoryW(Widen(folder).c_str())) break;  // not empty: it is not ours alone
        folder = GetParentOfPath(folder);
    }
    // This copy cannot delete itself while it runs.
    const std::string self = GetModulePath();
    MoveFileExW(Widen(self).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    MoveFileExW(Widen(GetParentOfPath(self)).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}
