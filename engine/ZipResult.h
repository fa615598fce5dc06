#pragma once
// Result codes of the zip layer, their messages, and the one process-wide
// last result that every zip operation records.
#include <cstddef>

enum ZipResult : unsigned {
    ZipOk = 0,
    ZipNoDuplicateHandle = 0x100,
    ZipNoFile = 0x200,
    ZipNoMemory = 0x300,
    ZipWriteError = 0x400,
    ZipNotFound = 0x500,
    ZipMoreData = 0x600,
    ZipCorrupt = 0x700,
    ZipReadError = 0x800,
    ZipBadArguments = 0x10000,
    ZipNotMemoryArchive = 0x20000,
    ZipMemorySize = 0x30000,
    ZipPreviousError = 0x40000,
    ZipEnded = 0x50000,
    ZipSizeMismatch = 0x60000,
    ZipPartlyUnzipped = 0x70000,
    ZipModeMix = 0x80000,
    ZipNotInitialised = 0x1000000,
    ZipUnseekable = 0x2000000,
    ZipNoChange = 0x4000000,
    ZipInflateError = 0x5000000,
};

// Not a result: as the argument of ZipFormatResult it stands for the last one.
constexpr unsigned ZipLastResult = 1;

// Records the result as the layer's last result and hands it back.
ZipResult ZipRecordResult(ZipResult result);
ZipResult ZipGetLastResult();

// The message of a code ("unknown zip result code" for any other code).
const char* ZipResultMessage(unsigned code);

// Copies the message of code (ZipLastResult: the last result) into buffer,
// cut to size - 1 characters and terminated. Returns the message's full
// length; with no buffer or size 0 it only returns the length.
size_t ZipFormatResult(unsigned code, char* buffer, size_t size);
