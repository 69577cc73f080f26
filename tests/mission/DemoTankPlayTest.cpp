// The demo map's fuel tank under the controlled soldier's M4: the rounds fired through the bound
// button reach the tank and wear it down until it goes.
#include "tests/mission/WeaponPlayFixture.h"

#include "items/AutoRifleItem.h"
#include "mission/props/destruction/DestroyableProp.h"
#include "world/PickResult.h"
#include "world/World.h"
#include "world/map/MapDescription.h"
#include "world/map/MapObject.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr int PrimaryAction = 10, SelectPrimary = 39;

class DemoTankPlayTest : public WeaponPlayFixture {
protected:
    MapObject* FindEntry(const char* name)
    {
        for (MapObject* object = mission->level.world->GetFirstObject(); object; object = object->next) {
            const LibraryObject* library = object->GetLibraryEntry();
            if (library && library->entry && std::strcmp(library->entry->objectName, name) == 0)
                return object;
        }
        return nullptr;
    }

    // The yaw of the whole turns in steps whose centre ray meets the object first, NaN when none.
    float YawOnto(MapObject* object)
    {
        for (int step = 0; step < 360; ++step) {
            const float yaw = float(step) * 0.017453292f;
            Face(yaw);
            HitResult ray = CenterRay();
            PickResult hit;
            if (mission->level.world->Pick(ray, &hit, 200.0f, nullptr) && hit.object == object)
                return yaw;
        }
        return NAN;
    }
};

TEST_F(DemoTankPlayTest, M4RoundsDestroyTheFuelTank)
{
    MapObject* tank = FindEntry("FuelTank");
    ASSERT_NE(tank, nullptr);
    DestroyableProp* prop = FindDestroyable(tank);
    ASSERT_NE(prop, nullptr);
    const Vector3 at = tank->GetPosition() + Vector3(45.0f, 0.0f, 8.0f);
    leader->SetPosition(at.x, mission->level.world->GetFloorHeight(at + Vector3(0, 20, 0), nullptr), at.z);
    Frames(2);
    const float yaw = YawOnto(tank);
    ASSERT_FALSE(std::isnan(yaw)) << "the tank is in sight";

    // The M4 of the demo's set-up is given up, so that the new one is taken whole.
    for (CarriedItem* carried : std::vector<CarriedItem*>(leader->GetInventory()))
        if (std::strcmp(carried->name, "M4") == 0) {
            leader->DropItem(carried, leader->position);
            mission->DeleteItem(carried);
        }
    Item* item = Give("M4");
    ASSERT_NE(item, nullptr) << Log();
    auto* rifle = dynamic_cast<AutoRifleItem*>(item);
    ASSERT_NE(rifle, nullptr);
    TapAction(SelectPrimary);
    if (mission->controls.pendingItem == item)
        TapAction(PrimaryAction); // the choice confirmed
    FramesUntil(60, [this, item] { return leader->GetHeldItem() == item; });
    ASSERT_EQ(leader->GetHeldItem(), item);
    Face(yaw);

    int fired = 0;
    for (int burst = 0; burst < 20 && !prop->destroyed; ++burst) {
        const int before = rifle->GetCartridges();
        PressAction(PrimaryAction);
        FramesUntil(30, [rifle] { return !rifle->IsInUse(); });
        ReleaseAction(PrimaryAction);
        Frames(3);
        fired += before - rifle->GetCartridges();
        Face(yaw);
    }
    EXPECT_GT(fired, 0);
    EXPECT_TRUE(prop->destroyed) << fired << " rounds, health " << prop->health;
    EXPECT_LE(fired, 28);
}

} // namespace
