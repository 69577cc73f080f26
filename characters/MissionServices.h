#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/HitResult.h"
#include "engine/core/Vector.h"

class AIStats;
class Character;
class SquadRoster;
class Sound2D;
class Sound3D;
class CarriedItem;
class Device;
class GameObject;
class WaypointGraph;

// An entry of the mission's event list as the AI senses it: an event (object type 4) with its
// source, its remaining time and its flag byte, or another object the list holds.
struct MissionEventView {
    GameObject* object = nullptr;
    Character* source = nullptr;
    float countdown = 0.0f;
    std::uint8_t flag = 0;
};

// What characters ask of the running mission. The mission sits above the characters, so it
// fills these in when it starts a level; until then a character lives without one: no
// animation sets beyond none, no loose-item list, no network game, no ground below but what
// the world hooks give, and nothing to hear.
struct MissionServiceHooks {
    // Index of an animation set by name (any case), -1 when absent.
    std::function<int(const char* name)> findAnimationSet;
    // Name of animation set k and the count of sets, for the template character's loading.
    std::function<int()> animationSetCount;
    std::function<const char*(int index)> animationSetName;
    // The loose-item list: a dropped item goes to its front, a picked-up one leaves it.
    std::function<void(CarriedItem* item)> addLooseItem;
    std::function<void(CarriedItem* item)> removeLooseItem;
    // Takes a world item off the loose-item list and deletes it.
    std::function<void(CarriedItem* item)> deleteItem;
    // The mission's flags.
    std::function<bool()> isNetworkGame;
    std::function<bool()> isDistanceCulling;
    std::function<bool()> isTutorial;
    // The camera position (distance fade, level of detail, whether animations run); without the
    // hook, the current world's camera.
    std::function<Vector3()> cameraPosition;
    // The character the local human controls (the camera follows it); may be null.
    std::function<Character*()> currentPlayer;
    // Height of the walkable surface below the point; 3.4e38 when there is none.
    std::function<float(const Vector3& point)> groundHeight;
    // Sounds of the body: a footstep on a tile, a landing, being run over.
    std::function<void(int foot, int tile, const Vector3& position, bool running)> playTileSound;
    std::function<void(Character* character)> playHitGroundSound;
    std::function<void(const Vector3& position)> playCarHitBodySound;
    // Every character of the mission (the contact test walks it).
    std::function<const std::vector<Character*>&()> characters;
    // The vehicle a rider sits in (its protection shields the rider), null when none.
    std::function<CarriedItem*(Character* rider)> ridingVehicle;
    // Whether the attacker may hurt the victim.
    std::function<bool(Character* attacker, Character* victim)> areHostile;
    // The mission's default animation set (the one a character holds with nothing special in hand).
    std::function<int()> defaultAnimationSet;

    // --- what the AI asks of the mission (AIMissionServices.h gives each its stand-in) ---
    // The map's waypoint graph and AI statistics table; null without them.
    std::function<WaypointGraph*()> waypointGraph;
    std::function<const AIStats*()> aiStats;
    // Reseeds the shared generator with the session's synchronised value (network games only).
    std::function<void()> syncRandomSeed;
    // A chit-chat voice near the position (its play handle, -1 when none) and stopping one.
    std::function<int(const Vector3& position)> playChitChat;
    std::function<void(int handle)> stopChitChat;
    // The host's time-stamped character-move message to the clients near the character.
    std::function<void(std::int16_t id, std::uint8_t pitch, std::uint8_t yaw, const Vector3& position, float wait)>
        broadcastCharacterMove;
    // The mission camera's far distance and fog start (a fraction of the far distance).
    std::function<float()> cameraFar;
    std::function<float()> cameraFogStart;
    // The mission's log-suppression byte and its debug-draw flag.
    std::function<bool()> isLogSuppressed;
    std::function<bool()> isDebugDraw;
    // A world pick for a sight or firing line from observer to source: every vehicle is pickable
    // but the two characters' own, and afterwards the vehicles' own exclusion rule is restored.
    // True for a solid hit; ray.distance holds it.
    std::function<bool(HitResult& ray, float maxDistance, PickFilterCallback filter, Character* observer,
                       Character* source)> pickLine;
    // The tile property under the point; false when the world has no tile-property table.
    std::function<bool(const Vector3& point, float* value)> tilePropertyValue;
    // The world's lighting condition (0 day, 1 and 4 night, 2 and 3 dawn, dusk or overcast) and
    // precipitation kind.
    std::function<int()> lightingCondition;
    std::function<int()> precipitationKind;
    // Centres of the smoke clouds of the mission.
    std::function<const std::vector<Vector3>&()> smokeClouds;
    // The squads of the mission (each at most five members) and the local player's current squad.
    std::function<const std::vector<std::vector<Character*>>&()> squads;
    std::function<const std::vector<Character*>*()> currentSquad;
    // Raises the in-game state's combat flag (the player's squad is under fire).
    std::function<void()> raiseCombatFlag;

    // --- what the enemies ask of the mission (EnemyMissionServices.h gives the stand-ins) ---
    // The mission's voice folder; its five categories are every enemy's voices.
    std::function<const char*()> voiceFolder;
    // An event the AI notices (a noise at the position, heard within the radius).
    std::function<void(const Vector3& position, float radius, Character* source, float value, bool flag)> addEvent;
    // Hands every entry of the mission's event list to the visitor.
    std::function<void(const std::function<void(const MissionEventView& entry)>& visit)> visitEvents;
    // The mission's alarms: their props as game objects (object type 5, position and health).
    std::function<const std::vector<GameObject*>&()> alarms;
    // The alarm prop's own share of sounding: its sound time becomes 60 s, its sound plays at the
    // alarm and its trigger fires.
    std::function<void(GameObject* alarm)> soundAlarm;
    // Seconds the alarm still sounds (0 when silent).
    std::function<float(GameObject* alarm)> alarmSoundTime;
    // The enemy last in combat and its value, for the music and the HUD.
    std::function<void(Character* enemy, float value)> setLastEnemyInCombat;
    // The mission flag that makes enemies ignore damage, the level-of-detail switch and the debug
    // switches of routes and sensor cones.
    std::function<bool()> enemiesIgnoreDamage;
    std::function<bool()> isLevelOfDetail;
    std::function<bool()> isRouteDebug;
    std::function<bool()> isSensorDebug;
    // The route-debug marker drawn at a point.
    std::function<void(Device* device, const Vector3& at)> drawRouteMarker;
};

// Replaces the hooks; empty hooks give the stand-in answers above.
void SetMissionServiceHooks(MissionServiceHooks hooks);
const MissionServiceHooks& GetMissionServiceHooks();

int MissionFindAnimationSet(const char* name);
void MissionAddLooseItem(CarriedItem* item);
void MissionRemoveLooseItem(CarriedItem* item);
void MissionDeleteItem(CarriedItem* item); // without a mission the item is simply deleted
bool MissionIsNetworkGame();
bool MissionIsDistanceCulling();
bool MissionIsTutorial();
Vector3 MissionCameraPosition();
Character* MissionCurrentPlayer();
// No mission: 3.4e38 (no surface).
float MissionGroundHeight(const Vector3& point);
void MissionPlayTileSound(int foot, int tile, const Vector3& position, bool running);
void MissionPlayHitGroundSound(Character* character);
void MissionPlayCarHitBodySound(const Vector3& position);
// No mission: everyone may hurt everyone else.
bool MissionAreHostile(Character* attacker, Character* victim);

// The template character whose animation controller the others copy: the first character that
// loads animation information, cleared by its destructor. Kept here, beside the hooks, because
// the characters set and clear it themselves.
Character* GetTemplateCharacter();
void SetTemplateCharacter(Character* character);
