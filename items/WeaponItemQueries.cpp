#include "items/WeaponItemQueries.h"

#include "items/WeaponItem.h"
#include "items/vehicles/PassengerVehicleItem.h"

namespace {

WeaponItem* AsWeapon(CarriedItem& item)
{
    return item.category == CarriedItem::Weapon ? dynamic_cast<WeaponItem*>(&item) : nullptr;
}

template <bool (WeaponItem::*Test)()>
bool Ask(CarriedItem& item)
{
    WeaponItem* weapon = AsWeapon(item);
    return weapon && (weapon->*Test)();
}

} // namespace

bool WeaponItemQueries::IsAutomatic(CarriedItem& item) { return Ask<&WeaponItem::IsAutomatic>(item); }
bool WeaponItemQueries::IsAutoRifle(CarriedItem& item) { return Ask<&WeaponItem::IsSMG>(item); }
bool WeaponItemQueries::IsMachineGun(CarriedItem& item) { return Ask<&WeaponItem::IsLMG>(item); }
bool WeaponItemQueries::HasScope(CarriedItem& item) { return Ask<&WeaponItem::HasScope>(item); }
bool WeaponItemQueries::IsMelee(CarriedItem& item) { return Ask<&WeaponItem::IsMelee>(item); }
bool WeaponItemQueries::IsAntiTank(CarriedItem& item) { return Ask<&WeaponItem::IsAntiTank>(item); }
bool WeaponItemQueries::IsReloading(CarriedItem& item) { return Ask<&WeaponItem::IsReloading>(item); }

float WeaponItemQueries::Range(CarriedItem& item)
{
    WeaponItem* weapon = AsWeapon(item);
    return weapon ? weapon->GetRange() : 0.0f;
}

int WeaponItemQueries::DropMagazines(CarriedItem& item)
{
    WeaponItem* weapon = AsWeapon(item);
    return weapon ? weapon->GetDropMagazines() : item.GetMagazines();
}

int WeaponItemQueries::VehicleType(CarriedItem& item)
{
    auto* vehicle = dynamic_cast<PassengerVehicleItem*>(&item);
    return vehicle ? vehicle->GetVehicleType() : -1;
}
void WeaponItemQueries::AimVehicleAt(CarriedItem&, const Vector3&) {}
