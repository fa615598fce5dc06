#pragma once
// SHA-256 through the platform's CNG provider, fed piece by piece as bytes
// go by, so a download is hashed while it is written.
#include <cstddef>
#include <string>

#include "system/UniqueHandle.h"

class Sha256 {
public:
    Sha256();
    // False when the provider could not be opened or a step failed; then
    // finish() gives an empty text.
    bool ok() const { return !failed_; }
    void update(const void* data, size_t size);
    // The digest as 64 lower-case hexadecimal digits; ends the hash.
    std::string finish();

private:
    UniqueBcryptAlgorithm algorithm_;
    UniqueBcryptHash hash_;
    bool failed_ = false;
};

// 64 hexadecimal digits, either case.
bool IsSha256Text(const std::string& text);
// The digest of the file's bytes, as Sha256::finish gives it; empty when the
// file cannot be read.
std::string FileSha256(const std::string& path);
// The same for the bytes from the handle's current position to the end.
std::string HandleSha256(HANDLE file);
