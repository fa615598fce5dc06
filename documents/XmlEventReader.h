#pragma once
// The byte-at-a-time reader of the service's XML documents. It keeps no tree
// and never stops early: whatever the bytes are, the handler gets the
// callbacks they cut into, and the document ends when the stream does.
#include <cstddef>

#include "documents/ByteStream.h"
#include "documents/XmlEventHandler.h"

class ProgressBar;

// What the reader saw besides the callbacks. A caller that needs a real
// document checks wellFormed: at least one element; start and end tags pair
// up; nothing but blank text, declarations and comments outside the one root;
// no NUL byte, no stray '<' or '>', and no unfinished tag at the end.
struct XmlReadSummary {
    size_t bytesRead = 0;
    bool wellFormed = false;
};

class XmlEventReader {
public:
    // Reads `stream` one byte per read call until a read returns anything but
    // 1, calling `handler` in document order. A non-null `progress` is stepped
    // once per byte read, dropped bytes included.
    static XmlReadSummary parse(ByteStream& stream, XmlEventHandler& handler, ProgressBar* progress);
};
