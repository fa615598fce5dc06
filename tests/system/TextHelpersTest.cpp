// Pure text helpers: version numbers, path texts and letter case.
#include <gtest/gtest.h>

#include "system/PathText.h"
#include "system/TextCase.h"
#include "system/VersionText.h"

TEST(FormatVersionNumber, FiveDecimalsWithTheOddLeadingZeroRule) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {1.01, "1.01000"}, {12.5, "12.50000"}, {2.1, "2.10000"},   {1.0, "1.00000"},
        {0.5, ".50000"},   {0.05, "0.05000"},  {0.0, ".00000"},    {0.001, "0.00100"},
        {-1.5, "1.50000"}, {0.999999, "1.00000"}, {123.456789, "123.45679"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatVersionNumber(c.value), c.text) << c.value;
}

TEST(ParseVersionNumber, KeepsDigitsAndTheFirstDot) {
    EXPECT_DOUBLE_EQ(ParseVersionNumber("1.4.2_05"), 1.4205);
    EXPECT_DOUBLE_EQ(ParseVersionNumber("1.5.0"), 1.5);
    EXPECT_DOUBLE_EQ(ParseVersionNumber("1.4"), 1.4);
    EXPECT_DOUBLE_EQ(ParseVersionNumber("1.10"), 1.1);
    EXPECT_DOUBLE_EQ(ParseVersionNumber(""), 0.0);
    EXPECT_DOUBLE_EQ(ParseVersionNumber("beta"), 0.0);
    EXPECT_DOUBLE_EQ(ParseVersionNumber("v2"), 2.0);
    EXPECT_GT(ParseVersionNumber("1.4.2_05"), ParseVersionNumber("1.4"));
    EXPECT_LT(ParseVersionNumber("1.4.2_05"), ParseVersionNumber("1.5"));
    EXPECT_LT(ParseVersionNumber("1.10"), ParseVersionNumber("1.4"));
}

TEST(MakeShortPath, AbbreviatesLongComponentsWithBlanksOnly) {
    const struct {
        const char* path;
        const char* shortPath;
    } cases[] = {
        {"C:\\Program Files\\My App", "C:\\PROGRA~1\\My App\\"},
        {"C:\\Documents and Settings\\user", "C:\\DOCUME~1\\user\\"},
        {"C:\\LongFolderName\\x", "C:\\LongFolderName\\x\\"},
        {"C:\\My Long App", "C:\\MY LON~1\\"},
        {"C:\\", "C:\\"},
        {"", ""},
        {"NoBackslash", "NoBackslash\\"},
    };
    for (const auto& c : cases) EXPECT_EQ(MakeShortPath(c.path), c.shortPath) << c.path;
}

TEST(PathText, TrailingBackslashAndFileName) {
    std::string path = "C:\\a";
    AddTrailingBackslash(path);
    EXPECT_EQ(path, "C:\\a\\");
    AddTrailingBackslash(path);
    EXPECT_EQ(path, "C:\\a\\");
    RemoveTrailingBackslash(path);
    EXPECT_EQ(path, "C:\\a");
    RemoveTrailingBackslash(path);
    EXPECT_EQ(path, "C:\\a");
    std::string empty;
    AddTrailingBackslash(empty);
    RemoveTrailingBackslash(empty);
    EXPECT_EQ(empty, "");
    EXPECT_EQ(GetFileNameOfPath("C:\\dir\\file.txt"), "file.txt");
    EXPECT_EQ(GetFileNameOfPath("file.txt"), "file.txt");
    EXPECT_EQ(GetFileNameOfPath("C:\\dir\\"), "");
}

TEST(TextCase, OnlyAsciiLettersChangeCase) {
    // Other bytes stay as they are, whatever the code page makes of them.
    EXPECT_EQ(AsciiUpperCase("Program Files\\q\xe9z-1_\xff"), "PROGRAM FILES\\Q\xe9Z-1_\xff");
    EXPECT_TRUE(EqualsIgnoringCase("Quillmar INC\\", "quillmar inc\\"));
    EXPECT_FALSE(EqualsIgnoringCase("\xe9", "\xc9"));
    EXPECT_FALSE(EqualsIgnoringCase("abc", "abcd"));
    EXPECT_EQ(FindIgnoringCase("C:\\Apps\\QUILLMAR\\bin", "quillmar\\"), 8u);
    EXPECT_EQ(FindIgnoringCase("C:\\Apps", "quillmar"), std::string::npos);
    EXPECT_TRUE(ContainsIgnoringCase("set CLASSPATH=x", "classpath="));
}
