#pragma once

#include "characters/level/CampaignStatistics.h"
#include "characters/player/GameModeNotices.h"
#include "characters/ai/AILevelView.h"
#include "characters/body/AnimationSets.h"
#include "characters/body/BodySounds.h"
#include "characters/enemy/EnemyEvents.h"
#include "characters/level/LevelScene.h"
#include "characters/level/NetworkSession.h"
#include "characters/player/PlayerControls.h"
#include "characters/player/SquadCommandView.h"
#include "characters/player/SquadRecords.h"
#include "characters/level/WeaponQueries.h"

// The answers of the services when no level runs (and for a service a running level does not
// hand over): the world as the objects find it before a mission starts. Tests derive their fakes
// from it and answer only what they look at.
//  - weapons: none of the kinds, never reloading, no range, no vehicle; a dropped weapon keeps
//    the magazines it has.
//  - network: this machine neither hosts nor is connected, the clock reads 0, the server settings
//    are those of a fresh record, nothing is sent and the generator is never reseeded.
//  - scene: the current world's camera, no player, no ground (3.4e38), no characters, no vehicle,
//    everyone may hurt everyone else, no network game, no culling, no tutorial; no loose-item
//    list (a deleted item is simply deleted).
//  - animation sets: none found and no default set; a character loads its one set from "Rifle".
//    Body sounds: silence.
//  - AI: no graph, no table, no chit-chat, an endless far distance (no fog), no log suppression,
//    no debug drawing, nothing blocks a line, no tile properties, day, no rain, no smoke and no
//    squads; the combat flag goes nowhere.
//  - enemies: the voice folder "Sound/Voice", no events and no alarms (an event raised goes
//    nowhere), silent alarms, no damage ignored, no level-of-detail switch and no debug drawing.
//  - the squad: no current squad, nothing under the crosshair or the pointer, no move marker, no
//    command view to switch; the camera's field of view is the last one set (pi/4 at first); the
//    held item does not consume input, no pointer to read, input neither blocked nor frozen;
//    "Player <slot>" with voice set 0 and no voices loaded; no campaign (skill 1.0), no counters
//    and no game mode to tell.
class NoLevel : public WeaponQueries,
                public NetworkSession,
                public LevelScene,
                public AnimationSets,
                public BodySounds,
                public AILevelView,
                public EnemyEvents,
                public SquadCommandView,
                public PlayerControls,
                public SquadRecords,
                public CampaignStatistics,
                public GameModeNotices {
public:
    // The one instance the running level falls back on.
    static NoLevel& Answers();

    bool IsAutomatic(CarriedItem& item) override;
    bool IsAutoRifle(CarriedItem& item) override;
    bool IsMachineGun(CarriedItem& item) override;
    bool HasScope(CarriedItem& item) override;
    bool IsMelee(CarriedItem& item) override;
    bool IsAntiTank(CarriedItem& item) override;
    bool IsReloading(CarriedItem& item) override;
    float Range(CarriedItem& item) override;
    int DropMagazines(CarriedItem& item) override;
    int VehicleType(CarriedItem& item) override;
    void AimVehicleAt(CarriedItem& item, const Vector3& point) override;

    bool IsServerActive() override;
    bool IsClientConnected() override;
    void ClientSendHealth(std::int16_t object, int health) override;
    CharacterServerSettings ServerSettings() override;
    std::uint32_t Time() override;
    void ClientSendPosture(std::int16_t character, int oldPosture, bool next) override;
    void SendDamage(int amount, std::int16_t victim, std::int16_t attacker, bool fromServer) override;
    void SendHitDamage(const HitDamageReport& report, bool fromServer) override;
    void SendDeath(std::int16_t character, int killer, int weapon, const char* weaponName, bool fromServer) override;
    void ServerSendPosture(std::int16_t character, int posture) override;
    void SendAlarm(std::int16_t alarm, bool fromServer) override;
    void ClientSendTriggerState(std::int32_t trigger, bool triggered) override;

    SquadRoster* CurrentSquadRoster() override;
    void TakeControl(Character* member) override;
    Character* CharacterUnderCrosshair(int filter) override;
    Character* CharacterUnderPointer(int x, int y, int filter) override;
    int PickMoveTarget(Vector3* point, Character** character) override;
    bool PickGroundUnderPointer(int x, int y, Vector3* point) override;
    void SetGroundMarker(const Vector3* point) override;
    bool GetGroundMarker(Vector3* position) override;
    void SetCommandView(bool commandView) override;
    void LeftCommandView(Character* character) override;
    void DrawSelectionMarker(Device* device, const Vector3& at, float red, float green, float blue) override;
    void DrawRectangle(float x0, float y0, float x1, float y1, std::uint32_t colour) override;

    float CameraFieldOfView() override;
    void SetCameraFieldOfView(float radians) override;
    bool HeldItemInput(CarriedItem* item, int kind, int value) override;
    bool TakePointerOffset(int* dx, int* dy) override;
    bool IsInputBlocked() override;
    bool IsMovementFrozen() override;

    std::string PlayerName(int slot) override;
    int VoiceSet(int slot) override;
    int LoadVoiceSet(std::unique_ptr<Sound3D>* set, int maximum, const char* prefix, float minimumDistance,
                     float maximumDistance) override;
    int LoadVoiceSet2D(std::vector<std::unique_ptr<Sound2D>>& set, int maximum, const char* prefix) override;

    bool CampaignActive() override;
    float SquadSkill(int slot, int skill) override;
    void CampaignAddStat(int counter, float value) override;
    void CampaignAddMorale(int slot, float amount) override;
    void CampaignClearBonusFlags() override;
    void CampaignClearSquadBonusFlag() override;
    void EnemyKilled(Character* victim, Character* squadKiller, const char* weaponName) override;
    void CountFireKill(std::uint16_t burner) override;

    void PlayerDamaged(Character* soldier) override;
    void StealFlag(CarriedItem* flag, Character* character) override;
    void MissionItemDropped(Character* soldier, CarriedItem* item, int squadNumber, int team) override;

    void SyncRandomSeed() override;
    void BroadcastCharacterMove(std::int16_t id, std::uint8_t pitch, std::uint8_t yaw, const Vector3& position,
                                float wait) override;

    Vector3 CameraPosition() override;
    Character* CurrentPlayer() override;
    float GroundHeight(const Vector3& point) override;
    const std::vector<Character*>& Characters() override;
    CarriedItem* RidingVehicle(Character* rider) override;
    bool AreHostile(Character* attacker, Character* victim) override;
    bool IsNetworkGame() override;
    bool IsDistanceCulling() override;
    bool IsTutorial() override;
    void AddLooseItem(CarriedItem* item) override;
    void RemoveLooseItem(CarriedItem* item) override;
    void DeleteItem(CarriedItem* item) override;
    ParticleEffectCache* ParticleEffects() override;

    int FindAnimationSet(const char* name) override;
    int AnimationSetCount() override;
    const char* AnimationSetName(int index) override;
    int DefaultAnimationSet() override;

    void PlayTileSound(int foot, int tile, const Vector3& position, bool running) override;
    void PlayHitGroundSound(Character* character) override;
    void PlayCarHitBodySound(const Vector3& position) override;

    WaypointGraph* Waypoints() override;
    const AIStats* Stats() override;
    int PlayChitChat(const Vector3& position) override;
    void StopChitChat(int handle) override;
    float CameraFar() override;
    float CameraFogStart() override;
    bool IsLogSuppressed() override;
    bool IsDebugDraw() override;
    bool PickLine(HitResult& ray, float maxDistance, PickFilterCallback filter, Character* observer,
                  Character* source) override;
    bool TilePropertyValue(const Vector3& point, float* value) override;
    int LightingCondition() override;
    int PrecipitationKind() override;
    const std::vector<Vector3>& SmokeClouds() override;
    const std::vector<std::vector<Character*>>& Squads() override;
    const std::vector<Character*>* CurrentSquad() override;
    void RaiseCombatFlag() override;

    const char* VoiceFolder() override;
    void AddEvent(const Vector3& position, float radius, Character* source, float value, bool flag) override;
    void VisitEvents(const std::function<void(const MissionEventView& entry)>& visit) override;
    const std::vector<GameObject*>& Alarms() override;
    void SoundAlarm(GameObject* alarm) override;
    float AlarmSoundTime(GameObject* alarm) override;
    void SetLastEnemyInCombat(Character* enemy, float value) override;
    bool EnemiesIgnoreDamage() override;
    bool NeutralsIgnoreDamage() override;
    bool IsLevelOfDetail() override;
    bool IsRouteDebug() override;
    bool IsSensorDebug() override;
    void DrawRouteMarker(Device* device, const Vector3& at) override;

private:
    // Without a mission camera the field of view is kept here, so that a zoom still moves it.
    float fieldOfView = 0.7853982f;
};
