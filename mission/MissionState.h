#pragma once

#include "app/framework/Application.h"
#include "app/framework/GameState.h"
#include "app/framework/Singletons.h"
#include "engine/core/PtrList.h"
#include "characters/AIStats.h"
#include "engine/core/HitResult.h"
#include "engine/core/Matrix.h"
#include "engine/core/Vector.h"
#include "engine/scene/SceneNode.h"
#include "mission/MissionDefinition.h"
#include "mission/MissionEvent.h"
#include "mission/MissionProps.h"
#include "mission/OverheadMap.h"
#include "mission/ParticleEffectList.h"
#include "mission/Squad.h"
#include "mission/SquadSetup.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class Bullet;
class Camera;
class Player;
class CarriedItem;
class MapObject;
class Character;
class CharacterProp;
class GameObject;
class Item;
struct HitResult;
struct ItemDefinition;
class D3DBitmap;
class MapDescription;
class MissionLevelServices;
struct MissionServiceHooks;
class MeshNode;
class SceneNode;
class Sound2D;
class Sound3D;
class Sprite;
class SpriteNode;
class TileSounds;
class World;
class WaypointGraph;
class CoverPoints;
class Weather;
class WorldCollisionScene;
class MissionNetwork;
struct ServerSettings;

// The loading display's backdrop, drawn by MissionState::SetLoadingProgress; null when empty.
extern D3DBitmap* LoadingBackdrop;

// A formation file of "GameData/Formations/" as the squad orders show it: its name and up to three
// icon points.
struct FormationIcon {
    static constexpr int NameSize = 32;
    static constexpr int MaximumPoints = 3;

    char name[NameSize] = {};
    int pointCount = 0;
    int points[MaximumPoints][2] = {};
};

// The in-game screen: owner of the running level (world, characters, squads, events, interface
// sprites and sounds), of the mission definition it was loaded from, of the session fields and
// of the mission's result.
class MissionState : public GameState {
public:
    static constexpr int MissionFileSize = 256;
    static constexpr int ServerAddressSize = 16;
    static constexpr int NameEntryCount = 6;
    static constexpr int NameSize = 64;
    static constexpr int RadialMenuCount = 9;
    static constexpr int MaximumFormationIcons = 32;
    static constexpr int MaximumChitChatVoices = 16;
    static constexpr int HitSoundSetCount = 6;
    static constexpr int MaximumUpperBodyFolders = 32;
    static constexpr int UpperBodyNameSize = 32;
    static constexpr int StatisticKeyCount = 17;
    static constexpr int StatusTextSize = 512;
    static constexpr int BloodEffectSize = 256;
    static constexpr int ScoreTableSize = 208;
    static constexpr int PerLevelBlockSize = 88;

    // Mission results.
    enum Result { Running = 0, Lost = 1, Won = 2, Escaped = 3, Surrendered = 4 };

    static MissionState* Instance();
    ~MissionState() override;

    int Enter() override;
    int Leave() override;
    void Update() override;
    void Draw() override;
    void KeyDown(int code) override;
    int GetSaveKind() const override { return Application::MissionKind; }

    // Session and player resets.
    void ResetSession();
    void ResetPlayers();
    void ResetForNewGame();
    void EndSession();

    void SetMissionResult(int code);
    int GetMissionResult() const { return missionResult; }

    // A kind-4 event at the point that removes itself when its countdown runs out; returns its
    // node of the event list.
    PtrListNode* AddEvent(float x, float y, float z, std::uintptr_t data, Character* source, float countdown,
                          std::uint8_t flag);
    // Advances every event by dt and removes the finished ones.
    void UpdateEvents(float dt);
    const PtrListOf<MissionEvent>& GetEvents() const { return events; }

    // Draws the loading backdrop centred in a frame of its own with the progress bar, the step's
    // caption above the bar and the status text (the factoid) below it. A value equal to the
    // last one or above 100 is ignored; a caption that is not empty names the step from then on.
    void SetLoadingProgress(int progress, const char* caption = nullptr);
    int GetLastProgress() const { return lastProgress; }

    // Level loading.
    void BeginLevel();
    void LoadLevel();
    // Reads the ".mis" file and applies its squad; throws the definition's q3DError.
    bool LoadMission(const char* path);
    void ApplyMissionSquad();
    int LoadCrosshair();
    void SwitchResolution();
    void LoadTileProperties();
    void LoadFactoids();
    void UnloadLevel();

    // --- World queries ---
    // The nearest loose item the ray hits, its distance left in the ray record; null for none.
    CarriedItem* RayCastItems(HitResult& ray);
    // The nearest live character the ray hits, except the ignored one (filter -1: any; else
    // character kinds 2, 4, 8 in its low bits, 0x10 also the dead); the record gets the hit.
    Character* RayCastObjects(HitResult& ray, GameObject* ignored, int filter);
    // No game mode and no flags exist yet: false.
    bool GetFlagTargetPosition(Vector3& position);
    // Objective INT_MAX: the nearer exit zone; else the first unfired target of an open objective.
    bool GetCompassTarget(int objective, Vector3& position);
    int GetCurrentObjective() const { return currentObjective; }
    bool AreHostile(Character* attacker, Character* victim) const;
    bool IsNearStartPoint(const Vector3& position, float radius) const;
    int CountEnemiesNear(const Vector3& position, float radius) const;
    int CountMarkedNear(const Vector3& position, float radius) const;
    // The radial gesture: 0 within 42 pixels of the origin, else the 45-degree sector 1 to 8.
    int GetGestureSector(int cursorX, int cursorY) const;
    int gestureOriginX = 0, gestureOriginY = 0;
    std::uint8_t useMarkers[256] = {}; // by character index in the mission's list

    // --- Values of the game settings (the network is never connected here) ---
    int GetSettingsTimeLimit() const;
    int GetScoreLimit() const;
    int GetRoundsPerMap() const;
    int GetNumTeams() const;
    int GetTopScore() const;
    int CanJoinTeamBalanced(int team) const;
    bool CanSelectTeam(int team) const;

    // --- Scores: the score table holds per slot (32) score, deaths and kills, then team 1 to 8 ---
    int GetScore(int slot) const;
    int GetDeaths(int slot) const;
    int GetKills(int slot) const;
    int GetTeamScore(int team) const;
    int CountPlayersNotInTeam(int team) const;
    void AddCaptureScore(int slot, int team);
    int AddPointsPerOpponent(int slot, int team);
    void SubtractPointsPerOpponent(int slot, int team);
    void ReassignPlayerSlot(int oldSlot, int newSlot, int memberIndex, bool makeLocal);
    // Every squad of the mission, the local one among them.
    std::vector<std::unique_ptr<Squad>> squads;

    // --- Items ---
    // Null for an empty name, a name without definition or a type keyword without class.
    Item* CreateItem(const char* name);
    // The campaign's item registry (the campaign sits above the mission); empty: no definitions.
    std::function<const ItemDefinition*(const char* name)> findItemDefinition;

    // --- Sounds ---
    // "%s%02d.wav" from 01 while the file exists, at most maximum; the first missing file throws
    // "Can't load %s", a file that fails "Can't load %s: %s". The number loaded.
    int LoadVoiceSet(std::unique_ptr<Sound3D>* set, int maximum, const char* basePath, float minimumDistance,
                     float maximumDistance);
    int LoadVoiceSet2D(std::vector<std::unique_ptr<Sound2D>>& set, int maximum, const char* basePath);
    void LoadVoiceTable(int row, const char* basePath);
    std::vector<std::vector<std::unique_ptr<Sound2D>>> voiceTable;
    // A footstep of the tile-sound set holding the tile, for the foot, loud or not; silent from
    // 200 units off the camera.
    void PlayTileSound(int foot, int tileIndex, const Vector3& position, bool loud);
    // The volume of a tile sound at that squared distance from the camera; below 0 silent.
    static float TileSoundVolume(float distanceSquared, bool loud);
    // The level's impact and chatter sounds, placed by their distance from the camera: a bullet
    // hit of kind 0 to 5 (body, dirt, glass, metal, rock, wood) as a 2D sound, a body hitting the
    // ground, a car hitting a body, and a chit-chat voice (its handle; -1 when none plays).
    void PlayBulletHitSound(int kind, const Vector3& position);
    void PlayHitGroundSound(const Vector3& position);
    void PlayCarHitBodySound(const Vector3& position);
    int PlayChitChat(const Vector3& position);
    void StopChitChat(int handle);
    // The volume of a bullet hit at that squared distance from the camera; below 0 silent.
    static float BulletHitVolume(float distanceSquared);

    // --- Network play ---
    // The game's network, handed down by the program at start-up; null until then (tests of the
    // mission alone), which hosts and joins nothing.
    void SetNetwork(MissionNetwork* gameNetwork) { network = gameNetwork; }
    MissionNetwork* GetNetwork() const { return network; }
    void SaveServerState(const char* savedGamePath);
    // Once per frame, and inside the waits for a connection: the receive loops of the client and,
    // while hosting, of the server.
    void PumpNetwork();
    void AdvanceMapCycle();
    void KickVoteResult(int slot, bool passed);
    void KickBanVoteResult(int slot, bool passed);
    void DrawVoteStatus();
    // The name of a player slot; empty hook: "Player <slot>".
    std::function<std::string(int slot)> playerName;

    // --- Other ---
    void ResetGameFlags();
    bool everyoneHostile = false;
    float gameFlagTime = 1500.0f;
    void SelectOrderTarget(Character* character);
    std::vector<std::int16_t> orderTargets;
    int currentOrderTarget = -1;
    // Whether the mouse acts as a pointer (paused, in a menu, no character under control, or the
    // radial command menu open) rather than turning the view.
    bool UsesMousePointer() const;

    // The level's rain or snow (null when the level has none). The campaign tells whether this
    // mission has weather; without it (a mission started on its own) a map with a weather file has it.
    std::unique_ptr<Weather> weather;
    std::function<bool()> weatherRequested;
    void LoadWeather();

    // The map's waypoint graph and cover points, loaded with the level.
    std::unique_ptr<WaypointGraph> waypointGraph;
    std::unique_ptr<CoverPoints> coverPoints;

    // --- Map population ---
    // Makes the map's characters from the character props (the random and reinforcement picks)
    // and its loose items, attaches the patrol paths and starts the ambient sounds; kinds of
    // character and object not built yet are skipped with a log line each. Throws the props'
    // q3DError.
    void PopulateMap();
    // One map character of the prop, placed at its object with its props' orders and its items,
    // under the scene root and in the character list.
    Character* CreateMapCharacter(const CharacterProp& prop);
    // The map description's ambient sounds of the first set, looping.
    void StartAmbientSounds();
    // Deletes every character that is in no squad (the map's population), and the ambient sounds.
    void RemoveMapPopulation();
    // --- What the enemies ask of the running mission (EnemyHooks.cpp) ---
    // A noise the AI hears: an event at the point, as loud as the value (a grenade or a shout 150,
    // a blast 250), lasting the countdown; the flag turns hearing it into a look around.
    PtrListNode* AddNoiseEvent(const Vector3& at, float loudness, Character* source, float countdown, bool flag);
    void InstallEnemyHooks(MissionServiceHooks& hooks);
    // The enemies' switches: damage ignored, levels of detail used, routes and sensor cones drawn.
    bool enemiesIgnoreDamage = false;
    bool levelOfDetail = true;
    bool routeDebug = false;
    bool sensorDebug = false;
    // The enemy last in combat and its value (for the music and the HUD); cleared with the population.
    Character* lastEnemyInCombat = nullptr;
    float lastEnemyInCombatValue = 0.0f;
    std::vector<GameObject*> alarmObjects; // the alarm list's objects, as the enemies last asked

    // Set by the campaign for the mission it runs: its kind (0 none) and reinforcement state.
    int campaignMissionKind = 0;
    int campaignReinforcementState = 0;
    // Whether the path editor is the current screen (it sees every random character); empty: no.
    std::function<bool()> isPathEditorCurrent;
    std::vector<std::unique_ptr<Sound2D>> ambientSounds;

    // --- Patrol paths ("<map>.pth" beside the map) ---
    // Gives every AI character of the list its path: its start node (its position raised by 2)
    // and the waypoints the file holds for it, binds the groups the file names and starts the
    // patrols. False, with a log line, for a file refused as not a patrol file (the characters
    // then keep only their start nodes).
    bool LoadPatrolPaths();
    // Writes the paths of the characters back (the path editor); nothing when the file can't be made.
    void SavePatrolPaths();
    std::string PatrolPathFileName() const;

    // --- What the AI asks of the level ---
    // A sight or firing line through the world: the map's vehicles block it, except the ones the
    // two characters ride in; afterwards every vehicle's exclusion is as before. True for a solid
    // hit nearer than the limit, its distance left in the ray.
    bool PickLine(HitResult& ray, float maxDistance, PickFilterCallback filter, Character* observer, Character* source);
    // The AI alert value of the tile-sound set of the tile under the point; false without a
    // tile-sound table, off the map or on a tile no set holds.
    bool TilePropertyValue(const Vector3& point, float* value) const;
    // The map objects carrying a vehicle prop, collected at level load.
    std::vector<MapObject*> vehicleObjects;
    // The vehicle a character rides in (its model), null when none; the vehicles supply it.
    std::function<MapObject*(Character* rider)> ridingVehicleObject;
    // Raised by the squad's per-frame update while it is under fire; the update clears it each frame
    // and keeps the previous frame's value for the music.
    bool combatFlag = false;
    bool previousCombatFlag = false;
    // Display switches the AI reads: its log lines suppressed, its debug drawing on.
    bool aiLogSuppressed = false;
    bool aiDebugDraw = false;
    // The squads as the AI sees them: one member list per squad, the local squad first; refreshed
    // when asked.
    std::vector<std::vector<Character*>> squadMembers;
    std::vector<Vector3> smokeCloudCentres;

    // --- Squads, spawning and world effects ---
    // A squad of Player soldiers from the set-up (member type bytes, item names, team); without
    // the networked flag it becomes the local squad. Members get the models of the mission's
    // soldiers, their items (unknown names are logged and skipped) and a knife; member 0 leads a
    // "Wedge" formation the others join. Throws q3DError without that formation.
    Squad* CreateSquad(bool networked, const SquadSetup& setup, bool create);
    // CreateSquad, the squad placed with its leader 4 above the ground under the point and the
    // others at their formation places, all facing the orientation.
    Squad* AddSquad(const SquadSetup& setup, const Vector3& at, const Matrix3& orientation, bool networked = false);
    // Null when a squad already has a member of that slot; else the squad of that slot and team.
    Squad* CreatePlayerSquad(bool local, const SquadSetup& setup, int slot);
    // Removes and deletes the squads whose leader belongs to the slot (-1: the single-player squad).
    void RemovePlayerSquads(int slot);
    void RemoveLocalSquad();
    bool spectating = false;
    bool joinRequested = false;

    int GetSquadSize(const Squad* squad = nullptr) const;
    Player* GetSquadMember(int index, const Squad* squad = nullptr) const;
    int CountLivingMembers(const Squad* squad) const;
    bool IsSquadDefeated(const Squad* squad) const;
    bool IsSquadReadyToRespawn(const Squad* squad = nullptr) const;
    int GetSquadLives(int slot) const;
    Player* FindNearestSquadMember(const Vector3& point, float* distanceSquared) const;
    void SetTeam(int team, Squad* squad, bool alsoLocal, int slot);
    std::uint8_t localTeam = 0;
    // The squad the character is in, null when none.
    Squad* FindSquadOf(const Character* character) const;

    // Spawn type: 11 the start point, 12 any multistart point, 13 near the last completed primary
    // objective, else a team code. A single game always starts at the map's start point. False
    // when no multistart point qualifies.
    enum SpawnType { SpawnAtStart = 11, SpawnAtAnyMultistart = 12, SpawnNearObjective = 13 };
    bool FindSpawnPoint(Vector3& position, int type);
    // Where the first target's trigger of the last completed primary objective stands; the map
    // object of an "enemy", "ally" or "animal" nearest to a point. False for none.
    bool LastCompletedObjectivePoint(Vector3& point) const;
    bool NearestCharacterMarker(const Vector3& point, Vector3& marker) const;
    // The team code of a "multistart" line: "team1" to "team8" 1 to 8, "mis1" 9, "mis2" 10, else 0.
    static int MultistartTeamCode(const char* line);
    bool GetSpawnPoint(Vector3& position, int team);
    bool RespawnCharacter(Character* character, bool tellNetwork, bool force);
    void RespawnSquad(Squad* squad);
    // Moves the character off others standing within 3 units (at most 50 tries), then fits it to
    // the level.
    void SpreadSpawn(Character* character);
    void AdjustSpawnPosition(Vector3& position);
    // Random numbers of the spawn spread, -1 to 1; empty: the C library's.
    std::function<float()> spawnRandom;

    // Explosion damage falls off from the centre: 0 at and beyond the radius, never negative.
    static int ExplosionDamage(int damage, float radius, float distance);
    // Within the radius (a point exactly on it counts) and, unless the angle is 0, within the cone.
    static bool IsInBlastRange(const Vector3& point, const Vector3& centre, float radius, const Vector3& direction,
                               float angle);
    void ApplyExplosion(const Vector3& centre, int damage, float radius, Character* source, bool shieldTest,
                        std::uint16_t sourceItem, const Vector3& direction, float angle);
    bool areaDamage = true; // friendly area damage in a single game
    bool tutorial = false;
    // The walkable surface under the point; 3.4e38 when there is none up to the top of the map.
    float GetGroundHeight(const Vector3& point) const;
    bool GetCenterRay(HitResult& ray) const;
    void PlaceGroundMarker(const Vector3& point);
    void DeleteItem(CarriedItem* item);
    // Whether the character may take the item, and the taking: magazines from a weapon it already
    // carries, at most eight items, a first or second weapon in place of the one in its slot.
    bool PickUpFlag(CarriedItem* item, Character* character, bool testOnly);

    // Score counters of 9.124 (slot -1 changes nothing).
    void AddKill(int slot, int team);
    void AddScore(int slot, int team);
    void AddDeath(int slot);
    void PenalizeScore(int slot);
    void DecrementScore(int slot);
    void ResetPlayerScore(int slot);

    // The projectiles in flight (owned) and the running particle effects.
    std::vector<Bullet*> projectiles;
    ParticleEffectList particleEffects;
    float outcomeCountdown = 0.0f;
    SceneNode outcomePivot;
    float musicTimer = 0.0f;
    bool battleMusic = false;
    int ambientToggle = 0;
    int heartBeatHandle = -1, noiseHandle = -1;
    float screenFade = 0.0f;
    // Counted per frame: characters, projectiles and effects the draw submitted.
    int drawnCharacters = 0, drawnProjectiles = 0;
    // The title the draw shows over the picture for the result ("" while running).
    const char* EndTitle() const;
    // The full-screen overlay (one of the HUD sprites): black while the picture fades in after a
    // level starts, grey (multiplying) behind the in-game menu. Null without a level.
    Sprite* screenOverlay = nullptr;
    // The statistics line at the top left of the picture.
    bool statisticsShown = false;
    // The drawing's steps over the picture: the statistics line, the markers over the squads'
    // members, and the fade, which runs the fade value down by the frame time.
    void DrawStatistics();
    void DrawSquadMarkers();
    void DrawScreenFade(float frameTime);
    // Debug displays: the links of the level's waypoint graph, and each AI character's patrol
    // path as a closed loop of lines.
    bool pathGraphShown = false;
    bool patrolPathsShown = false;
    void DrawPathGraph();
    void DrawPatrolPaths();
    // Night vision (switched by the scoped rifle): the world drawn into the night-vision target,
    // then brightened onto the screen with the trail of the last frames and the green mask.
    bool BeginNightVision();
    void ComposeNightVision(float frameTime);
    std::unique_ptr<Sprite> nightVisionSprites[3]; // the scene, the trail and the mask
    float nightVisionAccumulator = 0.0f;
    // The view after a level starts or control passes to another member: the item selection
    // closed, the picture fading in, and the view-mode request set to 1, which the drawing turns
    // into the player's chosen view mode (first person 0, third person 1) over two frames.
    void ResetViewState();
    void ApplyViewModeRequest();
    int viewModeRequest = 2; // 1 force third person once, 0 apply the chosen mode once, 2 done
    int chosenViewMode = 1;

private:
    void InstallSquadHooks(MissionServiceHooks& hooks);
    void DeleteSquadMembers(Squad* squad);
    void RemoveAllSquads();
    void TakeControl(Character* member);
    void UpdateOutcomeCamera(float frameTime);
    void UpdateMusic(float step);
    void UpdateConcussion();
    void DrawEndTitle();
public:

    void DrawRadialMenu();
    void DrawRectangle(float x1, float y1, float x2, float y2, std::uint32_t colour);

    // --- HUD, scoreboard, command help and overhead map ---
    // Everything flat over the 3D picture; also runs the formation chooser's and the item panel's
    // timers and commits their choices.
    void DrawHUD();
    // The screen over the paused mission: the overall objective, the overhead map below it and
    // the current objective.
    void DrawObjectivesScreen();
    // Team 0 "MIA soldiers", 1 to 8 the companies; any other number an empty name.
    static const char* GetTeamName(int team);
    int CountSquadsPerTeam(int team) const;
    // The HUD's two timers. The formation chooser runs down by the seconds and, run out, makes
    // the highlighted formation the squad's; the item panel runs down by the milliseconds and,
    // its delay run out, selects the pending item. Each answers whether it still shows.
    bool RunFormationChooser(float elapsed);
    bool RunItemPanel(int elapsedMilliseconds);
    // The HUD's label of what the viewer looks at: a loose item's offer, a friendly soldier's name;
    // empty for nothing, an enemy or a hostile soldier.
    std::string ObjectLabel(Character* viewer);
    // The x of the HUD's item column, where the held weapon shows its ammunition.
    int HudItemColumn() const;
    // The level's map panel and compass (null between levels).
    std::unique_ptr<OverheadMap> overheadMap;
    bool hudShown = true;
    // The first enables the accuracy indicator; both go with the outcome camera.
    bool hudDisplayFlags[2] = {true, true};
    bool locationShown = false;
    // Cleared by a held item that brings its own sight (a scope, a launcher's crosshair).
    bool crosshairShown = true;
    int currentFormation = 0;
    // The side (0 front, 1 right, 2 back, 3 left) the controlled character was last fired at
    // from, marked while the timer runs.
    int incomingFireSide = -1;
    float incomingFireTimer = 0.0f;
    Vector3 lastIncomingDirection;

    // From the command line ("-c", "-s") and the join and host screens. Each waits, handling the
    // network and the window's messages, until its connection stands or fails.
    void ConnectToServer();
    void StartServer();
    void FillServerSettingsFromOptions(ServerSettings* settings);

    bool IsLevelLoaded() const { return world != nullptr; }
    bool IsLevelPresent() const { return levelPresent; }
    bool HasLoadedLevel() const { return levelLoaded; }
    bool IsLevelRunning() const { return levelRunning; }

    // What the screens above the mission do for it: the way back to the main menu. Without a hook
    // the program quits on leaving.
    std::function<void()> returnToMainMenu;
    // Set by the campaign while it runs a mission: told once when the result first changes from 0.
    std::function<void()> campaignMissionFinished;

    // Saves the running game; a stand-in until saved games exist: it makes "Saves/" and answers
    // whether the folder is there, writing nothing.
    bool Save(const char* path);

    // Session fields.
    bool cheats = false;
    std::uint8_t squad = 0;
    char missionFile[MissionFileSize] = {};
    char commandLineMap[MissionFileSize] = {}; // "-map", copied by the new-game reset
    std::int32_t missionWord = 0; // carried through saves unchanged
    SquadSetup localSetup;
    bool missionFlags[2] = {};  // cleared before the first screen
    bool networkGame = false;   // set when a server starts or a client connects
    bool sessionFlags[2] = {};  // cleared at start-up
    bool serverRequested = false;
    bool clientRequested = false;
    bool connect = false;
    bool server = false;
    char serverAddress[ServerAddressSize] = {};
    std::uint16_t maxPlayers = 0xFFFF;  // 0xFFFF: not given
    std::int32_t optionCopies[4] = {};  // options 0, 1, 31 and 7
    bool paused = false;
    // Switched by the scope, the binoculars and the launcher: loose items far from the camera
    // culled (off while zoomed) and the night-vision display (drawn by BeginNightVision and
    // ComposeNightVision; the crosshair flag is the HUD's).
    bool distanceCulling = true;
    bool nightVision = false;
    bool cancelFlag = false;
    bool downloadFinished = false;
    bool missionRunning = false;
    bool clockRunning = false;
    std::uint32_t sessionStart = 0;
    std::uint8_t scoreTable[ScoreTableSize] = {};
    std::uint8_t teams[32] = {};
    int maximumPlayerCount = -1;
    bool showLoadingScreen = true;

    MissionDefinition definition;
    char nameEntries[NameEntryCount][NameSize] = {};
    std::int32_t voiceSets[NameEntryCount] = {};
    int currentObjective = -1;

    // The running level.
    World* world = nullptr;
    Camera* camera = nullptr; // the active camera while a level runs
    std::unique_ptr<SceneNode> root;
    std::unique_ptr<MapDescription> map;
    std::unique_ptr<WorldCollisionScene> collisionScene;
    // What the game objects reach of this level, from the load to the unload.
    std::unique_ptr<MissionLevelServices> levelServices;
    char mapPath[MissionFileSize] = {};
    PtrListOf<MissionEvent> events;
    std::vector<Character*> characters;
    std::vector<CarriedItem*> looseItems; // items lying in the world, newest first
    Squad* localSquad = nullptr; // one of squads
    Character* controlledCharacter = nullptr;
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
    char musicNames[2][256] = {};

    // Interface resources made once.
    std::unique_ptr<Sound2D> beep;
    std::unique_ptr<MeshNode> markerArrows[2];
    std::unique_ptr<Sprite> radialMenu[RadialMenuCount];
    int radialMenuIndex = 0;
    bool radialMenuOpen = false;
    int cursorRestoreX = 0, cursorRestoreY = 0;
    FormationIcon formationIcons[MaximumFormationIcons];
    int formationIconCount = 0;
    std::unique_ptr<Sound3D> chitChat[MaximumChitChatVoices];
    int chitChatCount = 0;
    std::vector<std::unique_ptr<Sound2D>> hitSounds[HitSoundSetCount];
    char upperBodyFolders[MaximumUpperBodyFolders][UpperBodyNameSize] = {};
    int upperBodyFolderCount = 0;
    int ambientUpperBody = -1;
    std::unique_ptr<Sound2D> heartBeat, noise, mapSound;
    std::unique_ptr<Sound3D> doorLocked, pickUpItem, pickUpGun, dropItem, carHitBody;
    std::unique_ptr<Sound3D> hitGround[3];
    std::vector<std::string> typedWords;
    bool debugWordsEnabled = false;

    // Interface resources made per level.
    std::vector<std::unique_ptr<Sprite>> hudSprites;
    D3DBitmap* charStats = nullptr;
    std::unique_ptr<SpriteNode> overheadSelection;
    std::unique_ptr<SpriteNode> groundMarker;
    std::unique_ptr<Sprite> crosshair;
    D3DBitmap* nightVisionTargets[2] = {};
    D3DBitmap* nightVisionOverlay = nullptr;
    D3DBitmap* explosionBitmaps[2] = {};
    int healthTextX = 0;
    bool groundMarkerShown = false;
    Vector3 groundMarkerPosition;

    // The loading display.
    std::unique_ptr<Sprite> progressBar;
    char statusText[StatusTextSize] = {};
    char progressCaption[128] = {};
    float progressScale = 1.0f;
    float progressOffset = 0.0f;
    // Milliseconds for pacing the loading frames; empty: the platform clock.
    std::function<std::uint32_t()> loadingClock;
    // The frame's duration in seconds for the update and the drawing; empty: the application's
    // frame time. Fixed, it makes a run step alike on every machine.
    std::function<float()> frameClock;
    float FrameTime() const;
    static constexpr std::uint32_t LoadingFrameInterval = 16;

    // --- In-game input and player actions ---
    // Keys 0..511 and mouse buttons go through the options' key table; the controlled character
    // has its turn first and the bound action runs only when it passes the input on.
    void KeyUp(int code) override;
    void MouseDown(int button, int x, int y, bool doubleClick) override;
    void MouseUp(int button, int x, int y, float secondsSincePress) override;
    void MouseMove(int x, int y) override;
    void MouseWheel(bool down, int x, int y) override;
    // The action bound to a key code, -1 for a code outside 0..511 or one bound to nothing.
    static int ActionForKey(int key);
    // Carries out a bound action of the local player, on press or on release.
    void PerformAction(int action, bool pressed);
    // Opens or closes the radial command menu; closing with run set carries out the order under
    // the pointer. Nothing happens when the menu already is as asked.
    void ShowRadialMenu(bool show, bool run);
    // The order of a radial-menu sector: sectors 1 to 8 are actions 21 to 28, the centre none (-1).
    static int RadialMenuAction(int sector);
    // Writes "Saves/QuickSave.sav"; a failure is logged and shown, and play goes on.
    void QuickSave();
    // Loads "Saves/QuickSave.sav" in a single-player game.
    void QuickLoad();
    // A stand-in until saved games exist: logs that the game cannot be loaded and answers false.
    bool LoadSavedGame(const char* path);
    // Whether quick saves and loads are allowed: single player, outside the tutorial mission.
    bool AllowsQuickSaves() const;
    // The controlled character's own turn at an input; each answers true when the input goes on
    // to its bound action. An empty hook asks the character's squad-leader operations (a
    // character that is no squad leader passes everything on).
    struct CharacterInput {
        std::function<bool(int key)> keyDown;
        std::function<bool(int button, int x, int y)> mouseButton;
        std::function<bool(int button, int x, int y)> commandClick;
        std::function<bool(int direction)> mouseWheel;
        std::function<bool(int action)> radialOrder;
        std::function<bool()> notInCommandMode;
    };
    CharacterInput characterInput;
    // The screens Escape leads to; empty until they exist: Escape leaves the level.
    std::function<void()> openEscapeMenu;
    std::function<void(bool networkGame)> openDebriefing;
    bool helpShown = false;
    bool scoreboardShown = false;
    std::uint32_t saveTime = 0; // platform milliseconds of the last quick save
    // The item the player is about to switch to; the HUD makes it current when the delay runs
    // out or the switch-now flag is set.
    CarriedItem* pendingItem = nullptr;
    int pendingItemDisplayTime = 0; // ms
    int pendingItemDelay = 0;       // ms
    bool switchPendingNow = false;
    // The formation display of "Change Formation": its value counts down while it shows.
    float formationDisplay = 0.0f;
    int formationDisplayIndex = 0;
    bool radialCursorSaved = false;
    int radialPointerX = 0, radialPointerY = 0; // the pointer while the radial menu is open

private:
    // One turn of a wait for the network: its receive loops, then one window message. False once
    // the program is asked to quit, which ends the wait.
    bool WaitForNetworkTurn();

    MissionNetwork* network = nullptr;

    friend MissionState* SingletonInstance<MissionState>();
    MissionState();

    void LoadResources();
    void LoadInterfaceResources();
    void LoadFormationIcons();
    void InstallCharacterHooks();
    void InstallAIHooks(MissionServiceHooks& hooks);
    void FinishLoad();
    void LoadLevelSteps(std::uint32_t startTime);
    void ReleaseLevelResources();
    void ReleaseLoadingDisplay();
    void LeaveLevel();

    int missionResult = Running;
    bool resourcesLoaded = false;
    int lastProgress = -1;
    bool loadingFramePresented = false;
    std::uint32_t lastLoadingFrame = 0;
    bool levelPresent = false;
    bool levelLoaded = false;
    bool levelRunning = false;
    std::uint32_t levelStart = 0;
};
