#pragma once
// The thread behind the install wizard's download-and-install page. It
// downloads every file that the update check put into the catalog (the
// application's and its dependencies') into the updates folder, fetches each
// file's install script, runs the dependencies' scripts and then the
// application's, and ends with one outcome for the complete page: success,
// or the first failure that carries a text.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "flow/WorkerThread.h"
#include "documents/CatalogRecords.h"
#include "engine/InstallScript.h"

class InstallWorker : public WorkerThread {
public:
    explicit InstallWorker(std::shared_ptr<WorkerChannel> channel);

    // The total bar's end for `fileCount` files: a step per download, a step
    // per install script fetched, and one for each of the two script stages.
    static int TotalSteps(int fileCount) { return 2 * fileCount + 2; }

protected:
    void Run() override;

private:
    // Runs the install script of every file of the list's software, stepping
    // the step bar once per software, until a script fails or is stopped.
    // The programs the scripts start join startedPrograms; the changes go
    // into the journal; the downloads they use pass the guard.
    InstallScriptResult runScripts(SoftwareList& list, const std::string& homeDir, const std::string& javaHome,
                                   std::vector<StartedProgram>& startedPrograms, InstallJournal* journal,
                                   const DownloadGuard& guard);
    // Waits for the programs the scripts started, at most 10 minutes; false
    // when a stop was asked for meanwhile.
    bool waitForStartedPrograms(const std::vector<StartedProgram>& startedPrograms);
    // True when nothing from the company folder down to `path` is a
    // junction or symbolic link and SecureInstallFolders found no fault;
    // else posts the failure that names the path or the folder.
    bool foldersUsable(const std::string& path);
    // True when the install volume has `neededBytes` free; else posts the
    // failure that says how much is needed and how much is free.
    bool roomFor(uint64_t neededBytes);
    // Posts the error as a failure when it has a text; true when it did.
    [[nodiscard]] bool reportFailure(const std::string& error);
};
