#include "engine/InstallScript.h"

#include "engine/InstallTasks.h"
#include "engine/LauncherScript.h"
#include "engine/Placeholders.h"
#include "system/FileSystem.h"

namespace {

// The task's failure, with the file it concerns; nothing when it did its work.
struct TaskFailure {
    bool failed = false;
    std::string file, reason;
};

TaskFailure FailedOn(const std::string& file, const std::string& reason = std::string()) {
    return {true, file, reason};
}

TaskFailure ZipTask(ZipResult result, const std::string& archive) {
    return result == ZipOk ? TaskFailure{} : FailedOn(archive, ZipResultMessage(result));
}

// A launcher that is missing is no failure: an application may ship one kind
// only. One that could not be written is.
TaskFailure runClassPathTask(const InstallItem& item, const std::string& homeDir, const std::string& javaHome) {
    const std::string shellScript = item.confFile + ".sh", batchFile = item.confFile + ".bat";
    TaskFailure failure;
    auto check = [&failure](LauncherEdit edit, const std::string& script) {
        if (edit == LauncherEdit::WriteFailed && !failure.failed) failure = FailedOn(script);
    };
    check(updateClassPath(homeDir, shellScript, item.fileName, LauncherStyle::Unix), shellScript);
    check(updateClassPath(homeDir, batchFile, item.fileName, LauncherStyle::Windows), batchFile);
    check(updateJavaPath(batchFile, javaHome), batchFile);
    return failure;
}

TaskFailure runItem(const InstallItem& item, const std::string& homeDir, const std::string& javaHome) {
    switch (item.type) {
    case kInstallExecute:
        return runExecuteTask(item.fileName) ? TaskFailure{} : FailedOn(item.fileName);
    case kInstallExtractFile:
        return ZipTask(runExtractFileTask(item.fileName, item.src, item.dest, item.overwrite), item.fileName);
    case kInstallUnzip:
        return ZipTask(runUnzipTask(item.fileName, item.dest, homeDir, item.overwrite), item.fileName);
    case kInstallMove:
        return runMoveTask(item.src, item.dest, item.overwrite) ? TaskFailure{} : FailedOn(item.src);
    case kInstallDelete:
        return runDeleteTask(item.fileName) ? TaskFailure{} : FailedOn(item.fileName);
    case kInstallClassPath:
        return runClassPathTask(item, homeDir, javaHome);
    default:  // module, a task without a command, unknown types: nothing
        return {};
    }
}

}  // namespace

InstallScriptResult runInstallScript(InstallData& installData, const std::string& homeDir,
                                     const std::string& javaHome) {
    InstallScriptResult result;
    for (size_t index = 0; index < installData.items.size(); ++index) {
        InstallItem& item = *installData.items[index];
        for (const std::string& folder : PlaceholderFolders(homeDir)) CreateDirectoryPath(folder);
        for (std::string* field : {&item.fileName, &item.src, &item.dest, &item.confFile})
            *field = ExpandPlaceholders(*field, homeDir);
        TaskFailure failure = runItem(item, homeDir, javaHome);
        if (failure.failed && result.succeeded()) {
            result.failedItem = static_cast<int>(index);
            result.failedFile = failure.file;
            result.reason = failure.reason;
        }
    }
    return result;
}
