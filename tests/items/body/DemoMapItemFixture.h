#pragma once

// Items on the demo map with soldiers that carry them: the map, its collision scene and animation
// sets, the demo item definitions, and item services whose ray test hits the placed characters,
// whose bullets are kept and whose hit sounds are counted.

#include <cstring>
#include <memory>
#include <vector>

#include "characters/Character.h"
#include "items/ItemDefinition.h"
#include "items/ItemFactory.h"
#include "items/ItemServices.h"
#include "items/projectiles/Bullet.h"
#include "tests/characters/body/DemoMapCharacterFixture.h"

class DemoMapItemTest : public DemoMapCharacterTest {
protected:
    void SetUp() override
    {
        DemoMapCharacterTest::SetUp();
        if (HasFatalFailure())
            return;
        MissionServiceHooks mission = GetMissionServiceHooks();
        mission.findAnimationSet = [](const char* name) {
            return std::strcmp(name, "Rifle") == 0 ? 0 : std::strcmp(name, "Unarmed") == 0 ? 1 : -1;
        };
        SetMissionServiceHooks(mission);
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
        SetItemServiceHooks({});
        DemoMapCharacterTest::TearDown();
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
        return Keep(std::move(c));
    }

    ItemDefinitionList definitions;
    std::vector<std::unique_ptr<Bullet>> projectiles;
    std::vector<int> sounds;
};
