#pragma once
// One open reply of the update service (or a local file for a file URL):
// status, length, and the body either read through body() or copied to a
// file. Made by UpdateServiceClient::openRequest; closing frees the reply
// stream, the connection and the root handle, in that order.
#include <cstdint>
#include <string>

#include "documents/ByteStream.h"
#include "system/UniqueHandle.h"

class ProgressBar;

// The reply body as a byte stream, read ahead in blocks of 4096 bytes. It
// ends at the end of the body, at a failing read, or at its limit; the
// request tells which.
class ReplyBody : public ByteStream {
public:
    ReplyBody(const UniqueInternetHandle& reply, const UniqueFileHandle& file) : reply_(reply), file_(file) {}
    size_t read(void* buffer, size_t count) override;

    uint64_t bytesRead() const { return bytesRead_; }
    // A body that would go past `limit` bytes stops there.
    void setLimit(uint64_t limit) { limit_ = limit; }
    bool overLimit() const { return overLimit_; }
    // True once a read found the end of the body (or failed).
    bool ended() const { return ended_; }
    // The text of the read that failed; empty while none has.
    const std::string& failure() const { return failure_; }

private:
    bool fill();

    const UniqueInternetHandle& reply_;
    const UniqueFileHandle& file_;
    char block_[4096];
    size_t blockSize_ = 0;
    size_t blockOffset_ = 0;
    uint64_t bytesRead_ = 0;
    uint64_t limit_ = UINT64_MAX;
    bool overLimit_ = false;
    bool ended_ = false;
    std::string failure_;
};

class HttpRequest {
public:
    ~HttpRequest();
    HttpRequest(const HttpRequest&) = delete;
    HttpRequest& operator=(const HttpRequest&) = delete;

    // The reply's HTTP status; 0 without a reply stream. A local file that
    // is open counts as 200.
    int statusCode() const;
    bool isSuccess() const;
    // The Content-Length header read as a decimal number; without one, the
    // bytes the platform has available now. 0 without a reply stream.
    int64_t contentLength() const;
    // Whether the reply stated its length (a local file always does).
    bool hasContentLength() const;

    ReplyBody& body() { return body_; }
    // Why the body read through body() is not the whole reply: a failed
    // read, the limit, or a reply shorter than its Content-Length. Empty
    // when the body came whole, or when its reader stopped before the end.
    std::string bodyFailure() const;

    // Copies the rest of the body to `path` (created or emptied): byte for
    // byte when `raw`, else with each LF written as CR LF. The progress bar
    // moves by the bytes read. Closes the reply stream. 1 on success; 0 with
    // errorText() on failure, the partial file left on disk.
    int downloadToFile(const std::string& path, bool raw, ProgressBar* progress);
    std::string errorText() const { return errorText_; }

private:
    friend class UpdateServiceClient;
    HttpRequest() = default;
    bool openFile(const std::string& url, std::string& error);

    // Declared in the order of opening, so they close in reverse.
    UniqueInternetHandle root_;
    UniqueInternetHandle connection_;
    UniqueInternetHandle reply_;
    UniqueFileHandle file_;  // the reply stream of a file URL
    ReplyBody body_{reply_, file_};
    std::string errorText_;
};
