#pragma once

class CarriedItem;
struct Vector3;

// What the AI asks of a held weapon or vehicle beyond the carried-item face. The item classes sit
// beside the characters, so the running level hands over their answers (items/WeaponItemQueries.h).
class WeaponQueries {
public:
    virtual ~WeaponQueries() = default;

    virtual bool IsAutomatic(CarriedItem& item) = 0; // fires automatically (automatic rifles, LMG)
    virtual bool IsAutoRifle(CarriedItem& item) = 0; // an automatic rifle proper
    virtual bool IsMachineGun(CarriedItem& item) = 0; // the light machine gun
    virtual bool HasScope(CarriedItem& item) = 0;
    virtual bool IsMelee(CarriedItem& item) = 0;
    virtual bool IsAntiTank(CarriedItem& item) = 0;
    virtual bool IsReloading(CarriedItem& item) = 0;
    virtual float Range(CarriedItem& item) = 0;
    // The spare magazines a weapon keeps when a dead enemy drops it (a draw of the shared generator).
    virtual int DropMagazines(CarriedItem& item) = 0;
    // The vehicle type of a held vehicle (0 passenger vehicle, 1 tank), -1 for anything else.
    virtual int VehicleType(CarriedItem& item) = 0;
    // A held vehicle's gun turned towards the point.
    virtual void AimVehicleAt(CarriedItem& item, const Vector3& point) = 0;
};

// The running level's answers; a null item is none of the kinds, has no range and no magazines.
bool WeaponIsAutomatic(CarriedItem* item);
bool WeaponIsAutoRifle(CarriedItem* item);
bool WeaponIsMachineGun(CarriedItem* item);
// Rockets, grenades and mounted launchers (a weapon whose IsExplosive answers true).
bool WeaponIsExplosive(CarriedItem* item);
int WeaponDropMagazines(CarriedItem* item);
bool WeaponHasScope(CarriedItem* item);
bool WeaponIsMelee(CarriedItem* item);
bool WeaponIsAntiTank(CarriedItem* item);
bool WeaponIsReloading(CarriedItem* item);
float WeaponRange(CarriedItem* item);
int VehicleTypeOf(CarriedItem* item);
void AimVehicleAt(CarriedItem* item, const Vector3& point);
