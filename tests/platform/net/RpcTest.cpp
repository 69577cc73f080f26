#include <gtest/gtest.h>

#include "tests/platform/net/NetFixture.h"

using namespace nettest;

namespace {

struct Call {
    std::string name;
    std::vector<std::uint8_t> bytes;
    std::uint32_t bits = 0;
    std::uint16_t senderIndex = 0;
    InterfaceKind by = InterfaceKind::Client;
};

RpcHandler Keep(std::vector<Call>& calls, const char* name)
{
    return [&calls, name](const RpcCall& call) {
        calls.push_back({name, {call.data, call.data + (call.bitLength + 7) / 8}, call.bitLength, call.senderIndex, call.deliveredBy});
    };
}

TEST(NetRpc, BitLengthsSenderAndInterfaceArriveExactly)
{
    LogCapture log;
    Pair pair(QuietConfig(log), QuietConfig(log));
    std::vector<Call> atServer, atClient;
    ASSERT_TRUE(pair.server.RegisterRemoteProcedure("SNP", Keep(atServer, "SNP")));
    ASSERT_TRUE(pair.client.RegisterRemoteProcedure("SNP", Keep(atClient, "SNP")));
    ASSERT_TRUE(pair.Open());

    const std::uint32_t lengths[] = {0, 1, 7, 8, 9, 16, 80, 9208, 9209, 9216};
    for (std::uint32_t bits : lengths) {
        std::vector<std::uint8_t> payload((bits + 7) / 8);
        for (std::size_t i = 0; i < payload.size(); ++i)
            payload[i] = static_cast<std::uint8_t>(bits + i);
        ASSERT_TRUE(pair.client.Rpc("SNP", payload.data(), bits, PacketPriority::High, PacketReliability::ReliableOrdered, 0, false));
        ASSERT_TRUE(pair.server.Rpc("SNP", payload.data(), bits, PacketPriority::High, PacketReliability::ReliableOrdered, 0,
                                    kNoPlayerIndex, true, false));
    }
    ASSERT_TRUE(WaitUntil([&] { pair.Pump(); }, [&] { return atServer.size() == std::size(lengths) && atClient.size() == std::size(lengths); }));
    for (std::size_t n = 0; n < std::size(lengths); ++n) {
        SCOPED_TRACE(lengths[n]);
        for (const auto* calls : {&atServer, &atClient}) {
            const Call& call = (*calls)[n];
            EXPECT_EQ(call.bits, lengths[n]);
            ASSERT_EQ(call.bytes.size(), (lengths[n] + 7) / 8);
            for (std::size_t i = 0; i < call.bytes.size(); ++i)
                EXPECT_EQ(call.bytes[i], static_cast<std::uint8_t>(lengths[n] + i));
        }
        EXPECT_EQ(atServer[n].by, InterfaceKind::Server);
        EXPECT_EQ(atServer[n].senderIndex, pair.client.GetPlayerIndex());
        EXPECT_EQ(atClient[n].by, InterfaceKind::Client);
    }
    EXPECT_TRUE(pair.host.records.empty() && pair.player.records.empty()) << "calls are not records";
}

TEST(NetRpc, CallsRunInsideReceiveInOrderWithTheChannelsRecords)
{
    LogCapture log;
    Pair pair(QuietConfig(log), QuietConfig(log));
    std::vector<std::string> seen;
    ASSERT_TRUE(pair.server.RegisterRemoteProcedure("CMTP", [&seen](const RpcCall&) { seen.push_back("CMTP"); }));
    ASSERT_TRUE(pair.Open());
    EXPECT_FALSE(pair.server.RegisterRemoteProcedure("LATE", [](const RpcCall&) {})) << "only before start";

    const std::uint8_t first[] = {130, 1};
    const std::uint8_t second[] = {131, 2};
    const std::uint8_t object[] = {7, 0};
    ASSERT_TRUE(pair.client.Send(first, 2, PacketPriority::High, PacketReliability::ReliableOrdered));
    ASSERT_TRUE(pair.client.Rpc("CMTP", object, 16, PacketPriority::High, PacketReliability::ReliableOrdered, 0, false));
    ASSERT_TRUE(pair.client.Send(second, 2, PacketPriority::High, PacketReliability::ReliableOrdered));
    ASSERT_TRUE(WaitUntil([&] {
        if (Packet* packet = pair.server.Receive()) {
            seen.push_back(std::to_string(packet->data[0]));
            pair.server.DeallocatePacket(packet);
        }
    }, [&] { return seen.size() == 3; }));
    EXPECT_EQ(seen, (std::vector<std::string>{"130", "CMTP", "131"}));
}

TEST(NetRpc, RegistrationAndUnknownNamesAreRefused)
{
    LogCapture log;
    Pair pair(QuietConfig(log), QuietConfig(log));
    const auto nothing = [](const RpcCall&) {};
    EXPECT_TRUE(pair.server.RegisterRemoteProcedure("TI", nothing));
    struct Case {
        std::string name;
        bool withHandler;
    };
    const Case refused[] = {{"TI", true}, {"", true}, {std::string(33, 'A'), true}, {"A B", true}, {"GOT", false}};
    for (const Case& c : refused) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(pair.server.RegisterRemoteProcedure(c.name, c.withHandler ? RpcHandler(nothing) : RpcHandler()));
    }
    const std::size_t registrationLines = log.Count();
    EXPECT_EQ(registrationLines, std::size(refused));
    ASSERT_TRUE(pair.Open());
    const std::uint8_t payload[] = {1, 2};
    ASSERT_TRUE(pair.client.Rpc("AS", payload, 16, PacketPriority::High, PacketReliability::ReliableOrdered, 0, false));
    ASSERT_TRUE(WaitUntil([&] { pair.Pump(); }, [&] { return log.Count() == registrationLines + 1; }));
    EXPECT_NE(log.Lines().back().find("\"AS\""), std::string::npos);
}

TEST(NetRpc, TimeStampedCallsArriveInTheReceiversClock)
{
    LogCapture log;
    PeerConfig clientConfig = QuietConfig(log);
    clientConfig.clock = [] { return GetTime() + 0x90000000u; };
    Pair pair(QuietConfig(log), clientConfig);
    std::vector<Call> calls;
    ASSERT_TRUE(pair.server.RegisterRemoteProcedure("SCMD", Keep(calls, "SCMD")));
    ASSERT_TRUE(pair.Open());
    ASSERT_TRUE(WaitUntil([&] { pair.Pump(); }, [&] { return pair.server.GetAveragePing(0) >= 0; }));

    const std::uint32_t sent = pair.client.GetTime();
    const std::uint8_t payload[] = {static_cast<std::uint8_t>(sent), static_cast<std::uint8_t>(sent >> 8),
                                    static_cast<std::uint8_t>(sent >> 16), static_cast<std::uint8_t>(sent >> 24), 42};
    ASSERT_TRUE(pair.client.Rpc("SCMD", payload, 40, PacketPriority::High, PacketReliability::ReliableOrdered, 0, true));
    ASSERT_TRUE(WaitUntil([&] { pair.Pump(); }, [&] { return calls.size() == 1; }));
    const std::uint32_t arrived = calls[0].bytes[0] | calls[0].bytes[1] << 8 | calls[0].bytes[2] << 16 |
                                  static_cast<std::uint32_t>(calls[0].bytes[3]) << 24;
    EXPECT_LE(std::abs(TimeDifference(pair.server.GetTime(), arrived)), 50);
    EXPECT_EQ(calls[0].bytes[4], 42);
    EXPECT_FALSE(pair.client.Rpc("SCMD", payload, 31, PacketPriority::High, PacketReliability::ReliableOrdered, 0, true));
}

} // namespace
