#include <gtest/gtest.h>

#include "tests/platform/net/NetFixture.h"

#include <algorithm>
#include <set>

using namespace nettest;

namespace {

std::uint32_t Sequence(const Record& record) { return record.bytes[1] | record.bytes[2] << 8 | record.bytes[3] << 16; }

TEST(NetDelivery, EveryReliabilityKeepsItsPromiseOverABadLink)
{
    LogCapture log;
    PeerConfig config = QuietConfig(log);
    config.link = {0.2, 0.1, 0.1, 7};
    Pair pair(config, config);
    ASSERT_TRUE(pair.Open());

    constexpr std::uint32_t kMessages = 300;
    constexpr int kClasses = 5;
    for (std::uint32_t n = 0; n < kMessages; ++n) {
        for (int k = 0; k < kClasses; ++k) {
            const std::uint8_t record[] = {static_cast<std::uint8_t>(100 + k), static_cast<std::uint8_t>(n),
                                           static_cast<std::uint8_t>(n >> 8), 0, 0xAB};
            ASSERT_TRUE(pair.client.Send(record, sizeof record, PacketPriority::High, static_cast<PacketReliability>(k), k + 1));
        }
    }
    const auto of = [&pair](int k) {
        std::vector<std::uint32_t> sequence;
        for (const Record& record : pair.host.records)
            if (record.Id() == 100 + k) {
                EXPECT_EQ(record.bytes.size(), 5u);
                sequence.push_back(Sequence(record));
            }
        return sequence;
    };
    // The reliable classes all complete; the newest of the reliable sequenced class arrives.
    ASSERT_TRUE(WaitUntil([&] { pair.Pump(); }, [&] {
        const auto sequenced = of(4);
        return of(2).size() == kMessages && of(3).size() == kMessages && !sequenced.empty() && sequenced.back() == kMessages - 1;
    }, 20000ms));

    std::vector<std::uint32_t> all(kMessages);
    for (std::uint32_t n = 0; n < kMessages; ++n)
        all[n] = n;
    auto reliable = of(2);
    std::sort(reliable.begin(), reliable.end());
    EXPECT_EQ(reliable, all) << "reliable: every record once";
    EXPECT_EQ(of(3), all) << "reliable ordered: every record once, in order";
    for (int k : {1, 4}) {
        const auto sequence = of(k);
        EXPECT_TRUE(std::adjacent_find(sequence.begin(), sequence.end(), std::greater_equal<>()) == sequence.end())
            << "class " << k << ": never an older record after a newer one";
    }
    for (int k : {0, 1}) {
        const auto sequence = of(k);
        const std::set<std::uint32_t> distinct(sequence.begin(), sequence.end());
        EXPECT_EQ(distinct.size(), sequence.size()) << "class " << k << ": no duplicates";
        EXPECT_LT(sequence.size(), kMessages) << "class " << k << ": the link does lose datagrams";
    }
}

// A sender that never receives: the records its window holds back still leave as acknowledgements
// come, and the last few of the burst, which fill no datagram, leave without a further call.
TEST(NetDelivery, BurstBeyondTheWindowArrivesWholeWhileTheSenderNeverReceives)
{
    LogCapture log;
    Pair pair(QuietConfig(log), QuietConfig(log));
    ASSERT_TRUE(pair.Open());
    constexpr std::uint32_t kMessages = 2003; // about 90 KB: more than ENet keeps in flight
    for (std::uint32_t n = 0; n < kMessages; ++n) {
        std::uint8_t record[40] = {110, static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8)};
        ASSERT_TRUE(pair.client.Send(record, sizeof record, PacketPriority::High, PacketReliability::ReliableOrdered));
    }
    ASSERT_TRUE(WaitUntil([&] { pair.host.Pump(); }, [&] { return pair.host.Count(110) == static_cast<int>(kMessages); }, 10000ms));
    for (std::uint32_t n = 0; n < kMessages; ++n)
        ASSERT_EQ(Sequence(pair.host.records[n]), n);
    EXPECT_EQ(log.Count(), 0u);
}

TEST(NetDelivery, RecordsOfMegabytesArriveWholeAndTheLimitIsKept)
{
    LogCapture log;
    PeerConfig config = QuietConfig(log);
    config.maxRecordSize = 4u << 20;
    Pair pair(config, config);
    ASSERT_TRUE(pair.Open());

    std::vector<std::uint8_t> save(3u << 20);
    for (std::size_t i = 0; i < save.size(); ++i)
        save[i] = static_cast<std::uint8_t>(i * 31 + (i >> 12));
    save[0] = 98;
    ASSERT_TRUE(pair.server.SendToPlayer(save.data(), save.size(), pair.client.GetPlayerIndex(), PacketPriority::Low,
                                         PacketReliability::ReliableOrdered));
    ASSERT_TRUE(WaitUntil([&] { pair.Pump(); }, [&] { return pair.player.Count(98) == 1; }, 20000ms));
    EXPECT_TRUE(pair.player.First(98)->bytes == save);

    const std::vector<std::uint8_t> over(config.maxRecordSize + 1, 1);
    EXPECT_FALSE(pair.client.Send(over.data(), over.size(), PacketPriority::Low, PacketReliability::ReliableOrdered));
    EXPECT_EQ(log.Count(), 1u);
}

TEST(NetDelivery, RefusedSendsAreNamedAndSendNothing)
{
    LogCapture log;
    Pair pair(QuietConfig(log), QuietConfig(log));
    ASSERT_TRUE(pair.Open());
    const std::uint8_t record[] = {23, 1, 2, 3, 4, 60};
    struct Case {
        const char* name;
        std::size_t length;
        int reliability;
        int channel;
    };
    const Case cases[] = {
        {"empty", 0, 3, 0},
        {"short time stamp", 5, 3, 0},
        {"channel 32", 6, 3, 32},
        {"channel -1", 6, 3, -1},
        {"reliability 5", 6, 5, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t before = log.Count();
        EXPECT_FALSE(pair.client.Send(record, c.length, PacketPriority::High, static_cast<PacketReliability>(c.reliability), c.channel));
        EXPECT_EQ(log.Count(), before + 1);
    }
    ASSERT_TRUE(pair.client.Send(record, sizeof record, PacketPriority::High, PacketReliability::ReliableOrdered, 31));
    ASSERT_TRUE(WaitUntil([&] { pair.Pump(); }, [&] { return !pair.host.records.empty(); }));
    EXPECT_EQ(pair.host.records.size(), 1u);
}

TEST(NetDelivery, PushedBackPacketComesFirstAndHeldPacketsStayValid)
{
    LogCapture log;
    Pair pair(QuietConfig(log), QuietConfig(log));
    ASSERT_TRUE(pair.Open());
    for (std::uint8_t id : {150, 151, 152}) {
        const std::uint8_t record[] = {id, id};
        ASSERT_TRUE(pair.client.Send(record, sizeof record, PacketPriority::High, PacketReliability::ReliableOrdered));
    }
    Server& server = pair.server;
    // Wait until all three are queued, without taking them.
    Packet* first = nullptr;
    ASSERT_TRUE(WaitUntil([&] { first = first ? first : server.Receive(); }, [&] { return first != nullptr; }));
    ASSERT_EQ(first->data[0], 150);
    server.PushBackPacket(first);
    Packet* again = nullptr;
    ASSERT_TRUE(WaitUntil([&] { again = server.Receive(); }, [&] { return again != nullptr; }));
    EXPECT_EQ(again, first);
    EXPECT_EQ(again->data[0], 150);

    // Receive again while holding the first, as a handler that pumps the network does.
    std::vector<Packet*> held{again};
    ASSERT_TRUE(WaitUntil([&] {
        if (Packet* packet = server.Receive())
            held.push_back(packet);
    }, [&] { return held.size() == 3; }));
    for (std::size_t i = 0; i < held.size(); ++i) {
        EXPECT_EQ(held[i]->length, 2u);
        EXPECT_EQ(held[i]->bitSize, 16u);
        EXPECT_EQ(held[i]->data[0], 150 + i);
        EXPECT_EQ(held[i]->data[1], 150 + i);
    }
    for (Packet* packet : held)
        server.DeallocatePacket(packet);

    Packet stranger;
    server.DeallocatePacket(&stranger);
    server.PushBackPacket(&stranger);
    EXPECT_EQ(log.Count(), 2u);
    EXPECT_EQ(server.Receive(), nullptr);
}

// A game may still hold packets, and have pushed some back, when it destroys its interface: they go
// with it (the leak checker of the sanitizer build sees any that stay).
TEST(NetDelivery, PacketsHeldWhenTheInterfaceGoesAreFreedWithIt)
{
    LogCapture log;
    auto server = std::make_unique<Server>(QuietConfig(log));
    Client client(QuietConfig(log));
    ASSERT_TRUE(server->Start(2, 0));
    ASSERT_TRUE(client.Connect("127.0.0.1", server->GetLocalPort(), 0));
    Inbox<Client> player(client);
    ASSERT_TRUE(WaitUntil([&] { player.Pump(); }, [&] { return client.IsConnected(); }));
    for (std::uint8_t id : {160, 161, 162}) {
        const std::uint8_t record[] = {id, 0, 0, 0};
        ASSERT_TRUE(client.Send(record, sizeof record, PacketPriority::High, PacketReliability::ReliableOrdered));
    }
    std::vector<Packet*> held;
    ASSERT_TRUE(WaitUntil([&] {
        if (Packet* packet = server->Receive(); packet && packet->data[0] >= 160)
            held.push_back(packet);
        else if (packet)
            server->DeallocatePacket(packet);
    }, [&] { return held.size() == 3; }));
    server->PushBackPacket(held.back());
    server.reset();
    EXPECT_EQ(log.Count(), 0u);
}

} // namespace
