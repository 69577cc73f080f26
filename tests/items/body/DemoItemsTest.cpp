// The demo data set's items on the demo map: every definition reads, the factory makes the
// classes this build has, and a soldier fires the demo rifle at another.
#include <algorithm>
#include <memory>
#include <vector>

#include "engine/animation/AnimatedModel.h"
#include "engine/serial/SaveStream.h"
#include "items/AutoRifleItem.h"
#include "items/MuzzleFlash.h"
#include "tests/items/body/DemoMapItemFixture.h"

TEST_F(DemoMapItemTest, EveryDemoDefinitionReadsAndTheRiflesAreMade)
{
    ASSERT_EQ(definitions.Count(), 20u);
    for (const char* name : {"Knife", "Pistol", "M4", "M4-M203", "M249", "Sniper Rifle", "RPG", "Frag Grenade",
                             "Smoke Grenade", "Tear Gas", "Binoculars", "First Aid Kit", "Intel Documents", "AP Mine",
                             "Remote Charge", "Timed Charge", "Mine Field", "Air Strike Radio", "Truck Launcher", "Dog Bite"})
        EXPECT_NE(definitions.Find(name), nullptr) << name;
    for (const char* name : {"M4", "M249"}) {
        std::unique_ptr<Item> item(CreateItemFromDefinition(definitions.Find(name), name));
        ASSERT_NE(item, nullptr) << name;
        auto* rifle = dynamic_cast<AutoRifleItem*>(item.get());
        ASSERT_NE(rifle, nullptr);
        EXPECT_TRUE(rifle->hasMuzzle) << name;
        EXPECT_NE(rifle->heldLOD1, nullptr) << name;
        EXPECT_NE(rifle->GetWorldModel(), nullptr) << name;
        EXPECT_NE(rifle->smokeEffect, nullptr) << name;
        EXPECT_GT(rifle->magazineCapacity, 0);
    }
}

TEST_F(DemoMapItemTest, TheFactoryMakesEveryDemoItem)
{
    for (std::size_t i = 0; i < definitions.Count(); ++i) {
        const ItemDefinition& definition = definitions.At(i);
        std::unique_ptr<Item> item(CreateItemFromDefinition(&definition, definition.name));
        ASSERT_NE(item, nullptr) << definition.name;
        EXPECT_STREQ(item->name, definition.name);
        EXPECT_STREQ(item->keyword, definition.keyword);
        EXPECT_EQ(item->IsWeapon(), item->category == CarriedItem::Weapon) << definition.name;
    }
}

TEST_F(DemoMapItemTest, TheRifleLaunchesItsGrenades)
{
    Character& soldier = Place(world->GetCornerPosition(32, 32));
    auto* rifle = dynamic_cast<MachinegunGrenItem*>(CreateItemFromDefinition(definitions.Find("M4-M203"), "M4-M203"));
    ASSERT_NE(rifle, nullptr);
    soldier.PickUpItem(rifle, true);
    soldier.SelectItem(rifle);
    EXPECT_EQ(rifle->grenades, 5);
    ASSERT_TRUE(rifle->UseSecondary());
    ASSERT_EQ(projectiles.size(), 1u);
    EXPECT_EQ(projectiles[0]->GetType(), Bullet::GrenadeType);
    EXPECT_EQ(rifle->grenades, 4);
    EXPECT_TRUE(rifle->holdAction);
    EXPECT_FALSE(rifle->UseSecondary()); // the launcher is busy until the owner's action ends
    std::vector<std::uint8_t> buffer(256);
    SaveStream out = SaveStream::OnMemory(buffer.data(), 256);
    rifle->Save(&out);
    buffer.resize(out.position);
    const std::vector<std::uint8_t> tail(buffer.end() - 8, buffer.end());
    EXPECT_EQ(tail, (std::vector<std::uint8_t>{1, 0, 0, 0, 4, 0, 0, 0}));
    for (int i = 0; i < 200 && rifle->holdAction; ++i) {
        soldier.Update(0.02f);
        rifle->UpdateTransform(0.02f);
    }
    EXPECT_FALSE(rifle->holdAction);
}

TEST_F(DemoMapItemTest, SoldierFiresTheDemoRifleAtAnother)
{
    Character& shooter = Place(world->GetCornerPosition(32, 32));
    std::unique_ptr<Item> made(CreateItemFromDefinition(definitions.Find("M4"), "M4"));
    auto* rifle = dynamic_cast<AutoRifleItem*>(made.release());
    ASSERT_NE(rifle, nullptr);
    shooter.PickUpItem(rifle, true);
    shooter.SelectItem(rifle);
    EXPECT_EQ(rifle->boneIndex, shooter.GetModel()->FindBone("Bip01 R Hand"));
    for (int i = 0; i < 10; ++i)
        shooter.Update(0.02f);

    // The target stands 15 units down the line the rifle fires along.
    ShotRay aim;
    rifle->GetFirePoint(aim, nullptr);
    Vector3 flat(aim.direction.x, 0.0f, aim.direction.z);
    flat.Normalize();
    Character& target = Place(shooter.position + flat * 15.0f);
    for (int i = 0; i < 10; ++i)
        target.Update(0.02f);

    // A steady soldier of full skill does not deviate.
    rifle->aiAccuracyFactor = 1.0f;
    rifle->timeSinceShot = 1.0f;
    ASSERT_TRUE(rifle->BeginUse(false));
    for (int frame = 0; frame < 60; ++frame)
        rifle->UpdateTransform(1.0f / 60.0f);
    EXPECT_EQ(rifle->cartridges, 27);
    EXPECT_LT(target.health, 100);
    EXPECT_NE(std::find(sounds.begin(), sounds.end(), 0), sounds.end()) << "a body hit";
    // Drawn in the soldier's hands, the last shot's flash shows once at the muzzle.
    ASSERT_TRUE(rifle->flashVisible);
    ASSERT_NE(rifle->muzzleFlash, nullptr);
    device->BeginFrame(true, true);
    rifle->Draw(device);
    rifle->DrawHUD(device);
    device->EndFrame(true, true);
    EXPECT_EQ(rifle->muzzleFlash->drawCount, 1);
    EXPECT_FALSE(rifle->flashVisible);
    // Every third bullet is a tracer that flies to its hit.
    ASSERT_FALSE(projectiles.empty());
    for (auto& p : projectiles)
        for (int i = 0; i < 100 && p->IsActive(); ++i)
            p->UpdateTransform(0.05f);
    for (auto& p : projectiles)
        EXPECT_FALSE(p->IsActive());
}
