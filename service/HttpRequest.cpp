#include "service/HttpRequest.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>
#include <vector>

#include "service/InternetErrorText.h"
#include "service/RetryDecision.h"
#include "system/BackgroundSha256.h"
#include "system/ProgressBar.h"
#include "system/Utf8.h"

const char kDownloadStoppedText[] = "The download was stopped.";

namespace {

const char kCutShortText[] = "The connection ended before the whole reply arrived.";
const char kTooLargeText[] = "The reply from the update service is larger than any it should send.";
const char kNoReplyText[] = "There is no reply left to download.";
const char kDownloadTooLargeText[] = "The download is larger than 4 GB, more than any file of the update service.";

int64_t LeadingDigits(const std::wstring& text) {
    int64_t value = 0;
    for (auto c = text.begin(); c != text.end() && *c >= L'0' && *c <= L'9'; ++c) {
        if (value > (INT64_MAX - 9) / 10) return INT64_MAX;
        value = value * 10 + (*c - L'0');
    }
    return value;
}

bool WriteAll(HANDLE file, const char* data, size_t size) {
    while (size > 0) {
        DWORD written = 0;
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1 << 20));
        if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

// The text of one header of the reply; false when the reply has none.
// For HTTP_QUERY_CUSTOM, `name` names the header.
bool QueryHeaderText(HINTERNET reply, DWORD header, std::wstring& text, const std::wstring& name = std::wstring()) {
    std::wstring buffer(std::max<size_t>(32, name.size() + 1), L'\0');
    for (;;) {
        std::copy(name.begin(), name.end(), buffer.begin());
        buffer[name.size()] = L'\0';
        DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        if (HttpQueryInfoW(reply, header, &buffer[0], &bytes, nullptr)) {
            buffer.resize(std::min<size_t>(bytes / sizeof(wchar_t), buffer.size()));
            text = std::move(buffer);
            return true;
        }
        // Too small: the size now counts the whole text and its zero.
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || bytes <= buffer.size() * sizeof(wchar_t)) return false;
        buffer.assign(std::max<size_t>(bytes / sizeof(wchar_t), name.size()) + 1, L'\0');
    }
}

void AdvanceBy(ProgressBar& progress, size_t bytes) {
    int64_t position = static_cast<int64_t>(progress.position()) + static_cast<int64_t>(bytes);
    progress.setPosition(static_cast<int>(std::min<int64_t>(position, INT_MAX)));
}

// Moves the bar through a large block in 4 KB steps, so a small download
// still shows every pixel column it passes; the bar sends a message only
// when its column changes, so the steps cost next to nothing.
void AdvanceInPieces(ProgressBar& progress, size_t bytes) {
    const size_t kPiece = 4096;
    for (; bytes > kPiece; bytes -= kPiece) AdvanceBy(progress, kPiece);
    AdvanceBy(progress, bytes);
}

}  // namespace

size_t ReplyBody::read(void* buffer, size_t count) {
    char* out = static_cast<char*>(buffer);
    size_t copied = 0;
    while (copied < count) {
        const uint64_t belowLimit = limit_ - std::min(limit_, bytesRead_ + copied);
        const size_t wanted = static_cast<size_t>(std::min<uint64_t>(count - copied, belowLimit));
        if (blockOffset_ == blockSize_) {
            if (wanted >= kBlockBytes) {
                const size_t got = readReply(out + copied, std::min<size_t>(wanted, ULONG_MAX));
                if (got == 0) break;
                copied += got;
                continue;
            }
            if (block_.size() < kBlockBytes) block_.resize(kBlockBytes);
            blockSize_ = readReply(block_.data(), kBlockBytes);
            blockOffset_ = 0;
            if (blockSize_ == 0) break;
        }
        // A byte beyond the limit is there: the body is too large.
        if (wanted == 0) {
            overLimit_ = true;
            break;
        }
        const size_t n = std::min(wanted, blockSize_ - blockOffset_);
        std::memcpy(out + copied, block_.data() + blockOffset_, n);
        blockOffset_ += n;
        copied += n;
    }
    bytesRead_ += copied;
    return copied;
}

size_t ReplyBody::readReply(char* into, size_t capacity) {
    if (ended_) return 0;
    DWORD got = 0;
    bool ok = false;
    if (reply_) {
        ok = InternetReadFile(reply_.get(), into, static_cast<DWORD>(capacity), &got);
        if (!ok) {
            failureCode_ = GetLastError();
            failure_ = InternetErrorText(failureCode_);
        }
    }
    if (!ok || got == 0) {
        ended_ = true;
        return 0;
    }
    return got;
}

HttpRequest::~HttpRequest() = default;

int HttpRequest::statusCode() const {
    if (!reply_) return 0;
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!HttpQueryInfoW(reply_.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
        return 0;
    return static_cast<int>(status);
}

bool HttpRequest::isSuccess() const {
    int status = statusCode();
    return status >= 200 && status <= 299;
}

bool HttpRequest::hasContentLength() const {
    std::wstring text;
    return reply_ && QueryHeaderText(reply_.get(), HTTP_QUERY_CONTENT_LENGTH, text);
}

int64_t HttpRequest::contentLength() const {
    if (!reply_) return 0;
    std::wstring text;
    if (QueryHeaderText(reply_.get(), HTTP_QUERY_CONTENT_LENGTH, text)) return LeadingDigits(text);
    DWORD available = 0;
    return InternetQueryDataAvailable(reply_.get(), &available, 0, 0) ? available : 0;
}

std::string HttpRequest::bodyFailure() const {
    if (!body_.failure().empty()) return body_.failure();
    if (body_.overLimit()) return kTooLargeText;
    if (body_.ended() && hasContentLength() && static_cast<int64_t>(body_.bytesRead()) < contentLength())
        return kCutShortText;
    return std::string();
}

FileDownload::FileDownload(std::string path, bool raw) : path_(std::move(path)), raw_(raw) {}

FileDownload::~FileDownload() = default;

bool FileDownload::open() {
    file_.reset(CreateFileW(Widen(path_).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_) {
        errorText_ = "The file " + path_ + " could not be created: " + SystemErrorText(GetLastError());
        return false;
    }
    digest_.reset(new BackgroundSha256);
    received_ = 0;
    return true;
}

bool FileDownload::restart() {
    LARGE_INTEGER start = {};
    if (!file_ || !SetFilePointerEx(file_.get(), start, nullptr, FILE_BEGIN) || !SetEndOfFile(file_.get())) {
        errorText_ = "The file " + path_ + " could not be emptied: " + SystemErrorText(GetLastError());
        return false;
    }
    digest_.reset(new BackgroundSha256);
    received_ = 0;
    return true;
}

bool FileDownload::append(const char* data, size_t size) {
    digest_->update(data, size);
    received_ += size;
    if (!raw_) {
        text_.clear();
        for (size_t i = 0; i < size; ++i) {
            if (data[i] == '\n') text_ += '\r';
            text_ += data[i];
        }
        data = text_.data();
        size = text_.size();
    }
    if (WriteAll(file_.get(), data, size)) return true;
    errorText_ = "The file " + path_ + " could not be written: " + SystemErrorText(GetLastError());
    return false;
}

std::string FileDownload::finish(bool keepOpen) {
    if (!keepOpen) file_.reset();
    std::string digest = digest_ ? digest_->finish() : std::string();
    digest_.reset();
    return digest;
}

std::string HttpRequest::headerValue(const std::string& name) const {
    std::wstring text;
    if (!reply_ || !QueryHeaderText(reply_.get(), HTTP_QUERY_CUSTOM, text, Widen(name))) return std::string();
    return Narrow(text);
}

int HttpRequest::downloadToFile(const std::string& path, bool raw, ProgressBar* progress,
                                const std::atomic<bool>* stop) {
    downloadDigest_.clear();
    if (!reply_) {
        errorText_ = kNoReplyText;
        return 0;
    }
    FileDownload download(path, raw);
    if (!download.open()) {
        errorText_ = download.errorText();
        reply_.reset();
        return 0;
    }
    if (!appendToDownload(download, progress, stop)) return 0;
    downloadDigest_ = download.finish();
    return 1;
}

int HttpRequest::appendToDownload(FileDownload& download, ProgressBar* progress, const std::atomic<bool>* stop) {
    downloadFailureCode_ = 0;
    if (!reply_) {
        errorText_ = kNoReplyText;
        return 0;
    }
    std::string failure;
    try {
        const uint64_t kept = download.received();
        body_.setLimit(kMaxDownloadBytes - std::min(kept, kMaxDownloadBytes));
        std::vector<char> buffer(ReplyBody::kBlockBytes);
        for (;;) {
            if (stop && stop->load()) {
                failure = kDownloadStoppedText;
                break;
            }
            size_t read = body_.read(buffer.data(), buffer.size());
            if (read == 0) break;
            if (!download.append(buffer.data(), read)) {
                failure = download.errorText();
                break;
            }
            if (progress) AdvanceInPieces(*progress, read);
        }
        if (failure.empty()) failure = body_.overLimit() ? kDownloadTooLargeText : bodyFailure();
        // A body that ended early is worth another try whatever ended it.
        if (!failure.empty() && body_.ended() && !body_.overLimit() && hasContentLength() &&
            static_cast<int64_t>(body_.bytesRead()) < contentLength())
            downloadFailureCode_ = kBodyCutShort;
        else if (!failure.empty())
            downloadFailureCode_ = static_cast<long>(body_.failureCode());
    } catch (...) {
        failure = kInternalErrorText;
    }
    reply_.reset();
    if (!failure.empty()) {
        errorText_ = failure;
        return 0;
    }
    return 1;
}
