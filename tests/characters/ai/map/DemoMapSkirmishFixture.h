#pragma once

// The demo map the skirmishes fight on: the map with its collision scene, the soldiers' animation
// sets and no network; each skirmish brings its own mission services.

#include <memory>

#include "app/framework/Application.h"
#include "characters/body/AnimationCache.h"
#include "characters/body/AnimationController.h"
#include "characters/level/NetworkSession.h"
#include "characters/body/TemplateCharacter.h"
#include "tests/support/WorldStandIn.h"
#include "mission/services/WorldCollisionScene.h"
#include "physics/Collision.h"
#include "tests/world/WorldFixture.h"

class DemoMapSkirmishTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        Application::Instance()->SetDevice(device);
        LoadDemoMap({"Maps", "GameData", "Sound"});
        if (HasFatalFailure())
            return;
        scene = std::make_unique<WorldCollisionScene>(world.get());
        CollisionSetScene(scene.get());
        BuildModelAnimationCache({"Rifle", "Unarmed"});
        SetTemplateCharacter(nullptr);
    }

    void TearDown() override
    {
        SetTemplateCharacter(nullptr);
        CollisionSetScene(nullptr);
        scene.reset();
        world.reset();
        map.reset();
        AnimationCache::Instance().Clear();
        Application::Instance()->SetDevice(nullptr);
        WorldTest::TearDown();
    }

    // The ground at a cell corner, raised by the amount given.
    Vector3 Ground(int column, int row, float raise)
    {
        const Vector3 corner = world->GetCornerPosition(column, row);
        return Vector3(corner.x, world->GetTerrainHeightSmooth(corner) + raise, corner.z);
    }

    std::unique_ptr<WorldCollisionScene> scene;
};
