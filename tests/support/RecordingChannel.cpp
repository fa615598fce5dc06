#include "RecordingChannel.h"

#include "flow/WorkerThread.h"

void ChannelLog::add(std::string event) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(std::move(event));
}

std::vector<std::string> ChannelLog::events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
}

void RecordingBar::setRange(int lower, int upper) {
    log_.add(name_ + " range: " + std::to_string(lower) + " " + std::to_string(upper));
    std::lock_guard<std::mutex> lock(mutex_);
    ranges_.emplace_back(lower, upper);
    lower_ = lower;
    upper_ = upper;
    if (position_ < lower_) position_ = lower_;
    if (position_ > upper_ && upper_ >= lower_) position_ = upper_;
}

void RecordingBar::getRange(int& lower, int& upper) const {
    std::lock_guard<std::mutex> lock(mutex_);
    lower = lower_;
    upper = upper_;
}

void RecordingBar::setStep(int step) {
    std::lock_guard<std::mutex> lock(mutex_);
    step_ = step;
}

void RecordingBar::setPosition(int position) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++positionCalls_;
    if (position < lower_) position = lower_;
    if (position > upper_ && upper_ >= lower_) position = upper_;
    position_ = position;
}

int RecordingBar::position() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return position_;
}

void RecordingBar::stepIt() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++steps_;
    long long next = static_cast<long long>(position_) + step_;
    if (next > upper_ || next < lower_) {
        long long span = static_cast<long long>(upper_) - lower_;
        next = span > 0 ? lower_ + (next - lower_) % span : lower_;
        if (next < lower_) next += span;
    }
    position_ = static_cast<int>(next);
}

std::vector<std::pair<int, int>> RecordingBar::ranges() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ranges_;
}

long long RecordingBar::steps() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return steps_;
}

long long RecordingBar::positionCalls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return positionCalls_;
}

void RecordingChannel::notifyOutcome() {
    log_.add("outcome");
    std::unique_ptr<WizardOutcome> outcome = takeOutcome();
    std::lock_guard<std::mutex> lock(mutex_);
    ++outcomesPosted_;
    outcome_ = std::move(outcome);
}

std::vector<std::string> RecordingChannel::events(const std::string& prefix) const {
    std::vector<std::string> matching;
    for (const std::string& event : log_.events())
        if (event.compare(0, prefix.size(), prefix) == 0) matching.push_back(event.substr(prefix.size()));
    return matching;
}

const WizardOutcome* RecordingChannel::outcome() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return outcome_.get();
}

int RecordingChannel::outcomesPosted() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return outcomesPosted_;
}

bool RunWorkerToEnd(WorkerThread* worker, DWORD timeoutMs) {
    std::unique_ptr<RunningWorker> running = WorkerThread::Start(worker);
    if (!running) return false;
    const bool ended = running->wait(timeoutMs);
    if (!ended) running.release();  // abandoned: its thread still uses it
    return ended;
}
