#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/net/Client.h"

struct ServerSettings;

// The game's one network client: a joining machine connects it to a host, and a host connects it
// to its own server on 127.0.0.1, so that the host plays through the same path as everybody. The
// program makes it at start-up and ends it at exit; while it lives, the static queries answer for
// it (and answer "not connected" before and after).
class NetworkClient {
public:
    explicit NetworkClient(platform::net::PeerConfig config = {});
    ~NetworkClient();
    NetworkClient(const NetworkClient&) = delete;
    NetworkClient& operator=(const NetworkClient&) = delete;

    // The program's client, or null while none lives.
    static NetworkClient* Instance();
    static bool IsConnected();

    // The server's port to reach and this client's own (0: any free one).
    void SetPorts(std::uint16_t serverPort, std::uint16_t clientPort);
    bool Connect(const char* host);
    // Waits up to 150 ms for the server to learn of it.
    void Disconnect();

    // A record on ordering channel 0.
    bool Send(const void* data, std::size_t length, platform::net::PacketPriority priority,
              platform::net::PacketReliability reliability);
    bool SendId(std::uint8_t id, platform::net::PacketPriority priority, platform::net::PacketReliability reliability);
    platform::net::Packet* Receive() { return client.Receive(); }
    void DeallocatePacket(platform::net::Packet* packet) { client.DeallocatePacket(packet); }
    void PushBackPacket(platform::net::Packet* packet) { client.PushBackPacket(packet); }

    int GetAveragePing() const { return client.GetAveragePing(); }
    int GetPlayerPing(std::uint16_t slot) const { return client.GetPlayerPing(slot); }
    std::uint32_t GetSynchronizedRandomInteger() const { return client.GetSynchronizedRandomInteger(); }
    std::uint32_t GetTime() const { return client.GetTime(); }
    std::uint16_t GetPlayerIndex() const { return client.GetPlayerIndex(); }

    // The host's settings as they arrived; the defaults before any arrived or in place of a record
    // that cannot be read (which is logged once).
    void GetServerSettings(ServerSettings* settings);

    void SetPassword(const char* password);
    const char* GetPassword() const { return password.c_str(); }

    platform::net::Client& Interface() { return client; }

private:
    platform::net::Client client;
    std::uint16_t serverPort = platform::net::kDefaultServerPort;
    std::uint16_t clientPort = platform::net::kDefaultClientPort;
    std::string password;
    bool refusedSettingsLogged = false;
};
