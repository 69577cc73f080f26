#include "platform/net/BitStream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

using platform::net::BitStream;
using Bytes = std::vector<std::uint8_t>;

Bytes Content(const BitStream& s)
{
    return Bytes(s.GetData(), s.GetData() + s.GetNumberOfBytesUsed());
}

// A stream built bit by bit from a text of '0' and '1' (blanks ignored), for hand-made records.
BitStream FromBitText(const std::string& text)
{
    BitStream s;
    for (char c : text)
        if (c == '0' || c == '1')
            s.WriteBit(c == '1');
    return s;
}

// The byte layout of every typed write: these records are what other copies of the program read.
TEST(BitStreamLayout, TypedWritesAreLittleEndianBytes)
{
    struct Case {
        const char* name;
        std::function<void(BitStream&)> write;
        Bytes expected;
    };
    const std::vector<Case> cases = {
        {"uint8", [](BitStream& s) { s.Write(std::uint8_t{0xAB}); }, {0xAB}},
        {"uint16", [](BitStream& s) { s.Write(std::uint16_t{0x1234}); }, {0x34, 0x12}},
        {"int16", [](BitStream& s) { s.Write(std::int16_t{-2}); }, {0xFE, 0xFF}},
        {"uint32", [](BitStream& s) { s.Write(std::uint32_t{0x01020304}); }, {0x04, 0x03, 0x02, 0x01}},
        {"int32", [](BitStream& s) { s.Write(std::int32_t{-1}); }, {0xFF, 0xFF, 0xFF, 0xFF}},
        {"uint64", [](BitStream& s) { s.Write(std::uint64_t{0x0102030405060708}); },
            {0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01}},
        {"float", [](BitStream& s) { s.Write(1.0f); }, {0x00, 0x00, 0x80, 0x3F}},
        {"double", [](BitStream& s) { s.Write(-2.0); }, {0, 0, 0, 0, 0, 0, 0x00, 0xC0}},
        {"bool", [](BitStream& s) { s.Write(true); }, {0x01}},
        {"raw bytes", [](BitStream& s) { s.WriteBytes("ab", 2); }, {'a', 'b'}},
        // Bits fill a byte from its most significant end; a later byte-sized write straddles.
        {"bits then byte", [](BitStream& s) { s.Write1(); s.Write0(); s.Write1(); s.Write(std::uint8_t{0xFF}); },
            {0xBF, 0xE0}},
        {"bit field", [](BitStream& s) { s.WriteBits(0x5, 3); s.WriteBits(0x1F, 5); }, {0xBF}},
        {"compressed 0", [](BitStream& s) { s.WriteCompressed(std::int32_t{0}); }, {0x00}},
        {"compressed -1", [](BitStream& s) { s.WriteCompressed(std::int32_t{-1}); }, {0x01}},
        {"compressed 64", [](BitStream& s) { s.WriteCompressed(std::int32_t{64}); }, {0x80, 0x01}},
    };
    for (const Case& c : cases) {
        BitStream s;
        c.write(s);
        EXPECT_EQ(Content(s), c.expected) << c.name;
    }
}

TEST(BitStreamRoundTrip, ValuesComeBackAfterAnOddBitOffset)
{
    BitStream s;
    s.Write1();
    s.Write(std::uint16_t{0xBEEF});
    s.Write(std::int32_t{-123456});
    s.Write(3.25f);
    s.Write(-1.0e300);
    s.WriteCompressed(std::int32_t{std::numeric_limits<std::int32_t>::min()});
    s.WriteCompressed(std::uint64_t{std::numeric_limits<std::uint64_t>::max()});
    s.WriteBytes("xyz", 3);
    s.WriteBits(0x2A, 6);

    bool bit = false;
    std::uint16_t u16 = 0;
    std::int32_t i32 = 0, ci32 = 0;
    float f = 0;
    double d = 0;
    std::uint64_t cu64 = 0, field = 0;
    char text[3] = {};
    ASSERT_TRUE(s.ReadBit(bit) && s.Read(u16) && s.Read(i32) && s.Read(f) && s.Read(d) && s.ReadCompressed(ci32)
        && s.ReadCompressed(cu64) && s.ReadBytes(text, 3) && s.ReadBits(field, 6));
    EXPECT_TRUE(bit);
    EXPECT_EQ(u16, 0xBEEF);
    EXPECT_EQ(i32, -123456);
    EXPECT_EQ(f, 3.25f);
    EXPECT_EQ(d, -1.0e300);
    EXPECT_EQ(ci32, std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(cu64, std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(std::string(text, 3), "xyz");
    EXPECT_EQ(field, 0x2Au);
    EXPECT_EQ(s.GetNumberOfUnreadBits(), 0u);
}

TEST(BitStreamRoundTrip, CompressedSizesGrowWithMagnitude)
{
    struct Case {
        std::int64_t value;
        std::size_t bits;
    };
    const Case cases[] = {{0, 8}, {1, 8}, {-1, 8}, {63, 8}, {-64, 8}, {64, 16}, {-65, 16}, {8191, 16}, {8192, 24},
        {std::numeric_limits<std::int32_t>::max(), 40}, {std::numeric_limits<std::int64_t>::min(), 80}};
    for (const Case& c : cases) {
        BitStream s;
        s.WriteCompressed(c.value);
        EXPECT_EQ(s.GetNumberOfBitsUsed(), c.bits) << c.value;
        std::int64_t back = 0;
        EXPECT_TRUE(s.ReadCompressed(back));
        EXPECT_EQ(back, c.value);
    }
}

// Every read on a stream one bit short fails, zeroes its output, keeps its place, and the bits that
// are there can still be read afterwards.
TEST(BitStreamUnderflow, ShortReadsFailAndLeaveOutputDefined)
{
    struct Case {
        const char* name;
        std::size_t bitsNeeded;
        std::function<bool(BitStream&, bool& outputZero)> read;
    };
    const std::vector<Case> cases = {
        {"bit", 1, [](BitStream& s, bool& z) { bool v = true; bool ok = s.ReadBit(v); z = !v; return ok; }},
        {"uint16", 16, [](BitStream& s, bool& z) { std::uint16_t v = 7; bool ok = s.Read(v); z = v == 0; return ok; }},
        {"int32", 32, [](BitStream& s, bool& z) { std::int32_t v = 7; bool ok = s.Read(v); z = v == 0; return ok; }},
        {"float", 32, [](BitStream& s, bool& z) { float v = 7; bool ok = s.Read(v); z = v == 0; return ok; }},
        {"double", 64, [](BitStream& s, bool& z) { double v = 7; bool ok = s.Read(v); z = v == 0; return ok; }},
        {"bits", 12, [](BitStream& s, bool& z) { std::uint64_t v = 7; bool ok = s.ReadBits(v, 12); z = v == 0; return ok; }},
        {"bytes", 24, [](BitStream& s, bool& z) {
             char v[3] = {1, 1, 1};
             bool ok = s.ReadBytes(v, 3);
             z = v[0] == 0 && v[1] == 0 && v[2] == 0;
             return ok;
         }},
        {"compressed", 16, [](BitStream& s, bool& z) { std::int32_t v = 7; bool ok = s.ReadCompressed(v); z = v == 0; return ok; }},
        {"ignore", 9, [](BitStream& s, bool& z) { z = true; return s.IgnoreBits(9); }},
    };
    for (const Case& c : cases) {
        // The short stream begins like a full one would (a continuation bit for the compressed case).
        BitStream s;
        for (std::size_t i = 0; i + 1 < c.bitsNeeded; ++i)
            s.WriteBit(i == 0 || i % 3 == 0);
        bool zero = false;
        EXPECT_FALSE(c.read(s, zero)) << c.name;
        EXPECT_TRUE(zero) << c.name;
        EXPECT_EQ(s.GetReadOffset(), 0u) << c.name;
        std::uint64_t rest = 0;
        EXPECT_TRUE(s.ReadBits(rest, static_cast<unsigned>(c.bitsNeeded - 1))) << c.name;
    }
}

TEST(BitStreamUnderflow, MalformedCompressedValuesAreRefused)
{
    struct Case {
        const char* name;
        const char* bits;
        int width; // 16, 32 or 64
    };
    const Case cases[] = {
        {"empty", "", 32},
        {"continuation without a next group", "1 0000001", 32},
        {"six groups for 32 bits", "1 0000001 1 0000001 1 0000001 1 0000001 1 0000001 0 0000001", 32},
        {"bits above 32", "1 0000000 1 0000000 1 0000000 1 0000000 0 0010000", 32},
        {"bits above 16", "1 0000000 1 0000000 0 0000100", 16},
        {"eleven groups for 64 bits",
            "1 1111111 1 1111111 1 1111111 1 1111111 1 1111111 1 1111111 1 1111111 1 1111111 1 1111111 1 0000000 0 0000001",
            64},
        {"trailing empty group", "1 0000001 0 0000000", 32},
    };
    for (const Case& c : cases) {
        BitStream s = FromBitText(c.bits);
        bool ok = true;
        if (c.width == 16) {
            std::int16_t v = 5;
            ok = s.ReadCompressed(v);
            EXPECT_EQ(v, 0) << c.name;
        } else if (c.width == 32) {
            std::uint32_t v = 5;
            ok = s.ReadCompressed(v);
            EXPECT_EQ(v, 0u) << c.name;
        } else {
            std::uint64_t v = 5;
            ok = s.ReadCompressed(v);
            EXPECT_EQ(v, 0u) << c.name;
        }
        EXPECT_FALSE(ok) << c.name;
        EXPECT_EQ(s.GetReadOffset(), 0u) << c.name;
    }
}

TEST(BitStreamLimit, WritesStopAtTheByteLimit)
{
    BitStream s(4);
    EXPECT_TRUE(s.Write(std::uint32_t{0xDEADBEEF}));
    EXPECT_FALSE(s.HasOverflowed());
    const struct {
        const char* name;
        std::function<bool(BitStream&)> write;
    } refused[] = {
        {"bit", [](BitStream& b) { return b.WriteBit(true); }},
        {"uint16", [](BitStream& b) { return b.Write(std::uint16_t{1}); }},
        {"bytes", [](BitStream& b) { return b.WriteBytes("a", 1); }},
        {"compressed", [](BitStream& b) { return b.WriteCompressed(std::int32_t{0}); }},
        {"stream", [](BitStream& b) { BitStream one; one.Write1(); return b.WriteStream(one); }},
    };
    for (const auto& r : refused) {
        EXPECT_FALSE(r.write(s)) << r.name;
        EXPECT_EQ(s.GetNumberOfBitsUsed(), 32u) << r.name;
    }
    EXPECT_TRUE(s.HasOverflowed());
    EXPECT_EQ(Content(s), (Bytes{0xEF, 0xBE, 0xAD, 0xDE}));

    // A compressed value that does not fit whole leaves nothing of itself behind.
    BitStream two(2);
    two.WriteBit(true);
    EXPECT_FALSE(two.WriteCompressed(std::uint32_t{1u << 20}));
    EXPECT_EQ(two.GetNumberOfBitsUsed(), 1u);
}

TEST(BitStreamLimit, ReceivedRecordsAboveTheLimitAreNotRead)
{
    const Bytes record = {1, 2, 3, 4, 5};
    BitStream fits(record.data(), record.size(), 5);
    EXPECT_FALSE(fits.HasOverflowed());
    EXPECT_EQ(fits.GetNumberOfBitsUsed(), 40u);

    BitStream tooLong(record.data(), record.size(), 4);
    EXPECT_TRUE(tooLong.HasOverflowed());
    std::uint8_t b = 9;
    EXPECT_FALSE(tooLong.Read(b));
    EXPECT_EQ(b, 0);

    BitStream missing(nullptr, 3);
    EXPECT_TRUE(missing.HasOverflowed());
    EXPECT_EQ(missing.GetNumberOfBitsUsed(), 0u);
}

TEST(BitStreamLength, ExactBitLengthsBoundReadsAndAppends)
{
    // Three bytes of which only 13 bits belong to the record; the stray bits after them never show.
    const Bytes record = {0xFF, 0xFF, 0xFF};
    BitStream s = BitStream::FromBits(record.data(), 13);
    EXPECT_EQ(s.GetNumberOfBitsUsed(), 13u);
    std::uint64_t v = 0;
    EXPECT_FALSE(s.ReadBits(v, 14));
    EXPECT_TRUE(s.ReadBits(v, 13));
    EXPECT_EQ(v, 0x1FFFu);
    s.Write0();
    s.Write0();
    s.Write0();
    EXPECT_EQ(Content(s), (Bytes{0xFF, 0xF8}));

    // Appending a stream keeps its bits in order, also at an odd offset and onto itself.
    BitStream a = FromBitText("101");
    const BitStream b = FromBitText("11110000 1");
    a.WriteStream(b);
    a.WriteStream(a);
    EXPECT_EQ(a.GetNumberOfBitsUsed(), 24u);
    EXPECT_EQ(Content(a), (Bytes{0xBE, 0x1B, 0xE1}));

    a.ResetReadPointer();
    EXPECT_FALSE(a.SetReadOffset(25));
    EXPECT_EQ(a.GetReadOffset(), 0u);
    EXPECT_TRUE(a.IgnoreBits(3));
    EXPECT_TRUE(a.ReadBits(v, 9));
    EXPECT_EQ(v, 0x1E1u);
    a.Reset();
    EXPECT_EQ(a.GetNumberOfBitsUsed(), 0u);
    bool bit = true;
    EXPECT_FALSE(a.ReadBit(bit));
    EXPECT_FALSE(bit);
}

} // namespace
