// The demo data set's items on the demo map: every definition reads, the factory makes the
// classes this build has, and a soldier fires the demo rifle at another.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/framework/Application.h"
#include "characters/AnimationCache.h"
#include "characters/Character.h"
#include "characters/NetworkSession.h"
#include "characters/SaveStream.h"
#include "characters/WorldStandIn.h"
#include "engine/animation/AnimatedModel.h"
#include "items/AutoRifleItem.h"
#include "items/ItemDefinition.h"
#include "items/ItemFactory.h"
#include "items/ItemServices.h"
#include "items/MuzzleFlash.h"
#include "items/projectiles/Bullet.h"
#include "mission/WorldCollisionScene.h"
#include "physics/Collision.h"
#include "tests/world/WorldFixture.h"

namespace {

class DemoItemsTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        Application::Instance()->SetDevice(device);
        std::filesystem::remove_all("Maps");
        std::filesystem::create_directory_symlink(std::filesystem::path(BEXAL_DATA_DIR) / "Maps", "Maps");
        std::filesystem::create_directory_symlink(std::filesystem::path(BEXAL_DATA_DIR) / "GameData", "GameData");
        map = std::make_unique<MapDescription>();
        ASSERT_TRUE(map->Load("Maps/Demo/area.mpb")) << map->GetLastError();
        world = std::make_unique<World>();
        world->Load(map.get(), device, camera.get());
        camera->SetFar(map->viewDistance);
        scene = std::make_unique<WorldCollisionScene>(world.get());
        CollisionSetScene(scene.get());
        BuildModelAnimationCache({"Rifle", "Unarmed"});
        SetNetworkSessionHooks({});
        MissionServiceHooks mission = WorldStandInHooks(*world, *camera, everyone, {"Rifle", "Unarmed"});
        mission.findAnimationSet = [](const char* name) {
            return std::strcmp(name, "Rifle") == 0 ? 0 : std::strcmp(name, "Unarmed") == 0 ? 1 : -1;
        };
        SetMissionServiceHooks(mission);
        SetTemplateCharacter(nullptr);
        SeedRandomMT(4357);
        LoadItemDefinitionFolder(definitions, false);

        ItemServiceHooks services;
        services.skill = [](Character*, int) { return 1.0f; };
        services.rayCastObjects = [this](HitResult& hit, Character* ignore, int) -> Character* {
            Character* nearest = nullptr;
            for (Character* c : everyone) {
                HitResult test = hit;
                test.distance = kNoHit;
                if (c == ignore || c->health <= 0 || !c->IntersectRay(test, 0) || test.distance >= hit.distance)
                    continue;
                hit = test;
                nearest = c;
            }
            return nearest;
        };
        services.addProjectile = [this](Bullet* bullet) { projectiles.emplace_back(bullet); };
        services.playBulletHitSound = [this](int kind, const Vector3&) { sounds.push_back(kind); };
        SetItemServiceHooks(services);
    }

    void TearDown() override
    {
        projectiles.clear();
        for (auto& c : characters)
            c->DeleteInventory();
        characters.clear();
        everyone.clear();
        SetItemServiceHooks({});
        SetMissionServiceHooks({});
        SetTemplateCharacter(nullptr);
        CollisionSetScene(nullptr);
        scene.reset();
        AnimationCache::Instance().Clear();
        Application::Instance()->SetDevice(nullptr);
        WorldTest::TearDown();
    }

    Character& Place(const Vector3& at)
    {
        auto c = std::make_unique<Character>();
        c->kind = Character::EnemyKind;
        c->LoadAnimationInfo();
        c->LoadModel(device, "GameData/Models/Soldiers/soldier.gr2");
        c->SetPosition(at.x, world->GetTerrainHeightSmooth(at) + c->radii.y, at.z);
        c->collides = c->gravity = true;
        c->StartAction(0, true);
        everyone.push_back(c.get());
        characters.push_back(std::move(c));
        return *characters.back();
    }

    ItemDefinitionList definitions;
    std::unique_ptr<WorldCollisionScene> scene;
    std::vector<std::unique_ptr<Character>> characters;
    std::vector<Character*> everyone;
    std::vector<std::unique_ptr<Bullet>> projectiles;
    std::vector<int> sounds;
};

} // namespace

TEST_F(DemoItemsTest, EveryDemoDefinitionReadsAndTheRiflesAreMade)
{
    ASSERT_EQ(definitions.Count(), 13u);
    for (const char* name : {"Knife", "Pistol", "M4", "M4-M203", "M249", "Sniper Rifle", "RPG", "Frag Grenade",
                             "Smoke Grenade", "Tear Gas", "Binoculars", "First Aid Kit", "Intel Documents"})
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

TEST_F(DemoItemsTest, TheFactoryMakesEveryDemoItem)
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

TEST_F(DemoItemsTest, TheRifleLaunchesItsGrenades)
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

TEST_F(DemoItemsTest, SoldierFiresTheDemoRifleAtAnother)
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
