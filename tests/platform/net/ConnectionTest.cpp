#include <gtest/gtest.h>

#include "tests/platform/net/NetFixture.h"

#include <arpa/inet.h>

using namespace nettest;

namespace {

constexpr std::size_t kSettingsSize = 2064;

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
    return bytes;
}

TEST(NetConnection, HandshakeExchangesEventsAndStaticDataThenDisconnects)
{
    LogCapture log;
    Server server(QuietConfig(log));
    server.SetStaticServerData(Pattern(kSettingsSize, 3));
    server.SetSynchronizedRandomInteger(0xC0FFEE);
    ASSERT_TRUE(server.Start(4, 0));
    Client client(QuietConfig(log));
    client.SetStaticClientData(Pattern(5, 9));
    ASSERT_TRUE(client.Connect("127.0.0.1", server.GetLocalPort(), 0));

    Inbox<Server> host(server);
    Inbox<Client> player(client);
    const auto pump = [&] { host.Pump(); player.Pump(); };
    ASSERT_TRUE(WaitUntil(pump, [&] { return host.Count(24) == 1 && player.Count(24) == 1; }));

    EXPECT_EQ(host.Ids(), (std::vector<std::uint8_t>{19, 24}));
    EXPECT_EQ(player.Ids(), (std::vector<std::uint8_t>{18, 24}));
    const Record& accepted = *player.First(18);
    ASSERT_EQ(accepted.bytes.size(), 9u);
    EXPECT_EQ(accepted.index, 0);
    EXPECT_EQ(accepted.bytes[1] | accepted.bytes[2] << 8, 0);
    EXPECT_EQ(AddressText(accepted.id.binaryAddress), "127.0.0.1");
    EXPECT_EQ(accepted.id.port, client.GetLocalPort());
    std::vector<std::uint8_t> settings(player.First(24)->bytes.begin() + 1, player.First(24)->bytes.end());
    EXPECT_EQ(settings, Pattern(kSettingsSize, 3));
    EXPECT_EQ(client.GetStaticServerData(), Pattern(kSettingsSize, 3));
    std::vector<std::uint8_t> clientData(host.First(24)->bytes.begin() + 1, host.First(24)->bytes.end());
    EXPECT_EQ(clientData, Pattern(5, 9));
    EXPECT_EQ(host.First(19)->index, 0);

    EXPECT_TRUE(client.IsConnected());
    EXPECT_TRUE(server.IsActive());
    EXPECT_EQ(client.GetSynchronizedRandomInteger(), 0xC0FFEEu);
    EXPECT_EQ(server.GetConnectedPlayers(), 1);
    EXPECT_FALSE(server.IsPlayerSlotFree(0));
    EXPECT_TRUE(server.IsPlayerSlotFree(1));
    std::string address;
    std::uint16_t port = 0;
    ASSERT_TRUE(server.GetPlayerIP(0, address, port));
    EXPECT_EQ(address, "127.0.0.1");
    EXPECT_EQ(port, client.GetLocalPort());
    EXPECT_EQ(server.GetIndexFromPlayerId(server.GetPlayerIdFromIndex(0)), 0);
    EXPECT_EQ(server.GetIndexFromPlayerId(kUnassignedPlayerId), kNoPlayerIndex);

    // Pings are measured both ways and reach the client's table of every player.
    ASSERT_TRUE(WaitUntil(pump, [&] { return client.GetPlayerPing(0) >= 0 && server.GetAveragePing(0) >= 0; }));
    EXPECT_GE(client.GetAveragePing(), 0);
    EXPECT_EQ(client.GetPlayerPing(1), -1);

    server.SetSynchronizedRandomInteger(77);
    ASSERT_TRUE(WaitUntil(pump, [&] { return client.GetSynchronizedRandomInteger() == 77; }));

    client.Disconnect();
    EXPECT_FALSE(client.IsConnected());
    ASSERT_TRUE(WaitUntil(pump, [&] { return host.Count(21) == 1; }));
    EXPECT_EQ(server.GetConnectedPlayers(), 0);
    EXPECT_EQ(host.Count(22), 0);
    EXPECT_TRUE(log.Lines().empty()) << log.Lines().front();
}

// The host's handshake sends its settings when a player's own data arrives (24), as the player
// already got them on acceptance: the player's game hears of the same settings once, and of new
// settings again.
TEST(NetConnection, StaticServerDataReachesAPlayerOnceAndAgainOnlyWhenChanged)
{
    LogCapture log;
    Server server(QuietConfig(log));
    server.SetStaticServerData(Pattern(kSettingsSize, 3));
    ASSERT_TRUE(server.Start(4, 0));
    Client client(QuietConfig(log));
    ASSERT_TRUE(client.Connect("127.0.0.1", server.GetLocalPort(), 0));
    Inbox<Server> host(server);
    Inbox<Client> player(client);
    const auto pump = [&] { host.Pump(); player.Pump(); };
    ASSERT_TRUE(WaitUntil(pump, [&] { return host.Count(24) == 1; }));
    server.SendStaticServerDataToClient(host.First(24)->index);
    server.SetStaticServerData(Pattern(kSettingsSize, 5));
    server.SendStaticServerDataToClient(host.First(24)->index);
    server.SendStaticServerDataToClient(host.First(24)->index);

    // All three go in order on one channel: a copy of the first settings would come before the new.
    ASSERT_TRUE(WaitUntil(pump, [&] { return client.GetStaticServerData() == Pattern(kSettingsSize, 5); }));
    std::vector<std::vector<std::uint8_t>> settings;
    for (const Record& record : player.records)
        if (record.Id() == 24)
            settings.emplace_back(record.bytes.begin() + 1, record.bytes.end());
    EXPECT_EQ(settings, (std::vector<std::vector<std::uint8_t>>{Pattern(kSettingsSize, 3), Pattern(kSettingsSize, 5)}));
    EXPECT_TRUE(log.Lines().empty());
}

TEST(NetConnection, RefusedClientsHearWhyAndNeverReachTheServersGame)
{
    struct Case {
        const char* name;
        std::vector<std::string> bans;
        std::string serverPassword;
        std::string clientPassword;
        std::uint16_t allowed;
        std::uint8_t expected;
    };
    const Case cases[] = {
        {"banned address", {"127.0.0.1"}, "", "", 4, 17},
        {"banned subnet", {"10.1.1.*", "127.0.0.*"}, "", "", 4, 17},
        {"wrong password", {}, "secret", "guess", 4, 25},
        {"missing password", {}, "secret", "", 4, 25},
        {"server full", {}, "", "", 0, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        Server server(QuietConfig(log));
        for (const std::string& ban : c.bans)
            ASSERT_TRUE(server.AddToBanList(ban));
        server.SetPassword(c.serverPassword);
        ASSERT_TRUE(server.Start(c.allowed, 0));
        Client client(QuietConfig(log));
        client.SetPassword(c.clientPassword);
        ASSERT_TRUE(client.Connect("127.0.0.1", server.GetLocalPort(), 0));
        Inbox<Server> host(server);
        Inbox<Client> player(client);
        ASSERT_TRUE(WaitUntil([&] { host.Pump(); player.Pump(); }, [&] { return !player.records.empty(); }));
        EXPECT_EQ(player.Ids(), (std::vector<std::uint8_t>{c.expected}));
        EXPECT_TRUE(host.records.empty());
        EXPECT_FALSE(client.IsConnected());
        EXPECT_EQ(server.GetConnectedPlayers(), 0);
        EXPECT_EQ(log.Count(), 1u) << "one line names the refusal";
    }
}

TEST(NetConnection, RightPasswordIsAccepted)
{
    LogCapture log;
    Server server(QuietConfig(log));
    server.SetPassword("secret");
    EXPECT_TRUE(server.HasPassword());
    ASSERT_TRUE(server.Start(2, 0));
    Client client(QuietConfig(log));
    client.SetPassword("secret");
    ASSERT_TRUE(client.Connect("127.0.0.1", server.GetLocalPort(), 0));
    Inbox<Client> player(client);
    ASSERT_TRUE(WaitUntil([&] { player.Pump(); }, [&] { return player.Count(18) == 1; }));
}

TEST(NetConnection, EightPeersBroadcastKickAndShutdown)
{
    constexpr int kPeers = 8;
    LogCapture log;
    Server server(QuietConfig(log));
    ASSERT_TRUE(server.Start(kPeers, 0));
    Inbox<Server> host(server);
    std::vector<std::unique_ptr<Client>> clients;
    std::vector<std::unique_ptr<Inbox<Client>>> players;
    for (int i = 0; i < kPeers; ++i) {
        clients.push_back(std::make_unique<Client>(QuietConfig(log)));
        players.push_back(std::make_unique<Inbox<Client>>(*clients.back()));
        ASSERT_TRUE(clients.back()->Connect("127.0.0.1", server.GetLocalPort(), 0));
    }
    const auto pump = [&] {
        host.Pump();
        for (auto& player : players)
            player->Pump();
    };
    // Each hears of every later arrival (14).
    ASSERT_TRUE(WaitUntil(pump, [&] {
        int notices = 0;
        for (auto& player : players)
            notices += player->Count(14);
        return host.Count(24) == kPeers && notices == kPeers * (kPeers - 1) / 2;
    }));
    std::vector<bool> seen(kMaxPlayers, false);
    for (int i = 0; i < kPeers; ++i) {
        const std::uint16_t index = clients[i]->GetPlayerIndex();
        ASSERT_LT(index, kPeers);
        EXPECT_FALSE(seen[index]);
        seen[index] = true;
    }
    EXPECT_EQ(server.GetConnectedPlayers(), kPeers);

    // A ninth is refused as full.
    Client extra(QuietConfig(log));
    Inbox<Client> extraInbox(extra);
    ASSERT_TRUE(extra.Connect("127.0.0.1", server.GetLocalPort(), 0));
    ASSERT_TRUE(WaitUntil([&] { pump(); extraInbox.Pump(); }, [&] { return !extraInbox.records.empty(); }));
    EXPECT_EQ(extraInbox.Ids(), (std::vector<std::uint8_t>{20}));

    const std::uint16_t sender = clients[3]->GetPlayerIndex();
    const std::uint8_t record[] = {200, 1, 2, 3};
    ASSERT_TRUE(server.SendToAllExcept(record, sizeof record, sender, PacketPriority::High, PacketReliability::ReliableOrdered));
    ASSERT_TRUE(WaitUntil(pump, [&] {
        int got = 0;
        for (auto& player : players)
            got += player->Count(200);
        return got == kPeers - 1;
    }));
    EXPECT_EQ(players[3]->Count(200), 0);

    const std::uint16_t kicked = clients[5]->GetPlayerIndex();
    ASSERT_TRUE(server.Kick(kicked));
    EXPECT_FALSE(server.Kick(kicked));
    ASSERT_TRUE(WaitUntil(pump, [&] { return players[5]->Count(21) == 1 && players[0]->Count(12) == 1; }));
    EXPECT_EQ(host.Count(21), 0) << "a kick tells the server's game nothing";
    EXPECT_EQ(server.GetConnectedPlayers(), kPeers - 1);
    EXPECT_EQ(players[0]->First(12)->index, kicked);

    server.Disconnect();
    EXPECT_FALSE(server.IsActive());
    ASSERT_TRUE(WaitUntil(pump, [&] {
        for (int i = 0; i < kPeers; ++i)
            if (i != 5 && players[i]->Count(21) != 1)
                return false;
        return true;
    }));
}

TEST(NetConnection, MainThreadStallLongerThanTheTimeoutKeepsTheLink)
{
    LogCapture log;
    PeerConfig config = QuietConfig(log);
    config.timeoutMs = 300;
    Server server(config);
    ASSERT_TRUE(server.Start(2, 0));
    Client client(config);
    ASSERT_TRUE(client.Connect("127.0.0.1", server.GetLocalPort(), 0));
    Inbox<Server> host(server);
    Inbox<Client> player(client);
    const auto pump = [&] { host.Pump(); player.Pump(); };
    ASSERT_TRUE(WaitUntil(pump, [&] { return host.Count(24) == 1 && player.Count(24) == 1; }));

    // Neither side's main thread touches the network for many timeouts, as in a level load.
    std::this_thread::sleep_for(std::chrono::milliseconds(10 * config.timeoutMs));

    const std::uint8_t record[] = {99, 1};
    ASSERT_TRUE(client.Send(record, sizeof record, PacketPriority::High, PacketReliability::ReliableOrdered));
    ASSERT_TRUE(WaitUntil(pump, [&] { return host.Count(99) == 1; }));
    EXPECT_EQ(host.Count(22), 0);
    EXPECT_EQ(player.Count(22), 0);
    EXPECT_TRUE(client.IsConnected());
}

TEST(NetConnection, LocalAddressesAreDottedQuads)
{
    const int count = Server::GetNumberOfAddresses();
    ASSERT_GE(count, 1);
    for (int i = 0; i < count; ++i) {
        std::uint32_t binary = 0;
        EXPECT_TRUE(ParseAddress(Server::GetLocalIP(i), binary)) << Server::GetLocalIP(i);
    }
    EXPECT_EQ(Server::GetLocalIP(count), "");
}

} // namespace
