#pragma once

// Items on the demo map with soldiers that carry them: the map, its collision scene and animation
// sets, the demo item definitions, and item services whose ray test hits the placed characters,
// whose bullets are kept and whose hit sounds are counted.

#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/framework/Application.h"
#include "characters/AnimationCache.h"
#include "characters/Character.h"
#include "characters/NetworkSession.h"
#include "characters/WorldStandIn.h"
#include "items/ItemDefinition.h"
#include "items/ItemFactory.h"
#include "items/ItemServices.h"
#include "items/projectiles/Bullet.h"
#include "mission/WorldCollisionScene.h"
#include "physics/Collision.h"
#include "tests/world/WorldFixture.h"

class DemoMapItemTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        Application::Instance()->SetDevice(device);
        LoadDemoMap({"Maps", "GameData"});
        if (HasFatalFailure())
            return;
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

    template <class Body = Character>
    Body& Place(const Vector3& at)
    {
        auto c = std::make_unique<Body>();
        c->kind = Character::EnemyKind;
        c->LoadAnimationInfo();
        c->LoadModel(device, "GameData/Models/Soldiers/soldier.gr2");
        c->SetPosition(at.x, world->GetTerrainHeightSmooth(at) + c->radii.y, at.z);
        c->collides = c->gravity = true;
        c->StartAction(0, true);
        Body& placed = *c;
        everyone.push_back(c.get());
        characters.push_back(std::move(c));
        return placed;
    }

    ItemDefinitionList definitions;
    std::unique_ptr<WorldCollisionScene> scene;
    std::vector<std::unique_ptr<Character>> characters;
    std::vector<Character*> everyone;
    std::vector<std::unique_ptr<Bullet>> projectiles;
    std::vector<int> sounds;
};

