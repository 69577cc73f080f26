// The game's client and server on loopback, in one process: a host that plays through its own
// client and a second machine that joins it, pumped as the frames pump them.
#include "multiplayer/GameNetwork.h"

#include "app/framework/Singletons.h"
#include "engine/core/EngineLog.h"
#include "tests/platform/net/NetFixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using nettest::WaitUntil;
using namespace std::chrono_literals;

class LogLines final : public EngineLogSink {
public:
    void WriteLogLine(const char* line) override { lines.emplace_back(line); }
    int Count(const std::string& text) const
    {
        int count = 0;
        for (const std::string& line : lines)
            count += line.find(text) != std::string::npos;
        return count;
    }
    std::string All() const
    {
        std::string all;
        for (const std::string& line : lines)
            all += line + "\n";
        return all;
    }

    std::vector<std::string> lines;

private:
    EngineLogRoute route{*this};
};

class GameNetworkTest : public ::testing::Test {
protected:
    void TearDown() override { DestroySingletons(); }

    // The host listening on a free port with its own client joined, and a second machine joined.
    void Open()
    {
        host.UsePort(0);
        ASSERT_TRUE(host.StartServer(4)) << log.All();
        ASSERT_TRUE(host.Connect("127.0.0.1"));
        ASSERT_TRUE(WaitUntil(Pump(), [this] { return host.IsClientConnected(); })) << log.All();
        join.UsePort(host.Server().GetPort());
        ASSERT_TRUE(join.Connect("127.0.0.1"));
        // Each client takes the settings over once, at acceptance; the host answers each one's data.
        ASSERT_TRUE(WaitUntil(Pump(), [this] {
            return log.Count("server settings received (event 24)") == 2 && log.Count("Network server: static data (event 24)") == 2;
        }, 10000ms)) << log.All();
    }
    std::function<void()> Pump()
    {
        return [this] {
            host.ReceivePackets();
            join.ReceivePackets();
        };
    }

    LogLines log;
    GameNetwork host;
    GameNetwork join;
};

} // namespace

TEST_F(GameNetworkTest, TheHandshakeRunsThroughTheEventsAndThePublishedSettings)
{
    ServerSettings published;
    std::strcpy(published.serverName, "Loopback");
    published.lives = 4;
    host.Server().SetServerSettings(&published);
    Open();
    EXPECT_EQ(log.Count("new incoming connection (event 19)"), 2) << log.All();
    EXPECT_EQ(log.Count("Network server: static data (event 24) from player 0"), 1) << log.All();
    EXPECT_EQ(log.Count("Network server: static data (event 24) from player 1"), 1) << log.All();
    EXPECT_EQ(log.Count("connection request accepted (event 18)"), 2) << log.All();
    EXPECT_EQ(log.Count("server \"Loopback\""), 2) << log.All();
    ServerSettings received;
    join.Client().GetServerSettings(&received);
    EXPECT_STREQ(received.serverName, "Loopback");
    EXPECT_EQ(received.lives, 4);
    EXPECT_EQ(host.Server().GetConnectedPlayers(), 2);

    join.Disconnect();
    EXPECT_FALSE(join.IsClientConnected());
    EXPECT_TRUE(WaitUntil(Pump(), [this] { return log.Count("player 1 (127.0.0.1) has quit (event 21)") == 1; }))
        << log.All();
    EXPECT_TRUE(WaitUntil(Pump(), [this] { return host.Server().GetConnectedPlayers() == 1; }));
}

TEST_F(GameNetworkTest, ARecordNobodyHandlesIsDroppedAndLoggedOncePerIdentifier)
{
    Open();
    const std::uint8_t plain[] = {200, 1, 2};
    // Behind a time stamp the identifier is byte 5.
    const std::uint8_t stamped[] = {23, 0, 0, 0, 0, 201, 7};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(join.Client().Send(plain, sizeof plain, platform::net::PacketPriority::High,
                                       platform::net::PacketReliability::ReliableOrdered));
        ASSERT_TRUE(join.Client().Send(stamped, sizeof stamped, platform::net::PacketPriority::High,
                                       platform::net::PacketReliability::ReliableOrdered));
    }
    const std::uint8_t toClients[] = {202};
    ASSERT_TRUE(host.Server().SendToAllExcept(toClients, sizeof toClients, platform::net::kNoPlayerIndex,
                                              platform::net::PacketPriority::High,
                                              platform::net::PacketReliability::ReliableOrdered));
    ASSERT_TRUE(host.Server().SendToAllExcept(toClients, sizeof toClients, platform::net::kNoPlayerIndex,
                                              platform::net::PacketPriority::High,
                                              platform::net::PacketReliability::ReliableOrdered));
    // A last record behind them tells that the earlier ones were taken.
    const std::uint8_t last[] = {203};
    ASSERT_TRUE(join.Client().Send(last, sizeof last, platform::net::PacketPriority::High,
                                   platform::net::PacketReliability::ReliableOrdered));
    ASSERT_TRUE(WaitUntil(Pump(), [this] {
        return log.Count("Server unknown packet error: type 203") == 1 && log.Count("Client unknown packet error: type 202") == 2;
    })) << log.All();
    EXPECT_EQ(log.Count("Server unknown packet error: type 200"), 1) << log.All();
    EXPECT_EQ(log.Count("Server unknown packet error: type 201"), 1) << log.All();
    EXPECT_EQ(log.Count("Server unknown packet error: type 23"), 0) << log.All();
}

TEST(GameNetworkStaticTest, TheStaticQueriesAnswerForTheNetworkWhileItLives)
{
    EXPECT_FALSE(NetworkClient::IsConnected());
    EXPECT_FALSE(NetworkServer::IsActive());
    {
        GameNetwork alone;
        alone.UsePort(0);
        ASSERT_TRUE(alone.StartServer(2));
        EXPECT_TRUE(NetworkServer::IsActive());
        EXPECT_EQ(NetworkServer::Instance(), &alone.Server());
        ServerSettings published;
        published.rounds = 7;
        alone.Server().SetServerSettings(&published);
        ServerSettings read;
        NetworkServer::GetServerSettings(&read);
        EXPECT_EQ(read.rounds, 7);
    }
    EXPECT_EQ(NetworkServer::Instance(), nullptr);
    EXPECT_FALSE(NetworkServer::IsActive());
    ServerSettings defaults;
    defaults.rounds = 9;
    NetworkServer::GetServerSettings(&defaults);
    EXPECT_EQ(defaults.rounds, 1);
}
