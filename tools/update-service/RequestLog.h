#pragma once
// One line per request, written and flushed the moment the request arrives,
// to the log file (when given) and to stdout (unless quiet). Thread-safe.
#include <cstdio>
#include <mutex>
#include <string>

class RequestLog {
public:
    RequestLog(const std::string& path, bool echo);
    ~RequestLog();
    RequestLog(const RequestLog&) = delete;
    RequestLog& operator=(const RequestLog&) = delete;

    bool ok() const { return path_.empty() || file_ != nullptr; }
    void write(const std::string& line);
    // Notes for the person running the service (stderr, never the log file).
    void note(const std::string& line);

private:
    std::mutex mutex_;
    std::string path_;
    std::FILE* file_ = nullptr;
    bool echo_;
};
