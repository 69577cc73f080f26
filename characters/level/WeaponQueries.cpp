#include "characters/level/WeaponQueries.h"

#include "characters/objects/CarriedItem.h"
#include "characters/level/RunningLevel.h"

namespace {

bool Ask(bool (WeaponQueries::*query)(CarriedItem&), CarriedItem* item)
{
    return item && (RunningLevel::Weapons().*query)(*item);
}

} // namespace

bool WeaponIsAutomatic(CarriedItem* item) { return Ask(&WeaponQueries::IsAutomatic, item); }
bool WeaponIsAutoRifle(CarriedItem* item) { return Ask(&WeaponQueries::IsAutoRifle, item); }
bool WeaponIsMachineGun(CarriedItem* item) { return Ask(&WeaponQueries::IsMachineGun, item); }

bool WeaponIsExplosive(CarriedItem* item)
{
    return item && item->category == CarriedItem::Weapon && item->IsExplosive();
}

int WeaponDropMagazines(CarriedItem* item)
{
    return item ? RunningLevel::Weapons().DropMagazines(*item) : 0;
}

bool WeaponHasScope(CarriedItem* item) { return Ask(&WeaponQueries::HasScope, item); }
bool WeaponIsMelee(CarriedItem* item) { return Ask(&WeaponQueries::IsMelee, item); }
bool WeaponIsAntiTank(CarriedItem* item) { return Ask(&WeaponQueries::IsAntiTank, item); }
bool WeaponIsReloading(CarriedItem* item) { return Ask(&WeaponQueries::IsReloading, item); }

float WeaponRange(CarriedItem* item)
{
    return item ? RunningLevel::Weapons().Range(*item) : 0.0f;
}

int VehicleTypeOf(CarriedItem* item)
{
    return item ? RunningLevel::Weapons().VehicleType(*item) : -1;
}

void AimVehicleAt(CarriedItem* item, const Vector3& point)
{
    if (item)
        RunningLevel::Weapons().AimVehicleAt(*item, point);
}
