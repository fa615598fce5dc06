#include "system/FilesInUse.h"

#include <windows.h>
#include <restartmanager.h>

#include "system/PathText.h"
#include "system/TextCompare.h"
#include "system/UniqueHandle.h"
#include "system/Utf8.h"
#include "system/WidePath.h"

namespace {

// Opening with reading access and no sharing fails with a sharing violation
// while any other handle to the file is open, whatever that handle allows.
bool HeldOpen(const std::string& path) {
    UniqueFileHandle file(CreateFileW(WidePath(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    return !file && GetLastError() == ERROR_SHARING_VIOLATION;
}

// Adds the held files below `folder`, without entering links, to `held`.
void FindHeldFiles(const std::string& folder, const std::vector<std::string>& excludedPaths,
                   std::vector<std::string>& held) {
    WIN32_FIND_DATAW entry;
    UniqueFindHandle listing(FindFirstFileW(WidePath(folder + "\\*").c_str(), &entry));
    if (!listing) return;
    do {
        const wchar_t* name = entry.cFileName;
        if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0))) continue;
        const std::string path = folder + "\\" + Narrow(name);
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) FindHeldFiles(path, excludedPaths, held);
            continue;
        }
        bool excluded = false;
        for (const std::string& excludedPath : excludedPaths) excluded = excluded || SameNameIgnoringCase(path, excludedPath);
        if (!excluded && HeldOpen(path)) held.push_back(path);
    } while (FindNextFileW(listing.get(), &entry));
}

// rstrtmgr.dll is loaded only when files are found held, from System32; where
// it or its functions are missing (or, as under Wine, it answers nothing),
// the files stay unnamed by program.
class RestartManager {
public:
    RestartManager()
        : library_(LoadLibraryExW(L"rstrtmgr.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)),
          start_(function<StartSession>("RmStartSession")),
          end_(function<EndSession>("RmEndSession")),
          register_(function<RegisterResources>("RmRegisterResources")),
          list_(function<GetList>("RmGetList")) {}
    RestartManager(const RestartManager&) = delete;
    RestartManager& operator=(const RestartManager&) = delete;

    // The names of the programs, other than this process, that hold any of `files`.
    std::vector<std::string> programsHolding(const std::vector<std::string>& files) {
        std::vector<std::string> names;
        if (!start_ || !end_ || !register_ || !list_) return names;
        DWORD session = 0;
        WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
        if (start_(&session, 0, key) != ERROR_SUCCESS) return names;
        // One session per check; it ends however the check ends.
        struct SessionEnd {
            EndSession end;
            DWORD session;
            ~SessionEnd() { end(session); }
        } sessionEnd{end_, session};

        for (const std::string& file : files) {
            const std::wstring wide = Widen(file);
            LPCWSTR name = wide.c_str();
            if (register_(session, 1, &name, 0, nullptr, 0, nullptr) != ERROR_SUCCESS) return names;
        }

        // A few programs are named; past that the files speak for themselves.
        RM_PROCESS_INFO processes[kProgramsNamed];
        UINT needed = 0;
        UINT count = kProgramsNamed;
        DWORD reasons = 0;
        if (list_(session, &needed, &count, processes, &reasons) != ERROR_SUCCESS) return names;
        for (UINT i = 0; i < count && i < kProgramsNamed; ++i) {
            if (processes[i].Process.dwProcessId != GetCurrentProcessId() && processes[i].strAppName[0])
                names.push_back(Narrow(processes[i].strAppName));
        }
        return names;
    }

private:
    static constexpr UINT kProgramsNamed = 4;
    using StartSession = DWORD(WINAPI*)(DWORD*, DWORD, WCHAR[]);
    using EndSession = DWORD(WINAPI*)(DWORD);
    using RegisterResources = DWORD(WINAPI*)(DWORD, UINT, LPCWSTR[], UINT, RM_UNIQUE_PROCESS[], UINT, LPCWSTR[]);
    using GetList = DWORD(WINAPI*)(DWORD, UINT*, UINT*, RM_PROCESS_INFO[], LPDWORD);

    template <typename Function>
    Function function(const char* name) const {
        if (!library_) return nullptr;
        return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library_.get(), name)));
    }

    UniqueModule library_;
    StartSession start_;
    EndSession end_;
    RegisterResources register_;
    GetList list_;
};

}  // namespace

FilesInUse FindFilesInUse(const std::string& folder, const std::vector<std::string>& excludedPaths) {
    std::string root = folder;
    RemoveTrailingBackslash(root);
    FilesInUse found;
    FindHeldFiles(root, excludedPaths, found.files);
    if (!found.files.empty()) found.programs = RestartManager().programsHolding(found.files);
    return found;
}
