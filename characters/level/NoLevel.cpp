#include "characters/level/NoLevel.h"

#include "characters/objects/CarriedItem.h"
#include "media/Sound2D.h"
#include "media/Sound3D.h"
#include "engine/camera/Camera.h"
#include "world/World.h"

namespace {

constexpr float kNoSurface = 3.4e38f;

template <typename List>
const List& Empty()
{
    static const List none;
    return none;
}

} // namespace

NoLevel& NoLevel::Answers()
{
    static NoLevel answers;
    return answers;
}

bool NoLevel::IsAutomatic(CarriedItem&) { return false; }
bool NoLevel::IsAutoRifle(CarriedItem&) { return false; }
bool NoLevel::IsMachineGun(CarriedItem&) { return false; }
bool NoLevel::HasScope(CarriedItem&) { return false; }
bool NoLevel::IsMelee(CarriedItem&) { return false; }
bool NoLevel::IsAntiTank(CarriedItem&) { return false; }
bool NoLevel::IsReloading(CarriedItem&) { return false; }
float NoLevel::Range(CarriedItem&) { return 0.0f; }
int NoLevel::DropMagazines(CarriedItem& item) { return item.GetMagazines(); }
int NoLevel::VehicleType(CarriedItem&) { return -1; }
void NoLevel::AimVehicleAt(CarriedItem&, const Vector3&) {}

bool NoLevel::IsServerActive() { return false; }
bool NoLevel::IsClientConnected() { return false; }
void NoLevel::ClientSendHealth(std::int16_t, int) {}
CharacterServerSettings NoLevel::ServerSettings() { return {}; }
std::uint32_t NoLevel::Time() { return 0; }
void NoLevel::ClientSendPosture(std::int16_t, int, bool) {}
void NoLevel::SendDamage(int, std::int16_t, std::int16_t, bool) {}
void NoLevel::SendHitDamage(const HitDamageReport&, bool) {}
void NoLevel::SendDeath(std::int16_t, int, int, const char*, bool) {}
void NoLevel::ServerSendPosture(std::int16_t, int) {}
void NoLevel::SendAlarm(std::int16_t, bool) {}
void NoLevel::ClientSendTriggerState(std::int32_t, bool) {}

SquadRoster* NoLevel::CurrentSquadRoster() { return nullptr; }
void NoLevel::TakeControl(Character*) {}
Character* NoLevel::CharacterUnderCrosshair(int) { return nullptr; }
Character* NoLevel::CharacterUnderPointer(int, int, int) { return nullptr; }
int NoLevel::PickMoveTarget(Vector3*, Character**) { return 0; }
bool NoLevel::PickGroundUnderPointer(int, int, Vector3*) { return false; }
void NoLevel::SetGroundMarker(const Vector3*) {}
bool NoLevel::GetGroundMarker(Vector3*) { return false; }
void NoLevel::SetCommandView(bool) {}
void NoLevel::LeftCommandView(Character*) {}
void NoLevel::DrawSelectionMarker(Device*, const Vector3&, float, float, float) {}
void NoLevel::DrawRectangle(float, float, float, float, std::uint32_t) {}

float NoLevel::CameraFieldOfView() { return fieldOfView; }
void NoLevel::SetCameraFieldOfView(float radians) { fieldOfView = radians; }
bool NoLevel::HeldItemInput(CarriedItem*, int, int) { return true; }
bool NoLevel::TakePointerOffset(int*, int*) { return false; }
bool NoLevel::IsInputBlocked() { return false; }
bool NoLevel::IsMovementFrozen() { return false; }

std::string NoLevel::PlayerName(int slot) { return "Player " + std::to_string(slot); }
int NoLevel::VoiceSet(int) { return 0; }
int NoLevel::LoadVoiceSet(std::unique_ptr<Sound3D>*, int, const char*, float, float) { return 0; }
int NoLevel::LoadVoiceSet2D(std::vector<std::unique_ptr<Sound2D>>&, int, const char*) { return 0; }

bool NoLevel::CampaignActive() { return false; }
float NoLevel::SquadSkill(int, int) { return 1.0f; }
void NoLevel::CampaignAddStat(int, float) {}
void NoLevel::CampaignAddMorale(int, float) {}
void NoLevel::CampaignClearBonusFlags() {}
void NoLevel::CampaignClearSquadBonusFlag() {}
void NoLevel::EnemyKilled(Character*, Character*, const char*) {}
void NoLevel::CountFireKill(std::uint16_t) {}

void NoLevel::PlayerDamaged(Character*) {}
void NoLevel::StealFlag(CarriedItem*, Character*) {}
void NoLevel::MissionItemDropped(Character*, CarriedItem*, int, int) {}
void NoLevel::SyncRandomSeed() {}
void NoLevel::BroadcastCharacterMove(std::int16_t, std::uint8_t, std::uint8_t, const Vector3&, float) {}

Vector3 NoLevel::CameraPosition()
{
    // Without a level the world's camera is the one that looks.
    const World* world = World::Current();
    return world && world->camera ? world->camera->position : Vector3{};
}

Character* NoLevel::CurrentPlayer() { return nullptr; }
float NoLevel::GroundHeight(const Vector3&) { return kNoSurface; }
const std::vector<Character*>& NoLevel::Characters() { return Empty<std::vector<Character*>>(); }
CarriedItem* NoLevel::RidingVehicle(Character*) { return nullptr; }
bool NoLevel::AreHostile(Character* attacker, Character* victim) { return attacker != victim; }
bool NoLevel::IsNetworkGame() { return false; }
bool NoLevel::IsDistanceCulling() { return false; }
bool NoLevel::IsTutorial() { return false; }
void NoLevel::AddLooseItem(CarriedItem*) {}
void NoLevel::RemoveLooseItem(CarriedItem*) {}
void NoLevel::DeleteItem(CarriedItem* item) { delete item; }
ParticleEffectCache* NoLevel::ParticleEffects() { return nullptr; }

int NoLevel::FindAnimationSet(const char*) { return -1; }
int NoLevel::AnimationSetCount() { return 0; }
// The template character of no level loads its one set from the rifle folder.
const char* NoLevel::AnimationSetName(int) { return "Rifle"; }
int NoLevel::DefaultAnimationSet() { return -1; }

void NoLevel::PlayTileSound(int, int, const Vector3&, bool) {}
void NoLevel::PlayHitGroundSound(Character*) {}
void NoLevel::PlayCarHitBodySound(const Vector3&) {}

WaypointGraph* NoLevel::Waypoints() { return nullptr; }
const AIStats* NoLevel::Stats() { return nullptr; }
int NoLevel::PlayChitChat(const Vector3&) { return -1; }
void NoLevel::StopChitChat(int) {}
float NoLevel::CameraFar() { return kNoSurface; }
float NoLevel::CameraFogStart() { return 1.0f; }
bool NoLevel::IsLogSuppressed() { return false; }
bool NoLevel::IsDebugDraw() { return false; }
bool NoLevel::PickLine(HitResult&, float, PickFilterCallback, Character*, Character*) { return false; }
bool NoLevel::TilePropertyValue(const Vector3&, float*) { return false; }
int NoLevel::LightingCondition() { return 0; }
int NoLevel::PrecipitationKind() { return 0; }
const std::vector<Vector3>& NoLevel::SmokeClouds() { return Empty<std::vector<Vector3>>(); }
const std::vector<std::vector<Character*>>& NoLevel::Squads() { return Empty<std::vector<std::vector<Character*>>>(); }
const std::vector<Character*>* NoLevel::CurrentSquad() { return nullptr; }
void NoLevel::RaiseCombatFlag() {}

const char* NoLevel::VoiceFolder() { return "Sound/Voice"; }
void NoLevel::AddEvent(const Vector3&, float, Character*, float, bool) {}
void NoLevel::VisitEvents(const std::function<void(const MissionEventView&)>&) {}
const std::vector<GameObject*>& NoLevel::Alarms() { return Empty<std::vector<GameObject*>>(); }
void NoLevel::SoundAlarm(GameObject*) {}
float NoLevel::AlarmSoundTime(GameObject*) { return 0.0f; }
void NoLevel::SetLastEnemyInCombat(Character*, float) {}
bool NoLevel::EnemiesIgnoreDamage() { return false; }
bool NoLevel::NeutralsIgnoreDamage() { return false; }
bool NoLevel::IsLevelOfDetail() { return false; }
bool NoLevel::IsRouteDebug() { return false; }
bool NoLevel::IsSensorDebug() { return false; }
void NoLevel::DrawRouteMarker(Device*, const Vector3&) {}
