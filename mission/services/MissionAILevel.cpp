#include "mission/services/MissionAILevel.h"

#include "characters/player/Player.h"
#include "characters/ai/WaypointGraph.h"
#include "engine/camera/Camera.h"
#include "items/projectiles/GasProjectiles.h"
#include "mission/MissionState.h"
#include "mission/rules/Squad.h"
#include "world/environment/Weather.h"
#include "world/World.h"

WaypointGraph* MissionAILevel::Waypoints() { return mission.level.waypointsPresent ? mission.level.waypointGraph.get() : nullptr; }
const AIStats* MissionAILevel::Stats() { return &mission.level.aiStats; }
int MissionAILevel::PlayChitChat(const Vector3& position) { return mission.PlayChitChat(position); }
void MissionAILevel::StopChitChat(int handle) { mission.StopChitChat(handle); }
float MissionAILevel::CameraFar() { return mission.level.camera->GetFar(); }
float MissionAILevel::CameraFogStart() { return mission.level.camera->GetFogStart(); }
bool MissionAILevel::IsLogSuppressed() { return mission.aiLogSuppressed; }
bool MissionAILevel::IsDebugDraw() { return mission.aiDebugDraw; }

bool MissionAILevel::PickLine(HitResult& ray, float maxDistance, PickFilterCallback filter, Character* observer,
                              Character* source)
{
    return mission.PickLine(ray, maxDistance, filter, observer, source);
}

bool MissionAILevel::TilePropertyValue(const Vector3& point, float* value)
{
    return mission.TilePropertyValue(point, value);
}

int MissionAILevel::LightingCondition() { return mission.level.world ? mission.level.world->timeOfDay : 0; }
int MissionAILevel::PrecipitationKind() { return mission.level.weather ? mission.level.weather->type : int(Weather::None); }

const std::vector<Vector3>& MissionAILevel::SmokeClouds()
{
    smokeCloudCentres.clear();
    for (const SmokeProjectile* cloud : GetSmokeClouds())
        smokeCloudCentres.push_back(cloud->position);
    return smokeCloudCentres;
}

void MissionAILevel::RefreshSquads()
{
    squadMembers.resize(mission.roster.squads.size());
    std::size_t row = 0;
    const auto fill = [this, &row](const Squad* squad) {
        std::vector<Character*>& members = squadMembers[row++];
        members.clear();
        for (int i = 0; i < squad->GetMemberCount(); ++i)
            members.push_back(squad->GetMember(i));
    };
    if (mission.roster.localSquad)
        fill(mission.roster.localSquad);
    for (const std::unique_ptr<Squad>& squad : mission.roster.squads)
        if (squad.get() != mission.roster.localSquad)
            fill(squad.get());
}

const std::vector<std::vector<Character*>>& MissionAILevel::Squads()
{
    RefreshSquads();
    return squadMembers;
}

const std::vector<Character*>* MissionAILevel::CurrentSquad()
{
    RefreshSquads();
    return mission.roster.localSquad ? &squadMembers.front() : nullptr;
}

void MissionAILevel::RaiseCombatFlag() { mission.level.combatFlag = true; }
