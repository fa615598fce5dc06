#pragma once
// The byte source the XML reader pulls from: a reply body, or a string in
// tests and tools.
#include <cstddef>
#include <string>

class ByteStream {
public:
    virtual ~ByteStream() = default;
    // Copies up to `count` bytes into `buffer`; 0 means the stream has ended
    // (or failed: the concrete stream says which).
    virtual size_t read(void* buffer, size_t count) = 0;
};

// Reads a string it does not own; the string must outlive the stream.
class StringByteStream : public ByteStream {
public:
    explicit StringByteStream(const std::string& bytes) : bytes_(bytes) {}
    size_t read(void* buffer, size_t count) override;

private:
    const std::string& bytes_;
    size_t offset_ = 0;
};
