#include "service/InternetErrorText.h"

#include <windows.h>
#include <wininet.h>

#include <utility>

#include "system/Utf8.h"

const char kInternalErrorText[] = "An internal memory error has occurred.";

namespace {

const DWORD kMessageLimit = 256;  // characters, terminating zero included

// Without the line ends and spaces the texts end with, cut to the limit
// (never inside a surrogate pair), as UTF-8.
std::string TrimmedMessage(std::wstring message) {
    while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' '))
        message.pop_back();
    if (message.size() > kMessageLimit - 1) {
        message.resize(kMessageLimit - 1);
        if (message.back() >= 0xD800 && message.back() <= 0xDBFF) message.pop_back();
    }
    return Narrow(message);
}

std::string FormattedMessage(DWORD flags, HMODULE module, DWORD code) {
    std::wstring buffer(kMessageLimit, L'\0');
    DWORD length = FormatMessageW(flags | FORMAT_MESSAGE_IGNORE_INSERTS, module, code, 0, &buffer[0],
                                  kMessageLimit, nullptr);
    buffer.resize(length);
    return length == 0 ? std::string() : TrimmedMessage(std::move(buffer));
}

// The server's own words for an extended error; empty when it gave none.
std::string LastResponseText() {
    std::wstring buffer(kMessageLimit, L'\0');
    for (;;) {
        DWORD detail = 0;
        DWORD length = static_cast<DWORD>(buffer.size());
        if (InternetGetLastResponseInfoW(&detail, &buffer[0], &length)) {
            buffer.resize(length < buffer.size() ? length : buffer.size() - 1);
            return TrimmedMessage(std::move(buffer));
        }
        // Too small: the length now counts the whole text and its zero.
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || length <= buffer.size()) return std::string();
        buffer.assign(length + 1, L'\0');
    }
}

}  // namespace

std::string InternetErrorText(unsigned long code) {
    if (code == 0) return kInternalErrorText;  // failed without saying why
    if (code == ERROR_INTERNET_EXTENDED_ERROR) {
        std::string response = LastResponseText();
        if (!response.empty()) return response;
    }
    std::string message = FormattedMessage(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM,
                                           GetModuleHandleW(L"wininet.dll"), code);
    if (message.empty()) message = "Internet error " + std::to_string(code) + ".";
    return message;
}

std::string SystemErrorText(unsigned long code) {
    if (code == 0) return kInternalErrorText;
    std::string message = FormattedMessage(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code);
    if (message.empty()) message = "System error " + std::to_string(code) + ".";
    return message;
}
