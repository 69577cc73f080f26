#pragma once

#include <bitset>
#include <cstdint>

#include "mission/session/MissionNetwork.h"
#include "multiplayer/NetworkClient.h"
#include "multiplayer/NetworkServer.h"

// The game's network: its one client and its one server, made by the program at start-up and
// ended at exit, and the mission's way to them. The receive loops take every record that
// arrives and hand it back; the layer's events of the handshake and of disconnection are acted
// on and logged, and a game record that nothing handles yet is logged once per identifier.
class GameNetwork : public MissionNetwork {
public:
    explicit GameNetwork(const platform::net::PeerConfig& config = {});
    ~GameNetwork() override;

    NetworkClient& Client() { return client; }
    NetworkServer& Server() { return server; }

    // The server's port (0: any free one) and, with it, any free port for the client: for runs
    // of several copies on one machine. Without it the ports are 60001 and 60002.
    void UsePort(std::uint16_t serverPort);

    bool StartServer(std::uint16_t maxPlayers) override;
    void StopServer() override;
    bool IsServerActive() override { return server.Interface().IsActive(); }
    bool Connect(const char* address) override;
    void Disconnect() override;
    bool IsClientConnected() override { return client.Interface().IsConnected(); }
    void ReceivePackets() override;
    std::uint32_t Time() override;

    // The loops of ReceivePackets, each once.
    void ClientReceivePackets();
    void ServerReceivePackets();

private:
    // Once per identifier and loop, so that a stream of unknown records cannot flood the log.
    void LogUnhandled(std::bitset<256>& logged, const char* side, int id);

    NetworkClient client;
    NetworkServer server;
    std::bitset<256> clientUnhandled;
    std::bitset<256> serverUnhandled;
    bool usedPort = false; // UsePort was called
};
