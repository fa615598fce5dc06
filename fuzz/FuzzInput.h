#pragma once
// Shared by the fuzz targets: the fuzzer's bytes read as one reply, and a
// check that ends the run (an input libFuzzer keeps) when a promise breaks.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "documents/XmlEventReader.h"

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

inline XmlReadSummary ReadReply(const uint8_t* data, size_t size, XmlEventHandler& handler,
                                ProgressBar* progress = nullptr) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    StringByteStream stream(bytes);
    XmlReadSummary summary = XmlEventReader::parse(stream, handler, progress);
    FUZZ_CHECK(summary.bytesRead <= size);
    FUZZ_CHECK(!summary.wellFormed || summary.bytesRead == size);
    return summary;
}
