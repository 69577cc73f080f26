#include "characters/WeaponQueries.h"

#include "characters/CarriedItem.h"
#include "engine/core/Vector.h"

namespace {

WeaponQueryHooks& Hooks()
{
    static WeaponQueryHooks hooks;
    return hooks;
}

bool Ask(const std::function<bool(CarriedItem*)>& query, CarriedItem* item)
{
    return item && query && query(item);
}

} // namespace

void SetWeaponQueryHooks(WeaponQueryHooks hooks) { Hooks() = std::move(hooks); }

bool WeaponIsAutomatic(CarriedItem* item) { return Ask(Hooks().isAutomatic, item); }
bool WeaponIsAutoRifle(CarriedItem* item) { return Ask(Hooks().isAutoRifle, item); }
bool WeaponIsMachineGun(CarriedItem* item) { return Ask(Hooks().isMachineGun, item); }

bool WeaponIsExplosive(CarriedItem* item)
{
    return item && item->category == CarriedItem::Weapon && item->IsExplosive();
}

int WeaponDropMagazines(CarriedItem* item)
{
    if (!item)
        return 0;
    return Hooks().dropMagazines ? Hooks().dropMagazines(item) : item->GetMagazines();
}

bool WeaponHasScope(CarriedItem* item) { return Ask(Hooks().hasScope, item); }
bool WeaponIsMelee(CarriedItem* item) { return Ask(Hooks().isMelee, item); }
bool WeaponIsAntiTank(CarriedItem* item) { return Ask(Hooks().isAntiTank, item); }
bool WeaponIsReloading(CarriedItem* item) { return Ask(Hooks().isReloading, item); }

float WeaponRange(CarriedItem* item)
{
    return item && Hooks().range ? Hooks().range(item) : 0.0f;
}

int VehicleTypeOf(CarriedItem* item)
{
    return item && Hooks().vehicleType ? Hooks().vehicleType(item) : -1;
}

void AimVehicleAt(CarriedItem* item, const Vector3& point)
{
    if (item && Hooks().aimVehicleAt)
        Hooks().aimVehicleAt(item, point);
}
