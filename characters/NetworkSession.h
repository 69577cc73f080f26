#pragma once

#include <cstdint>
#include <functional>

#include "engine/core/Vector.h"

// What characters and items read of the server settings; the defaults are those of a fresh record.
struct CharacterServerSettings {
    std::uint8_t lives = 255;       // 255 unlimited
    std::uint8_t enemyLives = 255;
    std::uint32_t respawnDelay = 0; // ms
    std::uint32_t looseItemDelay = 0; // ms, 0 never
};

// The long form of a damage report: where and from which way the hit struck, and with what.
struct HitDamageReport {
    int amount = 0;
    Vector3 point;
    Vector3 direction;
    std::int16_t victim = -1;
    std::int16_t weapon = -1;
    std::int16_t attacker = -1;
    const char* weaponName = "";
    bool vehicle = false; // the weapon is a vehicle
};

// What game objects ask of the multiplayer session. The networking layer sits above the
// characters, so it fills these in at start-up; until it exists, this machine is never a
// connected client and never hosts, and nothing is sent.
struct NetworkSessionHooks {
    std::function<bool()> isServerActive;    // this machine runs the server
    std::function<bool()> isClientConnected; // this machine's client is connected (a host's too)
    std::function<void(std::int16_t object, int health)> clientSendHealth;
    // The fields of the server settings a character reads (the host's own record when hosting,
    // the client's copy otherwise).
    std::function<CharacterServerSettings()> serverSettings;
    // The networking library's millisecond clock.
    std::function<std::uint32_t()> getTime;
    // Posture, damage and death reports; part of the same stand-in: never sent while the machine
    // is neither connected nor hosting.
    std::function<void(std::int16_t character, int oldPosture, bool next)> clientSendPosture;
    std::function<void(int amount, std::int16_t victim, std::int16_t attacker, bool fromServer)> sendDamage;
    std::function<void(const HitDamageReport& report, bool fromServer)> sendHitDamage;
    std::function<void(std::int16_t character, int killer, int weapon, const char* weaponName, bool fromServer)>
        sendDeath;
    // The host's posture message to the clients, and an alarm sent to the clients (from the host)
    // or to the server (from a client).
    std::function<void(std::int16_t character, int posture)> serverSendPosture;
    std::function<void(std::int16_t alarm, bool fromServer)> sendAlarm;
};


// Replaces the hooks; empty hooks give the stand-in answers.
void SetNetworkSessionHooks(NetworkSessionHooks hooks);

// NetworkServer::IsActive.
bool IsNetworkServerActive();
// The network client's connected test.
bool IsNetworkClientConnected();
// The new health of an object, from a connected client to the server.
void ClientSendHealth(std::int16_t object, int health);

CharacterServerSettings GetCharacterServerSettings();
// Milliseconds; 0 without a session.
std::uint32_t GetNetworkTime();
void ClientSendPosture(std::int16_t character, int oldPosture, bool next);
void SendDamageReport(int amount, std::int16_t victim, std::int16_t attacker, bool fromServer);
void SendHitDamageReport(const HitDamageReport& report, bool fromServer);
void SendDeathReport(std::int16_t character, int killer, int weapon, const char* weaponName, bool fromServer);
void ServerSendPosture(std::int16_t character, int posture);
void SendAlarm(std::int16_t alarm, bool fromServer);
