#pragma once
// The thread behind the install wizard's update check page. It asks the
// update service for a newer installer (and fetches it if there is one);
// otherwise it fills the configuration's catalog with the application and
// everything the application depends on, and checks that the Java runtime
// it needs is registered (fetching the runtime's installer if not). It ends
// with one outcome: ready for the install folder, Java required, installer
// updated, or failed.
#include <functional>
#include <memory>
#include <string>

#include "flow/WorkerThread.h"

class ServiceQuery;

class UpdateCheckWorker : public WorkerThread {
public:
    explicit UpdateCheckWorker(std::shared_ptr<WorkerChannel> channel);

    // The total bar's end: one step per finished query or download, and the
    // bar is set there when the check ends.
    static constexpr int kTotalSteps = 6;

    // What a step reports: failed (any outcome already posted), go on, or
    // the step's special case (a newer installer, a missing Java runtime).
    enum class [[nodiscard]] StepResult { Failed, GoOn, Special };

protected:
    void Run() override;

private:
    StepResult availabilityStep();
    StepResult installerUpdateStep();
    StepResult dependencyStep();
    StepResult javaCheckStep();
    StepResult javaDownloadStep();

    // Runs `fetch` with a query and a fresh private folder to download into.
    // The folder, or empty once a failure has been posted (the folder gone).
    using DownloadInto = std::function<int(ServiceQuery&, const std::string&)>;
    std::string downloadIntoPrivateFolder(const DownloadInto& fetch);
    // Posts the query's error as a failure when it has one; a failure
    // without a text is left to the worker base's own failure outcome.
    void reportFailure(const ServiceQuery& query);
    void stepTotal();
};

// Failure texts of the update check itself.
// The first line of the failure when the service leaves dependencies unresolved.
extern const char kUnresolvedDependenciesText[];  // "Software IDs continue"
extern const char kNoInstallerFileText[];
extern const char kNoJavaInstallerFileText[];
