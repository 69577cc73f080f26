#include "platform/net/StringCompressor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using platform::net::BitStream;
using platform::net::StringCompressor;

TEST(StringCompressor, TextsRoundTripWithinTheirLimit)
{
    struct Case {
        std::string text;
        std::size_t maxLength;
        std::string expected;
        std::size_t bits; // length group, alphabet bit, characters
    };
    const std::string name25(24, 'n');
    const Case cases[] = {
        {"", 25, "", 9},
        {"Soldier", 25, "Soldier", 9 + 7 * 7},
        {name25, 25, name25, 9 + 24 * 7},
        {name25 + "xyz", 25, name25, 9 + 24 * 7},
        {"caf\xC3\xA9", 128, "caf\xC3\xA9", 9 + 5 * 8},
        {"anything", 1, "", 9},
        {"anything", 0, "", 9},
    };
    for (const Case& c : cases) {
        BitStream s;
        ASSERT_TRUE(StringCompressor::EncodeString(c.text, c.maxLength, s)) << c.text;
        EXPECT_EQ(s.GetNumberOfBitsUsed(), c.bits) << c.text;
        std::string back = "stale";
        EXPECT_TRUE(StringCompressor::DecodeString(back, c.maxLength == 0 ? 1 : c.maxLength, s)) << c.text;
        EXPECT_EQ(back, c.expected);
        EXPECT_EQ(s.GetNumberOfUnreadBits(), 0u) << c.text;
    }

    // Texts follow one another and other fields in the same stream.
    BitStream s;
    s.WriteBit(true);
    StringCompressor::EncodeString("chat line", 500, s);
    StringCompressor::EncodeString(static_cast<const char*>(nullptr), 40, s);
    s.Write(std::uint16_t{77});
    bool bit = false;
    char first[500];
    char second[40];
    std::uint16_t tail = 0;
    EXPECT_TRUE(s.ReadBit(bit) && StringCompressor::DecodeString(first, sizeof first, s)
        && StringCompressor::DecodeString(second, sizeof second, s) && s.Read(tail));
    EXPECT_STREQ(first, "chat line");
    EXPECT_STREQ(second, "");
    EXPECT_EQ(tail, 77);
}

// Records made by hand the way a hostile peer would: each decode fails, leaves an empty terminated
// text and does not move the read position, so the handler can drop the record.
TEST(StringCompressor, HostileRecordsAreRefused)
{
    struct Case {
        const char* name;
        std::function<void(BitStream&)> build;
        std::size_t maxLength;
    };
    const std::vector<Case> cases = {
        {"empty record", [](BitStream&) {}, 25},
        {"length without alphabet bit", [](BitStream& s) { s.WriteCompressed(std::uint64_t{3}); }, 25},
        {"length above the limit",
            [](BitStream& s) {
                s.WriteCompressed(std::uint64_t{25});
                s.Write1();
                for (int i = 0; i < 25; ++i)
                    s.WriteBits('a', 7);
            },
            25},
        {"length above the bits left",
            [](BitStream& s) {
                s.WriteCompressed(std::uint64_t{10});
                s.Write1();
                s.WriteBits('a', 7);
            },
            128},
        {"huge length", [](BitStream& s) { s.WriteCompressed(std::uint64_t{1} << 62); s.Write0(); }, ~std::size_t{0}},
        {"zero character inside",
            [](BitStream& s) {
                s.WriteCompressed(std::uint64_t{3});
                s.Write0();
                s.WriteBits('a', 8);
                s.WriteBits(0, 8);
                s.WriteBits('b', 8);
            },
            25},
        {"malformed length", [](BitStream& s) { s.WriteBits(0xFFFFFFFFFFull, 40); s.Write0(); }, 25},
        {"no room for a terminator", [](BitStream& s) { StringCompressor::EncodeString("", 1, s); }, 0},
    };
    for (const Case& c : cases) {
        BitStream s;
        c.build(s);
        char buffer[32];
        std::memset(buffer, 'X', sizeof buffer);
        const std::size_t size = std::min(c.maxLength, sizeof buffer);
        EXPECT_FALSE(StringCompressor::DecodeString(buffer, size, s)) << c.name;
        if (size > 0) {
            EXPECT_EQ(buffer[0], '\0') << c.name;
        }
        EXPECT_EQ(s.GetReadOffset(), 0u) << c.name;

        std::string text = "stale";
        EXPECT_FALSE(StringCompressor::DecodeString(text, c.maxLength, s)) << c.name;
        EXPECT_EQ(text, "") << c.name;
        EXPECT_EQ(s.GetReadOffset(), 0u) << c.name;
    }
}

TEST(StringCompressor, ATextTheStreamCannotHoldLeavesNothingBehind)
{
    BitStream s(3);
    s.Write(std::uint8_t{1});
    EXPECT_FALSE(StringCompressor::EncodeString("longer than two bytes", 128, s));
    EXPECT_EQ(s.GetNumberOfBitsUsed(), 8u);
    EXPECT_TRUE(s.HasOverflowed());
}

} // namespace
