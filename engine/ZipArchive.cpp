#include "engine/ZipArchive.h"

#include <unzip.h>

#include <climits>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/ArchiveFileReader.h"
#include "engine/MemberNames.h"
#include "engine/ZipItemFields.h"
#include "system/FileSystem.h"
#include "system/PathSafety.h"
#include "system/PathText.h"
#include "system/TextCase.h"
#include "system/WidePath.h"

namespace {

struct MinizipTraits {
    using Handle = unzFile;
    static Handle invalid() { return nullptr; }
    static void close(Handle reader) { unzClose(reader); }
};
using UniqueMinizip = UniqueHandle<MinizipTraits>;

// Not rooted ("/", "\\") and without a drive ("C:").
bool IsRelativePath(const std::string& path) {
    return !path.empty() && path[0] != '/' && path[0] != '\\' && (path.size() < 2 || path[1] != ':');
}

// The language-encoding flag: the item's name is UTF-8.
const uLong kUtf8NameFlag = 0x800;

uint64_t FileTimeFromDos(uLong dosDate) {
    FILETIME time = {};
    if (!DosDateTimeToFileTime(HIWORD(dosDate), LOWORD(dosDate), &time)) return 0;
    return uint64_t(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

}  // namespace

struct ZipArchive {
    // Declared in this order so minizip closes before its file.
    ArchiveFileReader file;
    UniqueMinizip reader;
    int itemCount = 0;
    std::vector<std::string> names;  // every item's name, decoded, by index
    int openItem = -1;
    ZipItemInfo cachedItem = {};
    int cachedIndex = -1;
    std::string rootDirectory;
    // Folders below the root this archive has made or found: each is made
    // once, not once per item in it.
    std::set<std::string> madeFolders;
    std::vector<char> copyBuffer;

    // Ends the data stream of the open item. UNZ_CRCERROR when the item was
    // read to its end and its checksum did not match.
    int closeStream() {
        if (openItem == -1) return UNZ_OK;
        openItem = -1;
        return unzCloseCurrentFile(reader.get());
    }

    // Moves the cursor to index: back to the first item when it is behind,
    // then one step at a time, so ascending reads cost one step each.
    ZipResult positionCursor(int index) {
        unz_file_pos position = {};
        long current = unzGetFilePos(reader.get(), &position) == UNZ_OK ? long(position.num_of_file) : LONG_MAX;
        if (index < current) {
            if (unzGoToFirstFile(reader.get()) != UNZ_OK) return ZipCorrupt;
            current = 0;
        }
        for (; current < index; ++current)
            if (unzGoToNextFile(reader.get()) != UNZ_OK) return ZipCorrupt;
        return ZipOk;
    }

    int cursorIndex() {
        unz_file_pos position = {};
        return unzGetFilePos(reader.get(), &position) == UNZ_OK ? int(position.num_of_file) : -1;
    }

    // Positions the cursor at index and opens the item's data stream there.
    ZipResult openStream(int index) {
        if (openItem == index) return ZipOk;
        closeStream();
        ZipResult result = positionCursor(index);
        if (result != ZipOk) return result;
        // Opening checks the local header against the central directory.
        if (unzOpenCurrentFile(reader.get()) != UNZ_OK) return ZipCorrupt;
        openItem = index;
        return ZipOk;
    }

    ZipResult readNames();
    ZipResult describe(int index, ZipItemInfo& item);
    void createDirectoriesBelowRoot(const std::string& relative);
    ZipResult extract(int index, const char* target);
};

ZipResult ZipArchive::readNames() {
    names.clear();
    names.reserve(static_cast<size_t>(itemCount));
    std::vector<char> stored;
    for (int index = 0; index < itemCount; ++index) {
        const int moved = index == 0 ? unzGoToFirstFile(reader.get()) : unzGoToNextFile(reader.get());
        unz_file_info info = {};
        if (moved != UNZ_OK || unzGetCurrentFileInfo(reader.get(), &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            return ZipCorrupt;
        stored.resize(info.size_filename + 1);
        if (unzGetCurrentFileInfo(reader.get(), &info, stored.data(), uLong(stored.size()), nullptr, 0, nullptr, 0) !=
            UNZ_OK)
            return ZipCorrupt;
        std::string name;
        if (!DecodeMemberName(std::string(stored.data(), info.size_filename), (info.flag & kUtf8NameFlag) != 0, name))
            return ZipCorrupt;
        names.push_back(std::move(name));
    }
    return ZipOk;
}

ZipResult ZipArchive::describe(int index, ZipItemInfo& item) {
    if (index < -1 || index >= itemCount) return ZipBadArguments;
    // A stream opened by describing this very item has not been read yet and
    // can serve its extraction; any other is ended.
    if (openItem != index) closeStream();
    if (index != -1 && index == cachedIndex) {
        item = cachedItem;
        return ZipOk;
    }
    item = ZipItemInfo{};
    if (index == -1) {
        item.index = itemCount;
        return ZipOk;
    }

    ZipResult result = positionCursor(index);
    if (result != ZipOk) return result;
    unz_file_info info = {};
    if (unzGetCurrentFileInfo(reader.get(), &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return ZipCorrupt;
    item.name = names[static_cast<size_t>(index)];
    result = openStream(index);
    if (result != ZipOk) return result;

    int extraSize = unzGetLocalExtrafield(reader.get(), nullptr, 0);
    if (extraSize < 0) return ZipReadError;
    std::vector<unsigned char> extra(static_cast<size_t>(extraSize));
    if (extraSize > 0 && unzGetLocalExtrafield(reader.get(), extra.data(), unsigned(extraSize)) != extraSize)
        return ZipReadError;

    item.index = cursorIndex();
    item.attributes = ZipItemAttributes(static_cast<uint32_t>(info.external_fa), item.name);
    item.compressedSize = static_cast<uint32_t>(info.compressed_size);
    item.uncompressedSize = static_cast<uint32_t>(info.uncompressed_size);
    uint64_t dosTime = FileTimeFromDos(info.dosDate);
    item.accessTime = item.creationTime = item.writeTime = dosTime;

    ZipExtendedTimes times = ReadExtendedTimes(extra.data(), extra.size());
    if (times.hasWrite) item.writeTime = times.write;
    if (times.hasAccess) item.accessTime = times.access;
    if (times.hasCreation) item.creationTime = times.creation;

    cachedItem = item;
    cachedIndex = item.index;
    return ZipOk;
}

void ZipArchive::createDirectoriesBelowRoot(const std::string& relative) {
    if (relative.empty() || madeFolders.count(relative)) return;
    size_t last = relative.find_last_of("/\\");
    if (last != std::string::npos) createDirectoriesBelowRoot(relative.substr(0, last));
    // An existing folder is no error.
    CreateDirectoryW(WidePath(rootDirectory + relative).c_str(), nullptr);
    madeFolders.insert(relative);
}

ZipResult ZipArchive::extract(int index, const char* target) {
    if (index < 0 || index >= itemCount) {
        closeStream();
        return ZipBadArguments;
    }
    ZipItemInfo item;
    ZipResult result = describe(index, item);
    if (result != ZipOk) return result;

    if (item.attributes & kZipAttrDirectory) {
        // The item's own name decides where the folder goes: it must stay
        // below the root.
        if (!IsSafeMemberName(item.name)) return ZipNoFile;
        createDirectoriesBelowRoot(item.name);
        return ZipOk;
    }

    std::string targetPath = target;
    size_t last = targetPath.find_last_of("/\\");
    if (last != std::string::npos && IsSafeMemberName(targetPath.substr(0, last)))
        createDirectoriesBelowRoot(targetPath.substr(0, last));

    result = openStream(index);
    if (result != ZipOk) return result;

    DWORD attributes = item.attributes == kZipAttrNormal ? item.attributes : item.attributes & ~kZipAttrNormal;
    const std::string file = IsRelativePath(targetPath) ? rootDirectory + targetPath : targetPath;
    const std::wstring wideFile = WidePath(file);
    // A link put in the file's place is opened as the link itself, and refused.
    auto create = [&] {
        return CreateFileW(wideFile.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0, nullptr, CREATE_ALWAYS,
                           attributes | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    };
    UniqueFileHandle out(create());
    // An earlier copy of the item may have come out read-only; it is ours to replace.
    if (!out && GetLastError() == ERROR_ACCESS_DENIED && MakeWritable(file)) out.reset(create());
    if (out && IsLinkHandle(out.get())) out.reset();
    if (!out) {
        closeStream();
        return ZipNoFile;
    }

    bool failed = false;
    uint64_t total = 0;
    // Large pieces: each costs a read and a write call.
    copyBuffer.resize(64 * 1024);
    char* buffer = copyBuffer.data();
    for (;;) {
        int count = unzReadCurrentFile(reader.get(), buffer, unsigned(copyBuffer.size()));
        if (count < 0) {
            failed = true;
            break;
        }
        if (count == 0) break;
        DWORD written = 0;
        if (!WriteFile(out.get(), buffer, DWORD(count), &written, nullptr) || written != DWORD(count)) {
            failed = true;
            break;
        }
        total += uint64_t(count);
    }
    // Damaged data must not pass as a good copy: the size and the checksum
    // that minizip checks at the end of the stream both have to agree.
    if (closeStream() != UNZ_OK || (!failed && total != item.uncompressedSize)) failed = true;

    if (!failed) {
        auto asFileTime = [](uint64_t value) {
            FILETIME time;
            time.dwLowDateTime = DWORD(value);
            time.dwHighDateTime = DWORD(value >> 32);
            return time;
        };
        FILETIME creation = asFileTime(item.creationTime), access = asFileTime(item.accessTime),
                 write = asFileTime(item.writeTime);
        SetFileTime(out.get(), item.creationTime ? &creation : nullptr, item.accessTime ? &access : nullptr,
                    item.writeTime ? &write : nullptr);
    }
    return failed ? ZipWriteError : ZipOk;
}

ZipResult ZipOpen(const char* path, unsigned, int kind, const char* rootFolder, ZipArchive** opened) {
    if (opened == nullptr) return ZipBadArguments;
    *opened = nullptr;
    if (kind != ZipFromFileName || path == nullptr || rootFolder == nullptr) return ZipBadArguments;
    auto archive = std::make_unique<ZipArchive>();
    archive->rootDirectory = rootFolder;
    AddTrailingBackslash(archive->rootDirectory);

    if (!archive->file.open(path)) return ZipNoFile;
    zlib_filefunc64_def access = archive->file.fileFunctions();
    archive->reader.reset(unzOpen2_64(path, &access));
    unz_global_info global = {};
    if (!archive->reader || unzGetGlobalInfo(archive->reader.get(), &global) != UNZ_OK || global.number_entry > INT_MAX)
        return ZipCorrupt;
    archive->itemCount = int(global.number_entry);
    const ZipResult named = archive->readNames();
    if (named != ZipOk) return named;
    *opened = archive.release();
    return ZipOk;
}

ZipResult ZipGetItem(ZipArchive* archive, int index, ZipItemInfo* item) {
    if (archive == nullptr || item == nullptr) return ZipBadArguments;
    return archive->describe(index, *item);
}

ZipResult ZipFindItem(ZipArchive* archive, const char* name, int ignoreCase, int* index, ZipItemInfo* item) {
    if (archive == nullptr || name == nullptr) return ZipBadArguments;
    archive->closeStream();
    int found = -1;
    for (size_t i = 0; i < archive->names.size() && found < 0; ++i) {
        const std::string& stored = archive->names[i];
        if (ignoreCase ? EqualsIgnoringCase(stored, name) : stored == name) found = int(i);
    }
    if (found < 0) {
        if (index != nullptr) *index = -1;
        if (item != nullptr) {
            *item = ZipItemInfo{};
            item->index = -1;
        }
        return ZipNotFound;
    }
    if (index != nullptr) *index = found;
    if (item != nullptr) return archive->describe(found, *item);
    return ZipOk;
}

ZipResult ZipExtractItem(ZipArchive* archive, int index, const char* target, unsigned, int kind) {
    if (archive == nullptr || target == nullptr || kind != ZipFromFileName) return ZipBadArguments;
    return archive->extract(index, target);
}

ZipResult ZipClose(ZipArchive* archive) {
    if (archive == nullptr) return ZipBadArguments;
    archive->closeStream();
    delete archive;
    return ZipOk;
}
