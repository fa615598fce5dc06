// The zip layer on archives made by Info-ZIP zip and Python's zipfile.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>

#include "EngineTestFiles.h"
#include "engine/ZipArchive.h"
#include "support/ScratchFolder.h"
#include "system/TextCase.h"

namespace {

// Opens an archive of the test folder whose items go below root.
UniqueZipArchive Open(const char* name, const std::string& root = "") {
    UniqueZipArchive zip;
    EXPECT_EQ(ZipOpen(ArchivePath(name).c_str(), 0, ZipFromFileName, root.c_str(), zip.put()), ZipOk) << name;
    return zip;
}

// Every item of an archive by stored name, read in ascending index order.
std::map<std::string, ZipItemInfo> ItemsByName(ZipArchive* zip) {
    std::map<std::string, ZipItemInfo> items;
    ZipItemInfo summary;
    EXPECT_EQ(ZipGetItem(zip, -1, &summary), ZipOk);
    for (int i = 0; i < summary.index; ++i) {
        ZipItemInfo item;
        EXPECT_EQ(ZipGetItem(zip, i, &item), ZipOk) << i;
        EXPECT_EQ(item.index, i);
        items[item.name] = item;
    }
    return items;
}

class ZipExtraction : public testing::Test {
protected:
    ScratchFolder scratch{"zip"};
};

}  // namespace

TEST(ZipOpen, MissingUnreadableAndForeignFilesGiveNoHandle) {
    const struct {
        std::string path;
        int kind;
        ZipResult result;
    } cases[] = {
        {ArchivePath("no-such.zip"), ZipFromFileName, ZipNoFile},
        {ArchivePath("notzip.zip"), ZipFromFileName, ZipCorrupt},
        {ArchivePath("truncated.zip"), ZipFromFileName, ZipCorrupt},
        {ArchivePath(""), ZipFromFileName, ZipNoFile},  // a folder
        {ArchivePath("basic.zip"), 4, ZipBadArguments},
    };
    for (const auto& c : cases) {
        UniqueZipArchive zip;
        EXPECT_EQ(ZipOpen(c.path.c_str(), 0, c.kind, "", zip.put()), c.result) << c.path;
        EXPECT_FALSE(zip) << c.path;
    }

    // What a caller does next with the missing handle ends harmlessly.
    ZipItemInfo item;
    EXPECT_EQ(ZipGetItem(nullptr, 0, &item), ZipBadArguments);
    EXPECT_EQ(ZipFindItem(nullptr, "a", 1, nullptr, nullptr), ZipBadArguments);
    EXPECT_EQ(ZipExtractItem(nullptr, 0, "x", 0, ZipFromFileName), ZipBadArguments);
    EXPECT_EQ(ZipClose(nullptr), ZipBadArguments);
}

TEST(ZipGetItem, DescribesEveryItemAndRefusesIndicesOutsideTheArchive) {
    UniqueZipArchive zip = Open("basic.zip");
    ASSERT_TRUE(zip);
    ZipItemInfo summary;
    ASSERT_EQ(ZipGetItem(zip.get(), -1, &summary), ZipOk);
    EXPECT_EQ(summary.index, 11);
    EXPECT_EQ(summary.name, "");
    EXPECT_EQ(summary.attributes, 0u);
    EXPECT_EQ(summary.writeTime, 0u);

    auto items = ItemsByName(zip.get());
    ASSERT_EQ(items.size(), 11u);
    const struct {
        const char* name;
        uint32_t attributes;
        uint32_t size;
        bool deflated;
    } expected[] = {
        {"readme.txt", 0x80, 18000, true},  {"lib/a.jar", 0x80, 16384, true},
        {"data/stored.bin", 0x80, 5000, false}, {"ro.txt", 0x81, 18, false},
        {"lib/ext/deep/b.jar", 0x80, 700, true}, {"lib/ext/", 0x90, 0, false},
        {"empty/inner/", 0x90, 0, false},
    };
    for (const auto& e : expected) {
        ASSERT_TRUE(items.count(e.name)) << e.name;
        const ZipItemInfo& item = items[e.name];
        EXPECT_EQ(item.attributes, e.attributes) << e.name;
        EXPECT_EQ(item.uncompressedSize, e.size) << e.name;
        if (e.deflated)
            EXPECT_LT(item.compressedSize, item.uncompressedSize) << e.name;
        else
            EXPECT_EQ(item.compressedSize, item.uncompressedSize) << e.name;
        // Info-ZIP's local "UT" field holds the write and access times; the
        // creation time comes from the DOS date and time, as they stand.
        EXPECT_EQ(item.writeTime, FileTimeOfUnix(kArchiveWriteTime)) << e.name;
        // (zip itself reads the folders, which moves their access time.)
        if (!(item.attributes & 0x10)) {
            EXPECT_EQ(item.accessTime, FileTimeOfUnix(kArchiveAccessTime)) << e.name;
        }
        EXPECT_EQ(item.creationTime, FileTimeOfUtc(2020, 9, 13, 12, 26, 40)) << e.name;
    }

    // Reading backwards rewinds the cursor and must give the same records,
    // as must asking twice for the same index.
    for (int i = summary.index - 1; i >= 0; --i) {
        ZipItemInfo first, again;
        ASSERT_EQ(ZipGetItem(zip.get(), i, &first), ZipOk);
        ASSERT_EQ(ZipGetItem(zip.get(), i, &again), ZipOk);
        EXPECT_EQ(first.index, i);
        EXPECT_EQ(items[first.name].index, i) << first.name;
        EXPECT_EQ(first.name, again.name);
        EXPECT_EQ(std::tie(first.attributes, first.writeTime, first.compressedSize),
                  std::tie(again.attributes, again.writeTime, again.compressedSize));
    }

    ZipItemInfo item;
    EXPECT_EQ(ZipGetItem(zip.get(), summary.index, &item), ZipBadArguments);
    EXPECT_EQ(ZipGetItem(zip.get(), -2, &item), ZipBadArguments);
    EXPECT_EQ(ZipExtractItem(zip.get(), summary.index, "x", 0, ZipFromFileName), ZipBadArguments);
    EXPECT_EQ(ZipExtractItem(zip.get(), -1, "x", 0, ZipFromFileName), ZipBadArguments);
}

TEST(ZipGetItem, MapsAttributesAndExtendedTimesOfHandMadeItems) {
    UniqueZipArchive zip = Open("stamps.zip");
    ASSERT_TRUE(zip);
    auto items = ItemsByName(zip.get());
    const uint64_t dosTime = FileTimeOfUtc(2001, 2, 3, 4, 5, 6);

    // Flags 1: the field holds the write time only.
    const ZipItemInfo& stamp = items["stamp.txt"];
    EXPECT_EQ(stamp.writeTime, FileTimeOfUnix(kStampWriteTime));
    EXPECT_EQ(stamp.accessTime, dosTime);
    EXPECT_EQ(stamp.creationTime, dosTime);
    EXPECT_EQ(stamp.attributes, 0x80u);

    const ZipItemInfo& bare = items["bare.txt"];  // no Unix half: read-only
    EXPECT_EQ(bare.attributes, 0x80u | 0x20u | 0x01u);
    EXPECT_EQ(bare.writeTime, dosTime);
    EXPECT_EQ(items["hidden.txt"].attributes, 0x80u | 0x20u | 0x02u);
}

// Names are UTF-8: as stored when the item's UTF-8 flag is set, from code
// page 437 when not (what they install as: InstallScriptTest).
TEST(ZipFindItem, FindsNamesAsUtf8WhateverTheArchiveStoredThemAs) {
    const std::pair<const char*, const char*> cases[] = {
        {"utf8.zip", "\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB3/\xE5\x8D\x83.txt"},
        {"cp437.zip", "conf/caf\xC3\xA9-\xC3\xB6-\xC3\x9F.txt"},
        {"java.zip", "CONF/na\xC3\xAFve-caf\xC3\xA9.TXT"},  // ASCII letters in any case
    };
    for (const auto& c : cases) {
        UniqueZipArchive zip = Open(c.first);
        ASSERT_TRUE(zip) << c.first;
        ZipItemInfo item;
        EXPECT_EQ(ZipFindItem(zip.get(), c.second, 1, nullptr, &item), ZipOk) << c.first;
        EXPECT_TRUE(EqualsIgnoringCase(item.name, c.second)) << item.name;
    }
    // A name flagged as UTF-8 that is not fails the whole archive.
    UniqueZipArchive bad;
    EXPECT_EQ(ZipOpen(ArchivePath("badutf8.zip").c_str(), 0, ZipFromFileName, "", bad.put()), ZipCorrupt);
    EXPECT_FALSE(bad);
}

TEST(ZipFindItem, MatchesCaseAsAskedButSeparatorsAsStored) {
    UniqueZipArchive zip = Open("basic.zip");
    ASSERT_TRUE(zip);
    auto items = ItemsByName(zip.get());

    int index = -7;
    ZipItemInfo item;
    ASSERT_EQ(ZipFindItem(zip.get(), "LIB/A.JAR", 1, &index, &item), ZipOk);
    EXPECT_EQ(index, items["lib/a.jar"].index);
    EXPECT_EQ(item.name, "lib/a.jar");
    EXPECT_EQ(ZipFindItem(zip.get(), "lib/ext/deep/b.jar", 0, &index, nullptr), ZipOk);
    EXPECT_EQ(index, items["lib/ext/deep/b.jar"].index);
    EXPECT_EQ(ZipFindItem(zip.get(), "readme.txt", 0, nullptr, nullptr), ZipOk);

    for (const auto& miss : {std::make_pair("LIB/A.JAR", 0), std::make_pair("lib\\a.jar", 1),
                             std::make_pair("a.jar", 1), std::make_pair("", 1)}) {
        index = 3;
        item.index = 3;
        EXPECT_EQ(ZipFindItem(zip.get(), miss.first, miss.second, &index, &item), ZipNotFound) << miss.first;
        EXPECT_EQ(index, -1);
        EXPECT_EQ(item.index, -1);
        EXPECT_EQ(item.name, "");
    }
}

// Relative targets land below the root, wherever the current directory is.
TEST_F(ZipExtraction, WritesBytesAttributesAndTimesAndCreatesRelativeFolders) {
    UniqueZipArchive zip = Open("basic.zip", scratch.path());
    ASSERT_TRUE(zip);
    auto items = ItemsByName(zip.get());
    const struct {
        const char* member;
        const char* target;
        const char* source;
    } cases[] = {
        {"lib/a.jar", "out/lib/ext/a.jar", "basic-src/lib/a.jar"},   // deflated, two new folders
        {"data/stored.bin", "out\\stored.bin", "basic-src/data/stored.bin"},  // stored
        {"readme.txt", "readme.txt", "basic-src/readme.txt"},
        {"ro.txt", "ro.txt", "basic-src/ro.txt"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(ZipExtractItem(zip.get(), items[c.member].index, c.target, 0, ZipFromFileName), ZipOk) << c.member;
        std::string written = scratch.path() + c.target;
        // Times before contents: reading the file may move its access time.
        DiskFileTimes times;
        ASSERT_TRUE(ReadDiskFileTimes(written, times)) << written;
        EXPECT_EQ(times.write, FileTimeOfUnix(kArchiveWriteTime)) << c.member;
        EXPECT_EQ(times.access, FileTimeOfUnix(kArchiveAccessTime)) << c.member;
        EXPECT_EQ(ReadTextFile(written), ReadTextFile(ArchivePath(c.source))) << c.member;
    }
    EXPECT_TRUE(GetFileAttributesA((scratch.path() + "ro.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(GetFileAttributesA((scratch.path() + "readme.txt").c_str()) & FILE_ATTRIBUTE_READONLY);

    // A second extraction replaces the file.
    WriteTextFile(scratch.path() + "readme.txt", "old");
    EXPECT_EQ(ZipExtractItem(zip.get(), items["readme.txt"].index, "readme.txt", 0, ZipFromFileName), ZipOk);
    EXPECT_EQ(ReadTextFile(scratch.path() + "readme.txt").size(), 18000u);

    // A directory item makes its own folders below the root; the target is
    // not used.
    EXPECT_EQ(ZipExtractItem(zip.get(), items["empty/inner/"].index, "ignored", 0, ZipFromFileName), ZipOk);
    EXPECT_TRUE(GetFileAttributesA((scratch.path() + "empty\\inner").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(PathExists(scratch.path() + "ignored"));
}

TEST_F(ZipExtraction, NothingIsCreatedOutsideTheRoot) {
    ScratchFolder inner("zipinner");
    UniqueZipArchive zip = Open("basic.zip", inner.path());
    ASSERT_TRUE(zip);
    int index = -1;
    ASSERT_EQ(ZipFindItem(zip.get(), "lib/a.jar", 0, &index, nullptr), ZipOk);

    const std::string absolute = scratch.path() + "made\\a.jar";
    for (const std::string& target : {absolute, std::string("..\\climb\\a.jar"), std::string("../climb/a.jar")})
        EXPECT_EQ(ZipExtractItem(zip.get(), index, target.c_str(), 0, ZipFromFileName), ZipNoFile) << target;
    EXPECT_FALSE(PathExists(scratch.path() + "made"));
    EXPECT_FALSE(PathExists(inner.path() + "..\\climb"));
    // An absolute target whose folder exists is written.
    const std::string existing = scratch.path() + "a.jar";
    EXPECT_EQ(ZipExtractItem(zip.get(), index, existing.c_str(), 0, ZipFromFileName), ZipOk);
    EXPECT_EQ(ReadTextFile(existing), ReadTextFile(ArchivePath("basic-src/lib/a.jar")));

    // A directory item is made by its own stored name, which must not climb.
    UniqueZipArchive evil = Open("evil.zip", inner.path());
    ASSERT_TRUE(evil);
    ASSERT_EQ(ZipFindItem(evil.get(), "../evildir/", 0, &index, nullptr), ZipOk);
    EXPECT_EQ(ZipExtractItem(evil.get(), index, "x", 0, ZipFromFileName), ZipNoFile);
    EXPECT_FALSE(PathExists(inner.path() + "..\\evildir"));
}

TEST_F(ZipExtraction, DamagedDataIsNeverReportedAsWritten) {
    UniqueZipArchive zip = Open("damaged.zip", scratch.path());
    ASSERT_TRUE(zip);
    auto items = ItemsByName(zip.get());
    ASSERT_EQ(items.size(), 2u);
    // big.txt is deflated (inflate fails or the checksum does); plain.bin is
    // stored, so only its checksum can tell.
    for (const char* name : {"big.txt", "plain.bin"}) {
        EXPECT_EQ(ZipExtractItem(zip.get(), items[name].index, name, 0, ZipFromFileName), ZipWriteError) << name;
        // No times were set on the partial file.
        DiskFileTimes times;
        if (ReadDiskFileTimes(scratch.path() + name, times)) {
            EXPECT_NE(times.write, FileTimeOfUnix(kArchiveWriteTime)) << name;
        }
    }
}

TEST(ZipResultMessage, EveryMessageWordForWord) {
    const struct {
        unsigned code;
        const char* message;
    } table[] = {
        {0, "Success"},
        {0x100, "Culdn't duplicate handle"},
        {0x200, "Couldn't create/open file"},
        {0x300, "Failed to allocate memory"},
        {0x400, "Error writing to file"},
        {0x500, "File not found in the zipfile"},
        {0x600, "Still more data to unzip"},
        {0x700, "Zipfile is corrupt or not a zipfile"},
        {0x800, "Error reading file"},
        {0x10000, "Caller: faulty arguments"},
        {0x20000, "Caller: can only get memory of a memory zipfile"},
        {0x30000, "Caller: not enough space allocated for memory zipfile"},
        {0x40000, "Caller: there was a previous error"},
        {0x50000, "Caller: additions to the zip have already been ended"},
        {0x60000, "Zip-bug: the anticipated size turned out wrong"},
        {0x70000, "Caller: the file had already been partially unzipped"},
        {0x80000, "Caller: mixing creation and opening of zip"},
        {0x1000000, "Zip-bug: internal initialisation not completed"},
        {0x2000000, "Zip-bug: trying to seek the unseekable"},
        {0x4000000, "Zip-bug: tried to change mind, but not allowed"},
        {0x5000000, "Zip-bug: an internal error during flation"},
        {0x999, "unknown zip result code"},
    };
    for (const auto& entry : table) EXPECT_STREQ(ZipResultMessage(entry.code), entry.message) << entry.code;
}
