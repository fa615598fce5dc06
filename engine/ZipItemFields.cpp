#include "engine/ZipItemFields.h"

uint32_t ZipItemAttributes(uint32_t external, const std::string& name) {
    uint32_t attributes = kZipAttrNormal;
    const bool namedAsFolder = !name.empty() && (name.back() == '/' || name.back() == '\\');
    if ((external & 0x40000000u) || (external & 0x10u) || namedAsFolder) attributes |= kZipAttrDirectory;
    if (external & 0x20u) attributes |= kZipAttrArchive;
    if (external & 0x02u) attributes |= kZipAttrHidden;
    const bool recorded = external != 0;
    if (recorded && (!(external & 0x00800000u) || (external & 0x01u))) attributes |= kZipAttrReadOnly;
    if (external & 0x04u) attributes |= kZipAttrSystem;
    return attributes;
}

uint64_t FileTimeFromUnixTime(int32_t seconds) {
    const int64_t kUnixEpochAsFileTime = 116444736000000000LL;
    return static_cast<uint64_t>(static_cast<int64_t>(seconds) * 10000000LL + kUnixEpochAsFileTime);
}

namespace {

uint32_t ReadLittleEndian32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

ZipExtendedTimes ReadExtendedTimes(const unsigned char* extra, size_t size) {
    ZipExtendedTimes times;
    size_t p = 0;
    while (extra != nullptr && p + 4 < size) {
        size_t length = size_t(extra[p + 2]) | size_t(extra[p + 3]) << 8;
        if (extra[p] == 'U' && extra[p + 1] == 'T') {
            // The times follow the flags byte in bit order; each must lie
            // inside both the field's own length and the extra data.
            size_t end = p + 4 + length < size ? p + 4 + length : size;
            unsigned flags = extra[p + 4];
            size_t q = p + 5;
            bool* present[] = {&times.hasWrite, &times.hasAccess, &times.hasCreation};
            uint64_t* value[] = {&times.write, &times.access, &times.creation};
            for (int bit = 0; bit < 3; ++bit) {
                if (!(flags & (1u << bit))) continue;
                if (q + 4 > end) break;
                *value[bit] = FileTimeFromUnixTime(static_cast<int32_t>(ReadLittleEndian32(extra + q)));
                *present[bit] = true;
                q += 4;
            }
            break;
        }
        p += length + 4;
    }
    return times;
}
