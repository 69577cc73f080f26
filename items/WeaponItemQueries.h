#pragma once

#include "characters/level/WeaponQueries.h"

// Answers the AI's weapon questions from the item classes: the kind tests and the range of a held
// weapon. Only a weapon answers: an item of another category is none of the kinds. No vehicle
// class answers yet: the neutral answers (not a vehicle, no turret) stand.
class WeaponItemQueries final : public WeaponQueries {
public:
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
};
