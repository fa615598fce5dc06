#include "service/HttpRequest.h"

#include <windows.h>
#include <shlwapi.h>
#include <wininet.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "service/InternetErrorText.h"
#include "system/ProgressBar.h"

namespace {

const char kCutShortText[] = "The connection ended before the whole reply arrived.";
const char kTooLargeText[] = "The reply from the update service is larger than any it should send.";
const char kNoReplyText[] = "There is no reply left to download.";

int64_t LeadingDigits(const char* text) {
    int64_t value = 0;
    for (const char* c = text; *c >= '0' && *c <= '9'; ++c) {
        if (value > (INT64_MAX - 9) / 10) return INT64_MAX;
        value = value * 10 + (*c - '0');
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

void AdvanceBy(ProgressBar& progress, size_t bytes) {
    int64_t position = static_cast<int64_t>(progress.position()) + static_cast<int64_t>(bytes);
    progress.setPosition(static_cast<int>(std::min<int64_t>(position, INT_MAX)));
}

}  // namespace

size_t ReplyBody::read(void* buffer, size_t count) {
    char* out = static_cast<char*>(buffer);
    size_t copied = 0;
    while (copied < count) {
        if (blockOffset_ == blockSize_ && !fill()) break;
        if (bytesRead_ + copied >= limit_) {
            overLimit_ = true;
            break;
        }
        size_t n = std::min({count - copied, blockSize_ - blockOffset_,
                             static_cast<size_t>(std::min<uint64_t>(limit_ - bytesRead_ - copied, SIZE_MAX))});
        std::memcpy(out + copied, block_ + blockOffset_, n);
        blockOffset_ += n;
        copied += n;
    }
    bytesRead_ += copied;
    return copied;
}

bool ReplyBody::fill() {
    if (ended_) return false;
    DWORD got = 0;
    bool ok = false;
    if (reply_) {
        ok = InternetReadFile(reply_.get(), block_, sizeof block_, &got);
        if (!ok) failure_ = InternetErrorText(GetLastError());
    } else if (file_) {
        ok = ReadFile(file_.get(), block_, sizeof block_, &got, nullptr);
        if (!ok) failure_ = SystemErrorText(GetLastError());
    }
    blockSize_ = ok ? got : 0;
    blockOffset_ = 0;
    if (blockSize_ == 0) ended_ = true;
    return blockSize_ > 0;
}

HttpRequest::~HttpRequest() = default;

bool HttpRequest::openFile(const std::string& url, std::string& error) {
    char path[MAX_PATH] = {};
    DWORD length = MAX_PATH;
    if (FAILED(PathCreateFromUrlA(url.c_str(), path, &length, 0))) {
        error = InternetErrorText(ERROR_INTERNET_INVALID_URL);
        return false;
    }
    file_.reset(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                            nullptr));
    if (!file_) {
        error = SystemErrorText(GetLastError());
        return false;
    }
    return true;
}

int HttpRequest::statusCode() const {
    if (file_) return 200;
    if (!reply_) return 0;
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!HttpQueryInfoA(reply_.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
        return 0;
    return static_cast<int>(status);
}

bool HttpRequest::isSuccess() const {
    int status = statusCode();
    return status >= 200 && status <= 299;
}

bool HttpRequest::hasContentLength() const {
    if (file_) return true;
    if (!reply_) return false;
    char text[32] = {};
    DWORD size = sizeof text;
    return HttpQueryInfoA(reply_.get(), HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr) != FALSE;
}

int64_t HttpRequest::contentLength() const {
    if (file_) {
        LARGE_INTEGER size = {};
        return GetFileSizeEx(file_.get(), &size) ? size.QuadPart : 0;
    }
    if (!reply_) return 0;
    char text[32] = {};
    DWORD size = sizeof text;
    if (HttpQueryInfoA(reply_.get(), HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return LeadingDigits(text);
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

int HttpRequest::downloadToFile(const std::string& path, bool raw, ProgressBar* progress) {
    if (!reply_ && !file_) {
        errorText_ = kNoReplyText;
        return 0;
    }
    UniqueFileHandle out(
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) {
        errorText_ = "The file " + path + " could not be created: " + SystemErrorText(GetLastError());
        return 0;
    }
    std::string failure;
    try {
        std::vector<char> buffer(4096);
        std::string text;
        for (;;) {
            size_t read = body_.read(buffer.data(), buffer.size());
            if (read == 0) break;
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
            if (progress) AdvanceBy(*progress, read);
        }
        if (failure.empty()) failure = bodyFailure();
    } catch (...) {
        failure = kInternalErrorText;
    }
    out.reset();
    reply_.reset();
    file_.reset();
    if (!failure.empty()) {
        errorText_ = failure;
        return 0;
    }
    return 1;
}
