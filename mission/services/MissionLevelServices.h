#pragma once

#include "characters/level/RunningLevel.h"
#include "items/WeaponItemQueries.h"
#include "mission/services/MissionAILevel.h"
#include "mission/services/MissionEnemyEvents.h"
#include "mission/services/MissionItemServices.h"
#include "mission/services/MissionSquadServices.h"
#include "mission/services/MissionStatistics.h"
#include "mission/services/MissionScene.h"

class MissionState;

// The mission's side of the running level: the services the game objects reach while a level of
// the mission is loaded. Made when the level loads, destroyed when it unloads. The network
// session is not handed over: this build neither hosts nor joins, the no-level answers.
class MissionLevelServices {
public:
    explicit MissionLevelServices(MissionState& mission);

private:
    WeaponItemQueries weapons;
    MissionItemServices items;
    MissionSquadServices squad;
    MissionStatistics statistics;
    MissionScene scene;
    MissionAnimationSets animations;
    MissionBodySounds sounds;
    MissionAILevel ai;
    MissionEnemyEvents enemies;
    // Last, so that it ends first: no object reaches the services while they are taken down.
    RunningLevel level;
};
