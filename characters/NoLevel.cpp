#include "characters/NoLevel.h"

#include "characters/CarriedItem.h"

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
