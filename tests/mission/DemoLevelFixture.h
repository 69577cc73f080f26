#pragma once

// The demo mission's level loaded from a seed, stepped frame by frame the way the in-game update
// runs its characters, with the map's enemies at hand.

#include "engine/core/RandomMT.h"
#include "tests/mission/MissionFixture.h"

#include "characters/enemy/Enemy.h"
#include "characters/level/WeaponQueries.h"
#include "items/projectiles/Bullet.h"
#include "media/SoundSystem.h"
#include "mission/props/AlarmProp.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

class DemoLevelTest : public DemoMissionTest {
protected:
    static constexpr float frame = 1.0f / 30.0f;

    void SetUp() override
    {
        DemoMissionTest::SetUp();
        // Positional sounds (voices, the alarm's siren) play on the 3D provider.
        sound->Enumerate3DProviders();
        ASSERT_EQ(sound->Open3DProvider(0, 32), 0);
    }

    // The level with both generators seeded.
    MissionState* Load(std::uint32_t seed)
    {
        seedMT(seed);
        std::srand(seed);
        MissionState* mission = StartMission();
        EXPECT_TRUE(mission->HasLoadedLevel()) << Log();
        return mission;
    }

    // One fixed frame of what the in-game update runs for the characters: their decisions, the
    // events, the scene (bodies, items, shots), the alarms and the shots that are done.
    static void Step(MissionState* mission)
    {
        for (Character* character : std::vector<Character*>(mission->level.characters))
            character->Think();
        mission->UpdateEvents(frame);
        mission->level.root->Update(frame);
        for (AlarmProp* alarm = FirstAlarm(); alarm; alarm = alarm->next)
            alarm->Update(alarm->object, frame);
        auto& shots = mission->level.projectiles;
        for (std::size_t i = 0; i < shots.size();)
            if (shots[i]->IsActive()) {
                ++i;
            } else {
                delete shots[i];
                shots.erase(shots.begin() + std::ptrdiff_t(i));
            }
    }

    static std::vector<Enemy*> Enemies(MissionState* mission)
    {
        std::vector<Enemy*> enemies;
        for (Character* character : mission->level.characters)
            if (auto* enemy = dynamic_cast<Enemy*>(character))
                enemies.push_back(enemy);
        return enemies;
    }

    static Enemy* NearestEnemy(MissionState* mission, float x, float z)
    {
        Enemy* best = nullptr;
        for (Enemy* enemy : Enemies(mission))
            if (!best || Distance2D(enemy, x, z) < Distance2D(best, x, z))
                best = enemy;
        return best;
    }

    static float Distance2D(const Vector3& at, float x, float z) { return std::hypot(at.x - x, at.z - z); }
    static float Distance2D(const Character* c, float x, float z) { return Distance2D(c->position, x, z); }
};
