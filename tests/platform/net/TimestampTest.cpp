#include <gtest/gtest.h>

#include "tests/platform/net/NetFixture.h"

using namespace nettest;

namespace {

std::uint32_t StampOf(const Record& record)
{
    return record.bytes[1] | record.bytes[2] << 8 | record.bytes[3] << 16 | static_cast<std::uint32_t>(record.bytes[4]) << 24;
}

TEST(NetTimestamp, StampsAreConvertedAtEveryHopThroughTheHostsRelay)
{
    LogCapture log;
    PeerConfig hostConfig = QuietConfig(log);
    // Clocks far apart, one across the wrap of 32 bits.
    PeerConfig senderConfig = QuietConfig(log);
    senderConfig.clock = [] { return GetTime() + 0xFFFF0000u; };
    PeerConfig receiverConfig = QuietConfig(log);
    receiverConfig.clock = [] { return GetTime() + 12345678u; };

    Server server(hostConfig);
    ASSERT_TRUE(server.Start(4, 0));
    Client sender(senderConfig), receiver(receiverConfig);
    ASSERT_TRUE(sender.Connect("127.0.0.1", server.GetLocalPort(), 0));
    ASSERT_TRUE(receiver.Connect("127.0.0.1", server.GetLocalPort(), 0));
    Inbox<Server> host(server);
    Inbox<Client> a(sender), b(receiver);
    const auto pump = [&] { host.Pump(); a.Pump(); b.Pump(); };
    ASSERT_TRUE(WaitUntil(pump, [&] {
        return host.Count(24) == 2 && server.GetAveragePing(0) >= 0 && server.GetAveragePing(1) >= 0 &&
               sender.GetAveragePing() >= 0 && receiver.GetAveragePing() >= 0;
    }));

    const std::uint32_t now = sender.GetTime();
    std::uint8_t record[35] = {23, static_cast<std::uint8_t>(now), static_cast<std::uint8_t>(now >> 8),
                               static_cast<std::uint8_t>(now >> 16), static_cast<std::uint8_t>(now >> 24), 50};
    ASSERT_TRUE(sender.Send(record, sizeof record, PacketPriority::High, PacketReliability::UnreliableSequenced, 2));
    ASSERT_TRUE(WaitUntil(pump, [&] { return host.Count(23) == 1; }));
    const Record& atHost = *host.First(23);
    EXPECT_LE(std::abs(TimeDifference(server.GetTime(), StampOf(atHost))), 50);
    EXPECT_EQ(atHost.bytes[5], 50);

    ASSERT_TRUE(server.SendToAllExcept(atHost.bytes.data(), atHost.bytes.size(), atHost.index, PacketPriority::High,
                                       PacketReliability::ReliableOrdered));
    ASSERT_TRUE(WaitUntil(pump, [&] { return b.Count(23) == 1; }));
    EXPECT_LE(std::abs(TimeDifference(receiver.GetTime(), StampOf(*b.First(23)))), 50);
    EXPECT_EQ(a.Count(23), 0);
}

} // namespace
