#pragma once

#include <vector>

#include "engine/core/HitResult.h"
#include "engine/core/Vector.h"

class AIStats;
class Character;
class WaypointGraph;

// The AI's view of the running level: its route data, the camera's limits of sight, the light,
// weather and smoke that hide a target, the squads, and the mission's chit-chat and switches.
// The mission implements it (mission/services/MissionAILevel.h); with no level, NoLevel answers.
class AILevelView {
public:
    virtual ~AILevelView() = default;

    // The map's waypoint graph and AI statistics table; null without them.
    virtual WaypointGraph* Waypoints() = 0;
    virtual const AIStats* Stats() = 0;
    // A chit-chat voice near the position (its play handle, -1 when none) and stopping one (-1
    // stops nothing).
    virtual int PlayChitChat(const Vector3& position) = 0;
    virtual void StopChitChat(int handle) = 0;
    // The camera's far distance and fog start (a fraction of the far distance).
    virtual float CameraFar() = 0;
    virtual float CameraFogStart() = 0;
    // The mission's log-suppression byte and its debug-draw flag.
    virtual bool IsLogSuppressed() = 0;
    virtual bool IsDebugDraw() = 0;
    // A world pick for a sight or firing line from observer to source: every vehicle is pickable
    // but the two characters' own, and afterwards the vehicles' own exclusion rule is restored.
    // True for a solid hit; ray.distance holds it.
    virtual bool PickLine(HitResult& ray, float maxDistance, PickFilterCallback filter, Character* observer,
                          Character* source) = 0;
    // The tile property under the point; false when the world has no tile-property table.
    virtual bool TilePropertyValue(const Vector3& point, float* value) = 0;
    // The world's lighting condition (0 day, 1 and 4 night, 2 and 3 dawn, dusk or overcast) and
    // precipitation kind.
    virtual int LightingCondition() = 0;
    virtual int PrecipitationKind() = 0;
    // Centres of the smoke clouds.
    virtual const std::vector<Vector3>& SmokeClouds() = 0;
    // The squads (each at most five members, the local squad's first) and the local player's
    // current squad, null when none.
    virtual const std::vector<std::vector<Character*>>& Squads() = 0;
    virtual const std::vector<Character*>* CurrentSquad() = 0;
    // Raises the in-game state's combat flag (the player's squad is under fire).
    virtual void RaiseCombatFlag() = 0;
};
