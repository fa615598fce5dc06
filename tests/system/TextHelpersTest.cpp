// Pure text helpers: version numbers, path texts, letter case and the
// UTF-8 conversions at the Windows boundary.
#include <gtest/gtest.h>

#include "system/PathText.h"
#include "system/TextCase.h"
#include "system/Utf8.h"
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

TEST(Utf8, ConvertsBothWaysAndReplacesWhatIsIllFormed) {
    const struct {
        const char* utf8;
        std::wstring utf16;
        bool valid;
    } cases[] = {
        {"C:\\Temp", L"C:\\Temp", true},
        {"na\xC3\xAFve-caf\xC3\xA9", L"na\u00EFve-caf\u00E9", true},
        {"\xD0\x9F\xD1\x80\xD0\xBE", L"\u041F\u0440\u043E", true},
        {"\xE6\xB5\x8B\xE8\xAF\x95", L"\u6D4B\u8BD5", true},
        {"\xF0\x9F\x93\xA6", std::wstring{wchar_t(0xD83D), wchar_t(0xDCE6)}, true},
        {"\xEF\xBF\xBD", L"\uFFFD", true},
        {"a\xC0\xAFz", L"a\uFFFD\uFFFDz", false},       // an overlong "/"
        {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD", false},  // a surrogate written as UTF-8
        {"\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD", false},  // past U+10FFFF
        {"\xE2\x82", L"\uFFFD", false},                    // cut short
        {"\xE9t\xE9", L"\uFFFDt\uFFFD", false},           // Latin-1, not UTF-8
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Widen(c.utf8), c.utf16) << c.utf8;
        EXPECT_EQ(IsValidUtf8(c.utf8), c.valid) << c.utf8;
        if (c.valid) {
            EXPECT_EQ(Narrow(c.utf16), c.utf8);
        }
    }
    EXPECT_EQ(Narrow(std::wstring{L'a', wchar_t(0xDC00), wchar_t(0xD800)}), "a\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(Cp437ToUtf8("caf\x82 \x94\xE1"), "caf\xC3\xA9 \xC3\xB6\xC3\x9F");
}
