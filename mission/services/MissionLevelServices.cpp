#include "mission/services/MissionLevelServices.h"

#include "mission/MissionState.h"

MissionLevelServices::MissionLevelServices(MissionState& mission)
    : items(mission),
      squad(mission),
      statistics(mission),
      scene(mission),
      animations(mission),
      sounds(mission),
      ai(mission),
      enemies(mission),
      level({.weapons = &weapons,
             .items = &items,
             .command = &squad,
             .controls = &squad,
             .records = &squad,
             .statistics = &statistics,
             .gameMode = &squad,
             .scene = &scene,
             .animations = &animations,
             .sounds = &sounds,
             .ai = &ai,
             .enemies = &enemies})
{
}
