#include "RequestLog.h"

RequestLog::RequestLog(const std::string& path, bool echo) : path_(path), echo_(echo) {
    // Append mode: a reader may truncate the file between requests.
    if (!path_.empty()) file_ = std::fopen(path_.c_str(), "a");
}

RequestLog::~RequestLog() {
    if (file_) std::fclose(file_);
}

void RequestLog::write(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (file_) {
        std::fputs((line + "\n").c_str(), file_);
        std::fflush(file_);
    }
    if (echo_) {
        std::fputs((line + "\n").c_str(), stdout);
        std::fflush(stdout);
    }
}

void RequestLog::note(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::fputs(("update-service: " + line + "\n").c_str(), stderr);
    std::fflush(stderr);
}
