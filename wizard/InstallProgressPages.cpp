#include "wizard/InstallProgressPages.h"

#include "flow/InstallWorker.h"
#include "flow/UpdateCheckWorker.h"

UpdateCheckPage::UpdateCheckPage(CQMPropertySheet& sheet, InstallerConfig& configuration)
    : CProgressPage(sheet, configuration) {
    title = "Update check";
    subtitle = "Searching for the latest version";
}

WorkerThread* UpdateCheckPage::CreateWorker(std::shared_ptr<WorkerChannel> channel) {
    return new UpdateCheckWorker(std::move(channel));
}

InstallProgressPage::InstallProgressPage(CQMPropertySheet& sheet, InstallerConfig& configuration)
    : CProgressPage(sheet, configuration) {
    title = "Downloading and installing";
    subtitle = "The application is being downloaded and installed";
}

WorkerThread* InstallProgressPage::CreateWorker(std::shared_ptr<WorkerChannel> channel) {
    return new InstallWorker(std::move(channel));
}
