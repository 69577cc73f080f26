// A computer-driven soldier asks its held weapon's kind and range through the weapon queries the
// running level hands over from the items: with them the demo rifle reaches its range and the
// soldier fires at a target within it on the demo map; with no level a weapon has no range and the
// soldier never fires.
#include <memory>

#include "characters/ai/Soldier.h"
#include "characters/level/RunningLevel.h"
#include "characters/level/WeaponQueries.h"
#include "items/AutoRifleItem.h"
#include "items/WeaponItemQueries.h"
#include "tests/items/body/DemoMapItemFixture.h"

namespace {

class SoldierWeaponTest : public DemoMapItemTest {
protected:
    // A soldier at a map corner holding a demo item made by the factory.
    Soldier& Armed(int column, int row, const char* itemName)
    {
        Soldier& soldier = Place<Soldier>(world->GetCornerPosition(column, row));
        Item* item = CreateItemFromDefinition(definitions.Find(itemName), itemName);
        EXPECT_NE(item, nullptr) << itemName;
        if (item) {
            soldier.PickUpItem(item, true);
            soldier.SelectItem(item);
        }
        return soldier;
    }

    // Attacks the target for the seconds given, as the mission's frame runs the soldier.
    static void Attack(Soldier& shooter, Character& target, float seconds)
    {
        shooter.SetTarget(&target, 20000.0f, true);
        shooter.SetState(StateAttack, Soldier::kNoLimit);
        constexpr float kFrame = 1.0f / 30.0f;
        for (int frame = 0; frame < int(seconds / kFrame); ++frame) {
            shooter.target.distanceSquared = shooter.position.DistanceSquared(target.position);
            shooter.Update(kFrame);
            shooter.UpdateAI(kFrame);
            target.Update(kFrame);
        }
    }

    WeaponItemQueries itemQueries;
};

} // namespace

TEST_F(SoldierWeaponTest, TheDemoWeaponsAnswerTheirKindsAndRanges)
{
    RunningLevel level({.weapons = &itemQueries});
    struct Case {
        const char* name;
        bool automatic, autoRifle, scope, melee, antiTank;
    };
    const Case cases[] = {
        {"M4", true, true, false, false, false},     {"M249", true, false, false, false, false},
        {"Sniper Rifle", false, false, true, false, false}, {"Knife", false, false, false, true, false},
        {"RPG", false, false, false, false, true},   {"Binoculars", false, false, false, false, false},
    };
    for (const Case& c : cases) {
        std::unique_ptr<Item> item(CreateItemFromDefinition(definitions.Find(c.name), c.name));
        ASSERT_NE(item, nullptr) << c.name;
        EXPECT_EQ(WeaponIsAutomatic(item.get()), c.automatic) << c.name;
        EXPECT_EQ(WeaponIsAutoRifle(item.get()), c.autoRifle) << c.name;
        EXPECT_EQ(WeaponHasScope(item.get()), c.scope) << c.name;
        EXPECT_EQ(WeaponIsMelee(item.get()), c.melee) << c.name;
        EXPECT_EQ(WeaponIsAntiTank(item.get()), c.antiTank) << c.name;
        auto* weapon = dynamic_cast<WeaponItem*>(item.get());
        EXPECT_EQ(WeaponRange(item.get()), weapon ? weapon->GetRange() : 0.0f) << c.name;
        EXPECT_FALSE(WeaponIsReloading(item.get())) << c.name;
        EXPECT_EQ(VehicleTypeOf(item.get()), -1) << c.name;
    }
    EXPECT_FALSE(WeaponIsAutomatic(nullptr));
    EXPECT_EQ(WeaponRange(nullptr), 0.0f);
}

TEST_F(SoldierWeaponTest, ASoldierWithTheDemoRifleGetsItsRangeAndFiresAtATargetWithinIt)
{
    Soldier& shooter = Armed(32, 32, "M4");
    auto* rifle = dynamic_cast<AutoRifleItem*>(shooter.GetHeldItem());
    ASSERT_NE(rifle, nullptr);
    Character& target = Place(shooter.position + Vector3(0.0f, 0.0f, 30.0f));
    for (int i = 0; i < 10; ++i) {
        shooter.Update(0.02f);
        target.Update(0.02f);
    }

    // With no level, the rifle has no range: the soldier seeks its target and never fires.
    EXPECT_EQ(shooter.GetWeaponRangeSquared(), 0.0f);
    Attack(shooter, target, 1.0f);
    EXPECT_EQ(rifle->cartridges, 30);

    RunningLevel level({.weapons = &itemQueries});
    ASSERT_GT(rifle->GetRange(), 30.0f);
    EXPECT_FLOAT_EQ(shooter.GetWeaponRangeSquared(), rifle->GetRange() * rifle->GetRange());
    Attack(shooter, target, 3.0f);
    EXPECT_LT(rifle->cartridges, 30) << "it fired";
    EXPECT_LT(target.health, 100) << "and hit";
}
