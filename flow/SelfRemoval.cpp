#include "flow/SelfRemoval.h"

#include <windows.h>

#include <cstdlib>

#include "system/FileSystem.h"
#include "system/Log.h"
#include "system/PathText.h"
#include "system/TempFolder.h"
#include "system/ProcessLaunch.h"
#include "system/Sha256.h"
#include "system/TextCompare.h"
#include "system/UniqueHandle.h"
#include "system/Utf8.h"
#include "system/VerifiedFile.h"
#include "system/WidePath.h"

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
    // The copy runs with this program's rights: it is started only with the
    // program's own bytes, held against changes until it has started.
    const std::string sha256 = FileSha256(program);
    if (sha256.empty() || !CopyFileW(Widen(program).c_str(), Widen(copy).c_str(), TRUE)) {
        RemoveDirectoryW(Widen(folder).c_str());
        return false;
    }
    const UniqueFileHandle verified = LockVerifiedFile(copy, sha256);
    if (!verified) {
        DeleteFileW(Widen(copy).c_str());
        RemoveDirectoryW(Widen(folder).c_str());
        return false;
    }
    // The copy inherits a handle to this process: it waits on it and asks
    // Windows through it which file to delete.
    HANDLE self = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self,
                         SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, TRUE, 0)) {
        DeleteFileW(Widen(copy).c_str());
        RemoveDirectoryW(Widen(folder).c_str());
        return false;
    }
    UniqueKernelHandle inherited(self);
    std::vector<std::string> arguments = {copy, kFinishRemovalSwitch,
                                          std::to_string(reinterpret_cast<uintptr_t>(self)), program,
                                          std::to_string(emptyFolderLevels)};
    // The copy says in the same log why it removed nothing.
    const std::string log = OpenLogPath();
    if (!log.empty()) arguments.insert(arguments.end(), {"-log", log});
    std::wstring commandLine = Widen(JoinCommandLine(arguments));
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

bool Refuse(const std::string& why) {
    LogLine("Nothing removed: " + why);
    return false;
}

// The handle the uninstaller passed, owned, with the program file Windows
// names for it in `image`; none when the text is not the value of an
// inherited handle to another process. A path on the command line is never
// trusted: any spelling could name any file, the handle names only the
// program that really ran.
UniqueKernelHandle TakeInheritedProcess(const std::string& handleText, std::string& image) {
    char* end = nullptr;
    const uintptr_t value = std::strtoull(handleText.c_str(), &end, 10);
    const HANDLE handle = reinterpret_cast<HANDLE>(value);
    if (value == 0 || *end != '\0') {
        Refuse("no process handle given: \"" + handleText + "\"");
        return UniqueKernelHandle();
    }
    // A value that happens to be one of this copy's own handles is not
    // inherited; it stays open and untouched.
    DWORD flags = 0;
    if (!GetHandleInformation(handle, &flags) || !(flags & HANDLE_FLAG_INHERIT)) {
        Refuse("no inherited handle: " + handleText);
        return UniqueKernelHandle();
    }
    UniqueKernelHandle process(handle);
    const DWORD processId = GetProcessId(handle);
    if (processId == 0 || processId == GetCurrentProcessId()) {
        Refuse("no handle to another process: " + handleText);
        return UniqueKernelHandle();
    }
    std::wstring name(32768, L'\0');
    DWORD size = static_cast<DWORD>(name.size());
    if (!QueryFullProcessImageNameW(handle, 0, &name[0], &size)) {
        Refuse("the process's program is unknown: " + handleText);
        return UniqueKernelHandle();
    }
    name.resize(size);
    image = Narrow(name);
    return process;
}

}  // namespace

bool ScheduleSelfRemoval(const std::string& program, int emptyFolderLevels) {
    return StartCopy(program, emptyFolderLevels) || RemoveAtRestart(program, emptyFolderLevels);
}

bool FinishSelfRemoval(const std::vector<std::string>& arguments, const std::string& executableName,
                       const std::string& registeredExecutable) {
    if (arguments.size() < 3) return Refuse("expected a process handle, a path and a folder count");
    std::string program;
    UniqueKernelHandle uninstaller = TakeInheritedProcess(arguments[0], program);
    if (!uninstaller) return false;
    const int levels = std::atoi(arguments[2].c_str());
    // Only ever the product's program, never an installed product's, and
    // never this copy itself.
    if (!SameNameIgnoringCase(GetFileNameOfPath(program), executableName))
        return Refuse("not the product's program: " + program);
    if (SameNameIgnoringCase(program, registeredExecutable)) return Refuse("the registered program: " + program);
    if (SameNameIgnoringCase(program, GetModulePath())) return Refuse("this copy itself: " + program);

    WaitForSingleObject(uninstaller.get(), kWaitForUninstallerMs);
    // Windows may hold the image a moment after the process has ended.
    const std::wstring wideProgram = WidePath(program);
    for (int attempt = 0; attempt < 50 && !DeleteFileW(wideProgram.c_str()); ++attempt) {
        if (GetFileAttributesW(wideProgram.c_str()) == INVALID_FILE_ATTRIBUTES) break;
        Sleep(100);
    }
    std::string folder = GetParentOfPath(program);
    for (int level = 0; level < levels && !folder.empty(); ++level) {
        if (!RemoveDirectoryW(WidePath(folder).c_str())) break;  // not empty: it is not ours alone
        folder = GetParentOfPath(folder);
    }
    // This copy cannot delete itself while it runs.
    const std::string self = GetModulePath();
    MoveFileExW(Widen(self).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    MoveFileExW(Widen(GetParentOfPath(self)).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return true;
}
