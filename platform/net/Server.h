#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/net/Client.h"
#include "platform/net/Peer.h"

namespace platform::net {

// The server interface of a listen server: players 0-31, the host's own client among them.
class Server {
public:
    explicit Server(PeerConfig config = {}) : peer(InterfaceKind::Server, std::move(config)) {}

    bool Start(std::uint16_t allowedPlayers, std::uint16_t port = kDefaultServerPort) { return peer.Start(allowedPlayers, port); }
    void Disconnect(std::uint32_t blockMs = 200) { peer.Disconnect(blockMs); }
    bool IsActive() const { return peer.IsActive(); }
    std::uint16_t GetLocalPort() const { return peer.LocalPort(); }

    bool SendToPlayer(const void* data, std::size_t length, std::uint16_t index, PacketPriority priority,
                      PacketReliability reliability, int channel = 0)
    {
        return peer.Send(data, length, priority, reliability, channel, index, false);
    }
    // except may be kNoPlayerIndex: to everybody.
    bool SendToAllExcept(const void* data, std::size_t length, std::uint16_t except, PacketPriority priority,
                         PacketReliability reliability, int channel = 0)
    {
        return peer.Send(data, length, priority, reliability, channel, except, true);
    }
    Packet* Receive() { return peer.Receive(); }
    void DeallocatePacket(Packet* packet) { peer.DeallocatePacket(packet); }
    void PushBackPacket(Packet* packet) { peer.PushBackPacket(packet); }

    bool RegisterRemoteProcedure(const std::string& name, RpcHandler handler)
    {
        return peer.RegisterRpc(name, std::move(handler));
    }
    // To one player, or with broadcast to every player except index.
    bool Rpc(const std::string& name, const void* data, std::uint32_t bitLength, PacketPriority priority,
             PacketReliability reliability, int channel, std::uint16_t index, bool broadcast, bool timestamp)
    {
        return peer.Rpc(name, data, bitLength, priority, reliability, channel, index, broadcast, timestamp);
    }

    // Closes the player's connection; the server's game hears nothing more of it.
    bool Kick(std::uint16_t index) { return peer.Kick(index); }
    // "a.b.c.d" or "a.b.c.*"; false for another text.
    bool AddToBanList(const std::string& entry) { return peer.AddBan(entry); }
    void RemoveFromBanList(const std::string& entry) { peer.RemoveBan(entry); }
    void ClearBanList() { peer.ClearBans(); }
    bool IsBanned(const std::string& address) const { return peer.IsBanned(address); }

    void SetPassword(const std::string& password) { peer.SetPassword(password); }
    bool HasPassword() const { return !peer.Password().empty(); }
    void SetAllowedPlayers(std::uint16_t count) { peer.SetAllowedPlayers(count); }
    std::uint16_t GetAllowedPlayers() const { return peer.AllowedPlayers(); }
    std::uint16_t GetConnectedPlayers() const { return peer.ConnectedPlayers(); }

    PlayerId GetPlayerIdFromIndex(std::uint16_t index) const { return peer.PlayerIdFromIndex(index); }
    std::uint16_t GetIndexFromPlayerId(PlayerId id) const { return peer.IndexFromPlayerId(id); }
    bool IsPlayerSlotFree(std::uint16_t index) const { return GetPlayerIdFromIndex(index) == kUnassignedPlayerId; }
    // The player's address "a.b.c.d" and port; false for a free slot.
    bool GetPlayerIP(std::uint16_t index, std::string& address, std::uint16_t& port) const
    {
        const PlayerId id = GetPlayerIdFromIndex(index);
        if (id == kUnassignedPlayerId)
            return false;
        address = AddressText(id.binaryAddress);
        port = id.port;
        return true;
    }

    void SetStaticServerData(const std::vector<std::uint8_t>& data) { peer.SetStaticServerData(data); }
    std::vector<std::uint8_t> GetStaticServerData() const { return peer.StaticServerData(); }
    void SendStaticServerDataToClient(std::uint16_t index) { peer.SendStaticServerData(index); }
    // The value every client reads as its synchronised random integer; new clients get it too.
    void SetSynchronizedRandomInteger(std::uint32_t value) { peer.SetSynchronizedRandomInteger(value); }

    int GetLastPing(std::uint16_t index) const { return peer.LastPing(index); }
    int GetAveragePing(std::uint16_t index) const { return peer.AveragePing(index); }
    std::uint32_t GetTime() const { return peer.Now(); }

    static int GetNumberOfAddresses() { return static_cast<int>(LocalAddresses().size()); }
    // "" past the last address.
    static std::string GetLocalIP(int index)
    {
        const auto addresses = LocalAddresses();
        return index >= 0 && index < static_cast<int>(addresses.size()) ? addresses[index] : std::string();
    }

private:
    Peer peer;
};

} // namespace platform::net
