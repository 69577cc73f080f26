#include "platform/net/BitStream.h"
#include "platform/net/MasterClient.h"
#include "platform/net/MasterRecords.h"
#include "platform/net/MasterServer.h"
#include "platform/net/StringCompressor.h"

#include <gtest/gtest.h>

#include <enet/enet.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace platform::net;
using Clock = std::chrono::steady_clock;

// Every exchange runs on loopback and gives up after a few seconds.
constexpr auto kPatience = std::chrono::seconds(5);

class MasterServerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.IsOpen()) << server.GetLastError(); }

    // Services the server and the clients until the condition holds or patience runs out.
    bool PumpUntil(const std::function<bool()>& done, std::initializer_list<MasterClient*> clients)
    {
        const auto end = Clock::now() + kPatience;
        while (Clock::now() < end) {
            server.Service(1);
            for (MasterClient* client : clients)
                client->Update(0);
            if (done())
                return true;
        }
        return false;
    }

    void Join(MasterClient& client, std::uint16_t gamePort)
    {
        ASSERT_TRUE(client.Connect("127.0.0.1", server.GetPort(), 0, gamePort)) << client.GetLastError();
        ASSERT_TRUE(PumpUntil([&] { return client.IsConnected(); }, {&client}));
    }

    void ListHost(MasterClient& host, std::uint16_t gamePort, const std::string& name)
    {
        Join(host, gamePort);
        host.SetRule("Game", "bexal");
        host.SetRule("Host Name", name);
        host.SetRule("Max Players", 32);
        host.SetRule("Has Password", 0);
        host.ListServer();
        ASSERT_TRUE(PumpUntil([&] { return host.IsListed(); }, {&host}));
    }

    // The list as a browser sees it after asking: host names in order.
    std::vector<std::string> Names(MasterClient& browser)
    {
        std::vector<std::string> names;
        for (std::size_t i = 0; i < browser.GetServerCount(); ++i) {
            std::string name;
            browser.GetRuleText(i, "Host Name", name);
            names.push_back(name);
        }
        return names;
    }

    MasterServer server{"127.0.0.1", 0};
};

TEST_F(MasterServerTest, AListedHostShowsWithItsRulesAddressAndPing)
{
    MasterClient host, browser;
    ListHost(host, 60001, "Alpha");
    EXPECT_EQ(server.GetListedCount(), 1u);

    Join(browser, 0);
    browser.SetRulesToFetch({"Game", "Host Name", "Max Players"});
    ASSERT_TRUE(browser.RequestServerList());
    ASSERT_TRUE(PumpUntil([&] { return browser.GetServerCount() == 1; }, {&host, &browser}));

    std::string text;
    std::int32_t value = -1;
    const struct {
        const char* rule;
        bool isText;
        std::string text;
        std::int32_t value;
    } expected[] = {
        {"Game", true, "bexal", 0},
        {"Host Name", true, "Alpha", 0},
        {"Max Players", false, "", 32},
        {"IP", true, "127.0.0.1", 0},
        {"Game Port", false, "", 60001},
    };
    for (const auto& e : expected) {
        if (e.isText) {
            EXPECT_TRUE(browser.GetRuleText(0, e.rule, text)) << e.rule;
            EXPECT_EQ(text, e.text) << e.rule;
            EXPECT_FALSE(browser.GetRuleInt(0, e.rule, value)) << e.rule;
        } else {
            EXPECT_TRUE(browser.GetRuleInt(0, e.rule, value)) << e.rule;
            EXPECT_EQ(value, e.value) << e.rule;
        }
    }
    EXPECT_TRUE(browser.GetRuleInt(0, "Ping", value));
    EXPECT_GE(value, 0);
    // Only the rules asked for travel.
    EXPECT_FALSE(browser.GetRuleInt(0, "Has Password", value));
    EXPECT_FALSE(browser.GetRuleText(1, "IP", text));
    EXPECT_EQ(text, "");
}

TEST_F(MasterServerTest, RefreshRenewsTheHeldHostsAndANewListAddsOthers)
{
    MasterClient alpha, beta, browser;
    ListHost(alpha, 60001, "Alpha");
    Join(browser, 0);
    ASSERT_TRUE(browser.RequestServerList());
    ASSERT_TRUE(PumpUntil([&] { return browser.GetServerCount() == 1; }, {&alpha, &browser}));

    ListHost(beta, 60011, "Beta");
    alpha.SetRule("Host Name", "Alpha renamed");
    // Pings again now and then until the rename has gone from the host through the master server.
    int turns = 0;
    ASSERT_TRUE(PumpUntil(
        [&] {
            if (turns++ % 20 == 0) {
                EXPECT_TRUE(browser.PingServers());
            }
            return Names(browser) == std::vector<std::string>{"Alpha renamed"};
        },
        {&alpha, &beta, &browser}));

    ASSERT_TRUE(browser.RequestServerList());
    ASSERT_TRUE(PumpUntil([&] { return browser.GetServerCount() == 2; }, {&alpha, &beta, &browser}));
    EXPECT_EQ(Names(browser), (std::vector<std::string>{"Alpha renamed", "Beta"}));
}

TEST_F(MasterServerTest, WithdrawnAndDisconnectedHostsLeaveTheList)
{
    MasterClient alpha, beta, browser;
    ListHost(alpha, 60001, "Alpha");
    ListHost(beta, 60011, "Beta");
    Join(browser, 0);

    alpha.DelistServer();
    EXPECT_FALSE(alpha.IsListed());
    ASSERT_TRUE(PumpUntil([&] { return server.GetListedCount() == 1; }, {&alpha, &beta}));
    EXPECT_TRUE(alpha.IsConnected());
    browser.RequestServerList();
    ASSERT_TRUE(PumpUntil([&] { return browser.GetServerCount() == 1; }, {&alpha, &beta, &browser}));
    EXPECT_EQ(Names(browser), std::vector<std::string>{"Beta"});

    // Disconnecting withdraws first; a refresh then drops the host the browser held.
    beta.Disconnect(200);
    EXPECT_FALSE(beta.IsConnected());
    ASSERT_TRUE(PumpUntil([&] { return server.GetListedCount() == 0; }, {&alpha, &browser}));
    browser.PingServers();
    ASSERT_TRUE(PumpUntil([&] { return browser.GetServerCount() == 0; }, {&alpha, &browser}));

    // Not listed: nothing to withdraw, and a list request needs a connection.
    MasterClient idle;
    idle.DelistServer();
    EXPECT_FALSE(idle.RequestServerList());
    EXPECT_FALSE(idle.Connect("not an address", server.GetPort(), 0, 0));
}

// A peer speaking ENet straight to the master server with records no client of ours writes.
class RawPeer {
public:
    explicit RawPeer(std::uint16_t port)
    {
        host = enet_host_create(nullptr, 1, 1, 0, 0);
        ENetAddress master{};
        enet_address_set_host_ip(&master, "127.0.0.1");
        master.port = port;
        peer = host != nullptr ? enet_host_connect(host, &master, 1, 0) : nullptr;
    }
    ~RawPeer()
    {
        if (host != nullptr)
            enet_host_destroy(host);
    }

    void Send(const std::vector<std::uint8_t>& bytes)
    {
        ENetPacket* packet = enet_packet_create(bytes.data(), bytes.size(), ENET_PACKET_FLAG_RELIABLE);
        ASSERT_EQ(enet_peer_send(peer, 0, packet), 0);
    }

    // Counts what arrived; true once connected.
    bool Service()
    {
        ENetEvent event;
        while (enet_host_service(host, &event, 0) > 0) {
            if (event.type == ENET_EVENT_TYPE_CONNECT)
                connected = true;
            if (event.type == ENET_EVENT_TYPE_RECEIVE) {
                ++received;
                enet_packet_destroy(event.packet);
            }
        }
        return connected;
    }

    ENetHost* host = nullptr;
    ENetPeer* peer = nullptr;
    bool connected = false;
    int received = 0;
};

std::vector<std::uint8_t> Bytes(const BitStream& s)
{
    return std::vector<std::uint8_t>(s.GetData(), s.GetData() + s.GetNumberOfBytesUsed());
}

std::vector<std::uint8_t> Listing(const std::function<void(BitStream&)>& rules)
{
    BitStream s;
    s.Write(std::uint8_t{kMasterListServer});
    s.Write(std::uint16_t{60001});
    rules(s);
    return Bytes(s);
}

void Rule(BitStream& s, const std::string& name, const std::string& text)
{
    StringCompressor::EncodeString(name, 1 << 20, s);
    s.Write1();
    StringCompressor::EncodeString(text, 1 << 20, s);
}

TEST_F(MasterServerTest, HostileRecordsAreDroppedAndTheServerCarriesOn)
{
    const struct {
        const char* name;
        std::vector<std::uint8_t> record;
    } cases[] = {
        {"empty", {}},
        {"unknown id", {77, 1, 2}},
        {"listing cut short", {kMasterListServer, 0x61}},
        {"listing with trailing bytes", [] { auto b = Listing([](BitStream& s) { s.WriteCompressed(std::uint32_t{0}); }); b.push_back(9); return b; }()},
        {"too many rules", Listing([](BitStream& s) { s.WriteCompressed(std::uint32_t{kMaxMasterRules + 1}); })},
        {"rule count beyond the record", Listing([](BitStream& s) { s.WriteCompressed(std::uint32_t{3}); Rule(s, "Game", "x"); })},
        {"empty rule name", Listing([](BitStream& s) { s.WriteCompressed(std::uint32_t{1}); Rule(s, "", "x"); })},
        {"repeated rule name", Listing([](BitStream& s) { s.WriteCompressed(std::uint32_t{2}); Rule(s, "Game", "a"); Rule(s, "Game", "b"); })},
        {"rule name too long", Listing([](BitStream& s) { s.WriteCompressed(std::uint32_t{1}); Rule(s, std::string(kMaxRuleNameLength, 'n'), "x"); })},
        {"rule text too long", Listing([](BitStream& s) { s.WriteCompressed(std::uint32_t{1}); Rule(s, "Game", std::string(kMaxRuleTextLength, 't')); })},
        {"malformed integer rule", Listing([](BitStream& s) {
             s.WriteCompressed(std::uint32_t{1});
             StringCompressor::EncodeString("Lives", 64, s);
             s.Write0();
             s.WriteBits(0xFFFFFFFFFFFFull, 48);
         })},
        {"listing above its size", Listing([](BitStream& s) {
             s.WriteCompressed(std::uint32_t{40});
             for (int i = 0; i < 40; ++i)
                 Rule(s, "Rule " + std::to_string(i), std::string(250, 'a' + i % 26));
         })},
        {"withdrawal with trailing bytes", {kMasterWithdraw, 0}},
        {"list request cut short", {kMasterRequestList}},
        {"list request asking too many rules", [] {
             BitStream s;
             s.Write(std::uint8_t{kMasterRequestList});
             s.Write0();
             s.WriteCompressed(std::uint32_t{kMaxMasterRules + 1});
             return Bytes(s);
         }()},
        {"a list sent to the server", {kMasterServerList, 0}},
    };

    RawPeer raw(server.GetPort());
    ASSERT_NE(raw.peer, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return raw.Service(); }, {}));
    std::size_t refused = 0;
    for (const auto& c : cases) {
        raw.Send(c.record);
        EXPECT_TRUE(PumpUntil([&] { raw.Service(); return server.GetRefusedRecords() == refused + 1; }, {})) << c.name;
        refused = server.GetRefusedRecords();
        EXPECT_FALSE(server.GetLastError().empty()) << c.name;
        EXPECT_EQ(server.GetListedCount(), 0u) << c.name;
    }
    EXPECT_EQ(raw.received, 0);

    // The same connection can still list itself properly, and others are served as before.
    raw.Send(Listing([](BitStream& s) { s.WriteCompressed(std::uint32_t{1}); Rule(s, "Host Name", "Raw"); }));
    ASSERT_TRUE(PumpUntil([&] { raw.Service(); return raw.received == 1; }, {}));
    MasterClient browser;
    Join(browser, 0);
    browser.RequestServerList();
    ASSERT_TRUE(PumpUntil([&] { raw.Service(); return browser.GetServerCount() == 1; }, {&browser}));
    EXPECT_EQ(Names(browser), std::vector<std::string>{"Raw"});
    EXPECT_EQ(server.GetRefusedRecords(), refused);
}

} // namespace
