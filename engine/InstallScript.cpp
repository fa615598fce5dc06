#include "engine/InstallScript.h"

#include "engine/InstallTasks.h"
#include "engine/LauncherScript.h"
#include "engine/Placeholders.h"
#include "system/FileSystem.h"
#include "system/PathSafety.h"

namespace {

const char kOutsideApplicationFolder[] = "the path lies outside the application folder";
const char kNameNotAllowed[] = "the name is not allowed";
const char kBatchMetacharacter[] = "the library path holds a character the batch file would read as a command";
const char kJournalNotWritten[] = "the change could not be recorded for a rollback";

std::string LinkReason(const std::string& link) { return "the path " + link + " is a junction or symbolic link"; }

// The task's failure, with the file it concerns; nothing when it did its work.
struct TaskFailure {
    bool failed = false;
    std::string file, reason;
};

TaskFailure FailedOn(const std::string& file, const std::string& reason = std::string()) {
    return {true, file, reason};
}

TaskFailure ZipTask(ZipResult result, const std::string& archive, const std::string& link = std::string()) {
    if (!link.empty()) return FailedOn(archive, LinkReason(link));
    return result == ZipOk ? TaskFailure{} : FailedOn(archive, ZipResultMessage(result));
}

const char* TaskName(int type) {
    switch (type) {
    case kInstallExecute: return "execute";
    case kInstallExtractFile: return "extractFile";
    case kInstallUnzip: return "unzip";
    case kInstallMove: return "move";
    case kInstallDelete: return "delete";
    case kInstallClassPath: return "classPath";
    default: return "module";
    }
}

// A script comes from the server: whatever it writes, moves, deletes or
// runs, after expansion, must be a full path that stays inside the application folder. `folder` is the
// home folder, or a folder below it that the task may only write into.
bool StaysInside(const std::string& path, const std::string& folder, bool folderItself = false) {
    if (!IsFullPath(path)) return false;
    return IsPathInsideFolder(path, folder) || (folderItself && IsSameFolder(path, folder));
}

// The paths a task writes, moves, deletes or runs. An archive is only read,
// so it may lie anywhere; an unzip without a destination unpacks into home.
std::vector<std::string> WrittenPaths(const InstallItem& item, const std::string& homeDir) {
    switch (item.type) {
    case kInstallExecute: return {ExecuteTaskProgram(item.fileName)};
    case kInstallExtractFile: return {item.dest};
    case kInstallUnzip: return {item.dest.empty() ? homeDir : item.dest};
    case kInstallMove: return {item.src, item.dest};
    case kInstallDelete: return {item.fileName};
    case kInstallClassPath: return {item.confFile + ".sh", item.confFile + ".bat"};
    default: return {};
    }
}

// The first path of the task that leaves the application folder; empty when
// all stay inside.
std::string PathOutsideHome(const InstallItem& item, const std::string& homeDir) {
    // An unzip may fill home itself; the launchers must lie in bin, since the
    // library and the Java folder are only text inside them.
    const bool folderItself = item.type == kInstallUnzip;
    const std::string folder = item.type == kInstallClassPath ? PlaceholderFolders(homeDir).back() : homeDir;
    for (const std::string& path : WrittenPaths(item, homeDir))
        if (!StaysInside(path, folder, folderItself)) return path;
    return std::string();
}

// The first junction or symbolic link from home down to a path the task
// writes, moves, deletes or runs: an administrator's write through it would
// land wherever it leads. Empty when there is none.
std::string LinkOnTaskPaths(const InstallItem& item, const std::string& homeDir) {
    for (const std::string& path : WrittenPaths(item, homeDir)) {
        const std::string link = FirstLinkFrom(homeDir, path);
        if (!link.empty()) return link;
    }
    return std::string();
}

// The first path the task names, archives and the library included, that
// Windows would not take as written (a device, a trimmed ending, a stream,
// a "\\?\" prefix); empty when there is none.
std::string FirstNonLiteralPath(const InstallItem& item) {
    std::vector<std::string> paths;
    switch (item.type) {
    case kInstallExecute:
        paths = {ExecuteTaskProgram(item.fileName)};
        break;
    case kInstallExtractFile:
        paths = {item.fileName, item.src, item.dest};
        break;
    case kInstallUnzip:
        paths = {item.fileName, item.dest};
        break;
    case kInstallMove:
        paths = {item.src, item.dest};
        break;
    case kInstallDelete:
        paths = {item.fileName};
        break;
    case kInstallClassPath:
        paths = {item.confFile, item.fileName};
        break;
    default:
        break;
    }
    for (const std::string& path : paths)
        if (!IsLiteralPathName(path)) return path;
    return std::string();
}

// A launcher that is missing is no failure: an application may ship one kind
// only. One that could not be written is, and so is a path the batch file
// cannot hold (cmd.exe would look for another file).
TaskFailure runClassPathTask(const InstallItem& item, const std::string& homeDir, const std::string& javaHome,
                             InstallJournal* journal) {
    // cmd.exe would run what follows a "&" or expand a "%": such a library
    // is refused before either launcher changes.
    if (HasBatchMetacharacter(ClassPathEntry(homeDir, item.fileName, LauncherStyle::Windows)))
        return FailedOn(item.fileName, kBatchMetacharacter);
    const std::string shellScript = item.confFile + ".sh", batchFile = item.confFile + ".bat";
    if (journal)
        for (const std::string& script : {shellScript, batchFile})
            if (!journal->recordEdit(script)) return FailedOn(script, kJournalNotWritten);
    TaskFailure failure;
    auto check = [&failure](LauncherEdit edit, const std::string& script, const std::string& path) {
        if (failure.failed) return;
        if (edit == LauncherEdit::WriteFailed) failure = FailedOn(script);
        if (edit == LauncherEdit::Inexpressible)
            failure = FailedOn(script, "the path " + path + " has no name the console's code page can hold");
    };
    check(updateClassPath(homeDir, shellScript, item.fileName, LauncherStyle::Unix), shellScript, item.fileName);
    check(updateClassPath(homeDir, batchFile, item.fileName, LauncherStyle::Windows), batchFile, item.fileName);
    check(updateJavaPath(batchFile, javaHome), batchFile, javaHome);
    return failure;
}

using StartedPrograms = std::vector<StartedProgram>;

// The file a task unpacks from or starts; empty for the other tasks.
std::string FileTheTaskUses(const InstallItem& item) {
    switch (item.type) {
    case kInstallExecute: return ExecuteTaskProgram(item.fileName);
    case kInstallExtractFile:
    case kInstallUnzip: return item.fileName;
    default: return std::string();
    }
}

TaskFailure runItem(const InstallItem& item, const std::string& homeDir, const std::string& javaHome,
                    StartedPrograms& programs, InstallJournal* journal, const DownloadGuard& guard) {
    const std::string nonLiteral = FirstNonLiteralPath(item);
    if (!nonLiteral.empty()) return FailedOn(nonLiteral, kNameNotAllowed);
    const std::string outside = PathOutsideHome(item, homeDir);
    if (!outside.empty()) return FailedOn(outside, kOutsideApplicationFolder);
    const std::string link = LinkOnTaskPaths(item, homeDir);
    if (!link.empty()) return FailedOn(link, LinkReason(link));

    // Held until the task is done: what it reads is what was verified.
    UniqueFileHandle verified;
    const std::string used = FileTheTaskUses(item);
    std::string reason;
    const DownloadUse use = item.type == kInstallExecute ? DownloadUse::Start : DownloadUse::Read;
    if (guard && !used.empty() && !guard(used, use, verified, reason)) return FailedOn(used, reason);
    // A download the run still holds is let go before a task moves or deletes it.
    if (guard && (item.type == kInstallMove || item.type == kInstallDelete)) {
        for (const std::string& path : WrittenPaths(item, homeDir)) {
            UniqueFileHandle none;
            guard(path, DownloadUse::Change, none, reason);
        }
    }
    switch (item.type) {
    case kInstallExecute: {
        UniqueKernelHandle program;
        if (!runExecuteTask(item.fileName, &program)) return FailedOn(item.fileName);
        if (program) programs.push_back({std::move(program), ExecuteTaskProgram(item.fileName)});
        return {};
    }
    case kInstallExtractFile:
        return ZipTask(runExtractFileTask(item.fileName, item.src, item.dest, item.overwrite, journal), item.fileName);
    case kInstallUnzip: {
        std::string link;
        const ZipResult result = runUnzipTask(item.fileName, item.dest, homeDir, item.overwrite, journal, &link);
        return ZipTask(result, item.fileName, link);
    }
    case kInstallMove:
        return runMoveTask(item.src, item.dest, item.overwrite, journal) ? TaskFailure{} : FailedOn(item.src);
    case kInstallDelete:
        return runDeleteTask(item.fileName, journal) ? TaskFailure{} : FailedOn(item.fileName);
    case kInstallClassPath:
        return runClassPathTask(item, homeDir, javaHome, journal);
    default:  // module, a task without a command, unknown types: nothing
        return {};
    }
}

}  // namespace

std::string InstallScriptResult::describe() const {
    std::string text = "The install task " + failedTask + " failed on " + failedFile;
    return reason.empty() ? text : text + ": " + reason;
}

InstallScriptResult runInstallScript(InstallData& installData, const std::string& homeDir,
                                     const std::string& javaHome, const StopCheck& stopRequested,
                                     InstallJournal* journal, const DownloadGuard& guard) {
    InstallScriptResult result;
    for (size_t index = 0; index < installData.items.size(); ++index) {
        if (stopRequested && stopRequested()) {
            result.stopped = true;
            break;
        }
        InstallItem& item = *installData.items[index];
        TaskFailure failure;
        for (const std::string& folder : PlaceholderFolders(homeDir)) {
            const std::string link = failure.failed ? std::string() : FirstLinkFrom(homeDir, folder);
            if (!link.empty()) failure = FailedOn(link, LinkReason(link));
            if (failure.failed) continue;
            if (!journal)
                CreateDirectoryPath(folder);
            else if (!journal->makeFolders(folder))
                failure = FailedOn(folder, kJournalNotWritten);
        }
        for (std::string* field : {&item.fileName, &item.src, &item.dest, &item.confFile})
            *field = ExpandPlaceholders(*field, homeDir);
        if (!failure.failed) failure = runItem(item, homeDir, javaHome, result.startedPrograms, journal, guard);
        // Later tasks build on this one (the last usually registers the
        // product): after a failure none of them runs.
        if (failure.failed) {
            result.failedItem = static_cast<int>(index);
            result.failedTask = TaskName(item.type);
            result.failedFile = failure.file;
            result.reason = failure.reason;
            break;
        }
    }
    return result;
}
