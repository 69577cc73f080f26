#include "app/framework/TextWrap.h"

#include <gtest/gtest.h>

namespace {

// Every character 8 pixels wide.
int Measure(std::string_view text)
{
    return int(text.size()) * 8;
}

} // namespace

TEST(TextWrapTest, LinesBreakAtTheLastBlankThatFits)
{
    using Lines = std::vector<std::string>;
    const struct {
        const char* text;
        int width;
        Lines expected;
    } cases[] = {
        {"", 100, {}},
        {"short", 100, {"short"}},
        // Eleven characters would reach 88, not below 81: ten per line.
        {"the quick brown fox", 81, {"the quick", "brown fox"}},
        {"abcdefghijklmnop", 41, {"abcde", "fghij", "klmno", "p"}},
        {"ab cdefghij", 41, {"ab", "cdefg", "hij"}},
        // Too narrow for even one character: one character a line, never an endless loop.
        {"abc", 4, {"a", "b", "c"}},
        {"abc", 0, {"a", "b", "c"}},
        {"a b", -5, {"a", " ", "b"}},
    };
    for (const auto& row : cases)
        EXPECT_EQ(WrapText(row.text, row.width, Measure), row.expected) << row.text << " in " << row.width;
}
