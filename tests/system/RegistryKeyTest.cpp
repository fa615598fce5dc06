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

TEST_F(RegistryKeyTest, GetStringLimitIs2048BytesAndAlwaysTerminates) {
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

    // Exactly 2048 bytes with no terminator of their own: the text must stop
    // there and not run on into whatever follows the buffer.
    std::string raw(2048, 'c');
    ASSERT_EQ(RegSetValueExA(key.handle(), "NoTerminator", 0, REG_BINARY,
                             reinterpret_cast<const BYTE*>(raw.data()), 2048),
              0);
    EXPECT_EQ(key.getString("NoTerminator", text), 0);
    EXPECT_EQ(text, raw);
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
