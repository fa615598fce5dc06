#include "engine/ArchiveFileReader.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "system/WidePath.h"

namespace {

const size_t kBufferBytes = 64 * 1024;

ArchiveFileReader* ReaderOf(voidpf stream) { return static_cast<ArchiveFileReader*>(stream); }

voidpf ZCALLBACK OpenReader(voidpf opaque, const void*, int) { return opaque; }

uLong ZCALLBACK ReadReader(voidpf, voidpf stream, void* buffer, uLong size) {
    return static_cast<uLong>(ReaderOf(stream)->read(buffer, size));
}

uLong ZCALLBACK WriteNothing(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK TellReader(voidpf, voidpf stream) { return ReaderOf(stream)->tell(); }

long ZCALLBACK SeekReader(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    return ReaderOf(stream)->seek(static_cast<int64_t>(offset), origin) ? 0 : -1;
}

int ZCALLBACK LeaveFileToReader(voidpf, voidpf) { return 0; }
int ZCALLBACK NoFileError(voidpf, voidpf) { return 0; }

}  // namespace

bool ArchiveFileReader::open(const char* path) {
    // Writing is shared with the one writer there may be: the installer
    // itself, holding a download it verified so that nobody else can change it.
    file_.reset(CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size = {};
    if (!file_ || !GetFileSizeEx(file_.get(), &size)) return false;
    fileSize_ = static_cast<uint64_t>(size.QuadPart);
    buffer_.resize(kBufferBytes);
    return true;
}

zlib_filefunc64_def ArchiveFileReader::fileFunctions() {
    zlib_filefunc64_def functions = {};
    functions.zopen64_file = OpenReader;
    functions.zread_file = ReadReader;
    functions.zwrite_file = WriteNothing;
    functions.ztell64_file = TellReader;
    functions.zseek64_file = SeekReader;
    functions.zclose_file = LeaveFileToReader;
    functions.zerror_file = NoFileError;
    functions.opaque = this;
    return functions;
}

size_t ArchiveFileReader::readAt(uint64_t offset, void* buffer, size_t size) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD read = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<size_t>(size, ULONG_MAX));
    if (!ReadFile(file_.get(), buffer, wanted, &read, &at)) return 0;
    return read;
}

size_t ArchiveFileReader::read(void* buffer, size_t size) {
    char* out = static_cast<char*>(buffer);
    size_t copied = 0;
    while (copied < size && position_ < fileSize_) {
        if (position_ >= bufferStart_ && position_ < bufferStart_ + bufferFilled_) {
            const size_t offset = static_cast<size_t>(position_ - bufferStart_);
            const size_t n = std::min(size - copied, bufferFilled_ - offset);
            std::memcpy(out + copied, buffer_.data() + offset, n);
            copied += n;
            position_ += n;
            continue;
        }
        bufferStart_ = position_;
        bufferFilled_ = readAt(position_, buffer_.data(), buffer_.size());
        if (bufferFilled_ == 0) break;
    }
    return copied;
}

bool ArchiveFileReader::seek(int64_t offset, int origin) {
    int64_t base = origin == ZLIB_FILEFUNC_SEEK_CUR   ? static_cast<int64_t>(position_)
                   : origin == ZLIB_FILEFUNC_SEEK_END ? static_cast<int64_t>(fileSize_)
                                                      : 0;
    if (offset < 0 && base + offset < 0) return false;
    position_ = static_cast<uint64_t>(base + offset);
    return true;
}
