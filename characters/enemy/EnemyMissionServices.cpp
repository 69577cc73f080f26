#include "characters/enemy/EnemyMissionServices.h"

#include <vector>

#include "characters/ai/AILevelView.h"
#include "characters/body/Character.h"
#include "characters/enemy/EnemyEvents.h"
#include "characters/level/RunningLevel.h"

int MissionEventFlag(const GameObject* object)
{
    int flag = -1;
    if (!object)
        return flag;
    RunningLevel::Enemies().VisitEvents([&](const MissionEventView& entry) {
        if (entry.object == object)
            flag = entry.flag;
    });
    return flag;
}

Character* MissionFindNearestSquadMember(const Vector3& point, float* distanceSquared)
{
    Character* nearest = nullptr;
    float best = 3.4e38f;
    for (const std::vector<Character*>& squad : RunningLevel::AI().Squads()) {
        for (Character* member : squad) {
            if (!member)
                continue;
            const float d = member->position.DistanceSquared(point);
            if (!nearest || d < best) {
                nearest = member;
                best = d;
            }
        }
    }
    if (distanceSquared)
        *distanceSquared = best;
    return nearest;
}
