#include "mission/MissionLevelServices.h"

#include "mission/MissionState.h"

MissionLevelServices::MissionLevelServices(MissionState& mission)
    : items(mission), level({.weapons = &weapons, .items = &items})
{
}
