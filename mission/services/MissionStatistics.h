#pragma once

#include "characters/level/CampaignStatistics.h"

class MissionState;

// The statistics side of the running level: the mission's per-member counters (held by the
// mission, so that the debriefing reads them after the level is gone). The campaign's records
// answer as outside a campaign until the campaign hands its own over: no campaign, skill 1.0,
// nothing recorded.
class MissionStatistics final : public CampaignStatistics {
public:
    explicit MissionStatistics(MissionState& mission);

    bool CampaignActive() override;
    float SquadSkill(int slot, int skill) override;
    void CampaignAddStat(int counter, float value) override;
    void CampaignAddMorale(int slot, float amount) override;
    void CampaignClearBonusFlags() override;
    void CampaignClearSquadBonusFlag() override;
    void EnemyKilled(Character* victim, Character* squadKiller, const char* weaponName) override;
    void CountFireKill(std::uint16_t burner) override;

private:
    MissionState& mission;
};
