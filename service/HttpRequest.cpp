#include "service/HttpRequest.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>
#include <vector>

#include "service/InternetErrorText.h"
#include "system/BackgroundSha256.h"
#include "system/ProgressBar.h"
#include "system/Utf8.h"

namespace {

const char kCutShortText[] = "The connection ended before the whole reply arrived.";
const char kTooLargeText[] = "The reply from the update service is larger than any it should send.";
const char kNoReplyText[] = "There is no reply left to download.";
const char kDownloadTooLargeText[] = "The download is larger than 4 GB, more than any file of the update service.";
const char kStoppedText[] = "The download was stopped.";

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
bool QueryHeaderText(HINTERNET reply, DWORD header, std::wstring& text) {
    std::wstring buffer(32, L'\0');
    for (;;) {
        DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        if (HttpQueryInfoW(reply, header, &buffer[0], &bytes, nullptr)) {
            buffer.resize(std::min<size_t>(bytes / sizeof(wchar_t), buffer.size()));
            text = std::move(buffer);
            return true;
        }
        // Too small: the size now counts the whole text and its zero.
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || bytes <= buffer.size() * sizeof(wchar_t)) return false;
        buffer.assign(bytes / sizeof(wchar_t) + 1, L'\0');
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
        if (!ok) failure_ = InternetErrorText(GetLastError());
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

int HttpRequest::downloadToFile(const std::string& path, bool raw, ProgressBar* progress,
                                const std::atomic<bool>* stop) {
    downloadDigest_.clear();
    if (!reply_) {
        errorText_ = kNoReplyText;
        return 0;
    }
    UniqueFileHandle out(
        CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) {
        errorText_ = "The file " + path + " could not be created: " + SystemErrorText(GetLastError());
        return 0;
    }
    std::string failure;
    try {
        body_.setLimit(kMaxDownloadBytes);
        BackgroundSha256 digest;
        std::vector<char> buffer(ReplyBody::kBlockBytes);
        std::string text;
        for (;;) {
            if (stop && stop->load()) {
                failure = kStoppedText;
                break;
            }
            size_t read = body_.read(buffer.data(), buffer.size());
            if (read == 0) break;
            digest.update(buffer.data(), read);
            const char* data = buffer.data();
            size_t size = read;
            if (!raw) {
                text.clear();
                for (size_t i = 0; i < read; ++i) {
                    if (buffer[i] == '\n') text += '\r';
                    text += buffer[i];
                }
                data = text.data();
                size = text.size();
            }
            if (!WriteAll(out.get(), data, size)) {
                failure = "The file " + path + " could not be written: " + SystemErrorText(GetLastError());
                break;
            }
            if (progress) AdvanceInPieces(*progress, read);
        }
        if (failure.empty()) failure = body_.overLimit() ? kDownloadTooLargeText : bodyFailure();
        if (failure.empty()) downloadDigest_ = digest.finish();
    } catch (...) {
        failure = kInternalErrorText;
    }
    out.reset();
    reply_.reset();
    if (!failure.empty()) {
        errorText_ = failure;
        return 0;
    }
    return 1;
}
