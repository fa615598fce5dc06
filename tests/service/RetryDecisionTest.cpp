// Which failures of a download are tried again, after how long, and which
// range answers let it go on from where it stopped.
#include <gtest/gtest.h>

#include "service/RetryDecision.h"

TEST(RetryDecision, TransientFailuresWaitLongerEachTime) {
    const struct {
        int attempt;
        long failure;
        const char* retryAfter;
        bool retry;
        unsigned long delayMs;
    } cases[] = {
        {1, kBodyCutShort, "", true, 1000},
        {2, kBodyCutShort, "", true, 2000},
        {3, kBodyCutShort, "", true, 4000},
        {4, kBodyCutShort, "", false, 0},  // three retries, then it fails
        {1, 12002, "", true, 1000},        // time-out
        {1, 12030, "", true, 1000},        // connection aborted
        {1, 12031, "", true, 1000},        // connection reset
        {1, 408, "", true, 1000},
        {1, 429, "", true, 1000},
        {1, 500, "", true, 1000},
        {2, 503, "", true, 2000},
        {1, 599, "", true, 1000},
        {1, 503, "7", true, 7000},
        {1, 429, " 12 ", true, 12000},
        {3, 503, "0", true, 0},
        {1, 503, "31", true, 30000},  // honoured up to 30 s
        {1, 503, "86400", true, 30000},
        {2, 503, "Wed, 21 Oct 2026 07:28:00 GMT", true, 2000},  // a date: the usual wait
        {1, 503, "-5", true, 1000},
        {4, 503, "1", false, 0},
        {1, 404, "", false, 0},
        {1, 403, "5", false, 0},
        {1, 416, "", false, 0},
        {1, 600, "", false, 0},
        {1, 12175, "", false, 0},  // a secure channel failure is not the network's
        {1, 12045, "", false, 0},  // an unknown certificate authority
        {1, 12029, "", false, 0},  // nothing listening
        {1, 0, "", false, 0},      // a digest mismatch, a refused address, a full disk
    };
    for (const auto& c : cases) {
        RetryDecision decision = DecideRetry(c.attempt, c.failure, c.retryAfter);
        EXPECT_EQ(decision.retry, c.retry) << c.attempt << " " << c.failure << " " << c.retryAfter;
        EXPECT_EQ(decision.delayMs, c.delayMs) << c.attempt << " " << c.failure << " " << c.retryAfter;
    }
}

TEST(RetryDecision, OnlyTheRestAskedForContinuesADownload) {
    EXPECT_TRUE(AcceptsByteRanges("bytes"));
    EXPECT_TRUE(AcceptsByteRanges(" Bytes "));
    EXPECT_FALSE(AcceptsByteRanges("none"));
    EXPECT_FALSE(AcceptsByteRanges(""));

    const struct {
        const char* contentRange;
        unsigned long long start;
        bool continues;
    } cases[] = {
        {"bytes 700-999/1000", 700, true},
        {"bytes 0-0/1", 0, true},
        {"bytes 5000000000-5000000009/5000000010", 5000000000ull, true},
        {"bytes 699-999/1000", 700, false},  // not where the file stopped
        {"bytes 700-998/1000", 700, false},  // not to the end
        {"bytes 700-999/*", 700, false},
        {"bytes */1000", 700, false},
        {"bytes 700-999/1000x", 700, false},
        {"items 700-999/1000", 700, false},
        {"", 700, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ContentRangeContinuesAt(c.contentRange, c.start), c.continues) << c.contentRange;
}
