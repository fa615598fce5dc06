#include "system/Sha256.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <vector>

#include "system/WidePath.h"

namespace {

const size_t kDigestBytes = 32;

bool Succeeded(NTSTATUS status) { return status >= 0; }

}  // namespace

Sha256::Sha256() {
    failed_ = !Succeeded(BCryptOpenAlgorithmProvider(algorithm_.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
              !Succeeded(BCryptCreateHash(algorithm_.get(), hash_.put(), nullptr, 0, nullptr, 0, 0));
}

void Sha256::update(const void* data, size_t size) {
    const UCHAR* bytes = static_cast<const UCHAR*>(data);
    while (!failed_ && size > 0) {
        ULONG piece = static_cast<ULONG>(std::min<size_t>(size, ULONG_MAX));
        failed_ = !Succeeded(BCryptHashData(hash_.get(), const_cast<UCHAR*>(bytes), piece, 0));
        bytes += piece;
        size -= piece;
    }
}

std::string Sha256::finish() {
    UCHAR digest[kDigestBytes] = {};
    if (failed_ || !Succeeded(BCryptFinishHash(hash_.get(), digest, sizeof digest, 0))) {
        failed_ = true;
        return std::string();
    }
    hash_.reset();
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (UCHAR byte : digest) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

bool IsSha256Text(const std::string& text) {
    return text.size() == 2 * kDigestBytes &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isxdigit(c) != 0; });
}

std::string HandleSha256(HANDLE file) {
    Sha256 hash;
    std::vector<char> block(256 * 1024);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, block.data(), static_cast<DWORD>(block.size()), &read, nullptr)) return std::string();
        if (read == 0) break;
        hash.update(block.data(), read);
    }
    return hash.finish();
}

std::string FileSha256(const std::string& path) {
    UniqueFileHandle file(CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return std::string();
    return HandleSha256(file.get());
}
