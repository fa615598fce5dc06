#pragma once
// Reading zip archives: describe items by index or name, write an item to a
// file. Every operation returns a ZipResult and records it as the layer's
// last result. One archive at a time, from one thread.
#include <windows.h>

#include <cstdint>

#include "engine/ZipResult.h"
#include "system/UniqueHandle.h"

// Where an archive comes from or where an item goes. Only file names are
// supported; the other kinds answer ZipBadArguments.
enum ZipSourceKind { ZipFromHandle = 1, ZipFromFileName = 2, ZipFromMemory = 3 };

struct ZipItemInfo {
    int index;
    char name[260];          // stored name, "/" separators; cut to 259 characters
    uint32_t attributes;     // FILE_ATTRIBUTE_* bits
    uint64_t accessTime;     // file times: 100 ns since 1601-01-01
    uint64_t creationTime;
    uint64_t writeTime;
    uint32_t compressedSize;
    uint32_t uncompressedSize;
};

// The open-archive state; only the layer looks inside.
struct ZipArchive;

// Opens an archive file (path, 0, ZipFromFileName). Null on failure; the
// reason is the last result (ZipNoFile, ZipCorrupt). The process's current
// directory at this moment is the root below which directory items and
// relative targets get their folders.
ZipArchive* ZipOpen(const char* path, unsigned length, int kind);
// Describes the item at index (0 .. count-1). Index -1 gives a record whose
// index is the number of items. Past the end: ZipBadArguments.
ZipResult ZipGetItem(ZipArchive* archive, int index, ZipItemInfo* item);
// Finds an item by its stored name, ignoring ASCII case when ignoreCase is
// non-zero. Either out-parameter may be null. Not found: ZipNotFound, index -1.
ZipResult ZipFindItem(ZipArchive* archive, const char* name, int ignoreCase, int* index, ZipItemInfo* item);
// Writes the item to target (target, 0, ZipFromFileName), replacing a file
// there and giving it the item's attributes and times; a directory item
// creates its folders below the root instead. A relative target gets its
// folders created below the root; the file itself is taken against the
// current directory. Items whose name would leave the root are refused.
// A copy error, or data that fails its size or checksum test, gives
// ZipWriteError; the part written stays on disk.
ZipResult ZipExtractItem(ZipArchive* archive, int index, const char* target, unsigned length, int kind);
// Frees the archive. A null archive gives ZipBadArguments and is harmless.
ZipResult ZipClose(ZipArchive* archive);

struct ZipArchiveTraits {
    using Handle = ZipArchive*;
    static Handle invalid() { return nullptr; }
    static void close(Handle archive) { ZipClose(archive); }
};
// The caller's owner of an open archive.
using UniqueZipArchive = UniqueHandle<ZipArchiveTraits>;
