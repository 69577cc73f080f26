#include "mission/loading/MissionLevel.h"

#include "characters/ai/CoverPoints.h"
#include "characters/ai/WaypointGraph.h"
#include "items/TileSounds.h"
#include "mission/services/MissionVehicles.h"
#include "mission/services/WorldCollisionScene.h"
#include "world/map/MapDescription.h"
#include "world/environment/Weather.h"

// Out of line, where the owned readers' types are complete.
MissionLevel::MissionLevel() = default;
MissionLevel::~MissionLevel() = default;
