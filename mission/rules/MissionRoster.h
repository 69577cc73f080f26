#pragma once

#include "mission/rules/Squad.h"
#include "mission/rules/SquadSetup.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class Character;

// The squads of the mission and what is counted for them: the local squad and the character under
// control, the teams, the score table and the orders' targets.
class MissionRoster {
public:
    static constexpr int ScoreTableSize = 208;

    MissionRoster();
    ~MissionRoster();
    MissionRoster(const MissionRoster&) = delete;
    MissionRoster& operator=(const MissionRoster&) = delete;

    // Every squad of the mission, the local one among them.
    std::vector<std::unique_ptr<Squad>> squads;
    Squad* localSquad = nullptr; // one of squads
    Character* controlledCharacter = nullptr;
    // The squads as the AI sees them: one member list per squad, the local squad first; refreshed
    // when asked.
    std::vector<std::vector<Character*>> squadMembers;
    SquadSetup localSetup;
    std::uint8_t squad = 0;
    std::uint8_t localTeam = 0;
    bool spectating = false;
    bool joinRequested = false;
    // The score table holds per slot (32) score, deaths and kills, then team 1 to 8.
    std::uint8_t scoreTable[ScoreTableSize] = {};
    std::uint8_t teams[32] = {};
    bool everyoneHostile = false;
    float gameFlagTime = 1500.0f;
    bool areaDamage = true; // friendly area damage in a single game
    std::vector<std::int16_t> orderTargets;
    int currentOrderTarget = -1;
    // Random numbers of the spawn spread, -1 to 1; empty: the C library's.
    std::function<float()> spawnRandom;
};
