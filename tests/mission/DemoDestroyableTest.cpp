// The demo map's fuel tank and airstrike zone in the loaded demo level: shots wear the tank down,
// a blast's splash finishes it over the frames, and its wreck keeps its number.
#include "tests/mission/DemoLevelFixture.h"

#include "characters/objects/CarriedItem.h"
#include "items/ItemServices.h"
#include "items/events/ScheduledEvent.h"
#include "mission/props/destruction/AirstrikeProp.h"
#include "mission/props/destruction/DestroyableProp.h"
#include "world/World.h"
#include "world/map/MapDescription.h"
#include "world/map/MapObject.h"

#include <cstring>

namespace {

class DemoDestroyableTest : public DemoLevelTest {
protected:
    static MapObject* FindEntry(MissionState* mission, const char* name)
    {
        for (MapObject* object = mission->level.world->GetFirstObject(); object; object = object->next) {
            const LibraryObject* library = object->GetLibraryEntry();
            if (library && library->entry && std::strcmp(library->entry->objectName, name) == 0)
                return object;
        }
        return nullptr;
    }
};

TEST_F(DemoDestroyableTest, ShotsDestroyTheFuelTankAndItsWreckKeepsTheNumber)
{
    MissionState* mission = Load(1);
    MapObject* tank = FindEntry(mission, "FuelTank");
    ASSERT_NE(tank, nullptr);
    DestroyableProp* prop = FindDestroyable(tank);
    ASSERT_NE(prop, nullptr);
    EXPECT_EQ(prop->fullHealth, 150);
    EXPECT_EQ(prop->damage, 120);
    EXPECT_GE(prop->replacement, 0) << "the wreck entry is found";
    EXPECT_EQ(prop->effects.size(), 2u);
    const int number = prop->number;

    ItemServices& services = LevelItemServices();
    EXPECT_TRUE(services.IsDestroyable(tank));
    services.DamageDestroyable(tank, 100, tank->GetPosition(), 0xFFFF, false);
    EXPECT_EQ(prop->health, 50);
    EXPECT_FALSE(prop->destroyed);
    services.DamageDestroyable(tank, 60, tank->GetPosition(), 0xFFFF, false);
    EXPECT_TRUE(prop->destroyed);
    EXPECT_FALSE(services.IsDestroyable(tank));
    EXPECT_FLOAT_EQ(tank->GetPosition().y, -1000.0f);

    MapObject* wreck = FindEntry(mission, "FuelTankWreck");
    ASSERT_NE(wreck, nullptr);
    DestroyableProp* kept = FindDestroyableByNumber(number);
    ASSERT_NE(kept, nullptr);
    EXPECT_FALSE(kept->IsDestroyable());
    EXPECT_EQ(kept->object, wreck);
}

TEST_F(DemoDestroyableTest, ABlastsSplashFinishesTheTankOverTheFrames)
{
    MissionState* mission = Load(1);
    MapObject* tank = FindEntry(mission, "FuelTank");
    ASSERT_NE(tank, nullptr);
    DestroyableProp* prop = FindDestroyable(tank);
    ASSERT_NE(prop, nullptr);
    mission->ApplyExplosion(tank->GetPosition() + Vector3(5.0f, 0.0f, 0.0f), 400, 50.0f, nullptr, false, 0xFFFF,
                            Vector3(), 0.0f);
    EXPECT_EQ(prop->pendingDamage, int((1.0f - 5.0f / 50.0f) * 400.0f));
    EXPECT_EQ(prop->health, 150);
    for (int i = 0; i < 300 && !prop->destroyed; ++i)
        prop->UpdateNearCamera(tank, frame);
    EXPECT_TRUE(prop->destroyed);
}

TEST_F(DemoDestroyableTest, TheZoneHasItsEventAndTheLeaderCarriesTheRadio)
{
    MissionState* mission = Load(1);
    ASSERT_EQ(AirstrikePropCount(), 1);
    AirstrikeProp* zone = AirstrikePropAt(0);
    EXPECT_STREQ(zone->name, "Valley");
    EXPECT_EQ(zone->radius, 60.0f);
    ASSERT_NE(zone->event, nullptr);
    EXPECT_FLOAT_EQ(zone->event->position.x, zone->object->GetPosition().x);

    Character* leader = mission->roster.controlledCharacter;
    ASSERT_NE(leader, nullptr);
    bool radio = false;
    for (CarriedItem* item : leader->GetInventory())
        radio = radio || std::strcmp(item->name, "Air Strike Radio") == 0;
    EXPECT_TRUE(radio);
    EXPECT_EQ(ScheduledEventList::Count(), 0);
}

} // namespace
