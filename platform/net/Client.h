#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/net/NetClock.h"
#include "platform/net/Peer.h"

namespace platform::net {

inline constexpr std::uint16_t kDefaultServerPort = 60001;
inline constexpr std::uint16_t kDefaultClientPort = 60002;

// The client interface: one connection to a server (a host's own client connects to 127.0.0.1).
class Client {
public:
    explicit Client(PeerConfig config = {}) : peer(InterfaceKind::Client, std::move(config)) {}

    // Starts connecting; event 18 (or 17, 20, 22, 25) arrives through Receive.
    bool Connect(const std::string& host, std::uint16_t serverPort = kDefaultServerPort,
                 std::uint16_t clientPort = kDefaultClientPort)
    {
        return peer.Connect(host, serverPort, clientPort);
    }
    void Disconnect(std::uint32_t blockMs = 150) { peer.Disconnect(blockMs); }
    bool IsConnected() const { return peer.IsConnected(); }
    std::uint16_t GetLocalPort() const { return peer.LocalPort(); }

    bool Send(const void* data, std::size_t length, PacketPriority priority, PacketReliability reliability,
              int channel = 0)
    {
        return peer.Send(data, length, priority, reliability, channel, kNoPlayerIndex, false);
    }
    Packet* Receive() { return peer.Receive(); }
    void DeallocatePacket(Packet* packet) { peer.DeallocatePacket(packet); }
    void PushBackPacket(Packet* packet) { peer.PushBackPacket(packet); }

    // Before Connect only.
    bool RegisterRemoteProcedure(const std::string& name, RpcHandler handler)
    {
        return peer.RegisterRpc(name, std::move(handler));
    }
    // With timestamp set the payload's first 32 bits are a time of this machine's clock, converted
    // into each receiver's clock.
    bool Rpc(const std::string& name, const void* data, std::uint32_t bitLength, PacketPriority priority,
             PacketReliability reliability, int channel, bool timestamp)
    {
        return peer.Rpc(name, data, bitLength, priority, reliability, channel, kNoPlayerIndex, false, timestamp);
    }

    void SetPassword(const std::string& password) { peer.SetPassword(password); }
    std::string GetPassword() const { return peer.Password(); }
    // Sent to the server once it accepts this client (empty is allowed).
    void SetStaticClientData(const std::vector<std::uint8_t>& data) { peer.SetStaticClientData(data); }
    std::vector<std::uint8_t> GetStaticServerData() const { return peer.StaticServerData(); }
    std::uint32_t GetSynchronizedRandomInteger() const { return peer.SynchronizedRandomInteger(); }

    // This client's index at the server and its address as the server sees it.
    std::uint16_t GetPlayerIndex() const { return peer.OwnIndex(); }
    PlayerId GetPlayerId() const { return peer.OwnPlayerId(); }

    int GetAveragePing() const { return peer.AveragePing(kNoPlayerIndex); }
    int GetLastPing() const { return peer.LastPing(kNoPlayerIndex); }
    // The ping of another player from the server's table, -1 when unknown.
    int GetPlayerPing(std::uint16_t index) const { return peer.TablePing(index); }
    std::uint32_t GetTime() const { return peer.Now(); }

private:
    Peer peer;
};

} // namespace platform::net
