#pragma once
// An archive file as minizip reads it, through a buffer of its own. minizip
// reads every header field a byte at a time and seeks between headers; from
// a buffer those cost no system call, and its data reads (16 KB each) come
// four to a file read.
#include <ioapi.h>

#include <cstdint>
#include <vector>

#include "system/UniqueHandle.h"

class ArchiveFileReader {
public:
    // False when the file (a UTF-8 path) cannot be opened for reading.
    bool open(const char* path);

    // minizip's file functions over this reader. Its open hands out the
    // reader and its close leaves the file to the reader.
    zlib_filefunc64_def fileFunctions();

    size_t read(void* buffer, size_t size);
    // origin: ZLIB_FILEFUNC_SEEK_SET, _CUR or _END. False before the start.
    bool seek(int64_t offset, int origin);
    uint64_t tell() const { return position_; }

private:
    // Reads at `offset` without moving anything but the file's own pointer.
    size_t readAt(uint64_t offset, void* buffer, size_t size);

    UniqueFileHandle file_;
    uint64_t fileSize_ = 0;
    uint64_t position_ = 0;
    std::vector<char> buffer_;
    uint64_t bufferStart_ = 0;  // file offset of buffer_[0]
    size_t bufferFilled_ = 0;
};
