#pragma once

#include "app/framework/Application.h"
#include "app/framework/GameState.h"
#include "app/framework/Singletons.h"
#include "engine/core/PtrList.h"
#include "characters/ai/AIStats.h"
#include "engine/core/HitResult.h"
#include "engine/core/Matrix.h"
#include "engine/core/Vector.h"
#include "engine/scene/SceneNode.h"
#include "mission/rules/MissionAudio.h"
#include "mission/input/MissionControls.h"
#include "mission/drawing/MissionHud.h"
#include "mission/loading/MissionLevel.h"
#include "mission/session/MissionSession.h"
#include "mission/rules/MissionRoster.h"
#include "mission/rules/SquadStatistics.h"

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
class NeutralProp;
struct MapCharacterOrders;
class GameObject;
class Item;
struct HitResult;
struct ItemDefinition;
class D3DBitmap;
class Device;
class MapDescription;
class MissionLevelServices;
class Options;
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

// The in-game screen: the face the game's other screens and objects call. Its state is held by
// owned parts by concern: the running level's content, the squads and scores, the HUD and
// overhead map, the player's input, the session and the sounds; it keeps the mission's result
// and the steps of its own life (loading, running, leaving).
class MissionState : public GameState {
public:
    static constexpr int MissionFileSize = MissionSession::MissionFileSize;
    static constexpr int ServerAddressSize = MissionSession::ServerAddressSize;
    static constexpr int NameEntryCount = MissionLevel::NameEntryCount;
    static constexpr int NameSize = MissionLevel::NameSize;
    static constexpr int RadialMenuCount = MissionHud::RadialMenuCount;
    static constexpr int MaximumFormationIcons = MissionHud::MaximumFormationIcons;
    static constexpr int MaximumChitChatVoices = MissionAudio::MaximumChitChatVoices;
    static constexpr int HitSoundSetCount = MissionAudio::HitSoundSetCount;
    static constexpr int MaximumUpperBodyFolders = 32;
    static constexpr int UpperBodyNameSize = 32;
    static constexpr int StatisticKeyCount = MissionLevel::StatisticKeyCount;
    static constexpr int StatusTextSize = MissionHud::StatusTextSize;
    static constexpr int BloodEffectSize = MissionLevel::BloodEffectSize;
    static constexpr int ScoreTableSize = MissionRoster::ScoreTableSize;
    static constexpr int PerLevelBlockSize = MissionLevel::PerLevelBlockSize;
    using CharacterInput = MissionControls::CharacterInput;

    // The parts that hold the mission's state.
    MissionLevel level;
    MissionRoster roster;
    MissionHud hud;
    MissionControls controls;
    MissionSession session;
    MissionAudio audio;

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
    const PtrListOf<MissionEvent>& GetEvents() const { return level.events; }

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
    int GetCurrentObjective() const { return level.currentObjective; }
    // --- Objectives ---
    // The outcome as it stands: Running, Lost, Won or Escaped (won while an enemy is near).
    int UpdateObjectives();
    // Whether the trigger table's record with the ID has fired; an ID of no record has not.
    bool IsTriggerFired(std::int32_t id) const;
    // Whether a use trigger may fire: the first objective listing it has its prerequisites done.
    bool UseTriggerAllowed(std::int32_t triggerID) const;
    // Saves to "Saves/<campaign>Obj<objective>-Auto.sav"; a failure is logged and shown.
    void SaveObjectiveAutoSave(int objective);
    bool AreHostile(Character* attacker, Character* victim) const;
    bool IsNearStartPoint(const Vector3& position, float radius) const;
    int CountEnemiesNear(const Vector3& position, float radius) const;
    int CountMarkedNear(const Vector3& position, float radius) const;
    // The radial gesture: 0 within 42 pixels of the origin, else the 45-degree sector 1 to 8.
    int GetGestureSector(int cursorX, int cursorY) const;

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

    // --- Other ---
    void ResetGameFlags();
    void SelectOrderTarget(Character* character);
    // Whether the mouse acts as a pointer (paused, in a menu, no character under control, or the
    // radial command menu open) rather than turning the view.
    bool UsesMousePointer() const;

    // The level's rain or snow (null when the level has none). The campaign tells whether this
    // mission has weather; without it (a mission started on its own) a map with a weather file has it.
    std::function<bool()> weatherRequested;
    void LoadWeather();


    // --- Map population ---
    // Makes the map's characters from the character props (the random and reinforcement picks)
    // and its loose items, attaches the patrol paths and starts the ambient sounds; kinds of
    // character and object not built yet are skipped with a log line each. Throws the props'
    // q3DError.
    void PopulateMap();
    // One map character of the prop, placed at its object with its props' orders and its items,
    // under the scene root and in the character list.
    Character* CreateMapCharacter(const CharacterProp& prop);
    // A neutral of the prop, placed as the map characters are, with binoculars and the neutral
    // animation set (MapNeutrals.cpp).
    Character* CreateMapNeutral(const NeutralProp& prop);
    // The character placed at the object with the orders, under the scene root, given the named
    // items, and entered in the character list.
    Character* PlaceMapCharacter(Character* character, MapObject& object, const MapCharacterOrders& orders,
                                 const char* const* names, int itemCount);
    // The map description's ambient sounds of the first set, looping.
    void StartAmbientSounds();
    // Deletes every character that is in no squad (the map's population), and the ambient sounds.
    void RemoveMapPopulation();
    // --- What the enemies ask of the running mission (EnemyHooks.cpp) ---
    // A noise the AI hears: an event at the point, as loud as the value (a grenade or a shout 150,
    // a blast 250), lasting the countdown; the flag turns hearing it into a look around.
    PtrListNode* AddNoiseEvent(const Vector3& at, float loudness, Character* source, float countdown, bool flag);
    // The enemies' switches: damage ignored (and the neutrals'), levels of detail used, routes and
    // sensor cones drawn.
    bool enemiesIgnoreDamage = false;
    bool neutralsIgnoreDamage = false;
    bool levelOfDetail = true;
    bool routeDebug = false;
    bool sensorDebug = false;

    // Whether the path editor is the current screen (it sees every random character); empty: no.
    std::function<bool()> isPathEditorCurrent;

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
    // The vehicle a character rides in (its model), null when none; the vehicles supply it.
    std::function<MapObject*(Character* rider)> ridingVehicleObject;
    // Display switches the AI reads: its log lines suppressed, its debug drawing on.
    bool aiLogSuppressed = false;
    bool aiDebugDraw = false;

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

    int GetSquadSize(const Squad* squad = nullptr) const;
    Player* GetSquadMember(int index, const Squad* squad = nullptr) const;
    int CountLivingMembers(const Squad* squad) const;
    bool IsSquadDefeated(const Squad* squad) const;
    bool IsSquadReadyToRespawn(const Squad* squad = nullptr) const;
    int GetSquadLives(int slot) const;
    Player* FindNearestSquadMember(const Vector3& point, float* distanceSquared) const;
    void SetTeam(int team, Squad* squad, bool alsoLocal, int slot);
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

    // Explosion damage falls off from the centre: 0 at and beyond the radius, never negative.
    static int ExplosionDamage(int damage, float radius, float distance);
    // Within the radius (a point exactly on it counts) and, unless the angle is 0, within the cone.
    static bool IsInBlastRange(const Vector3& point, const Vector3& centre, float radius, const Vector3& direction,
                               float angle);
    void ApplyExplosion(const Vector3& centre, int damage, float radius, Character* source, bool shieldTest,
                        std::uint16_t sourceItem, const Vector3& direction, float angle);
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

    // The title the draw shows over the picture for the result ("" while running).
    const char* EndTitle() const;
    // The drawing's steps over the picture: the statistics line, the markers over the squads'
    // members, and the fade, which runs the fade value down by the frame time.
    void DrawStatistics();
    void DrawSquadMarkers();
    void DrawScreenFade(float frameTime);
    // Debug displays: the links of the level's waypoint graph, and each AI character's patrol
    // path as a closed loop of lines.
    void DrawPathGraph();
    void DrawPatrolPaths();
    // Night vision (switched by the scoped rifle): the world drawn into the night-vision target,
    // then brightened onto the screen with the trail of the last frames and the green mask.
    bool BeginNightVision();
    void ComposeNightVision(float frameTime);
    // The view after a level starts or control passes to another member: the item selection
    // closed, the picture fading in, and the view-mode request set to 1, which the drawing turns
    // into the player's chosen view mode (first person 0, third person 1) over two frames.
    void ResetViewState();
    void ApplyViewModeRequest();

private:
    friend class MissionSquadServices;
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

    // From the command line ("-c", "-s") and the join and host screens. Each waits, handling the
    // network and the window's messages, until its connection stands or fails.
    void ConnectToServer();
    void StartServer();
    void FillServerSettingsFromOptions(ServerSettings* settings);

    bool IsLevelLoaded() const { return level.world != nullptr; }
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

    // Cleared while the command view works with the pointer: the mouse then no longer turns the view.
    bool inputCaptured = true;
    // The freeze switch: no soldier of the squad moves.
    bool movementFrozen = false;
    // The local squad's per-member counters of the level last loaded.
    SquadStatistics squadStatistics;
    // What the game objects reach of this level, from the load to the unload.
    std::unique_ptr<MissionLevelServices> levelServices;

    // The animation folders of the upper bodies, read once.
    char upperBodyFolders[MaximumUpperBodyFolders][UpperBodyNameSize] = {};
    int upperBodyFolderCount = 0;
    int ambientUpperBody = -1;


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
    // The screens Escape leads to; empty until they exist: Escape leaves the level.
    std::function<void()> openEscapeMenu;
    std::function<void(bool networkGame)> openDebriefing;

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
    void FinishLoad();
    void LoadLevelSteps(std::uint32_t startTime);
    int BeginLevelLoad(Device& device, const Options& options);
    bool LoadLevelMap(Device& device, const Options& options);
    bool PopulateLevel(Device& device);
    std::string MapBase() const;
    void ResetLevelState(const Options& options);
    bool PlaceLocalSquad();
    bool LoadMapDescription(const Options& options);
    void StartRunning(std::uint32_t startStamp);
    void ReleaseLevelResources();
    void ReleaseLoadingDisplay();
    void LeaveLevel();
    bool PrerequisitesDone(const MissionObjective& objective) const;
    int CheckDefeat() const;
    // Completes the current objective when its targets have fired; true when newly completed.
    bool AdvanceObjective();
    void AnnounceObjective(int completed);
    // The mission's outcome, once a frame while it runs: the time limit, then the objectives.
    void UpdateOutcome();

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
