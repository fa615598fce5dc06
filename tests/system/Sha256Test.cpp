#include <gtest/gtest.h>

#include <string>

#include "system/BackgroundSha256.h"
#include "system/Sha256.h"

TEST(BackgroundSha256, GivesTheDigestOfEveryByteInOrderWhateverThePieces) {
    std::string bytes(3 << 20, '\0');
    unsigned state = 2005;
    for (char& c : bytes) c = static_cast<char>((state = state * 1103515245 + 12345) >> 16);

    Sha256 reference;
    reference.update(bytes.data(), bytes.size());
    BackgroundSha256 background;
    // From single bytes to blocks far larger than any the thread queues.
    const size_t pieces[] = {1, 7, 4096, 65536, 300000, 3, 1 << 20};
    size_t at = 0;
    for (size_t i = 0; at < bytes.size(); ++i) {
        const size_t size = std::min(pieces[i % 7], bytes.size() - at);
        background.update(bytes.data() + at, size);
        at += size;
    }
    EXPECT_EQ(background.finish(), reference.finish());

    BackgroundSha256 empty;
    EXPECT_EQ(empty.finish(), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    BackgroundSha256 dropped;  // ended without finish(): its thread must stop
    dropped.update(bytes.data(), bytes.size());
}
