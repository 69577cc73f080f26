#include "platform/net/BitStream.h"
#include "platform/net/MasterRecords.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using namespace platform::net;

ListedServer Host(std::uint8_t last, std::uint16_t port)
{
    ListedServer server;
    server.address[0] = 127;
    server.address[3] = last;
    server.gamePort = port;
    server.ping = 12;
    server.rules = {{"Game", true, "bexal", 0}, {"Lives", false, "", -1}};
    return server;
}

TEST(MasterRecords, AServerListComesBackAsWritten)
{
    ServerListRecord list;
    list.refresh = true;
    list.servers = {Host(1, 60001), Host(2, 60011)};
    BitStream s;
    list.Write(s);
    ServerListRecord back;
    ASSERT_TRUE(back.Read(s));
    EXPECT_TRUE(back.refresh);
    ASSERT_EQ(back.servers.size(), 2u);
    EXPECT_EQ(back.servers[1].address[3], 2);
    EXPECT_EQ(back.servers[1].gamePort, 60011);
    EXPECT_EQ(back.servers[1].ping, 12u);
    EXPECT_EQ(back.servers[1].rules, list.servers[1].rules);
}

// What a client refuses from a master server that is not ours or not well.
TEST(MasterRecords, MalformedServerListsAreRefused)
{
    const struct {
        const char* name;
        std::function<void(BitStream&)> build;
    } cases[] = {
        {"empty", [](BitStream&) {}},
        {"another record", [](BitStream& s) { s.Write(std::uint8_t{kMasterListed}); }},
        {"too many hosts", [](BitStream& s) {
             s.Write(std::uint8_t{kMasterServerList});
             s.Write0();
             s.WriteCompressed(std::uint32_t{kMaxListedServers + 1});
         }},
        {"fewer hosts than counted", [](BitStream& s) {
             ServerListRecord list;
             list.servers = {Host(1, 1)};
             BitStream one;
             list.Write(one);
             s.Write(std::uint8_t{kMasterServerList});
             s.Write0();
             s.WriteCompressed(std::uint32_t{2});
             one.IgnoreBits(8 + 1 + 8);
             while (one.GetNumberOfUnreadBits() > 0) {
                 bool bit = false;
                 one.ReadBit(bit);
                 s.WriteBit(bit);
             }
         }},
        {"trailing bytes", [](BitStream& s) {
             ServerListRecord{}.Write(s);
             s.Write(std::uint8_t{0});
         }},
    };
    for (const auto& c : cases) {
        BitStream s;
        c.build(s);
        ServerListRecord list;
        list.servers = {Host(9, 9)};
        EXPECT_FALSE(list.Read(s)) << c.name;
        EXPECT_TRUE(list.servers.empty()) << c.name;
    }
}

} // namespace
