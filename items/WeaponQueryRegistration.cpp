#include "items/WeaponQueryRegistration.h"

#include <utility>

#include "characters/WeaponQueries.h"
#include "items/WeaponItem.h"

namespace {

// Only a weapon answers: a null item, or one of another category, is none of the kinds.
WeaponItem* AsWeapon(CarriedItem* item)
{
    return item && item->category == CarriedItem::Weapon ? dynamic_cast<WeaponItem*>(item) : nullptr;
}

template <bool (WeaponItem::*Test)()>
bool Ask(CarriedItem* item)
{
    WeaponItem* weapon = AsWeapon(item);
    return weapon && (weapon->*Test)();
}

} // namespace

void RegisterWeaponQueries()
{
    WeaponQueryHooks hooks;
    hooks.isAutomatic = Ask<&WeaponItem::IsAutomatic>;
    hooks.isAutoRifle = Ask<&WeaponItem::IsSMG>;
    hooks.isMachineGun = Ask<&WeaponItem::IsLMG>;
    hooks.hasScope = Ask<&WeaponItem::HasScope>;
    hooks.isMelee = Ask<&WeaponItem::IsMelee>;
    hooks.isAntiTank = Ask<&WeaponItem::IsAntiTank>;
    hooks.isReloading = Ask<&WeaponItem::IsReloading>;
    hooks.range = [](CarriedItem* item) {
        WeaponItem* weapon = AsWeapon(item);
        return weapon ? weapon->GetRange() : 0.0f;
    };
    hooks.dropMagazines = [](CarriedItem* item) {
        WeaponItem* weapon = AsWeapon(item);
        return weapon ? weapon->GetDropMagazines() : item->GetMagazines();
    };
    // No vehicle class answers yet: the queries' neutral answers (not a vehicle, no turret) stand.
    SetWeaponQueryHooks(std::move(hooks));
}
