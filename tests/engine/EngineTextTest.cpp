// Pure rules of the engine: member names, placeholders, zip item fields.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/MemberNames.h"
#include "engine/Placeholders.h"
#include "engine/ZipItemFields.h"

TEST(MemberNames, CheckPathAndProtectedMembers) {
    EXPECT_EQ(MemberCheckPath("C:\\App\\", "lib/ext/a.jar"), "C:\\App\\lib\\ext\\a.jar");
    EXPECT_EQ(MemberCheckPath("C:\\App\\", "/lib/a.jar"), "C:\\App\\lib\\a.jar");
    EXPECT_EQ(MemberCheckPath("C:\\App\\", "conf/"), "C:\\App\\conf\\");

    const struct {
        const char* name;
        bool protectedMember;
    } cases[] = {
        {"app/conf/settings.xml", true}, {"App/Conf/Settings.XML", true}, {"app/conf/sub/x.xml", true},
        {"app/bin/Run.bat", true},       {"app/BIN/run.sh", true},        {"/conf/app.xml", true},
        {"conf/app.xml", false},         {"bin/run.bat", false},          {"app/conf/readme.txt", false},
        {"app/lib/core.jar", false},     {"app/bin/run.exe", false},      {"app/confx/a.xml", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsProtectedMember(c.name), c.protectedMember) << c.name;
}

TEST(Placeholders, SlashesFirstThenEachFolderWithItsBackslash) {
    const std::string home = "C:\\Program Files\\App\\";
    const struct {
        const char* text;
        std::string expanded;
    } cases[] = {
        {"{$DIR_LIB}a.jar", home + "lib\\a.jar"},
        {"{$DIR_LIB}/a.jar", home + "lib\\\\a.jar"},
        {"{$DIR_CONF}x.xml", home + "conf\\x.xml"},
        {"{$DIR_HOME}", home},
        {"{$DIR_UPDATES}app.zip", home + "updates\\app.zip"},
        {"{$DIR_BIN}QuillmarApp", home + "bin\\QuillmarApp"},
        {"{$DIR_BIN}{$DIR_BIN}", home + "bin\\" + home + "bin\\"},
        {"lib/ext/a.jar", "lib\\ext\\a.jar"},
        {"{$dir_lib}a.jar", "{$dir_lib}a.jar"},
        {"{$DIR_LIB", "{$DIR_LIB"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ExpandPlaceholders(c.text, home), c.expanded) << c.text;

    EXPECT_EQ(PlaceholderFolders("H\\"),
              (std::vector<std::string>{"H\\conf\\", "H\\lib\\", "H\\", "H\\updates\\", "H\\bin\\"}));
}

// (Archives with each kind of name: ZipArchiveTest.)
TEST(MemberNames, DecodingLooksOnlyAtTheFlagAndEndsAtAZeroByte) {
    std::string name;
    EXPECT_TRUE(DecodeMemberName("caf\xC3\xA9", false, name));  // UTF-8 bytes without the flag: code page 437
    EXPECT_EQ(name, "caf\xE2\x94\x9C\xE2\x8C\x90");
    EXPECT_TRUE(DecodeMemberName(std::string("a.txt\0/../../x", 14), true, name));
    EXPECT_EQ(name, "a.txt");
    EXPECT_FALSE(DecodeMemberName("\xE2\x94", true, name));  // cut short
}

TEST(ZipItemFields, AttributeBitsFromBothHalvesAndTheName) {
    const struct {
        uint32_t external;
        const char* name;
        uint32_t attributes;
    } cases[] = {
        {0x81A40000, "a", 0x80},   // -rw-r--r-- from Unix
        {0x81240000, "a", 0x81},   // -r--r--r--
        {0x41ED0010, "d/", 0x90},  // directory, both halves
        {0x41ED0000, "d", 0x90},   // directory, Unix half only
        {0x00000010, "d/", 0x91},  // directory from DOS: no Unix write bit
        {0x00000000, "a", 0x80},   // nothing recorded (Java's jar): writable
        {0x00000000, "d/", 0x90},  // ... and a folder by its name
        {0x00000000, "d\\", 0x90},
        {0x81A40000, "d/", 0x90},  // the name wins over a file's mode
        {0x00000020, "a", 0xA1},   // archive bit from Windows
        {0x00000001, "a", 0x81},   // DOS read-only alone
        {0x81A40001, "a", 0x81},   // DOS read-only wins over Unix write
        {0x81A40026, "a", 0xA6},   // archive, hidden, system
    };
    for (const auto& c : cases)
        EXPECT_EQ(ZipItemAttributes(c.external, c.name), c.attributes) << std::hex << c.external << " " << c.name;
}

TEST(ZipItemFields, ExtendedTimesReadOnlyWhatTheFieldHolds) {
    auto bytes = [](std::initializer_list<int> values) {
        std::vector<unsigned char> out;
        for (int v : values) out.push_back(static_cast<unsigned char>(v));
        return out;
    };
    const uint64_t t1 = FileTimeFromUnixTime(0x01020304), t2 = FileTimeFromUnixTime(0x05060708);

    // Another field first, then "UT" with write and access times.
    auto extra = bytes({'u', 'x', 2, 0, 9, 9, 'U', 'T', 9, 0, 3, 4, 3, 2, 1, 8, 7, 6, 5});
    ZipExtendedTimes times = ReadExtendedTimes(extra.data(), extra.size());
    EXPECT_TRUE(times.hasWrite && times.hasAccess && !times.hasCreation);
    EXPECT_EQ(times.write, t1);
    EXPECT_EQ(times.access, t2);

    // Flags 4 alone: the first time is the creation time.
    extra = bytes({'U', 'T', 5, 0, 4, 4, 3, 2, 1});
    times = ReadExtendedTimes(extra.data(), extra.size());
    EXPECT_TRUE(!times.hasWrite && !times.hasAccess && times.hasCreation);
    EXPECT_EQ(times.creation, t1);

    // Flags promise three times, the field holds one: only that one counts.
    extra = bytes({'U', 'T', 5, 0, 7, 4, 3, 2, 1, 8, 7, 6, 5});
    times = ReadExtendedTimes(extra.data(), extra.size());
    EXPECT_TRUE(times.hasWrite && !times.hasAccess && !times.hasCreation);

    // Cut short inside the time, a length running past the end, a header
    // without room for the flags, nothing at all.
    for (const auto& cut : {bytes({'U', 'T', 5, 0, 1, 4, 3}), bytes({'x', 'y', 200, 0, 'U', 'T', 5, 0, 1, 1, 1, 1, 1}),
                            bytes({'U', 'T', 5, 0}), bytes({})}) {
        times = ReadExtendedTimes(cut.data(), cut.size());
        EXPECT_FALSE(times.hasWrite || times.hasAccess || times.hasCreation);
    }
    // Only the first "UT" field counts.
    extra = bytes({'U', 'T', 1, 0, 0, 'U', 'T', 5, 0, 1, 4, 3, 2, 1});
    times = ReadExtendedTimes(extra.data(), extra.size());
    EXPECT_FALSE(times.hasWrite);

    EXPECT_EQ(FileTimeFromUnixTime(0), 116444736000000000ULL);
    EXPECT_EQ(FileTimeFromUnixTime(-1), 116444736000000000ULL - 10000000ULL);
}
