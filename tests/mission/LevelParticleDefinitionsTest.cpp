// The running demo level keeps the particle files it reads: the soldiers' fire effects and the
// impacts of a firefight read each file once, and the level's unload lets them go.
#include "tests/mission/MissionFixture.h"

#include "engine/particle/ParticleEffectCache.h"
#include "items/ItemServices.h"
#include "items/projectiles/Flight.h"

namespace {

class LevelParticleDefinitionsTest : public DemoMissionTest {};

} // namespace

TEST_F(LevelParticleDefinitionsTest, EachParticleFileIsReadOncePerLevel)
{
    MissionState* mission = StartMission();
    ASSERT_TRUE(mission->HasLoadedLevel()) << Log();
    ParticleEffectCache& definitions = mission->level.particleDefinitions;
    EXPECT_EQ(LevelItemServices().ParticleEffects(), &definitions);
    // Every soldier of the level has its fire and smoke: two files, however many soldiers.
    ASSERT_GT(mission->level.characters.size(), 2u);
    EXPECT_EQ(definitions.Size(), 2u);

    const int before = mission->level.particleEffects.Count();
    for (int shot = 0; shot < 20; ++shot)
        ASSERT_TRUE(StartParticleEffect(shot % 2 ? "GameData/fx/fire.par" : "GameData/fx/blood.par", Vector3(), nullptr));
    EXPECT_EQ(definitions.Size(), 3u);
    EXPECT_EQ(mission->level.particleEffects.Count(), before + 20);
    // A file that does not load is refused each time, as before, and remembered.
    EXPECT_FALSE(StartParticleEffect("GameData/fx/none.par", Vector3(), nullptr));
    EXPECT_FALSE(StartParticleEffect("GameData/fx/none.par", Vector3(), nullptr));
    EXPECT_EQ(definitions.Size(), 4u);

    mission->UnloadLevel();
    EXPECT_EQ(definitions.Size(), 0u);
}
