// The sound of a map object a character brushes, played on the loopback output: one plays at a
// time, renewing it keeps its play, and once nothing renews it it fades out within half a second.
#include "characters/body/Character.h"
#include "media/Sound3D.h"
#include "tests/media/SoundFixture.h"

namespace {

class CharacterSoundTest : public SoundFixture {
protected:
    void SetUp() override
    {
        SoundFixture::SetUp();
        Start();
        Open3D();
        ASSERT_EQ(rustle.Create(system.get(), "fixtures/tone.wav"), 0);
        ASSERT_EQ(splash.Create(system.get(), "fixtures/tone.wav"), 0);
    }

    Sound3D rustle;
    Sound3D splash;
};

} // namespace

TEST_F(CharacterSoundTest, OneBrushedSoundPlaysAtATimeAndFadesOutWithinHalfASecond)
{
    Character c;
    c.PlayProximitySound(&rustle, Vector3(10, 0, 5));
    const int first = c.proximityHandle;
    ASSERT_TRUE(c.IsPlayingSound());
    EXPECT_TRUE(rustle.IsPlaying(first));
    EXPECT_EQ(rustle.position, Vector3(10, 0, 5));
    EXPECT_EQ(rustle.maximumDistance, 300.0f);
    EXPECT_EQ(rustle.minimumDistance, 20.0f);

    // The pass that started it leaves it at full level; then it fades. Renewed while it fades,
    // the same sound keeps its play and comes back to full level.
    c.UpdateMapObjectContacts(0.1f);
    EXPECT_EQ(rustle.minimumDistance, 20.0f);
    c.UpdateMapObjectContacts(0.1f);
    EXPECT_FLOAT_EQ(rustle.minimumDistance, 16.0f);
    c.PlayProximitySound(&rustle, Vector3(12, 0, 5));
    EXPECT_EQ(c.proximityHandle, first);
    EXPECT_EQ(c.proximityLevel, 1.0f);
    EXPECT_EQ(rustle.minimumDistance, 20.0f);

    // Another object's sound stops the first.
    c.PlayProximitySound(&splash, Vector3(0, 0, 0));
    EXPECT_FALSE(rustle.IsPlaying(first));
    const int second = c.proximityHandle;
    EXPECT_TRUE(splash.IsPlaying(second));

    c.UpdateMapObjectContacts(0.125f);
    for (int frame = 0; frame < 3; ++frame)
        c.UpdateMapObjectContacts(0.125f);
    EXPECT_TRUE(splash.IsPlaying(second));
    EXPECT_EQ(splash.minimumDistance, 5.0f);
    c.UpdateMapObjectContacts(0.125f);
    EXPECT_FALSE(c.IsPlayingSound());
    EXPECT_EQ(c.proximitySound, nullptr);
    EXPECT_FALSE(splash.IsPlaying(second));
}
