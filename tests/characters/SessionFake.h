#pragma once

// A network session of set answers that keeps what is sent; installed for its lifetime.

#include <cstdint>
#include <utility>
#include <vector>

#include "characters/level/NetworkSession.h"
#include "characters/level/NoLevel.h"
#include "characters/level/RunningLevel.h"

class SessionFake : public NoLevel {
public:
    bool hosting = false;
    bool connected = false;
    std::uint32_t now = 0;
    CharacterServerSettings settings;

    std::vector<std::pair<std::int16_t, int>> healthSent;   // object, health
    std::vector<std::pair<std::int16_t, int>> posturesSent; // the host's: character, posture
    std::vector<std::pair<HitDamageReport, bool>> hitReports; // report, from the server
    int shortDamageReports = 0;
    int deathReports = 0;
    std::vector<std::pair<std::int16_t, bool>> alarmsSent; // alarm, from the server
    struct Move {
        std::uint8_t pitch, yaw;
        Vector3 position;
    };
    std::vector<Move> movesSent; // the host's character moves

    bool IsServerActive() override { return hosting; }
    bool IsClientConnected() override { return connected; }
    CharacterServerSettings ServerSettings() override { return settings; }
    std::uint32_t Time() override { return now; }
    void ClientSendHealth(std::int16_t object, int health) override { healthSent.emplace_back(object, health); }
    void ServerSendPosture(std::int16_t character, int posture) override { posturesSent.emplace_back(character, posture); }
    void SendHitDamage(const HitDamageReport& report, bool fromServer) override { hitReports.emplace_back(report, fromServer); }
    void SendDamage(int, std::int16_t, std::int16_t, bool) override { ++shortDamageReports; }
    void SendDeath(std::int16_t, int, int, const char*, bool) override { ++deathReports; }
    void SendAlarm(std::int16_t alarm, bool fromServer) override { alarmsSent.emplace_back(alarm, fromServer); }
    void BroadcastCharacterMove(std::int16_t, std::uint8_t pitch, std::uint8_t yaw, const Vector3& position,
                                float) override
    {
        movesSent.push_back({pitch, yaw, position});
    }

private:
    RunningLevel level{{.network = this}};
};
