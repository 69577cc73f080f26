#include "characters/NoLevel.h"

#include "characters/CarriedItem.h"
#include "media/Sound2D.h"
#include "media/Sound3D.h"

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
