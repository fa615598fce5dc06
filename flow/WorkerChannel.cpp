#include "flow/WorkerChannel.h"

const char kWorkerStoppedText[] = "The work was stopped before it was finished.";
const char kWorkerInternalErrorText[] = "An internal error has occurred.";

bool WorkerChannel::postOutcome(WizardOutcome outcome) {
    {
        std::lock_guard<SlimLock> lock(mutex_);
        if (posted_) return false;
        posted_ = true;
        outcome_ = std::make_unique<WizardOutcome>(std::move(outcome));
    }
    notifyOutcome();
    return true;
}

bool WorkerChannel::outcomePosted() const {
    std::lock_guard<SlimLock> lock(mutex_);
    return posted_;
}

std::unique_ptr<WizardOutcome> WorkerChannel::takeOutcome() {
    std::lock_guard<SlimLock> lock(mutex_);
    return std::move(outcome_);
}
