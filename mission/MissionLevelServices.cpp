#include "mission/MissionLevelServices.h"

#include "mission/MissionState.h"

MissionLevelServices::MissionLevelServices(MissionState& mission)
    : items(mission),
      squad(mission),
      statistics(mission),
      level({.weapons = &weapons,
             .items = &items,
             .command = &squad,
             .controls = &squad,
             .records = &squad,
             .statistics = &statistics,
             .gameMode = &squad})
{
}
