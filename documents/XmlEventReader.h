#pragma once
// The byte-at-a-time reader of the service's XML documents. It keeps no tree:
// whatever the bytes are, the handler gets the callbacks they cut into, and
// the document ends when the stream does, or earlier when the reply goes past
// the reader's bounds (a hostile reply must not exhaust memory).
#include <cstddef>

#include "documents/ByteStream.h"
#include "documents/XmlEventHandler.h"

class ProgressBar;

// What the reader saw besides the callbacks. A caller that needs a real
// document checks wellFormed: at least one element; start and end tags pair
// up; nothing but blank text, declarations and comments outside the one root;
// no NUL byte, no stray '<' or '>', no unfinished tag at the end, every byte
// part of well-formed UTF-8 (names and paths come from its texts), and within
// the bounds below.
struct XmlReadSummary {
    size_t bytesRead = 0;
    bool wellFormed = false;
};

class XmlEventReader {
public:
    // Elements open at once, and bytes kept of one tag or text run (dropped
    // bytes not counted). Past either, reading stops there: no further
    // callback, and the document is not well formed.
    static constexpr size_t kMaxDepth = 256;
    static constexpr size_t kMaxRunBytes = 65536;

    // Reads `stream` one byte per read call until a read returns anything but
    // 1, calling `handler` in document order. A non-null `progress` is stepped
    // once per byte read, dropped bytes included.
    static XmlReadSummary parse(ByteStream& stream, XmlEventHandler& handler, ProgressBar* progress);
};
