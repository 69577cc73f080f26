#include "tests/media/SoundFixture.h"

#include <string>

#include "media/AVIPlayer.h"
#include "media/Sound2D.h"
#include "tests/media/FakeBitmap.h"

namespace {

using DemoDataTest = SoundFixture;

const std::string DataDir = BEXAL_DATA_DIR;

TEST_F(DemoDataTest, TheClickSoundPlays)
{
    Start();
    Sound2D click;
    ASSERT_EQ(click.Create(system.get(), (DataDir + "/Sound/clicksound.wav").c_str()), 0) << click.GetErrorText();
    ASSERT_GE(click.Play(), 0);
    EXPECT_GT(wavefixtures::ChannelRms(Render(512), 0), 500.0);
}

TEST_F(DemoDataTest, TheOpeningMoviePlaysWithItsSound)
{
    Start();
    AVIPlayer player;
    ASSERT_EQ(player.Open((DataDir + "/Movies/opening.avi").c_str(), system.get(), nullptr), 0);
    const platform::video::VideoFormat* format = player.GetVideoFormat(0);
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(format->width, 320);
    EXPECT_EQ(format->height, 240);
    FakeBitmap texture(format->width, format->height, FormatR5G6B5);
    ASSERT_EQ(player.StartVideoAtTextureSize(0, &texture), 0);
    ASSERT_TRUE(player.HasSound(0));
    std::int32_t result = 0;
    int frames = 0;
    std::vector<std::int16_t> heard;
    // Four seconds of movie, in steps of about a 60th of a second.
    while (result == 0 && frames < 400) {
        const auto out = Render(368);
        heard.insert(heard.end(), out.begin(), out.end());
        result = player.UpdateFullFrame(0, nullptr, &texture, false);
        ++frames;
    }
    EXPECT_EQ(result, AVIPlayer::AVIPLAYERR_NOMOREFRAMES);
    EXPECT_NEAR(frames, 240, 12);
    EXPECT_GT(wavefixtures::ChannelRms(heard, 0), 1000.0);
    EXPECT_TRUE(texture.GuardIntact());
}

}
