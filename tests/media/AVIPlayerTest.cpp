#include "tests/media/SoundFixture.h"

#include <filesystem>
#include <fstream>

#include "media/AVIPlayer.h"
#include "platform/video/AviResult.h"
#include "tests/media/FakeBitmap.h"
#include "tests/platform/video/MovieFixtures.h"

namespace {

using moviefixtures::ChannelDistance;
using moviefixtures::CodecCase;
using moviefixtures::Codecs;
using moviefixtures::FrameColour;
using platform::video::MovieSettings;
using platform::video::VideoCodec;

// Eight frames of 64 x 48 at 10 per second: 800 ms.
std::string Movie(const CodecCase& c, bool sound)
{
    const std::string path = std::string("player-") + c.name + (sound ? "-sound" : "") + ".avi";
    if (!std::filesystem::exists(path)) {
        MovieSettings settings;
        settings.width = 64;
        settings.height = 48;
        settings.framesPerSecond = 10;
        settings.codec = c.codec;
        settings.soundRate = sound ? 22050 : 0;
        moviefixtures::WriteMovie(path, settings, 8);
    }
    return path;
}

class AVIPlayerTest : public SoundFixture {
protected:
    void ExpectFrame(FakeBitmap& texture, int frame, int tolerance, const std::string& what)
    {
        for (auto [x, y] : {std::pair{0, 0}, std::pair{32, 24}, std::pair{63, 47}})
            EXPECT_LE(ChannelDistance(texture.Pixel32(x, y), FrameColour(frame)), tolerance)
                << what << " frame " << frame << std::hex << " got " << texture.Pixel32(x, y);
    }
};

TEST_F(AVIPlayerTest, SilentMoviesFollowTheClockFrameByFrame)
{
    for (const CodecCase& c : Codecs) {
        AVIPlayer player;
        ASSERT_EQ(player.Open(Movie(c, false).c_str(), nullptr, nullptr), 0) << c.name;
        const platform::video::VideoFormat* format = player.GetVideoFormat(0);
        ASSERT_NE(format, nullptr);
        EXPECT_EQ(format->width, 64);
        EXPECT_EQ(format->height, 48);
        FakeBitmap texture(64, 48, FormatX8R8G8B8);
        ASSERT_EQ(player.StartVideoAtTextureSize(0, &texture), 0);
        EXPECT_FALSE(player.HasSound(0));
        // The first update shows the first frame whatever the clock says.
        EXPECT_EQ(player.AdvanceFrame(0, 0, &texture, 0, 0, 64, 48, false), 0);
        ExpectFrame(texture, 0, c.tolerance, c.name);
        struct Step {
            int elapsed;
            int frame;
        } steps[] = {{99, 0}, {1, 1}, {250, 3}, {150, 5}, {299, 7}};
        for (const Step& step : steps) {
            EXPECT_EQ(player.AdvanceFrame(0, step.elapsed, &texture, 0, 0, 64, 48, false), 0) << c.name;
            ExpectFrame(texture, step.frame, c.tolerance, c.name);
        }
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(player.AdvanceFrame(0, 100, &texture, 0, 0, 64, 48, false), AVIPlayer::AVIPLAYERR_NOMOREFRAMES);
        EXPECT_EQ(player.StopVideo(0), 0);
        EXPECT_TRUE(texture.GuardIntact());
    }
}

TEST_F(AVIPlayerTest, LoopingWrapsToTheFirstFrame)
{
    AVIPlayer player;
    ASSERT_EQ(player.Open(Movie(Codecs[2], false).c_str(), nullptr, nullptr), 0);
    FakeBitmap texture(64, 48, FormatX8R8G8B8);
    ASSERT_EQ(player.StartVideoAtTextureSize(0, &texture), 0);
    EXPECT_EQ(player.UpdateFullFrame(0, nullptr, &texture, true), 0);
    EXPECT_EQ(player.AdvanceFrame(0, 750, &texture, 0, 0, 64, 48, true), 0);
    ExpectFrame(texture, 7, 10, "before the wrap");
    EXPECT_EQ(player.AdvanceFrame(0, 100, &texture, 0, 0, 64, 48, true), AVIPlayer::AVIPLAYERR_LOOPED);
    ExpectFrame(texture, 0, 10, "after the wrap");
    EXPECT_EQ(player.AdvanceFrame(0, 100, &texture, 0, 0, 64, 48, true), 0);
    ExpectFrame(texture, 1, 10, "after the wrap");
}

// A screen redrawn faster than the movie runs asks for the same picture again and again: it is
// copied into a texture once, and again for another texture, another rectangle or the next picture.
TEST_F(AVIPlayerTest, APictureIsCopiedOncePerTextureAndRectangle)
{
    AVIPlayer player;
    ASSERT_EQ(player.Open(Movie(Codecs[2], false).c_str(), nullptr, nullptr), 0);
    FakeBitmap texture(64, 48, FormatX8R8G8B8), other(64, 48, FormatX8R8G8B8);
    ASSERT_EQ(player.StartVideoAtTextureSize(0, &texture), 0);
    struct Step {
        const char* what;
        int elapsed;
        FakeBitmap* into;
        int width;
        int textureLocks, otherLocks;
    } steps[] = {
        {"second picture", 100, &texture, 64, 1, 0}, {"same picture", 40, &texture, 64, 1, 0},
        {"another texture", 0, &other, 64, 1, 1},    {"another rectangle", 0, &texture, 32, 2, 1},
        {"same rectangle", 40, &texture, 32, 2, 1}, {"next picture", 20, &texture, 32, 3, 1},
    };
    for (const Step& step : steps) {
        EXPECT_EQ(player.AdvanceFrame(0, step.elapsed, step.into, 0, 0, step.width, 48, false), 0) << step.what;
        EXPECT_EQ(texture.locks, step.textureLocks) << step.what;
        EXPECT_EQ(other.locks, step.otherLocks) << step.what;
    }
    ExpectFrame(other, 1, 10, "copied once");
    for (auto [x, y] : {std::pair{0, 0}, std::pair{31, 47}})
        EXPECT_LE(ChannelDistance(texture.Pixel32(x, y), FrameColour(2)), 10) << "next picture";
    // Started again, the first picture is copied anew.
    ASSERT_EQ(player.StartVideoAtTextureSize(0, &texture), 0);
    EXPECT_EQ(player.AdvanceFrame(0, 0, &texture, 0, 0, 64, 48, false), 0);
    EXPECT_EQ(texture.locks, 4);
    ExpectFrame(texture, 0, 10, "started again");
}

TEST_F(AVIPlayerTest, SixteenBitTexturesGetTheirOwnLayout)
{
    struct Case {
        int format;
        std::uint16_t expected; // frame 0 is 0xE02020
    } cases[] = {
        {FormatR5G6B5, static_cast<std::uint16_t>(28 << 11 | 8 << 5 | 4)},
        {FormatX1R5G5B5, static_cast<std::uint16_t>(28 << 10 | 4 << 5 | 4)},
        {FormatA4R4G4B4, static_cast<std::uint16_t>(14 << 8 | 2 << 4 | 2)},
    };
    for (const Case& c : cases) {
        AVIPlayer player;
        ASSERT_EQ(player.Open(Movie(Codecs[0], false).c_str(), nullptr, nullptr), 0);
        FakeBitmap texture(64, 48, c.format);
        ASSERT_EQ(player.StartVideoAtTextureSize(0, &texture), 0);
        ASSERT_EQ(player.AdvanceFrame(0, 0, &texture, 0, 0, 64, 48, false), 0);
        const std::uint16_t mask = c.format == FormatR5G6B5 ? 0xFFFF : c.format == FormatX1R5G5B5 ? 0x7FFF : 0x0FFF;
        EXPECT_EQ(texture.Pixel16(10, 10) & mask, c.expected) << c.format;
        EXPECT_TRUE(texture.GuardIntact());
    }
}

TEST_F(AVIPlayerTest, CopiesAreClippedToTheTextureAndThePicture)
{
    AVIPlayer player;
    ASSERT_EQ(player.Open(Movie(Codecs[0], false).c_str(), nullptr, nullptr), 0);
    // A texture narrower and lower than the video: the left part of each row, the top rows.
    FakeBitmap small(32, 16, FormatA8R8G8B8);
    ASSERT_EQ(player.StartVideo(0, &small, 64, 48), 0);
    EXPECT_EQ(player.UpdateFullFrame(0, nullptr, &small, false), 0);
    EXPECT_LE(ChannelDistance(small.Pixel32(31, 15), FrameColour(0)), 0);
    EXPECT_TRUE(small.GuardIntact());
    // Placed near the corner: only what fits is written.
    FakeBitmap texture(64, 48, FormatA8R8G8B8);
    ASSERT_EQ(player.StartVideo(0, &texture, 64, 48), 0);
    EXPECT_EQ(player.Update(0, nullptr, &texture, 40, 30, 64, 48, false), 0);
    EXPECT_EQ(texture.Pixel32(39, 29), 0xCDCDCDCDu);
    EXPECT_LE(ChannelDistance(texture.Pixel32(63, 47), FrameColour(0)), 0);
    EXPECT_TRUE(texture.GuardIntact());
    EXPECT_EQ(texture.locks, texture.unlocks);
}

TEST_F(AVIPlayerTest, TheSoundTrackClocksThePictureAndReachesTheMixer)
{
    for (const CodecCase& c : Codecs) {
        Start();
        Open3D();
        AVIPlayer player;
        ASSERT_EQ(player.Open(Movie(c, true).c_str(), system.get(), nullptr), 0) << c.name;
        EXPECT_TRUE(system->GetDriver()->IsReleased());
        FakeBitmap texture(64, 48, FormatX8R8G8B8);
        ASSERT_EQ(player.StartVideoAtTextureSize(0, &texture), 0);
        ASSERT_TRUE(player.HasSound(0));
        EXPECT_EQ(player.UpdateFullFrame(0, nullptr, &texture, false), 0);
        ExpectFrame(texture, 0, c.tolerance, c.name);
        // 350 ms of mixing, in steps of a game frame: the picture follows the sound.
        std::vector<std::int16_t> heard;
        for (int step = 0; step < 21; ++step) {
            const auto out = Render(Rate * 350 / 1000 / 21);
            heard.insert(heard.end(), out.begin(), out.end());
            ASSERT_EQ(player.UpdateFullFrame(0, nullptr, &texture, false), 0);
        }
        EXPECT_GT(wavefixtures::ChannelRms(heard, 0), 3000.0) << c.name;
        ExpectFrame(texture, 3, c.tolerance, c.name);
        // Past the end: no more frames, on every call.
        std::int32_t result = 0;
        for (int step = 0; step < 40 && result == 0; ++step) {
            Render(Rate / 40);
            result = player.UpdateFullFrame(0, nullptr, &texture, false);
        }
        EXPECT_EQ(result, AVIPlayer::AVIPLAYERR_NOMOREFRAMES) << c.name;
        EXPECT_EQ(player.UpdateFullFrame(0, nullptr, &texture, false), AVIPlayer::AVIPLAYERR_NOMOREFRAMES);
        player.Close();
        EXPECT_FALSE(system->GetDriver()->IsReleased());
        EXPECT_EQ(system->Get3DSampleCount(), 64);
        system.reset();
    }
}

TEST_F(AVIPlayerTest, ALoopingSoundTrackKeepsThePictureInStep)
{
    Start();
    AVIPlayer player;
    ASSERT_EQ(player.Open(Movie(Codecs[1], true).c_str(), system.get(), nullptr), 0);
    FakeBitmap texture(64, 48, FormatX8R8G8B8);
    ASSERT_EQ(player.StartVideoAtTextureSize(0, &texture), 0);
    bool looped = false;
    for (int step = 0; step < 60; ++step) {
        Render(Rate / 50);
        const std::int32_t result = player.UpdateFullFrame(0, nullptr, &texture, true);
        ASSERT_TRUE(result == 0 || result == AVIPlayer::AVIPLAYERR_LOOPED) << std::hex << result;
        looped = looped || result == AVIPlayer::AVIPLAYERR_LOOPED;
    }
    // 1.2 s into an 800 ms movie: past one wrap, in its second pass.
    EXPECT_TRUE(looped);
    const auto out = Render(Rate / 50);
    EXPECT_GT(wavefixtures::ChannelRms(out, 0), 3000.0);
}

TEST_F(AVIPlayerTest, AMissingFileGivesTheSoundBackAtClose)
{
    Start();
    AVIPlayer player;
    EXPECT_EQ(player.Open("Movies/none.avi", system.get(), nullptr), AVIPlayer::AVIPLAYERR_NOSUCHFILE);
    EXPECT_EQ(player.GetLastError(), AVIPlayer::AVIPLAYERR_NOSUCHFILE);
    EXPECT_TRUE(system->GetDriver()->IsReleased());
    player.Close();
    EXPECT_FALSE(system->GetDriver()->IsReleased());
    EXPECT_TRUE(LogHas("Digital handle reacquired"));
}

TEST_F(AVIPlayerTest, BrokenFilesAndBadCallsAreErrorsNotCrashes)
{
    Start();
    std::ofstream("broken.avi", std::ios::binary) << "RIFF\x10\0\0\0AVI LIST" << std::string(300, '\x7F');
    AVIPlayer player;
    const std::int32_t result = player.Open("broken.avi", system.get(), nullptr);
    EXPECT_NE(result, 0);
    EXPECT_NE(result, AVIPlayer::AVIPLAYERR_NOSUCHFILE);
    EXPECT_FALSE(system->GetDriver()->IsReleased()); // the failed open closed the player
    FakeBitmap texture(64, 48, FormatX8R8G8B8);
    EXPECT_EQ(player.GetVideoFormat(0), nullptr);
    EXPECT_EQ(player.GetLastError(), AVIPlayer::AVIPLAYERR_INVALIDSTREAM);
    EXPECT_EQ(player.StartVideo(0, &texture, 64, 48), AVIPlayer::AVIPLAYERR_INVALIDSTREAM);
    EXPECT_EQ(player.UpdateFullFrame(0, nullptr, &texture, false), AVIPlayer::AVIPLAYERR_INVALIDSTREAM);
    EXPECT_EQ(player.StopVideo(0), AVIPlayer::AVIPLAYERR_INVALIDSTREAM);
    player.StopAudio(7);

    ASSERT_EQ(player.Open(Movie(Codecs[0], false).c_str(), nullptr, nullptr), 0);
    EXPECT_EQ(player.Update(0, nullptr, &texture, 0, 0, 64, 48, false), AVIPlayer::AVIPLAYERR_NOTINIT);
    EXPECT_EQ(player.StartVideo(1, &texture, 64, 48), AVIPlayer::AVIPLAYERR_INVALIDSTREAM);
    EXPECT_EQ(player.StartVideo(-1, &texture, 64, 48), AVIPlayer::AVIPLAYERR_INVALIDSTREAM);
    EXPECT_NE(player.StartVideo(0, &texture, 0, 48), 0);
}

TEST_F(AVIPlayerTest, ErrorNames)
{
    struct Case {
        std::int32_t code;
        const char* name;
    } cases[] = {
        {0, "AVIERR_OK"},
        {static_cast<std::int32_t>(0x80040154u), "REGDB_E_CLASSNOTREG"},
        {platform::video::aviresult::FileOpen, "AVIERR_FILEOPEN"},
        {platform::video::aviresult::Error, "AVIERR_ERROR"},
        {AVIPlayer::AVIPLAYERR_NOMOREFRAMES, "AVIPLAYERR_NOMOREFRAMES"},
        {AVIPlayer::AVIPLAYERR_NOTINIT, "AVIPLAYERR_NOTINIT"},
        {0x1234, "Unknown AVI File error."},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(AVIPlayer::GetErrorName(c.code), c.name);
}

}

namespace {

TEST_F(AVIPlayerTest, AShortMovieGetsASoundBufferOfWholeBlocks)
{
    // 700 ms of stereo 16-bit sound at 11025 Hz: 30870 bytes, not a whole number of 4-byte
    // blocks per half; the buffer is rounded down instead of refused.
    MovieSettings settings;
    settings.width = 64;
    settings.height = 48;
    settings.framesPerSecond = 10;
    settings.codec = VideoCodec::Mjpeg;
    settings.soundRate = 11025;
    settings.soundChannels = 2;
    moviefixtures::WriteMovie("odd.avi", settings, 7);
    Start();
    AVIPlayer player;
    ASSERT_EQ(player.Open("odd.avi", system.get(), nullptr), 0);
    FakeBitmap texture(64, 48, FormatX8R8G8B8);
    ASSERT_EQ(player.StartVideoAtTextureSize(0, &texture), 0);
    EXPECT_TRUE(player.HasSound(0));
    EXPECT_EQ(player.UpdateFullFrame(0, nullptr, &texture, false), 0);
    EXPECT_GT(wavefixtures::ChannelRms(Render(2048), 1), 3000.0);
}

}

namespace {

TEST_F(AVIPlayerTest, WithSoundDisabledAMoviePlaysSilentOnTheClock)
{
    system = std::make_unique<SoundSystem>();
    ASSERT_EQ(system->Create(false, 14, 2, Rate, "GameData/Audio"), 0);
    AVIPlayer player;
    ASSERT_EQ(player.Open(Movie(Codecs[0], true).c_str(), system.get(), nullptr), 0);
    FakeBitmap texture(64, 48, FormatX8R8G8B8);
    ASSERT_EQ(player.StartVideoAtTextureSize(0, &texture), 0);
    EXPECT_FALSE(player.HasSound(0));
    EXPECT_EQ(player.AdvanceFrame(0, 0, &texture, 0, 0, 64, 48, false), 0);
    EXPECT_EQ(player.AdvanceFrame(0, 420, &texture, 0, 0, 64, 48, false), 0);
    ExpectFrame(texture, 4, 0, "silent");
}

}
