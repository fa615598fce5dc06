#include "engine/InstallTasks.h"

#include <windows.h>
#include <shellapi.h>

#include <set>

#include "engine/MemberNames.h"
#include "engine/ZipArchive.h"
#include "system/FileSystem.h"
#include "system/PathSafety.h"
#include "system/PathText.h"
#include "system/UniqueHandle.h"
#include "system/Utf8.h"
#include "system/WidePath.h"

namespace {

bool Exists(const std::string& path) { return GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

// Journals what extracting the member below root will make or replace: its
// folders, and its file unless it is a folder itself.
bool RecordMember(InstallJournal& journal, std::string root, const std::string& name) {
    AddTrailingBackslash(root);
    std::string path = root + name;
    for (char& c : path)
        if (c == '/') c = '\\';
    if (!path.empty() && path.back() == '\\') return journal.makeFolders(path);
    return journal.makeFolders(GetParentOfPath(path)) && journal.recordWrite(path);
}

}  // namespace

namespace {

struct ExecuteCommand {
    std::string folder, program, parameters;
};

ExecuteCommand SplitExecuteCommand(const std::string& fileName) {
    ExecuteCommand command;
    std::string name = GetFileNameOfPath(fileName);
    command.folder = fileName.substr(0, fileName.size() - name.size());
    command.program = name;
    size_t blank = name.find(' ');
    if (blank != std::string::npos) {
        command.program = name.substr(0, blank);
        command.parameters = name.substr(blank + 1);
    }
    return command;
}

}  // namespace

std::string ExecuteTaskProgram(const std::string& fileName) {
    ExecuteCommand command = SplitExecuteCommand(fileName);
    return command.folder + command.program;
}

bool runExecuteTask(const std::string& fileName, UniqueKernelHandle* started) {
    const ExecuteCommand command = SplitExecuteCommand(fileName);
    // The program is named by its full path: the shell must not find another
    // one of that name on the search path.
    const std::wstring program = Widen(command.folder + command.program);
    const std::wstring parameters = Widen(command.parameters), folder = Widen(command.folder);
    SHELLEXECUTEINFOW execute = {};
    execute.cbSize = sizeof execute;
    // No error box: a program that cannot be started is a failure the install reports.
    execute.fMask = SEE_MASK_FLAG_NO_UI | (started ? SEE_MASK_NOCLOSEPROCESS : 0);
    execute.lpVerb = L"open";
    execute.lpFile = program.c_str();
    execute.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    execute.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    execute.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&execute)) return false;
    if (started) started->reset(execute.hProcess);  // null when the shell started no process of its own
    return true;
}

bool WaitForPrograms(const std::vector<StartedProgram>& programs, unsigned timeoutMs) {
    const DWORD start = GetTickCount();
    for (const StartedProgram& program : programs) {
        const DWORD spent = GetTickCount() - start;
        if (WaitForSingleObject(program.process.get(), spent < timeoutMs ? timeoutMs - spent : 0) != WAIT_OBJECT_0)
            return false;
    }
    return true;
}

uint64_t ArchiveUnpackedBytes(const std::string& archive) {
    UniqueZipArchive zip;
    if (ZipOpen(archive.c_str(), 0, ZipFromFileName, "", zip.put()) != ZipOk) return 0;
    ZipItemInfo item;
    if (ZipGetItem(zip.get(), -1, &item) != ZipOk) return 0;
    const int count = item.index;
    uint64_t total = 0;
    for (int index = 0; index < count; ++index)
        if (ZipGetItem(zip.get(), index, &item) == ZipOk) total += item.uncompressedSize;
    return total;
}

ZipResult runExtractFileTask(const std::string& archive, const std::string& member, const std::string& dest,
                             bool overwrite, InstallJournal* journal) {
    if (Exists(dest) && !overwrite) return ZipOk;
    if (journal && !(journal->makeFolders(GetParentOfPath(dest)) && journal->recordWrite(dest))) return ZipWriteError;
    // No root folder: a relative dest stays relative to the current directory.
    UniqueZipArchive zip;
    ZipResult result = ZipOpen(archive.c_str(), 0, ZipFromFileName, "", zip.put());
    if (result != ZipOk) return result;
    int index = -1;
    result = ZipFindItem(zip.get(), member.c_str(), 1, &index, nullptr);
    if (result != ZipOk) {
        std::string stored = member;
        for (char& c : stored)
            if (c == '\\') c = '/';
        if (stored == member) return result;
        result = ZipFindItem(zip.get(), stored.c_str(), 1, &index, nullptr);
        if (result != ZipOk) return result;
    }
    return ZipExtractItem(zip.get(), index, dest.c_str(), 0, ZipFromFileName);
}

ZipResult runUnzipTask(const std::string& archive, const std::string& dest, const std::string& homeDir,
                       bool overwrite, InstallJournal* journal, std::string* link) {
    // Members go below this folder by their relative names.
    const std::string root = dest.empty() ? homeDir : dest;
    if (!IsDirectory(root)) return ZipNoFile;
    UniqueZipArchive zip;
    ZipResult result = ZipOpen(archive.c_str(), 0, ZipFromFileName, root.c_str(), zip.put());
    if (result != ZipOk) return result;
    ZipItemInfo item;
    result = ZipGetItem(zip.get(), -1, &item);
    if (result != ZipOk) return result;
    const int count = item.index;

    ZipResult firstFailure = ZipOk;
    std::set<std::string> checkedFolders;  // no link from home down to them
    for (int index = 0; index < count; ++index) {
        result = ZipGetItem(zip.get(), index, &item);
        if (result != ZipOk) return result;
        const std::string name = item.name;
        if (!IsSafeMemberName(name)) {
            result = ZipNoFile;
        } else {
            // Checked from home down to the member: every folder it would
            // make or write into, and the member itself.
            std::string memberPath = root;
            AddTrailingBackslash(memberPath);
            memberPath += name;
            for (char& c : memberPath)
                if (c == '/') c = '\\';
            // A member's folders are mostly shared: each is looked at once,
            // the member's own file every time.
            const bool isFolder = memberPath.back() == '\\';
            std::string folder = memberPath, found;
            RemoveTrailingBackslash(folder);
            if (!isFolder) {
                if (IsLink(memberPath)) found = memberPath;
                folder = GetParentOfPath(folder);
            }
            if (found.empty() && checkedFolders.insert(folder).second) found = FirstLinkFrom(homeDir, folder);
            if (!found.empty()) {
                if (link) *link = found;
                return ZipWriteError;
            }
            // Only a member that may not replace its file needs the look.
            if ((IsProtectedMember(name) || !overwrite) && Exists(MemberCheckPath(homeDir, name))) continue;
            result = journal && !RecordMember(*journal, root, name) ? ZipWriteError
                                                                    : ZipExtractItem(zip.get(), index, name.c_str(), 0,
                                                                                     ZipFromFileName);
        }
        if (firstFailure == ZipOk) firstFailure = result;
    }
    return firstFailure;
}

bool runMoveTask(const std::string& src, const std::string& dest, bool overwrite, InstallJournal* journal) {
    if (Exists(dest) && !overwrite) return true;
    // A missing source must leave dest as it was, journaled or not.
    if (journal && (!Exists(src) || !journal->recordWrite(dest))) return false;
    // The source opens first: a missing source must leave dest as it was.
    // It is shared for reading only, so a dest naming the same file fails to
    // open instead of emptying it.
    UniqueFileHandle in(CreateFileW(WidePath(src).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!in) return false;
    if (!MakeWritable(dest)) return false;
    UniqueFileHandle out(CreateFileW(WidePath(dest).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return false;
    char block[2048];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(in.get(), block, sizeof block, &read, nullptr)) return false;
        if (read == 0) break;
        DWORD written = 0;
        if (!WriteFile(out.get(), block, read, &written, nullptr) || written != read) return false;
    }
    out.reset();
    in.reset();
    if (journal) return journal->setAside(src);
    return DeleteEntry(src);
}

bool runDeleteTask(const std::string& fileName, InstallJournal* journal) {
    if (!Exists(fileName)) return true;
    if (journal) return journal->setAside(fileName);
    // Files only: a folder is no file to delete.
    return !IsDirectory(fileName) && DeleteEntry(fileName);
}
