#pragma once

#include <cstdint>

// What the mission drives of the game's network client and server. The networking of the game
// sits above the mission: the program makes it at start-up and hands it down
// (MissionState::SetNetwork), so that starting, joining and the per-frame receive loops reach it.
class MissionNetwork {
public:
    virtual ~MissionNetwork() = default;

    // Starts this machine's server for up to maxPlayers players; false when it does not start.
    virtual bool StartServer(std::uint16_t maxPlayers) = 0;
    virtual void StopServer() = 0;
    virtual bool IsServerActive() = 0;
    // Starts connecting this machine's client to the address; false when the attempt cannot begin.
    virtual bool Connect(const char* address) = 0;
    virtual void Disconnect() = 0;
    // The client is connected (a host's own client to its own server too).
    virtual bool IsClientConnected() = 0;
    // The client's receive loop and, while hosting, the server's, once each.
    virtual void ReceivePackets() = 0;
    // The networking clock, in milliseconds.
    virtual std::uint32_t Time() = 0;
};
