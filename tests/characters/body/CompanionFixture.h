#pragma once

// Neutrals and guard dogs beside the enemies of the enemy fixture: the same bodies, sensor and
// mission stand-in, each entered in the mission's character list.

#include <memory>
#include <vector>

#include "characters/neutral/Animal.h"
#include "characters/neutral/Neutral.h"
#include "tests/characters/body/EnemyFixture.h"

class CompanionTest : public EnemyTest {
protected:
    void TearDown() override
    {
        everyone.clear();
        dogs.clear();
        neutrals.clear();
        EnemyTest::TearDown();
    }

    Neutral& MakeNeutral(const Vector3& at = Vector3())
    {
        neutrals.push_back(std::make_unique<Neutral>(kModel, kSensor, "Sound/Voice"));
        Neutral& neutral = *neutrals.back();
        neutral.SetPosition(at.x, at.y, at.z);
        everyone.push_back(&neutral);
        return neutral;
    }

    Animal& MakeDog(const Vector3& at = Vector3())
    {
        static const char* const loadout[] = {"Dog Bite"};
        dogs.push_back(std::make_unique<Animal>(kModel, kSensor, loadout, 1));
        Animal& dog = *dogs.back();
        dog.SetPosition(at.x, at.y, at.z);
        everyone.push_back(&dog);
        return dog;
    }

    std::vector<std::unique_ptr<Neutral>> neutrals;
    std::vector<std::unique_ptr<Animal>> dogs;
};
