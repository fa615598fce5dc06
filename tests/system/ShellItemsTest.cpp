// Item-identifier lists built by hand: sizes, walking, copying and joining.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <vector>

#include "system/ShellItems.h"

namespace {

// A list of items with the given byte counts; each item's bytes after its
// count hold its own number, so copies can be told apart.
std::vector<BYTE> HandBuiltList(const std::vector<USHORT>& counts) {
    std::vector<BYTE> bytes;
    BYTE number = 1;
    for (USHORT count : counts) {
        bytes.push_back(static_cast<BYTE>(count & 0xFF));
        bytes.push_back(static_cast<BYTE>(count >> 8));
        bytes.insert(bytes.end(), count - 2, number++);
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

LPCITEMIDLIST AsList(const std::vector<BYTE>& bytes) { return reinterpret_cast<LPCITEMIDLIST>(bytes.data()); }

std::vector<BYTE> BytesOf(LPCITEMIDLIST list) {
    const BYTE* start = reinterpret_cast<const BYTE*>(list);
    return std::vector<BYTE>(start, start + ItemIdListSize(list));
}

TEST(ItemIdLists, SizesWalksCopiesAndJoinsHandBuiltLists) {
    const std::vector<BYTE> one = HandBuiltList({20});
    const std::vector<BYTE> two = HandBuiltList({4, 6});
    const std::vector<BYTE> empty = HandBuiltList({});

    EXPECT_EQ(ItemIdListSize(AsList(one)), 22u);
    EXPECT_EQ(ItemIdListSize(AsList(two)), 12u);
    EXPECT_EQ(ItemIdListSize(AsList(empty)), 2u);
    EXPECT_EQ(ItemIdListSize(nullptr), 0u);

    // The walk stops before the terminator.
    EXPECT_EQ(NextItemId(AsList(one)), nullptr);
    LPCITEMIDLIST second = NextItemId(AsList(two));
    EXPECT_EQ(reinterpret_cast<const BYTE*>(second), two.data() + 4);
    EXPECT_EQ(NextItemId(second), nullptr);
    EXPECT_EQ(NextItemId(AsList(empty)), nullptr);

    UniqueItemIdList first(CopyFirstItemId(AsList(two)));
    ASSERT_TRUE(first);
    EXPECT_EQ(BytesOf(first.get()), HandBuiltList({4}));

    UniqueItemIdList joined(ConcatItemIdLists(AsList(one), AsList(two)));
    ASSERT_TRUE(joined);
    std::vector<BYTE> expected(one.begin(), one.end() - 2);
    expected.insert(expected.end(), two.begin(), two.end());
    EXPECT_EQ(BytesOf(joined.get()), expected);
    EXPECT_EQ(ItemIdListSize(joined.get()), 32u);

    UniqueItemIdList secondOnly(ConcatItemIdLists(nullptr, AsList(two)));
    EXPECT_EQ(BytesOf(secondOnly.get()), two);
    UniqueItemIdList firstOnly(ConcatItemIdLists(AsList(one), nullptr));
    EXPECT_EQ(BytesOf(firstOnly.get()), one);
    UniqueItemIdList neither(ConcatItemIdLists(nullptr, nullptr));
    EXPECT_EQ(BytesOf(neither.get()), empty);
}

}  // namespace
