#include "engine/InstallScript.h"

#include "engine/InstallTasks.h"
#include "engine/LauncherScript.h"
#include "engine/Placeholders.h"
#include "system/FileSystem.h"

namespace {

void runClassPathTask(const InstallItem& item, const std::string& homeDir, const std::string& javaHome) {
    updateClassPath(homeDir, item.confFile + ".sh", item.fileName, LauncherStyle::Unix);
    updateClassPath(homeDir, item.confFile + ".bat", item.fileName, LauncherStyle::Windows);
    updateJavaPath(item.confFile + ".bat", javaHome);
}

void runItem(const InstallItem& item, const std::string& homeDir, const std::string& javaHome) {
    switch (item.type) {
    case kInstallExecute:
        runExecuteTask(item.fileName);
        break;
    case kInstallExtractFile:
        runExtractFileTask(item.fileName, item.src, item.dest, item.overwrite);
        break;
    case kInstallUnzip:
        runUnzipTask(item.fileName, item.dest, homeDir, item.overwrite);
        break;
    case kInstallMove:
        runMoveTask(item.src, item.dest, item.overwrite);
        break;
    case kInstallDelete:
        runDeleteTask(item.fileName);
        break;
    case kInstallClassPath:
        runClassPathTask(item, homeDir, javaHome);
        break;
    default:  // module, a task without a command, unknown types: nothing
        break;
    }
}

}  // namespace

bool runInstallScript(InstallData& installData, const std::string& homeDir, const std::string& javaHome) {
    for (const auto& owned : installData.items) {
        InstallItem& item = *owned;
        for (const std::string& folder : PlaceholderFolders(homeDir)) CreateDirectoryPath(folder);
        for (std::string* field : {&item.fileName, &item.src, &item.dest, &item.confFile})
            *field = ExpandPlaceholders(*field, homeDir);
        runItem(item, homeDir, javaHome);
    }
    return true;
}
