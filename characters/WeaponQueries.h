#pragma once

#include <functional>

class CarriedItem;
class Character;
struct Vector3;

// What the AI asks of a held weapon or vehicle beyond the carried-item face. The item library
// sits beside the characters, so it registers these at start-up; until then (and for an item the
// hooks do not know) a weapon is none of these kinds, never reloads and has no range.
struct WeaponQueryHooks {
    std::function<bool(CarriedItem* item)> isAutomatic; // fires automatically (automatic rifles, LMG)
    std::function<bool(CarriedItem* item)> isAutoRifle; // an automatic rifle proper
    std::function<bool(CarriedItem* item)> isMachineGun; // the light machine gun
    std::function<bool(CarriedItem* item)> hasScope;
    std::function<bool(CarriedItem* item)> isMelee;
    std::function<bool(CarriedItem* item)> isAntiTank;
    std::function<bool(CarriedItem* item)> isReloading;
    std::function<float(CarriedItem* item)> range;
    // The spare magazines a weapon keeps when a dead enemy drops it (a draw of the shared generator).
    std::function<int(CarriedItem* item)> dropMagazines;
    // The vehicle type of a held vehicle (0 passenger vehicle, 1 tank), -1 for anything else.
    std::function<int(CarriedItem* item)> vehicleType;
    // A held vehicle's gun turned towards the point.
    std::function<void(CarriedItem* item, const Vector3& point)> aimVehicleAt;
};

void SetWeaponQueryHooks(WeaponQueryHooks hooks);

bool WeaponIsAutomatic(CarriedItem* item);
bool WeaponIsAutoRifle(CarriedItem* item);
bool WeaponIsMachineGun(CarriedItem* item);
// Rockets, grenades and mounted launchers (a weapon whose IsExplosive answers true).
bool WeaponIsExplosive(CarriedItem* item);
// Without the hook the weapon keeps the magazines it has.
int WeaponDropMagazines(CarriedItem* item);
bool WeaponHasScope(CarriedItem* item);
bool WeaponIsMelee(CarriedItem* item);
bool WeaponIsAntiTank(CarriedItem* item);
bool WeaponIsReloading(CarriedItem* item);
float WeaponRange(CarriedItem* item);
int VehicleTypeOf(CarriedItem* item);
void AimVehicleAt(CarriedItem* item, const Vector3& point);
