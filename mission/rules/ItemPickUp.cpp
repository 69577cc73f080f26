// The one rule for every pick-up: ammunition from a weapon already carried, the carrying limit,
// and a weapon taking the place of the one in its slot.
#include "mission/MissionState.h"

#include "characters/objects/CarriedItem.h"
#include "characters/body/Character.h"
#include "items/WeaponItem.h"
#include "media/Sound3D.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t MostItemsCarried = 8;

void PlayAt(Sound3D* sound, const Vector3& at)
{
    if (!sound)
        return;
    sound->SetPosition(at.x, at.y, at.z, -1000);
    sound->Play();
}

} // namespace

bool MissionState::PickUpFlag(CarriedItem* item, Character* character, bool testOnly)
{
    (void)testOnly; // only a connected client that does not host asks without taking
    if (!item || !character)
        return false;
    if (item->category == CarriedItem::Vehicle && item->health <= 0)
        return false;
    // A mounted item (the launcher on a vehicle) is manned, not carried: taken and selected at once.
    if (item->mounted) {
        if (!character->PickUpItem(item, true))
            return false;
        character->SelectItem(item);
        return true;
    }

    // A weapon of a kind already carried gives up the magazines the carried one lacks.
    if (item->IsWeapon())
        if (CarriedItem* carried = character->FindItemByName(item->name); carried && carried != item) {
            auto* own = dynamic_cast<WeaponItem*>(carried);
            auto* picked = dynamic_cast<WeaponItem*>(item);
            if (!own || !picked)
                return false;
            const int lacking = own->GetMaxMagazines() - own->GetMagazines();
            if (lacking <= 0)
                return false;
            const int taken = std::min(lacking, std::max(0, picked->GetMagazines()));
            picked->SetMagazines(std::max(0, picked->GetMagazines() - taken));
            own->SetMagazines(own->GetMagazines() + taken);
            if (own->GetCartridges() <= 0)
                own->Reload();
            PlayAt(audio.pickUpGun.get(), character->position);
            if (session.networkGame)
                DeleteItem(item);
            return true;
        }

    const int slotKind = item->GetSlotKind();
    if (!item->IsWeapon() || (slotKind != 0 && slotKind != 1)) {
        if (character->GetInventory().size() >= MostItemsCarried)
            return false;
        if (!character->PickUpItem(item, false))
            return false;
        PlayAt(item->IsWeapon() ? audio.pickUpGun.get() : audio.pickUpItem.get(), character->position);
        return true;
    }

    // A first or second weapon takes the place of the one in its slot, dropped where the
    // character stands.
    CarriedItem* replaced = slotKind == 0 ? character->GetPrimaryWeapon() : character->GetSecondaryWeapon();
    if (replaced)
        character->DropItem(replaced, character->position);
    if (!character->PickUpItem(item, false))
        return false;
    PlayAt(audio.pickUpGun.get(), character->position);
    return true;
}
