#include <gtest/gtest.h>

#include "platform/net/BanList.h"
#include "platform/net/NetClock.h"
#include "platform/net/NetTypes.h"

using namespace platform::net;

namespace {

TEST(NetBanList, EntriesAndMatches)
{
    struct Case {
        const char* entry;
        bool accepted;
        const char* address;
        bool banned;
    };
    const Case cases[] = {
        {"10.0.0.5", true, "10.0.0.5", true},
        {"10.0.0.5", true, "10.0.0.6", false},
        {"1.2.3.*", true, "1.2.3.250", true},
        {"1.2.3.*", true, "1.2.4.1", false},
        {"255.255.255.255", true, "255.255.255.255", true},
        {"256.1.1.1", false, "256.1.1.1", false},
        {"1.2.3", false, "1.2.3.0", false},
        {"1.2.*", false, "1.2.0.0", false},
        {"1.2.3.4 ", false, "1.2.3.4", false},
        {"", false, "0.0.0.0", false},
        {"a.b.c.d", false, "1.1.1.1", false},
        {"1..2.3", false, "1.0.2.3", false},
        {"1.2.3.*", true, "not an address", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry);
        BanList bans;
        EXPECT_EQ(bans.Add(c.entry), c.accepted);
        EXPECT_EQ(bans.IsBanned(std::string(c.address)), c.banned);
    }
}

TEST(NetBanList, RemoveAndDuplicates)
{
    BanList bans;
    ASSERT_TRUE(bans.Add("1.2.3.4"));
    ASSERT_TRUE(bans.Add("1.2.3.4"));
    ASSERT_TRUE(bans.Add("5.6.7.*"));
    EXPECT_EQ(bans.Size(), 2u);
    bans.Remove("1.2.3.4");
    EXPECT_FALSE(bans.IsBanned(std::string("1.2.3.4")));
    EXPECT_TRUE(bans.IsBanned(std::string("5.6.7.8")));
}

TEST(NetAddress, TextRoundTrip)
{
    for (const char* text : {"0.0.0.0", "127.0.0.1", "192.168.1.20", "255.255.255.255"}) {
        std::uint32_t binary = 0;
        ASSERT_TRUE(ParseAddress(text, binary)) << text;
        EXPECT_EQ(AddressText(binary), text);
    }
}

TEST(NetClock, StartsAboveZeroAndComparesAcrossTheWrap)
{
    EXPECT_GT(GetTime(), 0u);
    struct Case {
        std::uint32_t a, b;
        bool before;
        std::int32_t difference; // b - a
    };
    const Case cases[] = {
        {1, 2, true, 1},
        {2, 1, false, -1},
        {0xFFFFFFF0u, 0x10u, true, 0x20},
        {0x10u, 0xFFFFFFF0u, false, -0x20},
        {5, 5, false, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TimeBefore(c.a, c.b), c.before) << c.a << " " << c.b;
        EXPECT_EQ(TimeDifference(c.b, c.a), c.difference);
    }
}

} // namespace
