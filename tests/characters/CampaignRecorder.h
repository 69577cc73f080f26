#pragma once

// A running campaign that keeps what the game objects record in it: statistics, morale, the
// cleared bonus flags, the enemies killed and the fire kills, with one skill value for every
// soldier. Installed for its lifetime.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "characters/level/NoLevel.h"
#include "characters/level/RunningLevel.h"

class CampaignRecorder : public NoLevel {
public:
    struct Kill {
        Character* victim;
        Character* squadKiller;
        std::string weaponName;
    };

    bool active = true;
    float skill = 1.0f;
    std::vector<std::pair<int, float>> stats;  // counter, value
    std::vector<std::pair<int, float>> morale; // slot, amount
    int bonusCleared = 0;
    int squadBonusCleared = 0;
    std::vector<Kill> kills;
    std::vector<std::uint16_t> fireKills; // the burners

    bool CampaignActive() override { return active; }
    float SquadSkill(int, int) override { return skill; }
    void CampaignAddStat(int counter, float value) override { stats.emplace_back(counter, value); }
    void CampaignAddMorale(int slot, float amount) override { morale.emplace_back(slot, amount); }
    void CampaignClearBonusFlags() override { ++bonusCleared; }
    void CampaignClearSquadBonusFlag() override { ++squadBonusCleared; }
    void EnemyKilled(Character* victim, Character* squadKiller, const char* weaponName) override
    {
        kills.push_back({victim, squadKiller, weaponName ? weaponName : ""});
    }
    void CountFireKill(std::uint16_t burner) override { fireKills.push_back(burner); }

private:
    RunningLevel level{{.statistics = this}};
};
