#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/core/LittleEndianReader.h"

namespace {

enum class Op { U8, U16, U32, I16, I32, F32, FiniteF32, Count4, Skip2, Text4 };

// One read and what it must yield: integers compare as numbers, floats by their bits, a text by
// its characters.
struct Read {
    Op op;
    std::int64_t value;
    const char* text = "";
};

struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    std::vector<Read> reads;
    bool failed;
    std::size_t offset;    // where the reader stands after the reads
    const char* failure;   // a word of the reason, when it failed
};

std::int64_t Bits(float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, 4);
    return bits;
}

std::int64_t Perform(LittleEndianReader& reader, const Read& read, std::string& text)
{
    switch (read.op) {
    case Op::U8: return reader.U8();
    case Op::U16: return reader.U16();
    case Op::U32: return reader.U32();
    case Op::I16: return reader.I16();
    case Op::I32: return reader.I32();
    case Op::F32: return Bits(reader.F32());
    case Op::FiniteF32: return Bits(reader.FiniteF32());
    case Op::Count4: return reader.Count(4);
    case Op::Skip2: reader.Skip(2); return 0;
    case Op::Text4: {
        char field[4] = {'x', 'x', 'x', 'x'};
        reader.Text(field, sizeof field);
        text = field;
        return 0;
    }
    }
    return -1;
}

TEST(LittleEndianReader, ReadsFieldsInOrderAndFailsOnceForGood)
{
    const std::vector<Case> cases = {
        {"each width, low byte first", {0x01, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12},
         {{Op::U8, 0x01}, {Op::U16, 0x1234}, {Op::U32, 0x12345678}}, false, 7, ""},
        {"signed fields", {0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, {{Op::I16, -2}, {Op::I32, -1}}, false, 6, ""},
        {"float bits", {0x00, 0x00, 0x80, 0x3F}, {{Op::F32, Bits(1.0f)}}, false, 4, ""},
        {"a short field fails and yields zero", {0x01, 0x02, 0x03}, {{Op::U32, 0}}, true, 0, "ends early"},
        {"reads after a failure yield zero though bytes are left", {0x05, 0x06},
         {{Op::U32, 0}, {Op::U8, 0}, {Op::U16, 0}}, true, 0, "4 bytes wanted at offset 0"},
        {"the end exactly is no failure", {0x07, 0x08}, {{Op::U16, 0x0807}}, false, 2, ""},
        {"one byte past the end", {0x07, 0x08}, {{Op::U16, 0x0807}, {Op::U8, 0}}, true, 2, "offset 2 of 2"},
        {"an empty block", {}, {{Op::U8, 0}}, true, 0, "ends early"},
        {"a finite float passes", {0x00, 0x00, 0x20, 0xC1}, {{Op::FiniteF32, Bits(-10.0f)}}, false, 4, ""},
        {"NaN fails", {0x00, 0x00, 0xC0, 0x7F}, {{Op::FiniteF32, Bits(0.0f)}}, true, 4, "not finite at offset 0"},
        {"infinity fails", {0x00, 0x00, 0x80, 0xFF}, {{Op::FiniteF32, Bits(0.0f)}}, true, 4, "not finite"},
        {"a count whose items fit", {0x02, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8}, {{Op::Count4, 2}}, false, 4, ""},
        {"a count one item too many", {0x03, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8}, {{Op::Count4, 0}}, true, 4,
         "a count of 3"},
        {"a negative count", {0xFF, 0xFF, 0xFF, 0xFF}, {{Op::Count4, 0}}, true, 4, "a count of -1"},
        {"a huge count", {0xFF, 0xFF, 0xFF, 0x7F}, {{Op::Count4, 0}}, true, 4, "2147483647"},
        {"skip then read", {1, 2, 3}, {{Op::Skip2, 0}, {Op::U8, 3}}, false, 3, ""},
        {"skip past the end", {1}, {{Op::Skip2, 0}, {Op::U8, 0}}, true, 0, "2 bytes wanted"},
        {"a text is always terminated", {'a', 'b', 'c', 'd'}, {{Op::Text4, 0, "abc"}}, false, 4, ""},
        {"a short text is empty", {'a', 'b'}, {{Op::Text4, 0, ""}}, true, 0, "ends early"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LittleEndianReader reader(c.bytes.data(), c.bytes.size());
        for (std::size_t i = 0; i < c.reads.size(); ++i) {
            std::string text;
            EXPECT_EQ(Perform(reader, c.reads[i], text), c.reads[i].value) << "read " << i;
            EXPECT_EQ(text, c.reads[i].text) << "read " << i;
        }
        EXPECT_EQ(reader.Failed(), c.failed);
        EXPECT_EQ(reader.Offset(), c.offset);
        if (c.failed) {
            EXPECT_EQ(reader.Remaining(), 0u);
            EXPECT_NE(reader.Failure().find(c.failure), std::string::npos) << reader.Failure();
        } else {
            EXPECT_EQ(reader.Failure(), "");
            EXPECT_EQ(reader.Remaining(), c.bytes.size() - c.offset);
        }
    }
}

TEST(LittleEndianReader, AFailedVectorIsZeroAndBytesAreZeroed)
{
    const std::uint8_t bytes[] = {0, 0, 0x80, 0x3F, 0, 0, 0xC0, 0x7F, 0, 0, 0x80, 0x3F};
    LittleEndianReader reader(bytes, sizeof bytes);
    const Vector3 v = reader.FiniteVector3();
    EXPECT_TRUE(reader.Failed());
    EXPECT_EQ(v.x, 0.0f);
    EXPECT_EQ(v.z, 0.0f);

    LittleEndianReader shortBlock(bytes, 3);
    std::uint8_t copy[4] = {9, 9, 9, 9};
    shortBlock.Bytes(copy, sizeof copy);
    EXPECT_TRUE(shortBlock.Failed());
    EXPECT_EQ(copy[0] | copy[1] | copy[2] | copy[3], 0);

    LittleEndianReader none(nullptr, 10);
    EXPECT_EQ(none.U8(), 0u);
    EXPECT_TRUE(none.Failed());
}

} // namespace
