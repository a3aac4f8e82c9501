#include "common/scramble/scramble.h"

#include <gtest/gtest.h>

namespace zelt::scramble {
namespace {

TEST(Scramble, EveryByteRoundTripsAtEveryKeyPositionButTheCollidingOne) {
    for (std::size_t position = 0; position < 4; ++position) {
        const int k = kKey[position];
        for (int c = 1; c < 256; ++c) {
            const std::uint8_t s = scrambleByte(static_cast<std::uint8_t>(c), position);
            EXPECT_NE(s, 0) << "byte " << c << " at " << position;
            if (c == 2 * k - 1) continue;
            EXPECT_EQ(unscrambleByte(s, position), c) << "byte " << c << " at " << position;
        }
    }
}

TEST(Scramble, TheByteThatWouldBecomeZeroAndItsTwinShareOneScrambledByte) {
    for (std::size_t position = 0; position < 4; ++position) {
        const int k = kKey[position];
        const auto zeroing = static_cast<std::uint8_t>(k - 1);
        const auto twin = static_cast<std::uint8_t>(2 * k - 1);
        EXPECT_EQ(scrambleByte(zeroing, position), 256 - k);
        EXPECT_EQ(scrambleByte(twin, position), 256 - k);
        EXPECT_EQ(unscrambleByte(static_cast<std::uint8_t>(256 - k), position), k - 1);
        // The twin lies outside ASCII, so no typed ASCII password meets the collision.
        EXPECT_GE(twin, 128);
    }
}

TEST(Scramble, TextsKeepTheirLengthAndAsciiPasswordsRoundTrip) {
    const std::string plain = "Secret-Z[CpN 1234~";
    const std::string s = scramble(plain);
    EXPECT_EQ(s.size(), plain.size());
    EXPECT_EQ(s.find('\0'), std::string::npos);
    EXPECT_EQ(unscramble(s), plain);
    // The first position's key is 91: 'Z' (90) is the byte that would scramble to 0.
    EXPECT_EQ(static_cast<std::uint8_t>(scramble("Z")[0]), 256 - 91);
    EXPECT_EQ(scramble(std::string_view("ab\0cd", 5)).size(), 2u);
    EXPECT_EQ(scramble(""), "");
}

TEST(Scramble, KnownBytes) {
    // ~'a' + 91 = 158 + 91 = 249; ~'b' + 67 = 157 + 67 = 224.
    const std::string s = scramble("ab");
    EXPECT_EQ(static_cast<std::uint8_t>(s[0]), 249);
    EXPECT_EQ(static_cast<std::uint8_t>(s[1]), 224);
}

}  // namespace
}  // namespace zelt::scramble
