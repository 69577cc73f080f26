#pragma once

#include <cstdint>

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
// characters; a running level hands over its session (RunningLevel). With none, this machine is
// never a connected client and never hosts, nothing is sent and the generator is never reseeded
// (NoLevel).
class NetworkSession {
public:
    virtual ~NetworkSession() = default;

    virtual bool IsServerActive() = 0;    // this machine runs the server
    virtual bool IsClientConnected() = 0; // this machine's client is connected (a host's too)
    virtual void ClientSendHealth(std::int16_t object, int health) = 0;
    // The fields of the server settings a character reads (the host's own record when hosting,
    // the client's copy otherwise).
    virtual CharacterServerSettings ServerSettings() = 0;
    // The networking library's millisecond clock.
    virtual std::uint32_t Time() = 0;
    // Posture, damage and death reports.
    virtual void ClientSendPosture(std::int16_t character, int oldPosture, bool next) = 0;
    virtual void SendDamage(int amount, std::int16_t victim, std::int16_t attacker, bool fromServer) = 0;
    virtual void SendHitDamage(const HitDamageReport& report, bool fromServer) = 0;
    virtual void SendDeath(std::int16_t character, int killer, int weapon, const char* weaponName, bool fromServer) = 0;
    // The host's posture message to the clients, and an alarm sent to the clients (from the host)
    // or to the server (from a client).
    virtual void ServerSendPosture(std::int16_t character, int posture) = 0;
    virtual void SendAlarm(std::int16_t alarm, bool fromServer) = 0;
    // A client's trigger that changed state, to the host.
    virtual void ClientSendTriggerState(std::int32_t trigger, bool triggered) = 0;
    // Reseeds the shared generator with the session's synchronised value, before a draw that host
    // and clients must make alike.
    virtual void SyncRandomSeed() = 0;
    // The host's time-stamped character-move message to the clients near the character.
    virtual void BroadcastCharacterMove(std::int16_t id, std::uint8_t pitch, std::uint8_t yaw, const Vector3& position,
                                        float wait) = 0;
};

// The running level's session answers each of these.
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
