// RegistryKey on real keys below a scratch key of HKEY_LOCAL_MACHINE.
#include <gtest/gtest.h>

#include "support/ScratchRegistry.h"
#include "system/RegistryKey.h"

namespace {

const std::string kScratch = "Software\\VYN2005Tests\\RegistryKey";

class RegistryKeyTest : public testing::Test {
protected:
    ScratchRegistry scratch_{"Software\\VYN2005Tests"};
};

TEST_F(RegistryKeyTest, ClosedKeyAnswersMinusOneAndTouchesNothing) {
    RegistryKey key;
    std::string text = "unchanged";
    std::vector<std::string> names{"x"};
    EXPECT_EQ(key.deleteTree(), -1);
    EXPECT_EQ(key.deleteValue("a"), -1);
    EXPECT_EQ(key.setString("a", "b"), -1);
    EXPECT_EQ(key.setDword("a", 1), -1);
    EXPECT_EQ(key.getString("a", text), -1);
    EXPECT_EQ(text, "unchanged");
    EXPECT_EQ(key.enumSubkeys(names), -1);
    EXPECT_EQ(key.enumValues(names), -1);
    EXPECT_EQ(key.close(), 0);

    // A key that was opened and closed again holds nothing either.
    RegistryKey reopened(HKEY_LOCAL_MACHINE, kScratch);
    ASSERT_TRUE(reopened.isOpen());
    EXPECT_EQ(reopened.close(), 0);
    EXPECT_EQ(reopened.deleteTree(), -1);
    EXPECT_TRUE(LocalMachineKeyExists(kScratch));
}

TEST_F(RegistryKeyTest, OpenFailsOnMissingKeyAndConstructorCreatesIt) {
    RegistryKey key;
    EXPECT_EQ(key.open(HKEY_LOCAL_MACHINE, kScratch), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(key.isOpen());
    RegistryKey created(HKEY_LOCAL_MACHINE, kScratch + "\\a\\b");
    EXPECT_TRUE(created.isOpen());
    EXPECT_EQ(key.open(HKEY_LOCAL_MACHINE, kScratch + "\\a\\b"), 0);
}

TEST_F(RegistryKeyTest, StringsAndDwordsRoundTrip) {
    RegistryKey key(HKEY_LOCAL_MACHINE, kScratch);
    ASSERT_EQ(key.setString("Home", "C:\\Apps\\Q\\"), 0);
    ASSERT_EQ(key.setString("Empty", ""), 0);
    ASSERT_EQ(key.setDword("Count", 7), 0);
    std::string text;
    EXPECT_EQ(key.getString("Home", text), 0);
    EXPECT_EQ(text, "C:\\Apps\\Q\\");
    EXPECT_EQ(key.getString("Empty", text), 0);
    EXPECT_EQ(text, "");
    text = "kept";
    EXPECT_EQ(key.getString("Missing", text), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(text, "kept");
    EXPECT_EQ(key.deleteValue("Home"), 0);
    EXPECT_EQ(key.getString("Home", text), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(LocalMachineString(kScratch, "Empty"), "");
}

TEST_F(RegistryKeyTest, NonLatinNamesAndValuesAreStoredAsUtf16) {
    const std::string child = kScratch + "\\\xD0\x9A\xD0\xBB\xD1\x8E\xD1\x87";  // "Ключ"
    // "C:\Прог\千\café"
    const std::string value = "C:\\\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB3\\\xE5\x8D\x83\\caf\xC3\xA9";
    RegistryKey key(HKEY_LOCAL_MACHINE, child);
    ASSERT_EQ(key.setString("Ordner-\xC3\xA4", value), 0);
    std::string text;
    EXPECT_EQ(key.getString("Ordner-\xC3\xA4", text), 0);
    EXPECT_EQ(text, value);

    // What another program reads: a REG_SZ of the same characters.
    wchar_t stored[64] = {};
    DWORD type = 0, size = sizeof stored;
    ASSERT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\VYN2005Tests\\RegistryKey\\\u041A\u043B\u044E\u0447",
                           L"Ordner-\u00E4", RRF_RT_ANY, &type, stored, &size),
              0);
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(std::wstring(stored), L"C:\\\u041F\u0440\u043E\u0433\\\u5343\\caf\u00E9");

    RegistryKey parent(HKEY_LOCAL_MACHINE, kScratch);
    std::vector<std::string> names;
    EXPECT_EQ(parent.enumSubkeys(names), 0);
    EXPECT_EQ(names, std::vector<std::string>{"\xD0\x9A\xD0\xBB\xD1\x8E\xD1\x87"});
    EXPECT_EQ(key.enumValues(names), 0);
    EXPECT_EQ(names, std::vector<std::string>{"Ordner-\xC3\xA4"});
}

TEST_F(RegistryKeyTest, GetStringLimitIs2048CharactersAndAlwaysTerminates) {
    RegistryKey key(HKEY_LOCAL_MACHINE, kScratch);
    // 2047 characters plus the terminator fill the limit exactly.
    std::string fits(2047, 'a');
    ASSERT_EQ(key.setString("Fits", fits), 0);
    std::string text;
    EXPECT_EQ(key.getString("Fits", text), 0);
    EXPECT_EQ(text, fits);

    std::string tooLong(2048, 'b');
    ASSERT_EQ(key.setString("TooLong", tooLong), 0);
    text = "unchanged";
    EXPECT_EQ(key.getString("TooLong", text), ERROR_MORE_DATA);
    EXPECT_EQ(text, "unchanged");

    // Exactly 2048 characters with no terminator of their own: the text must
    // stop there and not run on into whatever follows the buffer.
    std::wstring raw(2048, L'c');
    ASSERT_EQ(RegSetValueExW(key.handle(), L"NoTerminator", 0, REG_BINARY, reinterpret_cast<const BYTE*>(raw.data()),
                             DWORD(raw.size() * sizeof(wchar_t))),
              0);
    EXPECT_EQ(key.getString("NoTerminator", text), 0);
    EXPECT_EQ(text, std::string(2048, 'c'));
}

TEST_F(RegistryKeyTest, EnumerationListsInOrderAndEndsWithZero) {
    RegistryKey key(HKEY_LOCAL_MACHINE, kScratch);
    std::vector<std::string> names{"stale"};
    EXPECT_EQ(key.enumSubkeys(names), 0);
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(key.enumValues(names), 0);
    EXPECT_TRUE(names.empty());

    for (const char* name : {"1.4", "1.3", "1.4.2_05"}) RegistryKey child(HKEY_LOCAL_MACHINE, kScratch + "\\" + name);
    key.setString("one", "1");
    key.setString(std::string(300, 'v'), "a value name longer than a key name may be");
    EXPECT_EQ(key.enumSubkeys(names), 0);
    EXPECT_EQ(names.size(), 3u);
    EXPECT_EQ(key.enumValues(names), 0);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[1].size(), 300u);
}

TEST_F(RegistryKeyTest, DeleteTreeRemovesNestedKeysAndValues) {
    {
        RegistryKey deep(HKEY_LOCAL_MACHINE, kScratch + "\\a\\b\\c");
        deep.setString("v", "x");
        RegistryKey side(HKEY_LOCAL_MACHINE, kScratch + "\\a\\d");
        side.setDword("n", 1);
        RegistryKey top(HKEY_LOCAL_MACHINE, kScratch);
        top.setString("top", "y");
        top.setString(std::string(300, 'w'), "long name");
    }
    RegistryKey sibling(HKEY_LOCAL_MACHINE, "Software\\VYN2005Tests\\Sibling");
    sibling.close();

    RegistryKey key;
    ASSERT_EQ(key.open(HKEY_LOCAL_MACHINE, kScratch), 0);
    EXPECT_EQ(key.deleteTree(), 0);
    key.close();
    EXPECT_FALSE(LocalMachineKeyExists(kScratch));
    EXPECT_TRUE(LocalMachineKeyExists("Software\\VYN2005Tests\\Sibling"));
}

TEST_F(RegistryKeyTest, KeyWithoutWriteAccessCannotBeOpenedForFullAccess) {
    { RegistryKey create(HKEY_LOCAL_MACHINE, kScratch); }
    ASSERT_TRUE(DenyWriteAccess(kScratch));
    RegistryKey key;
    EXPECT_EQ(key.open(HKEY_LOCAL_MACHINE, kScratch), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(key.isOpen());
    AllowFullAccess(kScratch);
}

}  // namespace
