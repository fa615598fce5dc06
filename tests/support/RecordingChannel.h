#pragma once
// A WorkerChannel without windows, for running a worker in a test: it keeps
// what the worker did to the captions, bars and buttons, in order, and the
// outcome it posted.
//
//   auto channel = std::make_shared<RecordingChannel>(config);
//   ASSERT_TRUE(RunWorkerToEnd(new InstallWorker(channel)));
//   EXPECT_EQ(channel->outcome()->kind, OutcomeKind::Installed);
#include <windows.h>

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "flow/WorkerChannel.h"

class WorkerThread;

// What happened on the channel, in order: "step caption: <text>",
// "total caption: <text>", "step range: 0 6", "back: off", "next: on",
// "outcome". Shared by the channel and its bars.
class ChannelLog {
public:
    void add(std::string event);
    std::vector<std::string> events() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> events_;
};

// Behaves like the common control: positions are clamped into the range and
// a step past the top wraps to the bottom.
class RecordingBar : public ProgressBar {
public:
    RecordingBar(ChannelLog& log, std::string name) : log_(log), name_(std::move(name)) {}

    void setRange(int lower, int upper) override;
    void getRange(int& lower, int& upper) const override;
    void setStep(int step) override;
    void setPosition(int position) override;
    int position() const override;
    void stepIt() override;

    std::vector<std::pair<int, int>> ranges() const;  // every range set, in order
    long long steps() const;                          // stepIt calls
    long long positionCalls() const;

private:
    ChannelLog& log_;
    std::string name_;
    mutable std::mutex mutex_;
    std::vector<std::pair<int, int>> ranges_;
    int lower_ = 0, upper_ = 100, step_ = 10, position_ = 0;
    long long steps_ = 0, positionCalls_ = 0;
};

class RecordingChannel : public WorkerChannel {
public:
    explicit RecordingChannel(InstallerConfig& configuration) : configuration_(configuration) {}

    InstallerConfig& configuration() override { return configuration_; }
    void setStepCaption(const std::string& text) override { log_.add("step caption: " + text); }
    void setTotalCaption(const std::string& text) override { log_.add("total caption: " + text); }
    ProgressBar* stepBar() override { return &step; }
    ProgressBar* totalBar() override { return &total; }
    void enableBack(bool enable) override { log_.add(std::string("back: ") + (enable ? "on" : "off")); }
    void enableNext(bool enable) override { log_.add(std::string("next: ") + (enable ? "on" : "off")); }

    std::vector<std::string> events() const { return log_.events(); }
    // The events that start with `prefix`, with the prefix taken off.
    std::vector<std::string> events(const std::string& prefix) const;
    // The outcome posted; null if none was.
    const WizardOutcome* outcome() const;
    int outcomesPosted() const;

protected:
    void notifyOutcome() override;

private:
    InstallerConfig& configuration_;
    ChannelLog log_;
    mutable std::mutex mutex_;
    std::unique_ptr<WizardOutcome> outcome_;
    int outcomesPosted_ = 0;

public:
    RecordingBar step{log_, "step"};
    RecordingBar total{log_, "total"};
};

// Starts the worker's thread and waits until it has ended. False on
// time-out or when the thread could not start.
bool RunWorkerToEnd(WorkerThread* worker, DWORD timeoutMs = 60000);
