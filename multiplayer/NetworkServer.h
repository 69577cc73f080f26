#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "multiplayer/ServerSettings.h"
#include "platform/net/Server.h"

// The host side of a multiplayer game: a listen server inside the program of the player who hosts,
// whose own client connects to it like any other. The published settings are the server's static
// data, which every client receives when it connects. The program makes it at start-up and ends
// it at exit; while it lives, the static queries answer for it (and "not hosting" otherwise).
class NetworkServer {
public:
    explicit NetworkServer(platform::net::PeerConfig config = {});
    ~NetworkServer();
    NetworkServer(const NetworkServer&) = delete;
    NetworkServer& operator=(const NetworkServer&) = delete;

    // The program's server, or null while none lives.
    static NetworkServer* Instance();
    static bool IsActive();
    // The published settings; the defaults while none are published or no server lives.
    static void GetServerSettings(ServerSettings* settings);

    // The port to listen on (0: any free one, which GetPort then names).
    void SetPort(std::uint16_t port) { listenPort = port; }
    std::uint16_t GetPort() const { return server.GetLocalPort(); }
    // Publishes the default settings first when none are published.
    bool Start(std::uint16_t allowedPlayers);
    // Waits up to 200 ms for the players to learn of it.
    void Stop();

    void SetServerSettings(const ServerSettings* settings);
    void SendServerSettingsTo(std::uint16_t slot) { server.SendStaticServerDataToClient(slot); }

    // Records on ordering channel 0; slot 0xFFFF sends to everybody.
    bool SendToAllExcept(const void* data, std::size_t length, std::uint16_t slot, platform::net::PacketPriority priority,
                         platform::net::PacketReliability reliability);
    bool SendToPlayer(const void* data, std::size_t length, std::uint16_t slot, platform::net::PacketPriority priority,
                      platform::net::PacketReliability reliability);
    platform::net::Packet* Receive() { return server.Receive(); }
    void DeallocatePacket(platform::net::Packet* packet) { server.DeallocatePacket(packet); }
    void PushBackPacket(platform::net::Packet* packet) { server.PushBackPacket(packet); }

    bool Kick(std::uint16_t slot) { return server.Kick(slot); }
    bool GetPlayerIP(std::uint16_t slot, std::string& address, std::uint16_t& port) const
    {
        return server.GetPlayerIP(slot, address, port);
    }
    bool IsPlayerSlotFree(std::uint16_t slot) const { return server.IsPlayerSlotFree(slot); }
    void SetAllowedPlayers(std::uint16_t count) { server.SetAllowedPlayers(count); }
    std::uint16_t GetAllowedPlayers() const { return server.GetAllowedPlayers(); }
    std::uint16_t GetConnectedPlayers() const { return server.GetConnectedPlayers(); }
    int GetLastPing(std::uint16_t slot) const { return server.GetLastPing(slot); }
    std::uint32_t GetTime() const { return server.GetTime(); }

    void SetPassword(const char* password);
    const char* GetPassword() const { return password.c_str(); }

    platform::net::Server& Interface() { return server; }

private:
    platform::net::Server server;
    std::uint16_t listenPort = platform::net::kDefaultServerPort;
    ServerSettings published;
    bool settingsPublished = false;
    std::string password;
};
