#pragma once

// Characters on the demo map as the mission sets them up when a level starts: the map and its
// collision scene, the soldiers' animation sets, stand-in mission services over the map and the
// characters placed, and a fixed random seed.

#include <memory>
#include <vector>

#include "characters/body/AnimationCache.h"
#include "characters/body/TemplateCharacter.h"
#include "tests/support/WorldStandIn.h"
#include "engine/core/RandomMT.h"
#include "mission/services/WorldCollisionScene.h"
#include "physics/Collision.h"
#include "tests/characters/body/CharacterFixture.h"
#include "tests/world/WorldFixture.h"

class DemoMapCharacterTest : public WorldTest {
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
        standIn = std::make_unique<WorldStandIn>(*world, *camera, everyone, std::vector<std::string>{"Rifle", "Unarmed"});
        SetTemplateCharacter(nullptr);
        seedMT(4357);
    }

    void TearDown() override
    {
        characters.clear();
        everyone.clear();
        standIn.reset();
        SetTemplateCharacter(nullptr);
        CollisionSetScene(nullptr);
        scene.reset();
        AnimationCache::Instance().Clear();
        Application::Instance()->SetDevice(nullptr);
        WorldTest::TearDown();
    }

    // Keeps a character for the test and enters it in the mission's list.
    template <typename Kind>
    Kind& Keep(std::unique_ptr<Kind> c)
    {
        Kind& kept = *c;
        everyone.push_back(c.get());
        characters.push_back(std::move(c));
        return kept;
    }

    std::unique_ptr<WorldCollisionScene> scene;
    std::vector<std::unique_ptr<Character>> characters;
    std::vector<Character*> everyone;
    std::unique_ptr<WorldStandIn> standIn;
};
