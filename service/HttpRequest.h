#pragma once
// One open reply of the update service: status, length, and the body either
// read through body() or copied to a file. Made by UpdateServiceClient::openRequest; closing frees the reply
// stream, the connection and the root handle, in that order.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "documents/ByteStream.h"
#include "system/UniqueHandle.h"

class BackgroundSha256;
class ProgressBar;

// A file filled from one or more replies: a download cut short may go on
// from where it stopped. Keeps the file open and the digest of every byte
// received so far, so the digest always covers the whole file.
class FileDownload {
public:
    // `raw`: byte for byte; else each LF is written as CR LF.
    FileDownload(std::string path, bool raw);
    ~FileDownload();
    FileDownload(const FileDownload&) = delete;
    FileDownload& operator=(const FileDownload&) = delete;

    // Creates or empties the file; false with errorText().
    bool open();
    bool isOpen() const { return static_cast<bool>(file_); }
    // Empties the file and forgets the bytes received, to start over.
    bool restart();
    // Hashes and writes the next bytes of the body; false with errorText().
    bool append(const char* data, size_t size);
    // The bytes of the body received so far.
    uint64_t received() const { return received_; }
    // Closes the file; the digest of everything received (see
    // HttpRequest::downloadDigest), empty when it could not be computed.
    // Kept open instead, the file is taken with release().
    std::string finish(bool keepOpen = false);
    // The file's handle, for writing, with reading alone shared: while it is
    // held nobody else can change, replace or delete the file.
    UniqueFileHandle release() { return std::move(file_); }
    const std::string& path() const { return path_; }
    const std::string& errorText() const { return errorText_; }

private:
    std::string path_;
    bool raw_;
    UniqueFileHandle file_;
    std::unique_ptr<BackgroundSha256> digest_;
    uint64_t received_ = 0;
    std::string text_;
    std::string errorText_;
};

// The text of a download ended by its stop flag.
extern const char kDownloadStoppedText[];

// The reply body as a byte stream. Small reads are served from a block
// read ahead; a read of a whole block or more goes straight into the
// caller's buffer. It ends at the end of the body, at a failing read, or at
// its limit; the request tells which.
class ReplyBody : public ByteStream {
public:
    // Each platform read costs far more than its bytes under some WinINets:
    // blocks this large keep their number small.
    static constexpr size_t kBlockBytes = 64 * 1024;

    explicit ReplyBody(const UniqueInternetHandle& reply) : reply_(reply) {}
    size_t read(void* buffer, size_t count) override;

    uint64_t bytesRead() const { return bytesRead_; }
    // A body that would go past `limit` bytes stops there.
    void setLimit(uint64_t limit) { limit_ = limit; }
    bool overLimit() const { return overLimit_; }
    // True once a read found the end of the body (or failed).
    bool ended() const { return ended_; }
    // The text of the read that failed; empty while none has.
    const std::string& failure() const { return failure_; }
    // The error code of the read that failed; 0 while none has.
    unsigned long failureCode() const { return failureCode_; }

private:
    // Reads up to `capacity` bytes of the reply into `into`; 0 at the end
    // or on failure, which then ends the body.
    size_t readReply(char* into, size_t capacity);

    const UniqueInternetHandle& reply_;
    std::vector<char> block_;
    size_t blockSize_ = 0;
    size_t blockOffset_ = 0;
    uint64_t bytesRead_ = 0;
    uint64_t limit_ = UINT64_MAX;
    bool overLimit_ = false;
    bool ended_ = false;
    std::string failure_;
    unsigned long failureCode_ = 0;
};

class HttpRequest {
public:
    ~HttpRequest();
    HttpRequest(const HttpRequest&) = delete;
    HttpRequest& operator=(const HttpRequest&) = delete;

    // The reply's HTTP status; 0 without a reply stream.
    int statusCode() const;
    bool isSuccess() const;
    // The Content-Length header read as a decimal number; without one, the
    // bytes the platform has available now. 0 without a reply stream.
    int64_t contentLength() const;
    // Whether the reply stated its length.
    bool hasContentLength() const;

    ReplyBody& body() { return body_; }
    // Why the body read through body() is not the whole reply: a failed
    // read, the limit, or a reply shorter than its Content-Length. Empty
    // when the body came whole, or when its reader stopped before the end.
    std::string bodyFailure() const;

    // The most a download may grow to; a bigger one stops with a failure.
    static constexpr uint64_t kMaxDownloadBytes = 4ull << 30;

    // Copies the rest of the body to `path` (created or emptied): byte for
    // byte when `raw`, else with each LF written as CR LF. The progress bar
    // moves by the bytes read; `stop` (null: never) is checked between
    // blocks. Closes the reply stream. 1 on success; 0 with errorText() on
    // failure, the partial file left on disk.
    int downloadToFile(const std::string& path, bool raw, ProgressBar* progress,
                       const std::atomic<bool>* stop = nullptr);
    // The same into an open download, after the bytes it already holds; the
    // whole download stays within kMaxDownloadBytes. The file stays open.
    int appendToDownload(FileDownload& download, ProgressBar* progress, const std::atomic<bool>* stop = nullptr);
    std::string errorText() const { return errorText_; }
    // What ended the last download, for deciding on a retry: kBodyCutShort
    // (service/RetryDecision.h) for a body shorter than its Content-Length,
    // else the internet library's code of a failed read, else 0.
    long downloadFailureCode() const { return downloadFailureCode_; }
    // The value of the reply header `name`; empty when there is none.
    std::string headerValue(const std::string& name) const;
    // The SHA-256 of the bytes the last downloadToFile received, as 64
    // lower-case hexadecimal digits; empty when it could not be computed.
    const std::string& downloadDigest() const { return downloadDigest_; }

private:
    friend class UpdateServiceClient;
    HttpRequest() = default;

    // Declared in the order of opening, so they close in reverse.
    UniqueInternetHandle root_;
    UniqueInternetHandle connection_;
    UniqueInternetHandle reply_;
    ReplyBody body_{reply_};
    std::string errorText_;
    std::string downloadDigest_;
    long downloadFailureCode_ = 0;
};
