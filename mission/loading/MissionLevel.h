#pragma once

#include "characters/ai/AIStats.h"
#include "engine/core/PtrList.h"
#include "engine/core/Vector.h"
#include "engine/particle/ParticleEffectCache.h"
#include "engine/scene/SceneNode.h"
#include "mission/files/MissionDefinition.h"
#include "mission/rules/MissionEvent.h"
#include "mission/props/MissionProps.h"
#include "mission/drawing/ParticleEffectList.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class Bullet;
class Camera;
class CarriedItem;
class Character;
class CoverPoints;
class GameObject;
class MapDescription;
class MapObject;
class MissionVehicles;
class TileSounds;
class WaypointGraph;
class Weather;
class World;
class WorldCollisionScene;

// What a level is made of while it runs: the mission definition it came from, the world and its
// scene, the map's readers, the characters, items, projectiles, effects and events in it. The
// mission fills it while loading and empties it when the level unloads.
class MissionLevel {
public:
    static constexpr int PathSize = 256;
    static constexpr int NameEntryCount = 6;
    static constexpr int NameSize = 64;
    static constexpr int StatisticKeyCount = 17;
    static constexpr int BloodEffectSize = 256;
    static constexpr int PerLevelBlockSize = 88;

    MissionLevel();
    ~MissionLevel();
    MissionLevel(const MissionLevel&) = delete;
    MissionLevel& operator=(const MissionLevel&) = delete;

    MissionDefinition definition;
    char nameEntries[NameEntryCount][NameSize] = {};
    std::int32_t voiceSets[NameEntryCount] = {};
    int currentObjective = -1;
    // Seconds of play, for the time limit and the debriefing.
    float gameClock = 0.0f;
    // An objective's prerequisite that names no objective is logged once per level.
    mutable bool badPrerequisiteLogged = false;

    World* world = nullptr;
    Camera* camera = nullptr; // the active camera while a level runs
    std::unique_ptr<SceneNode> root;
    std::unique_ptr<MapDescription> map;
    std::unique_ptr<WorldCollisionScene> collisionScene;
    char mapPath[PathSize] = {};
    PtrListOf<MissionEvent> events;
    std::vector<Character*> characters;
    std::vector<CarriedItem*> looseItems; // items lying in the world, newest first
    std::vector<TriggerRecord> triggers;
    // The footstep sets of "TileProperties.txt", in file order.
    std::vector<std::unique_ptr<TileSounds>> tileSounds;
    AIStats aiStats;
    int statisticIndices[StatisticKeyCount] = {};
    MapObject* exitZones[2] = {};
    float playRectangle[4] = {-800.0f, -800.0f, 800.0f, 800.0f};
    bool waypointsPresent = false;
    bool coverPresent = false;
    std::vector<std::string> formations; // the formation definitions of the level
    char bloodEffect[BloodEffectSize] = {};
    std::uint8_t perLevelBlock[PerLevelBlockSize] = {};
    float cameraDistance = 1.5f;
    int viewValue = 0;

    // The level's rain or snow (null when the level has none).
    std::unique_ptr<Weather> weather;
    // The map's waypoint graph and cover points, loaded with the level.
    std::unique_ptr<WaypointGraph> waypointGraph;
    std::unique_ptr<CoverPoints> coverPoints;
    // The map objects carrying a vehicle prop, collected at level load.
    std::vector<MapObject*> vehicleObjects;
    // What the level's vehicles ask of it; made with the population, gone after the loose items.
    std::unique_ptr<MissionVehicles> vehicles;
    std::vector<Vector3> smokeCloudCentres;
    std::vector<GameObject*> alarmObjects; // the alarm list's objects, as the enemies last asked
    // The enemy last in combat and its value (for the music and the HUD); cleared with the population.
    Character* lastEnemyInCombat = nullptr;
    float lastEnemyInCombatValue = 0.0f;
    // Raised by the squad's per-frame update while it is under fire; the update clears it each frame
    // and keeps the previous frame's value for the music.
    bool combatFlag = false;
    bool previousCombatFlag = false;
    std::uint8_t useMarkers[256] = {}; // by character index in the mission's list

    // The projectiles in flight (owned) and the running particle effects.
    std::vector<Bullet*> projectiles;
    ParticleEffectList particleEffects;
    ParticleEffectCache particleDefinitions; // the particle files read while the level runs
    float outcomeCountdown = 0.0f;
    SceneNode outcomePivot;
};
