#include "mission/services/MissionStatistics.h"

#include "characters/body/Character.h"
#include "characters/objects/GameObject.h"
#include "mission/MissionState.h"
#include "mission/rules/Squad.h"

MissionStatistics::MissionStatistics(MissionState& mission) : mission(mission)
{
}

bool MissionStatistics::CampaignActive() { return false; }
float MissionStatistics::SquadSkill(int, int) { return 1.0f; }
void MissionStatistics::CampaignAddStat(int, float) {}
void MissionStatistics::CampaignAddMorale(int, float) {}
void MissionStatistics::CampaignClearBonusFlags() {}
void MissionStatistics::CampaignClearSquadBonusFlag() {}
void MissionStatistics::EnemyKilled(Character*, Character*, const char*) {}

void MissionStatistics::CountFireKill(std::uint16_t burner)
{
    GameObject* object = GameObject::GetByID(std::int16_t(burner));
    if (!object || object->objectType != GameObject::CharacterType || !mission.roster.localSquad)
        return;
    auto* character = static_cast<Character*>(object);
    if (character->kind == Character::SquadKind)
        mission.squadStatistics.Count(SquadStatistics::FireKills, mission.roster.localSquad->IndexOf(character));
}
