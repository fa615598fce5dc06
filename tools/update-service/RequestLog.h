#pragma once
// One line per request, written and flushed the moment the request arrives,
// to the log file (when given) and to stdout (unless quiet); optionally the
// same line with the request's headers to a second file. Thread-safe.
#include <cstdio>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

class RequestLog {
public:
    using HeaderLines = std::vector<std::pair<std::string, std::string>>;

    RequestLog(const std::string& path, const std::string& headersPath, bool echo);
    ~RequestLog();
    RequestLog(const RequestLog&) = delete;
    RequestLog& operator=(const RequestLog&) = delete;

    bool ok() const {
        return (path_.empty() || file_ != nullptr) && (headersPath_.empty() || headersFile_ != nullptr);
    }
    void write(const std::string& line, const HeaderLines& headers);
    // Notes for the person running the service (stderr, never the log file).
    void note(const std::string& line);

private:
    std::mutex mutex_;
    std::string path_;
    std::FILE* file_ = nullptr;
    std::string headersPath_;
    std::FILE* headersFile_ = nullptr;
    bool echo_;
};
