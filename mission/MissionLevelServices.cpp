#include "mission/MissionLevelServices.h"

#include "mission/MissionState.h"

MissionLevelServices::MissionLevelServices(MissionState& mission)
    : items(mission), scene(mission), animations(mission), sounds(mission), ai(mission), enemies(mission),
      level({.weapons = &weapons,
             .items = &items,
             .scene = &scene,
             .animations = &animations,
             .sounds = &sounds,
             .ai = &ai,
             .enemies = &enemies})
{
}
