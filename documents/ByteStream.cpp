#include "documents/ByteStream.h"

#include <algorithm>
#include <cstring>

size_t StringByteStream::read(void* buffer, size_t count) {
    size_t n = std::min(count, bytes_.size() - offset_);
    if (n > 0) std::memcpy(buffer, bytes_.data() + offset_, n);
    offset_ += n;
    return n;
}
