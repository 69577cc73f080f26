#include "tests/media/SoundFixture.h"

#include <climits>

#include "engine/filesystem/PackFile.h"
#include "media/Sound2D.h"
#include "media/Sound3D.h"
#include "media/SoundStream.h"
#include "platform/audio/Voice.h"
#include "tools/demodata/writers/ZipWriter.h"

namespace {

using wavefixtures::ChannelRms;

class SoundTest : public SoundFixture {
protected:
    void SetUp() override
    {
        SoundFixture::SetUp();
        Start();
        Open3D();
        system->SetListenerPosition(0.0f, 0.0f, 0.0f);
        system->SetListenerOrientation(0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f);
    }
};

TEST_F(SoundTest, APositionalSoundToTheRightIsLouderInTheRightChannel)
{
    Sound3D sound;
    ASSERT_EQ(sound.Create(system.get(), "fixtures/stereo.wav"), 0);
    sound.SetPosition(5.0f, 0.0f, 0.0f, Sound::NoPlay);
    const int handle = sound.Play(1.0f, 0);
    ASSERT_GE(handle, system->Get3DSampleCount());
    auto out = Render(4096);
    EXPECT_GT(ChannelRms(out, 1), 2.0 * ChannelRms(out, 0) + 1.0);
    // Moving the play moves what is heard.
    sound.SetPosition(-5.0f, 0.0f, 0.0f, handle);
    Render(1024);
    out = Render(4096);
    EXPECT_GT(ChannelRms(out, 0), 2.0 * ChannelRms(out, 1) + 1.0);
    EXPECT_EQ(system->GetActive3DSampleCount(), 1);
}

TEST_F(SoundTest, DistanceSoftensAPositionalSound)
{
    Sound3D sound;
    ASSERT_EQ(sound.Create(system.get(), "fixtures/tone.wav"), 0);
    sound.SetDistances(200.0f, 1.0f, Sound::NoPlay);
    sound.SetPosition(0.0f, 0.0f, 1.0f, Sound::NoPlay);
    const int handle = sound.Play(1.0f, 0);
    const double near = ChannelRms(Render(4096), 0);
    sound.SetPosition(0.0f, 0.0f, 8.0f, handle);
    Render(1024);
    const double far = ChannelRms(Render(4096), 0);
    EXPECT_NEAR(far / near, 1.0 / 8.0, 0.03);
}

TEST_F(SoundTest, SetPositionWithoutAPlayOnlyMovesLaterPlays)
{
    Sound3D sound;
    ASSERT_EQ(sound.Create(system.get(), "fixtures/tone.wav"), 0);
    sound.SetPosition(5.0f, 0.0f, 0.0f, Sound::NoPlay);
    sound.Play(1.0f, 0);
    sound.SetPosition(-5.0f, 0.0f, 0.0f, Sound::NoPlay);
    Render(1024);
    const auto out = Render(4096);
    EXPECT_GT(ChannelRms(out, 1), 2.0 * ChannelRms(out, 0));
    EXPECT_EQ(sound.position, Vector3(-5.0f, 0.0f, 0.0f));
}

TEST_F(SoundTest, PlaySentinelsKeepOrReplaceTheStoredValues)
{
    Sound2D sound;
    ASSERT_EQ(sound.Create(system.get(), "fixtures/short.wav"), 0);
    EXPECT_EQ(sound.playbackRate, Rate);
    const int first = sound.Play(0.5f, 0);
    EXPECT_EQ(sound.volume, 0.5f);
    EXPECT_EQ(sound.loopCount, 0);
    sound.Stop(first);
    const int second = sound.Play(Sound::KeepVolume, Sound::KeepLoops);
    EXPECT_EQ(sound.volume, 0.5f);
    EXPECT_EQ(sound.loopCount, 0);
    // Endless: still playing long after the 50 ms file ended.
    Render(Rate / 2);
    EXPECT_TRUE(sound.IsPlaying(second));
    EXPECT_NEAR(ChannelRms(Render(2048), 0), 0.5 * 12000 / std::sqrt(2.0) * std::sqrt(0.5), 900.0);
}

TEST_F(SoundTest, AllTwoDVoicesBusyFailsQuietly)
{
    Sound2D sound;
    ASSERT_EQ(sound.Create(system.get(), "fixtures/tone.wav"), 0);
    for (int i = 0; i < 14; ++i)
        ASSERT_GE(sound.Play(1.0f, 0), 14);
    const std::size_t lines = LogLines().size();
    EXPECT_EQ(sound.Play(), -1);
    EXPECT_EQ(LogLines().size(), lines);
    EXPECT_EQ(system->GetActive2DSampleCount(), 14);
}

TEST_F(SoundTest, AHandleNamesItsVoiceOnlyUntilTheVoicePlaysAgain)
{
    system.reset();
    Start(1, 0);
    Sound2D sound;
    ASSERT_EQ(sound.Create(system.get(), "fixtures/short.wav"), 0);
    const int first = sound.Play();
    EXPECT_EQ(first, 1); // voice 0's counter 0 plus the pool size 1
    EXPECT_TRUE(sound.IsPlaying(first));
    Render(Rate / 10);
    EXPECT_FALSE(sound.IsPlaying(first));
    const int second = sound.Play(1.0f, 0);
    EXPECT_EQ(second, 2);
    sound.Stop(first);
    EXPECT_TRUE(sound.IsPlaying(second));
    for (int never : {-1, 0, Sound::NoPlay})
        EXPECT_FALSE(sound.IsPlaying(never));
    sound.Stop(second);
    EXPECT_FALSE(sound.IsPlaying(second));
}

TEST_F(SoundTest, HandleCountersWrapInsteadOfOverflowing)
{
    Sound2D sound;
    ASSERT_EQ(sound.Create(system.get(), "fixtures/tone.wav"), 0);
    system->Get2DSample(0)->userData[0] = INT_MAX - 5;
    const int handle = sound.Play(1.0f, 0);
    EXPECT_GT(handle, 0);
    EXPECT_EQ(handle % 14, 0);
    EXPECT_TRUE(sound.IsPlaying(handle));
}

TEST_F(SoundTest, SameFileSharesOneImageUntilTheLastOwnerGoes)
{
    auto a = std::make_unique<Sound3D>();
    auto b = std::make_unique<Sound3D>();
    Sound2D flat;
    ASSERT_EQ(a->Create(system.get(), "fixtures/tone.wav"), 0);
    ASSERT_EQ(b->Create(system.get(), "fixtures/tone.wav"), 0);
    ASSERT_EQ(flat.Create(system.get(), "fixtures/tone.wav"), 0);
    EXPECT_EQ(a->GetFileData(), b->GetFileData());
    EXPECT_NE(static_cast<const void*>(a->GetFileData()), static_cast<const void*>(flat.GetFileData()));
    EXPECT_EQ(a->GetFileData()->referenceCount, 2);
    const int handleA = a->Play(1.0f, 0);
    a.reset();
    EXPECT_FALSE(b->IsPlaying(handleA)); // destroying an object ends its plays
    EXPECT_EQ(b->GetFileData()->referenceCount, 1);
    const int handleB = b->Play(1.0f, 0);
    EXPECT_TRUE(b->IsPlaying(handleB));
    EXPECT_GT(ChannelRms(Render(2048), 0), 500.0);
    b.reset();
    Sound3D again;
    ASSERT_EQ(again.Create(system.get(), "fixtures/tone.wav"), 0);
    EXPECT_EQ(again.GetFileData()->referenceCount, 1);
}

TEST_F(SoundTest, SettersChangeAPlayingSound)
{
    Sound3D sound;
    ASSERT_EQ(sound.Create(system.get(), "fixtures/tone.wav"), 0);
    sound.SetPosition(0.0f, 0.0f, 1.0f, Sound::NoPlay);
    const int handle = sound.Play(1.0f, 0);
    const auto before = Render(4096);
    sound.SetVolume(0.5f, handle);
    sound.SetPlaybackRate(Rate * 2, handle);
    Render(1024);
    const auto after = Render(4096);
    EXPECT_NEAR(ChannelRms(after, 0) / ChannelRms(before, 0), 0.5, 0.08);
    EXPECT_NEAR(static_cast<double>(wavefixtures::ZeroCrossings(after, 0)) / wavefixtures::ZeroCrossings(before, 0), 2.0, 0.15);
    sound.SetLoopCount(1, handle);
    Render(Rate);
    EXPECT_FALSE(sound.IsPlaying(handle));
    EXPECT_EQ(sound.loopCount, 1);
    EXPECT_EQ(sound.playbackRate, Rate * 2);
}

TEST_F(SoundTest, PauseResumeAndStopEverything)
{
    Sound2D flat;
    Sound3D placed;
    SoundStream music;
    ASSERT_EQ(flat.Create(system.get(), "fixtures/tone.wav"), 0);
    ASSERT_EQ(placed.Create(system.get(), "fixtures/tone.wav"), 0);
    ASSERT_EQ(music.Create(system.get(), "fixtures/stereo.wav"), 0);
    const int h2 = flat.Play(1.0f, 0);
    const int h3 = placed.Play(1.0f, 0);
    music.SetLoopCount(0);
    music.Play();
    system->PauseAll();
    EXPECT_TRUE(placed.IsStopped(h3));
    EXPECT_FALSE(flat.IsPlaying(h2));
    EXPECT_TRUE(music.IsPaused());
    // A paused voice is not free for a new play.
    Sound3D other;
    ASSERT_EQ(other.Create(system.get(), "fixtures/short.wav"), 0);
    EXPECT_NE(other.Play() % 64, h3 % 64);
    Render(512);
    system->ResumeAll();
    EXPECT_TRUE(flat.IsPlaying(h2));
    EXPECT_TRUE(placed.IsPlaying(h3));
    EXPECT_FALSE(music.IsPaused());
    system->StopAll();
    EXPECT_FALSE(flat.IsPlaying(h2));
    EXPECT_FALSE(placed.IsPlaying(h3));
    EXPECT_FALSE(placed.IsStopped(h3));
    EXPECT_TRUE(music.IsPaused());
}

TEST_F(SoundTest, StreamsPlayMusic)
{
    SoundStream music;
    ASSERT_EQ(music.Create(system.get(), "fixtures/stereo.wav"), 0);
    EXPECT_STREQ(music.GetFileName(), "fixtures/stereo.wav");
    music.SetVolume(0.5f);
    music.SetLoopCount(1);
    music.SetPlaybackRate(Rate / 2);
    music.Play();
    const auto out = Render(4096);
    EXPECT_NEAR(ChannelRms(out, 0), ChannelRms(out, 1), 50.0);
    EXPECT_GT(ChannelRms(out, 0), 500.0);
    // One second of sound at half speed lasts two.
    Render(Rate);
    EXPECT_FALSE(music.IsPaused());
    EXPECT_GT(ChannelRms(Render(1024), 0), 500.0);
    Render(Rate);
    EXPECT_LT(ChannelRms(Render(1024), 0), 1.0);
}

TEST_F(SoundTest, ImaAdpcmFilesPlay)
{
    Sound2D sound;
    ASSERT_EQ(sound.Create(system.get(), "fixtures/adpcm.wav"), 0);
    ASSERT_GE(sound.Play(), 0);
    EXPECT_GT(ChannelRms(Render(2048), 0), 500.0);
}

TEST_F(SoundTest, MissingAndCorruptFilesFailWithTheirLogLines)
{
    Sound2D missing2D;
    Sound3D missing3D;
    SoundStream missingStream;
    EXPECT_EQ(missing2D.Create(system.get(), "fixtures/none.wav"), -1);
    EXPECT_EQ(missing3D.Create(system.get(), "fixtures/none.wav"), -1);
    EXPECT_EQ(missingStream.Create(system.get(), "fixtures/none.wav"), -1);
    EXPECT_TRUE(LogHas("ERROR: Sound2D::Create - File not found. (fixtures/none.wav)"));
    EXPECT_TRUE(LogHas("ERROR: Sound3D::Create - File not found. (fixtures/none.wav)"));
    EXPECT_TRUE(LogHas("ERROR: SoundStream::Create - File not found. (fixtures/none.wav)"));
    EXPECT_STREQ(missing2D.GetErrorText(), "ERROR: Sound2D::Create - File not found. (fixtures/none.wav)");
    EXPECT_EQ(missing2D.Play(), -1);
    EXPECT_EQ(missing3D.Play(), -1);

    Sound2D corrupt2D;
    Sound3D corrupt3D;
    SoundStream corruptStream;
    ASSERT_EQ(corrupt2D.Create(system.get(), "fixtures/garbage.wav"), 0);
    ASSERT_EQ(corrupt3D.Create(system.get(), "fixtures/garbage.wav"), 0);
    EXPECT_EQ(corrupt2D.Play(), -1);
    EXPECT_EQ(corrupt3D.Play(), -1);
    EXPECT_EQ(corruptStream.Create(system.get(), "fixtures/garbage.wav"), -1);
    EXPECT_TRUE(LogHas("ERROR: Sound2D::Play - No decoder available for file type"));
    EXPECT_TRUE(LogHas("ERROR: Sound3D::Play - Not a RIFF WAVE file."));
    EXPECT_TRUE(LogHas("ERROR: SoundStream::Create - Not a RIFF WAVE file. (fixtures/garbage.wav)"));
}

TEST_F(SoundTest, NoThreeDVoicesWithoutAProvider)
{
    system->Close3DProvider();
    Sound3D sound;
    ASSERT_EQ(sound.Create(system.get(), "fixtures/tone.wav"), 0);
    EXPECT_EQ(sound.Play(), -1);
    EXPECT_EQ(system->GetActive3DSampleCount(), -1);
}

}

namespace {

TEST_F(SoundTest, ASoundInsideAnArchivePlaysLikeALooseOne)
{
    PackFileCloseArchives();
    ASSERT_EQ(PackFileSetArchiveExtension(".qa"), 1);
    ZipWriter zip;
    zip.Add("archived.wav", wavefixtures::Pcm16(wavefixtures::Tone(440.0, Rate, Rate), Rate, 1), ZipWriter::Method::Deflated);
    zip.Add("music.wav", wavefixtures::Pcm16(wavefixtures::Tone(440.0, Rate, Rate, 2), Rate, 2), ZipWriter::Method::Stored);
    wavefixtures::WriteFile("Packed.qa", zip.Finish());
    std::filesystem::remove_all("Packed");

    Sound2D flat;
    Sound3D placed;
    SoundStream music;
    EXPECT_EQ(flat.Create(system.get(), "Packed/archived.wav"), 0) << flat.GetErrorText();
    EXPECT_EQ(placed.Create(system.get(), "packed\\ARCHIVED.wav"), 0) << placed.GetErrorText();
    EXPECT_EQ(music.Create(system.get(), "Packed/music.wav"), 0) << music.GetErrorText();
    EXPECT_EQ(flat.GetFileData()->size, static_cast<std::int32_t>(44 + 2 * Rate));
    const int handle = flat.Play();
    EXPECT_TRUE(flat.IsPlaying(handle));
    EXPECT_GT(ChannelRms(Render(2048), 0), 1000.0);
    PackFileCloseArchives();
}

}
