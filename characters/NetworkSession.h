#pragma once

#include <cstdint>
#include <functional>

// What game objects ask of the multiplayer session. The networking layer sits above the
// characters, so it fills these in at start-up; until it exists, this machine is never a
// connected client and never hosts, and nothing is sent.
struct NetworkSessionHooks {
    std::function<bool()> isServerActive;    // this machine runs the server
    std::function<bool()> isClientConnected; // this machine's client is connected (a host's too)
    std::function<void(std::int16_t object, int health)> clientSendHealth;
};

// Replaces the hooks; empty hooks give the stand-in answers.
void SetNetworkSessionHooks(NetworkSessionHooks hooks);

// NetworkServer::IsActive.
bool IsNetworkServerActive();
// The network client's connected test.
bool IsNetworkClientConnected();
// The new health of an object, from a connected client to the server.
void ClientSendHealth(std::int16_t object, int health);
