#include "characters/objects/CarriedItem.h"

#include <utility>

#include "characters/body/Character.h"
#include "engine/core/q3DError.h"

namespace {

// Filled by the layer that knows the item classes.
CarriedItemFactory itemFactory;

} // namespace

CarriedItem::CarriedItem()
{
    objectType = ItemType;
}

bool CarriedItem::ApplyDamage(int amount, const Vector3& point, const Vector3& direction)
{
    (void)point;
    (void)direction;
    health -= amount;
    if (health < 0)
        health = 0;
    return true;
}

void CarriedItem::Select()
{
    if (owner && animationSet != -1)
        owner->SetAnimationSet(animationSet);
}

bool CarriedItem::BeginUse(bool forced)
{
    (void)forced;
    inUse = true;
    return true;
}

void CarriedItem::SetOwner(Character* newOwner)
{
    previousOwnerID = owner ? owner->GetID() : -1;
    owner = newOwner;
}

void SetCarriedItemFactory(CarriedItemFactory factory)
{
    itemFactory = std::move(factory);
}

CarriedItem* CreateCarriedItem(const char* typeName)
{
    CarriedItem* item = (typeName && typeName[0] && itemFactory) ? itemFactory(typeName) : nullptr;
    if (!item)
        throw q3DError("Can't create an item of type %s", typeName ? typeName : "");
    return item;
}
