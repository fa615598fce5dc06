#include "service/RetryDecision.h"

#include <algorithm>
#include <cctype>

namespace {

// Internet library errors of a network that may recover: a time-out and a
// connection dropped or reset under the transfer.
const long kInternetTimeout = 12002;
const long kConnectionAborted = 12030;
const long kConnectionReset = 12031;

const unsigned long kMaxRetryAfterSeconds = 30;

bool IsTransient(long failure) {
    switch (failure) {
        case kBodyCutShort:
        case kInternetTimeout:
        case kConnectionAborted:
        case kConnectionReset:
        case 408:  // request time-out
        case 429:  // too many requests
            return true;
        default:
            return failure >= 500 && failure <= 599;
    }
}

bool AllDigits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string Trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The decimal number at text[position..], moving position past it; false
// without digits or when it does not fit.
bool ReadNumber(const std::string& text, size_t& position, unsigned long long& value) {
    size_t start = position;
    value = 0;
    for (; position < text.size() && text[position] >= '0' && text[position] <= '9'; ++position) {
        if (value > (~0ull - 9) / 10) return false;
        value = value * 10 + static_cast<unsigned>(text[position] - '0');
    }
    return position > start;
}

}  // namespace

RetryDecision DecideRetry(int attempt, long failure, const std::string& retryAfter) {
    RetryDecision decision;
    if (attempt < 1 || attempt > kMaxRetries || !IsTransient(failure)) return decision;
    decision.retry = true;
    decision.delayMs = 1000ul << (attempt - 1);
    // A date instead of seconds is not honoured: the usual wait stands.
    const std::string seconds = Trimmed(retryAfter);
    if (AllDigits(seconds))
        decision.delayMs =
            seconds.size() > 3 ? kMaxRetryAfterSeconds * 1000
                               : std::min(std::stoul(seconds), kMaxRetryAfterSeconds) * 1000;
    return decision;
}

bool AcceptsByteRanges(const std::string& acceptRanges) {
    std::string unit = Trimmed(acceptRanges);
    std::transform(unit.begin(), unit.end(), unit.begin(), [](char c) { return static_cast<char>(std::tolower(c)); });
    return unit == "bytes";
}

bool ContentRangeContinuesAt(const std::string& contentRange, unsigned long long start) {
    const std::string text = Trimmed(contentRange);
    const std::string unit = "bytes ";
    if (text.compare(0, unit.size(), unit) != 0) return false;
    size_t position = unit.size();
    unsigned long long first = 0, last = 0, total = 0;
    if (!ReadNumber(text, position, first) || first != start || position >= text.size() || text[position++] != '-')
        return false;
    if (!ReadNumber(text, position, last) || last < first || position >= text.size() || text[position++] != '/')
        return false;
    return ReadNumber(text, position, total) && position == text.size() && last + 1 == total;
}
