#pragma once
// Turning a zip item's stored attributes and extra fields into file-system
// attribute bits and file times. Pure functions, no file access.
#include <cstddef>
#include <cstdint>
#include <string>

// File-system attribute bits (the values of FILE_ATTRIBUTE_*).
constexpr uint32_t kZipAttrReadOnly = 0x01;
constexpr uint32_t kZipAttrHidden = 0x02;
constexpr uint32_t kZipAttrSystem = 0x04;
constexpr uint32_t kZipAttrDirectory = 0x10;
constexpr uint32_t kZipAttrArchive = 0x20;
constexpr uint32_t kZipAttrNormal = 0x80;

// Maps the 32-bit external attribute value (DOS bits in the low half, Unix
// mode in the high half) of the item stored under `name` to attribute bits.
// A name ending in "/" or "\" is a folder whatever the bits say. A clear
// owner-write bit (bit 23) makes the item read-only, so an item whose high
// half is zero is read-only; but a value of 0 records nothing at all (Java's
// zip writer stores every item so) and leaves the item writable.
uint32_t ZipItemAttributes(uint32_t external, const std::string& name);

// Seconds since 1970-01-01 UTC as a 64-bit file time (100 ns since 1601).
uint64_t FileTimeFromUnixTime(int32_t seconds);

struct ZipExtendedTimes {
    bool hasWrite = false, hasAccess = false, hasCreation = false;
    uint64_t write = 0, access = 0, creation = 0;
};

// Reads the first extended-timestamp ("UT") field of a local extra field.
// A time the field announces but does not hold in full is left out.
ZipExtendedTimes ReadExtendedTimes(const unsigned char* extra, size_t size);
