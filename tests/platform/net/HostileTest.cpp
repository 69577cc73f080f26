#include <gtest/gtest.h>

#include "tests/platform/net/NetFixture.h"

#include <arpa/inet.h>
#include <enet/enet.h>

using namespace nettest;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A bare ENet peer speaking whatever bytes a test gives it, on loopback.
class RawPeer {
public:
    // listen: a server on a free port; otherwise a client of the server on serverPort.
    RawPeer(bool listen, std::uint16_t serverPort)
    {
        enet_initialize();
        ENetAddress address{};
        address.host = htonl(INADDR_LOOPBACK);
        address.port = 0;
        host = enet_host_create(listen ? &address : nullptr, 1, 99, 0, 0);
        if (host && !listen) {
            address.port = serverPort;
            peer = enet_host_connect(host, &address, 99, 0);
        }
    }
    ~RawPeer()
    {
        if (host)
            enet_host_destroy(host);
    }
    RawPeer(const RawPeer&) = delete;
    RawPeer& operator=(const RawPeer&) = delete;

    std::uint16_t Port() const { return host->address.port; }
    void Service()
    {
        ENetEvent event;
        while (enet_host_service(host, &event, 0) > 0) {
            if (event.type == ENET_EVENT_TYPE_CONNECT) {
                peer = event.peer;
                connected = true;
            }
            if (event.type == ENET_EVENT_TYPE_RECEIVE) {
                received.emplace_back(event.packet->data, event.packet->data + event.packet->dataLength);
                enet_packet_destroy(event.packet);
            }
        }
    }
    void Send(const Bytes& bytes)
    {
        enet_peer_send(peer, 98, enet_packet_create(bytes.empty() ? nullptr : bytes.data(), bytes.size(), ENET_PACKET_FLAG_RELIABLE));
        enet_host_flush(host);
    }

    ENetHost* host = nullptr;
    ENetPeer* peer = nullptr;
    bool connected = false;
    std::vector<Bytes> received;
};

Bytes U32(std::uint32_t value)
{
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value >> 16),
            static_cast<std::uint8_t>(value >> 24)};
}

Bytes Join(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

struct Hostile {
    const char* name;
    Bytes frame;
};

// Sends each frame and expects one log line for it and nothing for the game; then a good frame
// still gets through.
template <class Interface>
void ExpectEachRefused(RawPeer& raw, Inbox<Interface>& inbox, LogCapture& log, const std::vector<Hostile>& frames)
{
    const std::size_t records = inbox.records.size();
    for (const Hostile& hostile : frames) {
        SCOPED_TRACE(hostile.name);
        const std::size_t before = log.Count();
        raw.Send(hostile.frame);
        EXPECT_TRUE(WaitUntil([&] { raw.Service(); inbox.Pump(); }, [&] { return log.Count() > before; }));
        EXPECT_EQ(log.Count(), before + 1);
        EXPECT_EQ(inbox.records.size(), records);
    }
    raw.Send({0, 61, 5});
    ASSERT_TRUE(WaitUntil([&] { raw.Service(); inbox.Pump(); }, [&] { return inbox.Count(61) == 1; }));
    EXPECT_EQ(inbox.records.size(), records + 1);
}

TEST(NetHostile, ServerDropsEveryMalformedFrameAndKeepsTheLink)
{
    LogCapture log;
    Server server(QuietConfig(log));
    ASSERT_TRUE(server.RegisterRemoteProcedure("TI", [](const RpcCall&) { FAIL() << "no call may run"; }));
    ASSERT_TRUE(server.Start(4, 0));
    Inbox<Server> host(server);
    RawPeer raw(false, server.GetLocalPort());
    ASSERT_TRUE(WaitUntil([&] { raw.Service(); host.Pump(); }, [&] { return raw.connected; }));

    const std::uint32_t future = GetTime() + 100000;
    const std::vector<Hostile> beforeHello = {
        {"record before the greeting", {0, 60, 1}},
        {"call before the greeting", {1, 0, 2, 'T', 'I', 0, 0, 0, 0}},
        {"greeting with an overlong password", Join({{2, 1}, U32(5), {200}})},
        {"greeting cut short", {2, 1, 1, 2}},
    };
    for (const Hostile& hostile : beforeHello) {
        SCOPED_TRACE(hostile.name);
        const std::size_t before = log.Count();
        raw.Send(hostile.frame);
        EXPECT_TRUE(WaitUntil([&] { raw.Service(); host.Pump(); }, [&] { return log.Count() > before; }));
        EXPECT_TRUE(host.records.empty());
    }
    raw.Send(Join({{2, 1}, U32(5), {0}}));
    ASSERT_TRUE(WaitUntil([&] { raw.Service(); host.Pump(); }, [&] { return host.Count(19) == 1; }));

    ExpectEachRefused(raw, host, log, {
        {"empty frame", {}},
        {"unknown frame kind", {7, 1}},
        {"empty record", {0}},
        {"time stamp without identifier", {0, 23, 1, 2, 3, 4}},
        {"time stamp cut short", {0, 23, 1, 2}},
        {"empty control", {2}},
        {"unknown control", {2, 99}},
        {"ping cut short", {2, 5, 1}},
        {"pong too long", Join({{2, 6}, U32(1), U32(2), {9}})},
        {"pong echoing a time not yet reached", Join({{2, 6}, U32(future), U32(2)})},
        {"second greeting", Join({{2, 1}, U32(5), {0}})},
        {"acceptance sent to a server", Join({{2, 2, 0, 0}, U32(1), {0, 0}, U32(1), U32(1)})},
        {"notice sent to a server", Join({{2, 7, 12, 0, 0}, U32(1), {0, 0}})},
        {"oversize static data", Join({{2, 4}, Bytes(8193, 1)})},
        {"call without a name", {1, 0, 0, 0, 0, 0, 0}},
        {"call longer than its bits", Join({{1, 0, 2, 'T', 'I'}, U32(9), {1, 2, 3}})},
        {"call shorter than its bits", Join({{1, 0, 2, 'T', 'I'}, U32(17), {1, 2}})},
        {"call with unknown flags", Join({{1, 2, 2, 'T', 'I'}, U32(8), {1}})},
        {"time-stamped call under 32 bits", Join({{1, 1, 2, 'T', 'I'}, U32(16), {1, 2}})},
        {"call name with a control byte", Join({{1, 0, 2, 'T', 1}, U32(0)})},
        {"call of an unregistered name", Join({{1, 0, 1, 'Z'}, U32(0)})},
        {"bit length past the frame", Join({{1, 0, 2, 'T', 'I'}, U32(0xFFFFFFFFu)})},
    });
}

TEST(NetHostile, ClientDropsEveryMalformedFrameAndKeepsTheLink)
{
    LogCapture log;
    RawPeer raw(true, 0);
    ASSERT_NE(raw.host, nullptr);
    Client client(QuietConfig(log));
    ASSERT_TRUE(client.Connect("127.0.0.1", raw.Port(), 0));
    Inbox<Client> player(client);
    ASSERT_TRUE(WaitUntil([&] { raw.Service(); player.Pump(); }, [&] { return raw.connected && !raw.received.empty(); }));

    const Bytes goodAccept = Join({{2, 2, 3, 0}, U32(0x0100007F), {0x34, 0x12}, U32(0), U32(1)});
    ExpectEachRefused(raw, player, log, {
        {"acceptance cut short", {2, 2, 3}},
        {"acceptance of slot 32", Join({{2, 2, 32, 0}, U32(1), {0, 0}, U32(0), U32(1)})},
        {"greeting sent to a client", Join({{2, 1}, U32(5), {0}})},
        {"static data sent by a client", {2, 4, 1}},
        {"ping table cut short", {2, 8, 1, 2}},
        {"random integer cut short", {2, 9, 1}},
        {"notice of slot 40", Join({{2, 7, 12, 40, 0}, U32(1), {0, 0}})},
        {"notice of event 30", Join({{2, 7, 30, 1, 0}, U32(1), {0, 0}})},
    });
    raw.Send(goodAccept);
    ASSERT_TRUE(WaitUntil([&] { raw.Service(); player.Pump(); }, [&] { return player.Count(18) == 1; }));
    EXPECT_EQ(client.GetPlayerIndex(), 3);
    EXPECT_EQ(client.GetPlayerId().port, 0x1234);
    const std::size_t before = log.Count();
    raw.Send(goodAccept);
    ASSERT_TRUE(WaitUntil([&] { raw.Service(); player.Pump(); }, [&] { return log.Count() > before; }));
    EXPECT_EQ(player.Count(18), 1) << "a second acceptance is refused";
}

} // namespace
