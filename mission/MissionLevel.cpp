#include "mission/MissionLevel.h"

#include "characters/CoverPoints.h"
#include "characters/WaypointGraph.h"
#include "items/TileSounds.h"
#include "mission/WorldCollisionScene.h"
#include "world/MapDescription.h"
#include "world/Weather.h"

// Out of line, where the owned readers' types are complete.
MissionLevel::MissionLevel() = default;
MissionLevel::~MissionLevel() = default;
