#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "engine/core/FormatText.h"
#include "engine/core/q3DError.h"

TEST(FormatText, FormatsLikePrintfAndReturnsTheBuffer)
{
    char buffer[64];
    EXPECT_EQ(FormatText(buffer, sizeof buffer, "Can't load %s: %d", "a.q3d", 7), buffer);
    EXPECT_STREQ(buffer, "Can't load a.q3d: 7");
    EXPECT_EQ(FormatText(buffer, "%.2f|%5s|%x", 1.5, "ab", 255u), buffer);
    EXPECT_STREQ(buffer, "1.50|   ab|ff");
}

TEST(FormatText, CutsTheOutputToTheBuffer)
{
    struct Case {
        std::size_t size;
        const char* expected;
    } cases[] = {{8, "abcdefg"}, {11, "abcdefghij"}, {2, "a"}, {1, ""}};
    for (const Case& c : cases) {
        char storage[32];
        std::memset(storage, '#', sizeof storage);
        FormatText(storage, c.size, "%s%s", "abcde", "fghij");
        EXPECT_STREQ(storage, c.expected) << c.size;
        for (std::size_t i = c.size; i < sizeof storage; ++i)
            ASSERT_EQ(storage[i], '#') << "written past the buffer at " << i;
    }

    char storage[4] = {'#', '#', '#', '#'};
    FormatText(storage, 0, "%s", "x"); // no room at all: untouched
    EXPECT_EQ(storage[0], '#');

    char small[6];
    FormatText(small, "%d", 123456789);
    EXPECT_STREQ(small, "12345");
}

TEST(FormatText, FormatsOnlyFormatsUpTo1792Characters)
{
    const std::string limit(1792, 'a');
    const std::string over(1793, 'a');
    static char buffer[4096];

    std::strcpy(buffer, "old");
    FormatText(buffer, limit.c_str());
    EXPECT_EQ(std::string(buffer), limit);

    std::strcpy(buffer, "old");
    FormatText(buffer, over.c_str());
    EXPECT_STREQ(buffer, "old");

    // The limit is on the format, not on the output.
    const std::string longArgument(3000, 'b');
    FormatText(buffer, "%s", longArgument.c_str());
    EXPECT_EQ(std::string(buffer), longArgument);
}

TEST(q3DError, HoldsTheFormattedMessage)
{
    try {
        throw q3DError("Can't load %s: %s", "tank.q3d", "not found");
    } catch (q3DError error) {
        EXPECT_STREQ(error.GetText(), "Can't load tank.q3d: not found");
    }
    EXPECT_STREQ(q3DError("Incorrect version number in AI block").GetText(),
                 "Incorrect version number in AI block");
    EXPECT_STREQ(q3DError().GetText(), "");
}

TEST(q3DError, LongMessagesAreCutTo2047Characters)
{
    const std::string longText(5000, 'x');
    const q3DError error("%s", longText.c_str());
    EXPECT_EQ(std::strlen(error.GetText()), 2047u);
    EXPECT_EQ(std::string(error.GetText()), longText.substr(0, 2047));

    // A refused format leaves a defined, empty message.
    const std::string longFormat(2000, 'f');
    EXPECT_STREQ(q3DError(longFormat.c_str()).GetText(), "");
}

TEST(q3DError, CopiesTheTextUpToItsTerminator)
{
    const q3DError original("message %d", 42);
    q3DError copy(original);
    EXPECT_STREQ(copy.GetText(), "message 42");
    q3DError assigned("something much longer than the original message");
    assigned = original;
    EXPECT_STREQ(assigned.GetText(), "message 42");
    assigned = assigned;
    EXPECT_STREQ(assigned.GetText(), "message 42");
}
