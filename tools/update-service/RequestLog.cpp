#include "RequestLog.h"

RequestLog::RequestLog(const std::string& path, const std::string& headersPath, bool echo)
    : path_(path), headersPath_(headersPath), echo_(echo) {
    // Append mode: a reader may truncate the files between requests.
    if (!path_.empty()) file_ = std::fopen(path_.c_str(), "a");
    if (!headersPath_.empty()) headersFile_ = std::fopen(headersPath_.c_str(), "a");
}

RequestLog::~RequestLog() {
    if (file_) std::fclose(file_);
    if (headersFile_) std::fclose(headersFile_);
}

void RequestLog::write(const std::string& line, const HeaderLines& headers) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (file_) {
        std::fputs((line + "\n").c_str(), file_);
        std::fflush(file_);
    }
    if (headersFile_) {
        std::string block = line + "\n";
        for (const auto& header : headers) block += header.first + ": " + header.second + "\n";
        std::fputs((block + "\n").c_str(), headersFile_);
        std::fflush(headersFile_);
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
