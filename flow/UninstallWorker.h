#pragma once
// Removes the installed product behind the uninstall progress page: checks
// the registered home folder, unregisters the product, and deletes the home
// folder when no other product of the family is left. It reaches the
// configuration, the bar and the buttons only through its channel, and ends
// with one outcome for the uninstall complete page.
#include <memory>
#include <string>

#include "flow/WorkerThread.h"

// Index of the uninstall complete page, the target of every outcome.
constexpr int kUninstallCompletePage = 2;

// True when `home` may be deleted as the product's home folder: it ends with
// the application folder path (ignoring case) as whole path components, and
// has no "." or ".." component that could make it name another folder.
bool IsProductHomeDirectory(const std::string& home, const std::string& appFolderPath);

class UninstallWorker : public WorkerThread {
public:
    explicit UninstallWorker(std::shared_ptr<WorkerChannel> channel)
        : WorkerThread(std::move(channel)) {}

protected:
    int Run() override;

private:
    // The uninstall steps; false when one failed and its outcome is posted.
    bool RemoveProduct();
    void PostFailure(const std::string& text);
};
