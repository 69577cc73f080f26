#pragma once

// Items on the demo map with soldiers that carry them: the map, its collision scene and animation
// sets, the demo item definitions, and item services whose ray test hits the placed characters,
// whose bullets are kept and whose hit sounds are counted.

#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "characters/body/Character.h"
#include "characters/level/RunningLevel.h"
#include "items/ItemDefinition.h"
#include "items/ItemFactory.h"
#include "items/ItemServices.h"
#include "items/NoLevelItems.h"
#include "items/projectiles/Bullet.h"
#include "tests/characters/body/DemoMapCharacterFixture.h"

class DemoMapItemTest : public DemoMapCharacterTest {
protected:
    // The level's item services as the cases see them.
    struct FakeItems : NoLevelItems {
        explicit FakeItems(DemoMapItemTest& test) : test(test) {}
        float Skill(Character*, int) override { return 1.0f; }
        Character* RayCastObjects(HitResult& hit, Character* ignore, int) override
        {
            Character* nearest = nullptr;
            for (Character* c : test.everyone) {
                HitResult probe = hit;
                probe.distance = kNoHit;
                if (c == ignore || c->health <= 0 || !c->IntersectRay(probe, 0) || probe.distance >= hit.distance)
                    continue;
                hit = probe;
                nearest = c;
            }
            return nearest;
        }
        void AddProjectile(Bullet* bullet) override { test.projectiles.emplace_back(bullet); }
        void PlayBulletHitSound(int kind, const Vector3&) override { test.sounds.push_back(kind); }
        DemoMapItemTest& test;
    };
    FakeItems items{*this};
    std::optional<RunningLevel> level;

    void SetUp() override
    {
        DemoMapCharacterTest::SetUp();
        if (HasFatalFailure())
            return;
        LoadItemDefinitionFolder(definitions, false);

        level.emplace(RunningLevel::Services{.items = &items});
    }

    void TearDown() override
    {
        projectiles.clear();
        for (auto& c : characters)
            c->DeleteInventory();
        level.reset();
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
