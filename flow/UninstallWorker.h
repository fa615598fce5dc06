#pragma once
// Removes the installed product behind the uninstall progress page: checks
// the registered home folder, waits until no program holds a file in it,
// unregisters the product, and deletes the home folder when no other product
// of the family is left. It reaches the configuration, the bar and the
// buttons only through its channel, and ends with one outcome: uninstalled,
// files in use (nothing changed), or failed (the product stays registered).
#include <memory>
#include <string>

#include "flow/InstallFolder.h"
#include "flow/WorkerThread.h"

class UninstallWorker : public WorkerThread {
public:
    explicit UninstallWorker(std::shared_ptr<WorkerChannel> channel)
        : WorkerThread(std::move(channel)) {}

protected:
    void Run() override;

private:
    // The uninstall steps; false when one failed and its outcome is posted.
    [[nodiscard]] bool RemoveProduct();
    // Deletes the home folder, trying again for a while when something
    // still holds it. Empty once nothing of ours is left, else the first
    // file or folder that stayed.
    [[nodiscard]] std::string DeleteHomeFolder(const std::string& home);
};
