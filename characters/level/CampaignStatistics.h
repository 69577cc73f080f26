#pragma once

#include <cstdint>

class Character;

// The statistics a mission keeps and a campaign reads: the campaign's squad records and kill
// counts, and the mission's fire-kill counter of the squad.
class CampaignStatistics {
public:
    virtual ~CampaignStatistics() = default;

    virtual bool CampaignActive() = 0;
    virtual float SquadSkill(int slot, int skill) = 0;
    virtual void CampaignAddStat(int counter, float value) = 0;
    virtual void CampaignAddMorale(int slot, float amount) = 0;
    virtual void CampaignClearBonusFlags() = 0;
    virtual void CampaignClearSquadBonusFlag() = 0;
    // An enemy died: the enemies killed, and a melee or explosive kill of the squad soldier who
    // killed it (null when the killer was none), by the weapon's item name.
    virtual void EnemyKilled(Character* victim, Character* squadKiller, const char* weaponName) = 0;
    // A character set on fire by the burner died of it: the fire-kill counter of the burner's
    // squad slot, when the burner is a soldier of the local squad.
    virtual void CountFireKill(std::uint16_t burner) = 0;
};
