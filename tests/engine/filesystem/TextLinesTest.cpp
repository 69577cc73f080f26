#include "engine/filesystem/TextLines.h"
#include "tests/engine/filesystem/PackFileFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

std::vector<std::string> Lines(std::string_view text, std::size_t maxLength, int stopAfter = -1)
{
    std::vector<std::string> lines;
    ForEachTextLine(text, maxLength, [&](std::string_view line) {
        lines.emplace_back(line);
        return int(lines.size()) != stopAfter;
    });
    return lines;
}

} // namespace

TEST(TextLines, WalksEveryLineOfEveryEndingAlike)
{
    using L = std::vector<std::string>;
    struct Case {
        const char* name;
        std::string_view text;
        std::size_t maxLength;
        L lines;
    } cases[] = {
        {"empty text has no lines", "", 80, {}},
        {"one newline is one empty line", "\n", 80, {""}},
        {"last line without its newline counts", "a\nb", 80, {"a", "b"}},
        {"CRLF and LF read alike", "a\r\nb\nc\r\n", 80, {"a", "b", "c"}},
        {"blank lines stay", "a\n\n\r\nb", 80, {"a", "", "", "b"}},
        {"a lone CR inside a line stays", "a\rb\n", 80, {"a\rb"}},
        {"long line is cut, its rest dropped", "abcdef\ngh\n", 3, {"abc", "gh"}},
        {"cut after the CR is taken off", "abc\r\n", 3, {"abc"}},
        {"zero length keeps the count of lines", "ab\ncd", 0, {"", ""}},
        {"bytes past a NUL are text", std::string_view("a\0b\n", 4), 80, {std::string("a\0b", 3)}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Lines(c.text, c.maxLength), c.lines) << c.name;
}

TEST(TextLines, VisitorStopsTheWalk)
{
    EXPECT_EQ(Lines("a\nb\nc\n", 80, 2), (std::vector<std::string>{"a", "b"}));
}

TEST_F(PackFileTest, ReadDataTextAppendsTheWholeFileAndRefusesWhatDoesNotOpen)
{
    WriteText("Data/table.txt", "one\r\ntwo");
    std::string text = "kept:";
    ASSERT_TRUE(ReadDataText("Data/table.txt", text));
    EXPECT_EQ(text, "kept:one\r\ntwo");

    EXPECT_FALSE(ReadDataText("Data/missing.txt", text));
    EXPECT_FALSE(ReadDataText(nullptr, text));
    EXPECT_EQ(text, "kept:one\r\ntwo");
}
