// The level's impact and chatter sounds weighed by their distance from the camera.
#include "tests/mission/MissionFixture.h"

#include "characters/ai/AILevelView.h"
#include "characters/level/RunningLevel.h"
#include "engine/camera/Camera.h"
#include "media/SoundSystem.h"

namespace {

class MissionSoundsTest : public MissionFixture {
protected:
    void TearDown() override
    {
        MissionState* mission = MissionState::Instance();
        if (mission->IsLevelPresent())
            mission->UnloadLevel();
        MissionFixture::TearDown();
    }
};

} // namespace

TEST(MissionSoundVolumeTest, ABulletHitIsFullWithinTwentyUnitsFadesAndIsSilentFromTwoHundredAndFifty)
{
    const struct {
        float distance;
        float volume;
    } cases[] = {
        {0.0f, 0.5f}, {19.9f, 0.5f}, {20.0f, 0.5f}, {135.0f, 0.25f}, {249.0f, 0.0021739f}, {250.0f, -1.0f}, {400.0f, -1.0f},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(MissionState::BulletHitVolume(c.distance * c.distance), c.volume, 1.0e-4f) << c.distance;
}

TEST_F(MissionSoundsTest, ChitChatIsHeardWithinThreeHundredUnitsOfTheCamera)
{
    UseDemoData();
    sound->Enumerate3DProviders();
    ASSERT_EQ(sound->Open3DProvider(0, 64), 0);
    MissionState* mission = StartMission();
    ASSERT_TRUE(mission->IsLevelLoaded()) << Log();
    ASSERT_GT(mission->audio.chitChatCount, 0);
    const Vector3 eye = mission->level.camera->world.GetTranslation();
    EXPECT_EQ(RunningLevel::AI().PlayChitChat(eye + Vector3(0.0f, 0.0f, 300.0f)), -1);
    const int handle = RunningLevel::AI().PlayChitChat(eye + Vector3(0.0f, 0.0f, 299.0f));
    EXPECT_GE(handle, 0);
    RunningLevel::AI().StopChitChat(handle);
}
