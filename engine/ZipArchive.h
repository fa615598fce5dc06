#pragma once
// Reading zip archives: describe items by index or name, write an item to a
// file. Every operation returns its ZipResult. An open archive belongs to one
// thread at a time.
#include <windows.h>

#include <cstdint>
#include <string>

#include "engine/ZipResult.h"
#include "system/UniqueHandle.h"

// Where an archive comes from or where an item goes. Only file names are
// supported; the other kinds answer ZipBadArguments.
enum ZipSourceKind { ZipFromHandle = 1, ZipFromFileName = 2, ZipFromMemory = 3 };

struct ZipItemInfo {
    int index;
    std::string name;        // stored name as UTF-8 (see DecodeMemberName), "/" separators
    uint32_t attributes;     // FILE_ATTRIBUTE_* bits
    uint64_t accessTime;     // file times: 100 ns since 1601-01-01
    uint64_t creationTime;
    uint64_t writeTime;
    uint32_t compressedSize;
    uint32_t uncompressedSize;
};

// The open-archive state; only the layer looks inside.
struct ZipArchive;

// Opens an archive file (path, 0, ZipFromFileName) into *archive, which
// stays null on failure (ZipNoFile, ZipCorrupt). Every item's name is read
// here: one flagged as UTF-8 that is not makes the archive ZipCorrupt before
// anything is written. Paths are UTF-8. rootFolder is where the items go:
// directory items and relative targets get their folders below it, and a
// relative target file is taken against it. An empty root leaves relative
// paths to the process's current directory.
ZipResult ZipOpen(const char* path, unsigned length, int kind, const char* rootFolder, ZipArchive** archive);
// Describes the item at index (0 .. count-1). Index -1 gives a record whose
// index is the number of items. Past the end: ZipBadArguments.
ZipResult ZipGetItem(ZipArchive* archive, int index, ZipItemInfo* item);
// Finds the first item of that name (UTF-8, as ZipItemInfo gives it),
// ignoring the case of ASCII letters when ignoreCase is non-zero. Either
// out-parameter may be null. Not found: ZipNotFound, index -1.
ZipResult ZipFindItem(ZipArchive* archive, const char* name, int ignoreCase, int* index, ZipItemInfo* item);
// Writes the item to target (target, 0, ZipFromFileName), replacing a file
// there and giving it the item's attributes and times; a directory item
// creates its folders below the root instead. A relative target lands below
// the root with its folders; an absolute one needs its folder to exist, and
// so does a relative one that climbs. Directory items whose name would leave
// the root are refused.
// A copy error, or data that fails its size or checksum test, gives
// ZipWriteError; the part written stays on disk.
ZipResult ZipExtractItem(ZipArchive* archive, int index, const char* target, unsigned length, int kind);
// Frees the archive. A null archive gives ZipBadArguments and is harmless.
ZipResult ZipClose(ZipArchive* archive);

struct ZipArchiveTraits {
    using Handle = ZipArchive*;
    static Handle invalid() { return nullptr; }
    static void close(Handle archive) { (void)ZipClose(archive); }  // cannot fail on an open archive
};
// The caller's owner of an open archive.
using UniqueZipArchive = UniqueHandle<ZipArchiveTraits>;
