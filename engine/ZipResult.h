#pragma once
// Result codes of the zip layer and their messages. Each operation hands
// back its own result; the layer keeps none between calls.

enum [[nodiscard]] ZipResult : unsigned {
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

// The message of a code ("unknown zip result code" for any other code).
const char* ZipResultMessage(unsigned code);
