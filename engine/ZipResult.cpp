#include "engine/ZipResult.h"

namespace {

struct ResultText {
    unsigned code;
    const char* message;
};

const ResultText kMessages[] = {
    {ZipOk, "Success"},
    {ZipNoDuplicateHandle, "Culdn't duplicate handle"},
    {ZipNoFile, "Couldn't create/open file"},
    {ZipNoMemory, "Failed to allocate memory"},
    {ZipWriteError, "Error writing to file"},
    {ZipNotFound, "File not found in the zipfile"},
    {ZipMoreData, "Still more data to unzip"},
    {ZipCorrupt, "Zipfile is corrupt or not a zipfile"},
    {ZipReadError, "Error reading file"},
    {ZipBadArguments, "Caller: faulty arguments"},
    {ZipNotMemoryArchive, "Caller: can only get memory of a memory zipfile"},
    {ZipMemorySize, "Caller: not enough space allocated for memory zipfile"},
    {ZipPreviousError, "Caller: there was a previous error"},
    {ZipEnded, "Caller: additions to the zip have already been ended"},
    {ZipSizeMismatch, "Zip-bug: the anticipated size turned out wrong"},
    {ZipPartlyUnzipped, "Caller: the file had already been partially unzipped"},
    {ZipModeMix, "Caller: mixing creation and opening of zip"},
    {ZipNotInitialised, "Zip-bug: internal initialisation not completed"},
    {ZipUnseekable, "Zip-bug: trying to seek the unseekable"},
    {ZipNoChange, "Zip-bug: tried to change mind, but not allowed"},
    {ZipInflateError, "Zip-bug: an internal error during flation"},
};

}  // namespace

const char* ZipResultMessage(unsigned code) {
    for (const ResultText& entry : kMessages)
        if (entry.code == code) return entry.message;
    return "unknown zip result code";
}
