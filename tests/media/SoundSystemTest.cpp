#include "tests/media/SoundFixture.h"

#include <cstring>

#include "media/Sound2D.h"
#include "media/Sound3D.h"

namespace {

using SoundSystemTest = SoundFixture;

TEST_F(SoundSystemTest, StartUpWritesTheLogLines)
{
    Start();
    EXPECT_EQ(system->Get2DSampleCount(), 14);
    EXPECT_EQ(system->GetStreamReserve(), 2);
    system.reset();
    const std::vector<std::string> lines = LogLines();
    const std::vector<std::string> expected = {
        "***SoundSystem log opened***",
        "",
        "Sound System Initialized on OpenAL Soft",
    };
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 3), expected);
    for (const char* line : {"\tMaximum number of 2D samples: 64", "\tNumber of 2D samples requested: 14",
                             "\tNumber of streams requested: 2", "\tNumber of samples reserved for streams: 2",
                             "\tNumber of 2D samples attempted to allocate: 14", "\tTotal number of 2D samples allocated: 14",
                             "Enumerating 3D providers...", "...3D providers enumerated", "Sound System closed",
                             "***SoundSystem log closed***"})
        EXPECT_TRUE(LogHas(line)) << line;
    EXPECT_EQ(lines[3].rfind("\tVersion: ", 0), 0u);
    EXPECT_EQ(lines[4].rfind("\tDevice: ", 0), 0u);
}

TEST_F(SoundSystemTest, VoiceRequestsAreCappedAndCounted)
{
    struct Case {
        int requested, streams, driverLimit;
        int reserve, attempted, allocated;
    } cases[] = {
        {70, 2, 0, 0, 64, 64},
        {14, 2, 10, 2, 14, 10},
        {60, 10, 0, 4, 60, 60},
        {-5, -1, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        platform::audio::Driver::SetVoiceLimit(c.driverLimit);
        Start(c.requested, c.streams);
        EXPECT_EQ(system->GetStreamReserve(), c.reserve) << c.requested;
        EXPECT_EQ(system->Get2DSampleCount(), c.allocated) << c.requested;
        EXPECT_TRUE(LogHas("\tNumber of 2D samples requested: " + std::to_string(c.requested)));
        EXPECT_TRUE(LogHas("\tNumber of 2D samples attempted to allocate: " + std::to_string(c.attempted)));
        EXPECT_TRUE(LogHas("\tTotal number of 2D samples allocated: " + std::to_string(c.allocated)));
        system.reset();
    }
}

TEST_F(SoundSystemTest, AFailedDriverOpenLeavesSoundDisabled)
{
    system = std::make_unique<SoundSystem>();
    EXPECT_EQ(system->Create(true, 14, 2, 100, "GameData/Audio"), -1);
    EXPECT_FALSE(system->IsEnabled());
    EXPECT_TRUE(LogHas("ERROR: SoundSystem::Create - Unsupported output format."));
    EXPECT_STREQ(system->GetLastError(), "ERROR: SoundSystem::Create - Unsupported output format.");
    // Every later call is a quiet no-op instead of a call on a missing driver.
    system->Enumerate3DProviders();
    EXPECT_EQ(system->Open3DProvider(0, 64), -1);
    EXPECT_EQ(system->GetMasterVolume(), -1.0f);
    EXPECT_EQ(system->GetActive2DSampleCount(), -1);
    EXPECT_EQ(system->Release(), 0);
    EXPECT_EQ(system->Reacquire(), 0);
    Sound2D sound;
    EXPECT_EQ(sound.Create(system.get(), "fixtures/tone.wav"), 0);
    EXPECT_EQ(sound.Play(), -1);
}

TEST_F(SoundSystemTest, CreatingTwiceIsRefused)
{
    Start();
    EXPECT_EQ(system->Create(true, 14, 2, Rate, "GameData/Audio"), -1);
    EXPECT_TRUE(LogHas("ERROR: SoundSystem::Create - the sound system is already initialized."));
}

TEST_F(SoundSystemTest, DisabledSoundDoesNothingAndLogsNothing)
{
    system = std::make_unique<SoundSystem>();
    EXPECT_EQ(system->Create(false, 14, 2, Rate, "GameData/Audio"), 0);
    EXPECT_TRUE(LogHas("Sound System Deactivated"));
    const std::size_t lines = LogLines().size();
    system->Enumerate3DProviders();
    EXPECT_EQ(system->GetProviderCount(), 0);
    EXPECT_EQ(system->Open3DProvider(0, 64), -1);
    EXPECT_EQ(system->Close3DProvider(), -1);
    EXPECT_EQ(system->GetActive3DSampleCount(), -1);
    Sound2D sound2D;
    Sound3D sound3D;
    EXPECT_EQ(sound2D.Create(system.get(), "fixtures/missing.wav"), 0);
    EXPECT_EQ(sound3D.Create(system.get(), "fixtures/tone.wav"), 0);
    EXPECT_EQ(sound2D.Play(), -1);
    EXPECT_EQ(sound3D.Play(), -1);
    EXPECT_FALSE(sound3D.IsPlaying(100));
    sound3D.SetVolume(0.25f, Sound::NoPlay);
    EXPECT_EQ(sound3D.volume, 1.0f);
    EXPECT_EQ(LogLines().size(), lines);
}

TEST_F(SoundSystemTest, ProvidersAreSortedAndIndexesChecked)
{
    platform::audio::Provider::SetInstalled({{"Zeta Audio", 8}, {"alpha audio", 8}, {"Fast 2D Positional Audio", 64}});
    Start();
    ASSERT_EQ(system->GetProviderCount(), 3);
    const char* names[3] = {};
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(system->Get3DProviderAttribute(i, "Name", &names[i]), 0);
    EXPECT_STREQ(names[0], "alpha audio");
    EXPECT_STREQ(names[1], "Fast 2D Positional Audio");
    EXPECT_STREQ(names[2], "Zeta Audio");
    for (int bad : {-1, 3}) {
        EXPECT_EQ(system->Open3DProvider(bad, 64), -1);
        EXPECT_TRUE(LogHas("ERROR: SoundSystem::Open3DProvider - Invalid provider index: " + std::to_string(bad)));
        const char* name = nullptr;
        EXPECT_EQ(system->Get3DProviderAttribute(bad, "Name", &name), -1);
    }
}

TEST_F(SoundSystemTest, SharedVoiceBudgetsLeaveRoomForTwoDAndStreams)
{
    platform::audio::Provider::SetInstalled({{"Matrix Surround", 16}, {"Fast 2D Positional Audio", 64}, {"Own Voices", 64}});
    Start();
    struct Case {
        const char* provider;
        int allocated;
        bool sharedLine;
    } cases[] = {
        {"Matrix Surround", 0, true},
        {"Fast 2D Positional Audio", 48, true},
        {"Own Voices", 64, false},
    };
    for (const Case& c : cases) {
        Open3D(c.provider, 64);
        EXPECT_EQ(system->Get3DSampleCount(), c.allocated) << c.provider;
        EXPECT_TRUE(LogHas(std::string("\t3D provider: ") + c.provider));
        EXPECT_TRUE(LogHas("\tTotal number of 3D samples allocated: " + std::to_string(c.allocated)));
        EXPECT_EQ(system->Close3DProvider(), 0);
    }
    EXPECT_TRUE(LogHas("\tNumber of samples allocated to 2D and streams: 16"));
    EXPECT_TRUE(LogHas("\tMaximum number of 3D samples: 16"));
}

TEST_F(SoundSystemTest, ReleaseGivesTheOutputAwayAndReacquireReopensTheProvider)
{
    Start();
    Open3D();
    ASSERT_EQ(system->Get3DSampleCount(), 64);
    EXPECT_EQ(system->Release(), 0);
    EXPECT_EQ(system->Get3DSampleCount(), 0);
    EXPECT_EQ(system->Get2DSampleCount(), 14);
    EXPECT_TRUE(system->GetDriver()->IsReleased());
    EXPECT_EQ(system->Reacquire(), 0);
    EXPECT_EQ(system->Get3DSampleCount(), 64);
    EXPECT_FALSE(system->GetDriver()->IsReleased());
    for (const char* line : {"3D provider closed", "Digital handle released", "Digital handle reacquired"})
        EXPECT_TRUE(LogHas(line)) << line;
}

TEST_F(SoundSystemTest, MasterVolumeMuteAndUnmute)
{
    Start();
    system->SetMasterVolume(0.6f);
    EXPECT_FLOAT_EQ(system->GetMasterVolume(), 0.6f);
    Sound2D sound;
    ASSERT_EQ(sound.Create(system.get(), "fixtures/tone.wav"), 0);
    sound.Play(1.0f, 0);
    system->Mute();
    EXPECT_EQ(system->GetMasterVolume(), 0.0f);
    Render(512);
    EXPECT_LT(wavefixtures::ChannelRms(Render(1024), 0), 1.0);
    system->Unmute();
    EXPECT_FLOAT_EQ(system->GetMasterVolume(), 0.6f);
    EXPECT_GT(wavefixtures::ChannelRms(Render(1024), 0), 500.0);
}

TEST_F(SoundSystemTest, LogLinesAreTruncatedAndOverlongFormatsDropped)
{
    Start();
    const std::string huge(5000, 'x');
    system->LogError("ERROR: test - %s", huge.c_str());
    EXPECT_EQ(std::strlen(system->GetLastError()), 2047u);
    bool found = false;
    for (const std::string& line : LogLines())
        found = found || (line.size() == 2047 && line.rfind("ERROR: test - xxx", 0) == 0);
    EXPECT_TRUE(found);
    const std::size_t lines = LogLines().size();
    const std::string longFormat(1793, 'y');
    system->Log("%s", longFormat.c_str()); // a long argument is fine
    system->Log(longFormat.c_str());       // a long format is not
    EXPECT_EQ(LogLines().size(), lines + 1);
}

TEST_F(SoundSystemTest, SoundsOutliveTheirSystemSafely)
{
    Start();
    auto sound = std::make_unique<Sound2D>();
    ASSERT_EQ(sound->Create(system.get(), "fixtures/tone.wav"), 0);
    sound->Play(1.0f, 0);
    system.reset();
    EXPECT_EQ(sound->Play(), -1);
    sound.reset();
}

}
