#include "service/InternetErrorText.h"

#include <windows.h>
#include <wininet.h>

const char kInternalErrorText[] = "An internal memory error has occurred.";

namespace {

const DWORD kMessageLimit = 256;  // characters, terminating zero included

std::string TrimmedMessage(const char* text, size_t length) {
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\r' || message.back() == '\n' || message.back() == ' '))
        message.pop_back();
    if (message.size() > kMessageLimit - 1) message.resize(kMessageLimit - 1);
    return message;
}

std::string FormattedMessage(DWORD flags, HMODULE module, DWORD code) {
    char buffer[kMessageLimit] = {};
    DWORD length = FormatMessageA(flags | FORMAT_MESSAGE_IGNORE_INSERTS, module, code, 0, buffer,
                                  kMessageLimit, nullptr);
    return length == 0 ? std::string() : TrimmedMessage(buffer, length);
}

}  // namespace

std::string InternetErrorText(unsigned long code) {
    if (code == 0) return kInternalErrorText;  // failed without saying why
    if (code == ERROR_INTERNET_EXTENDED_ERROR) {
        DWORD detail = 0;
        char buffer[kMessageLimit] = {};
        DWORD length = kMessageLimit;
        if (InternetGetLastResponseInfoA(&detail, buffer, &length) && length > 0)
            return TrimmedMessage(buffer, length < kMessageLimit ? length : kMessageLimit - 1);
    }
    std::string message = FormattedMessage(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM,
                                           GetModuleHandleA("wininet.dll"), code);
    if (message.empty()) message = "Internet error " + std::to_string(code) + ".";
    return message;
}

std::string SystemErrorText(unsigned long code) {
    if (code == 0) return kInternalErrorText;
    std::string message = FormattedMessage(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code);
    if (message.empty()) message = "System error " + std::to_string(code) + ".";
    return message;
}
