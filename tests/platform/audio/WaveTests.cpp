#include <gtest/gtest.h>

#include "platform/audio/Wave.h"
#include "tests/platform/audio/WaveFixtures.h"

using namespace platform::audio;
using namespace wavefixtures;

TEST(Wave, DecodesPcmInEveryLayoutTheGameUses)
{
    const std::vector<std::int16_t> mono = Tone(440.0, 22050, 1000, 1);
    const std::vector<std::int16_t> stereo = Tone(440.0, 22050, 1000, 2);
    struct Case {
        const char* name;
        std::vector<std::uint8_t> file;
        int channels;
        int tolerance;
    } cases[] = {
        {"16-bit mono", Pcm16(mono, 22050, 1), 1, 0},
        {"16-bit stereo", Pcm16(stereo, 22050, 2), 2, 0},
        {"8-bit mono", Pcm8(mono, 22050, 1), 1, 256},
    };
    for (const Case& c : cases) {
        Pcm pcm;
        std::string error;
        ASSERT_TRUE(DecodeWave(c.file.data(), c.file.size(), pcm, error)) << c.name << ": " << error;
        EXPECT_EQ(pcm.rate, 22050) << c.name;
        EXPECT_EQ(pcm.channels, c.channels) << c.name;
        ASSERT_EQ(pcm.FrameCount(), 1000u) << c.name;
        const std::vector<std::int16_t>& expected = c.channels == 1 ? mono : stereo;
        for (std::size_t i = 0; i < expected.size(); ++i)
            ASSERT_NEAR(pcm.samples[i], expected[i], c.tolerance) << c.name << " sample " << i;
    }
}

TEST(Wave, DecodesImaAdpcmCloseToTheSource)
{
    const std::vector<std::int16_t> source = Tone(300.0, 22050, 2000, 1);
    const std::vector<std::uint8_t> file = Ima(source, 22050);
    Pcm pcm;
    std::string error;
    ASSERT_TRUE(DecodeWave(file.data(), file.size(), pcm, error)) << error;
    EXPECT_EQ(pcm.channels, 1);
    ASSERT_GE(pcm.FrameCount(), source.size());
    double errorSum = 0.0;
    for (std::size_t i = 0; i < source.size(); ++i)
        errorSum += std::abs(pcm.samples[i] - source[i]);
    EXPECT_LT(errorSum / static_cast<double>(source.size()), 400.0);
}

TEST(Wave, RejectsBrokenFilesWithAReason)
{
    const std::vector<std::uint8_t> good = Pcm16(Tone(440.0, 22050, 100), 22050, 1);
    std::vector<std::uint8_t> noData(good.begin(), good.begin() + 36);
    std::vector<std::uint8_t> notRiff = good;
    notRiff[0] = 'X';
    std::vector<std::uint8_t> badFormat = good;
    badFormat[20] = 0x55; // an MP3 format tag: no decoder here
    std::vector<std::uint8_t> hugeChannels = good;
    hugeChannels[22] = 9;
    std::vector<std::uint8_t> zeroBlockIma = Ima(Tone(440.0, 22050, 600), 22050);
    zeroBlockIma[32] = 0;
    zeroBlockIma[33] = 0;
    const std::vector<std::uint8_t> cases[] = {{}, {'R', 'I', 'F', 'F'}, noData, notRiff, badFormat, hugeChannels, zeroBlockIma};
    for (const auto& file : cases) {
        Pcm pcm;
        std::string error;
        EXPECT_FALSE(DecodeWave(file.data(), file.size(), pcm, error));
        EXPECT_FALSE(error.empty());
    }
}

TEST(Wave, PlaysWhatIsThereOfATruncatedDataChunk)
{
    std::vector<std::uint8_t> file = Pcm16(Tone(440.0, 22050, 1000), 22050, 1);
    file.resize(file.size() - 1000);
    Pcm pcm;
    std::string error;
    ASSERT_TRUE(DecodeWave(file.data(), file.size(), pcm, error)) << error;
    EXPECT_EQ(pcm.FrameCount(), 500u);
}
