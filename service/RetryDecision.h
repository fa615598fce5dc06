#pragma once
// When a failed download is worth another try, and how long to wait first.
// Pure: failures arrive as numbers, so nothing here needs the platform.
#include <string>

struct RetryDecision {
    bool retry = false;
    unsigned long delayMs = 0;
};

// A failure with no code of its own: the body ended before its stated length.
const long kBodyCutShort = -1;
// Tries after the first one.
const int kMaxRetries = 3;

// `attempt` counts the tries made so far (1 after the first). `failure` is
// an HTTP status (100 to 599), an internet library error code (12000 and
// up), kBodyCutShort, or 0 for any other failure. `retryAfter` is the reply's
// Retry-After header; seconds in it replace the usual wait, up to 30 s.
RetryDecision DecideRetry(int attempt, long failure, const std::string& retryAfter);

// Whether an Accept-Ranges header lets a download go on from an offset.
bool AcceptsByteRanges(const std::string& acceptRanges);
// Whether a Content-Range header answers "Range: bytes=<start>-": it must
// be "bytes <start>-<end>/<total>" with the range running to the end.
bool ContentRangeContinuesAt(const std::string& contentRange, unsigned long long start);
