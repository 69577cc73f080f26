#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "platform/audio/AudioFiles.h"
#include "platform/audio/Clip.h"
#include "platform/audio/Driver.h"
#include "platform/audio/Provider.h"
#include "platform/audio/StreamBuffer.h"
#include "platform/audio/Voice.h"
#include "tests/platform/audio/WaveFixtures.h"

using namespace platform::audio;
using namespace wavefixtures;

namespace {

constexpr int Rate = 22050;

class Mixer : public ::testing::Test {
protected:
    void SetUp() override
    {
        Driver::SetOutput(Driver::Output::Loopback);
        driver = Driver::Open(Rate, 16, 2);
        ASSERT_TRUE(driver) << LastError();
    }
    void TearDown() override { Driver::SetVoiceLimit(0); }

    std::unique_ptr<Clip> ToneClip(double frequency, int frames, bool mono = true)
    {
        std::vector<std::uint8_t> file = Pcm16(Tone(frequency, Rate, frames), Rate, 1);
        return Clip::Decode(*driver, file.data(), file.size(), mono);
    }
    std::vector<std::int16_t> Render(int frames)
    {
        std::vector<std::int16_t> out(static_cast<std::size_t>(frames) * 2);
        driver->Render(out.data(), frames);
        return out;
    }

    std::unique_ptr<Driver> driver;
};

TEST_F(Mixer, PanPlacesASampleBetweenTheSpeakers)
{
    auto clip = ToneClip(440.0, Rate);
    auto sample = driver->AllocateSample();
    ASSERT_TRUE(sample->SetClip(clip.get()));
    sample->SetVolumePan(1.0f, 1.0f);
    sample->Start();
    const auto right = Render(4096);
    EXPECT_GT(ChannelRms(right, 1), 4.0 * ChannelRms(right, 0) + 1.0);

    sample->SetVolumePan(1.0f, 0.0f);
    Render(1024);
    const auto left = Render(4096);
    EXPECT_GT(ChannelRms(left, 0), 4.0 * ChannelRms(left, 1) + 1.0);
}

TEST_F(Mixer, APositionalSoundToTheRightIsLouderOnTheRight)
{
    std::vector<std::unique_ptr<Provider>> providers = Provider::Enumerate();
    ASSERT_GE(providers.size(), 2u);
    for (auto& provider : providers) {
        ASSERT_TRUE(provider->Open(*driver));
        auto listener = provider->OpenListener();
        listener->SetPosition(10.0f, 0.0f, 10.0f);
        listener->SetOrientation(0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f);
        auto clip = ToneClip(440.0, Rate);
        auto sample = provider->AllocateSample();
        ASSERT_TRUE(sample);
        sample->SetClip(clip.get());
        sample->SetDistances(200.0f, 1.0f);
        // Facing +z in a left-handed world, +x is the right hand.
        sample->SetPosition(15.0f, 0.0f, 10.0f);
        sample->Start();
        const auto out = Render(4096);
        EXPECT_GT(ChannelRms(out, 1), 2.0 * ChannelRms(out, 0) + 1.0) << provider->Name();
        EXPECT_EQ(provider->ActiveSampleCount(), 1);
        sample->End();
        provider->Close();
    }
}

TEST_F(Mixer, VolumeAndDistanceScaleTheLoudness)
{
    auto clip = ToneClip(440.0, Rate);
    auto sample = driver->AllocateSample();
    sample->SetClip(clip.get());
    sample->SetVolumePan(1.0f, 0.5f);
    sample->Start();
    const double full = ChannelRms(Render(4096), 0);
    sample->SetVolumePan(0.25f, 0.5f);
    Render(1024);
    const double quarter = ChannelRms(Render(4096), 0);
    EXPECT_NEAR(quarter / full, 0.25, 0.05);

    driver->SetMasterVolume(0.5f);
    Render(1024);
    const double master = ChannelRms(Render(4096), 0);
    EXPECT_NEAR(master / full, 0.125, 0.03);
}

TEST_F(Mixer, PlaybackRateChangesThePitchAndTheLength)
{
    auto clip = ToneClip(500.0, Rate / 2);
    auto sample = driver->AllocateSample();
    sample->SetClip(clip.get());
    sample->SetPlaybackRate(Rate);
    sample->Start();
    const int normal = ZeroCrossings(Render(2048), 0);
    sample->End();
    sample->SetPlaybackRate(Rate * 2);
    sample->Start();
    const int doubled = ZeroCrossings(Render(2048), 0);
    EXPECT_NEAR(static_cast<double>(doubled) / normal, 2.0, 0.15);
    // Half a second of sound at twice the rate is over after a quarter of a second.
    Render(Rate / 4 + 1024);
    EXPECT_EQ(sample->Status(), VoiceStatus::Done);
}

TEST_F(Mixer, LoopCountsRepeatTheClip)
{
    auto clip = ToneClip(440.0, 2205); // 0.1 s
    auto sample = driver->AllocateSample();
    sample->SetClip(clip.get());
    sample->SetLoopCount(3);
    sample->Start();
    Render(2205 * 2 + 500);
    EXPECT_EQ(sample->Status(), VoiceStatus::Playing);
    Render(2205 + 500);
    EXPECT_EQ(sample->Status(), VoiceStatus::Done);

    sample->SetLoopCount(0);
    sample->Start();
    Render(2205 * 20);
    EXPECT_EQ(sample->Status(), VoiceStatus::Playing);
    EXPECT_GT(ChannelRms(Render(1024), 0), 1000.0);
}

TEST_F(Mixer, StopPausesResumeContinuesEndFinishes)
{
    auto clip = ToneClip(440.0, Rate);
    auto sample = driver->AllocateSample();
    sample->SetClip(clip.get());
    sample->Start();
    Render(512);
    sample->Stop();
    EXPECT_EQ(sample->Status(), VoiceStatus::Stopped);
    Render(256); // the mixer fades out instead of clicking
    EXPECT_LT(ChannelRms(Render(1024), 0), 1.0);
    sample->Resume();
    EXPECT_EQ(sample->Status(), VoiceStatus::Playing);
    EXPECT_GT(ChannelRms(Render(1024), 0), 1000.0);
    sample->End();
    EXPECT_EQ(sample->Status(), VoiceStatus::Done);
    Render(256);
    EXPECT_LT(ChannelRms(Render(1024), 0), 1.0);
}

TEST_F(Mixer, ReleasedOutputSilencesVoicesUntilReacquired)
{
    auto clip = ToneClip(440.0, Rate);
    auto sample = driver->AllocateSample();
    sample->SetClip(clip.get());
    sample->SetLoopCount(0);
    sample->Start();
    ASSERT_TRUE(driver->Release());
    EXPECT_LT(ChannelRms(Render(1024), 0), 1.0);
    ASSERT_TRUE(driver->Reacquire());
    EXPECT_EQ(sample->Status(), VoiceStatus::Playing);
    EXPECT_GT(ChannelRms(Render(1024), 0), 1000.0);
}

TEST_F(Mixer, VoicePoolsStopAtTheirLimits)
{
    Driver::SetVoiceLimit(3);
    std::vector<std::unique_ptr<Sample>> samples;
    while (auto sample = driver->AllocateSample())
        samples.push_back(std::move(sample));
    EXPECT_EQ(samples.size(), 3u);

    Provider::SetInstalled({{"Tiny", 2}});
    auto providers = Provider::Enumerate();
    Provider::SetInstalled({});
    ASSERT_EQ(providers.size(), 1u);
    ASSERT_TRUE(providers[0]->Open(*driver));
    auto a = providers[0]->AllocateSample();
    auto b = providers[0]->AllocateSample();
    EXPECT_TRUE(a && b);
    EXPECT_FALSE(providers[0]->AllocateSample());
}

TEST_F(Mixer, AFreedClipLeavesItsVoicesSilentNotBroken)
{
    auto clip = ToneClip(440.0, Rate);
    auto sample = driver->AllocateSample();
    sample->SetClip(clip.get());
    sample->Start();
    clip.reset();
    EXPECT_EQ(sample->Status(), VoiceStatus::Done);
    sample->Start();
    EXPECT_LT(ChannelRms(Render(1024), 0), 1.0);
}

}

namespace {

class StreamBufferTest : public Mixer {};

TEST_F(StreamBufferTest, HalvesPlayInTurnAndTheCursorFollows)
{
    // One second of mono 16-bit sound: halves of half a second.
    auto buffer = StreamBuffer::Create(*driver, 1, Rate, 16, Rate * 2);
    ASSERT_TRUE(buffer);
    std::uint8_t* bytes = buffer->Lock(0, buffer->Size());
    ASSERT_NE(bytes, nullptr);
    const std::vector<std::int16_t> tone = Tone(440.0, Rate, Rate);
    std::memcpy(bytes, tone.data(), buffer->Size());
    buffer->Unlock(0, buffer->Size());
    buffer->SetCurrentPosition(0);
    buffer->Play();
    EXPECT_EQ(buffer->GetCurrentPosition(), 0u);
    EXPECT_GT(ChannelRms(Render(Rate / 4), 0), 1000.0);
    const std::uint32_t quarter = buffer->GetCurrentPosition();
    EXPECT_NEAR(static_cast<double>(quarter), Rate / 2.0, Rate / 10.0);
    Render(Rate / 2);
    const std::uint32_t later = buffer->GetCurrentPosition();
    EXPECT_NEAR(static_cast<double>(later), Rate * 1.5, Rate / 10.0);
    // The first half finished: it is silent until it is written again.
    Render(Rate / 2);
    EXPECT_LT(ChannelRms(Render(Rate / 8), 0), 1.0);
    std::memset(buffer->Lock(0, buffer->Size() / 2), 0x10, buffer->Size() / 2);
    buffer->Unlock(0, buffer->Size() / 2);
    EXPECT_GT(ChannelRms(Render(Rate / 8), 0), 1000.0);
}

TEST_F(StreamBufferTest, RefusesSizesThatSplitABlock)
{
    EXPECT_FALSE(StreamBuffer::Create(*driver, 2, Rate, 16, 4 * 1001 + 2));
    EXPECT_FALSE(StreamBuffer::Create(*driver, 3, Rate, 16, 4096));
    EXPECT_TRUE(StreamBuffer::Create(*driver, 2, Rate, 8, 4096));
    auto buffer = StreamBuffer::Create(*driver, 1, Rate, 16, 4096);
    EXPECT_EQ(buffer->Lock(4000, 200), nullptr);
}

}

namespace {

// OpenAL reads its back-end list once, at its first use: before main, the ordinary device is made
// the null one (a real device that plays into nothing) unless the caller chose otherwise.
const bool nullBackend = setenv("ALSOFT_DRIVERS", "null", 0) == 0;

TEST(Output, TheOrdinaryDeviceOpensOnTheNullBackend)
{
    ASSERT_TRUE(nullBackend);
    Driver::SetOutput(Driver::Output::Device);
    auto driver = Driver::Open(22050, 16, 2);
    Driver::SetOutput(Driver::Output::Loopback);
    ASSERT_TRUE(driver) << LastError();
    EXPECT_NE(driver->Configuration().find("22050 Hz"), std::string::npos);
    EXPECT_FALSE(Driver::Open(22050, 8, 2));
    EXPECT_FALSE(Driver::Open(22050, 16, 6));
}

}
