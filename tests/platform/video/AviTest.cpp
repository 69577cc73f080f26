#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/video/AviFile.h"
#include "platform/video/AviResult.h"
#include "tests/platform/video/MovieFixtures.h"

using namespace platform::video;
using namespace moviefixtures;

namespace {

TEST(Avi, EveryCodecRoundTripsFramesAndSound)
{
    for (const CodecCase& c : Codecs) {
        for (int soundRate : {0, 22050}) {
            const std::string path = std::string("roundtrip-") + c.name + (soundRate ? "-sound" : "") + ".avi";
            MovieSettings settings;
            settings.width = 64;
            settings.height = 48;
            settings.framesPerSecond = 10;
            settings.codec = c.codec;
            settings.soundRate = soundRate;
            WriteMovie(path, settings, 8);

            std::int32_t result = -1;
            auto file = AviFile::Open(path.c_str(), result);
            ASSERT_TRUE(file) << path << " " << std::hex << result;
            AviStream* video = file->GetStream(StreamType::Video, 0, result);
            ASSERT_TRUE(video) << path;
            EXPECT_EQ(video->Length(), 8) << path;
            EXPECT_EQ(video->Format().width, 64);
            EXPECT_EQ(video->Format().height, 48);
            EXPECT_EQ(video->SampleToTime(3), 300);
            EXPECT_EQ(video->TimeToSample(299), 2);
            EXPECT_EQ(video->TimeToSample(300), 3);
            EXPECT_FALSE(file->GetStream(StreamType::Video, 1, result));
            EXPECT_EQ(result, aviresult::NoData);

            auto decoder = FrameDecoder::Open(*video);
            ASSERT_TRUE(decoder) << path;
            std::vector<std::uint32_t> pixels(64 * 48);
            // Out of order on purpose: inter-coded streams must restart from a key frame.
            for (int frame : {0, 1, 2, 5, 3, 7, 6}) {
                ASSERT_TRUE(decoder->Decode(frame)) << path << " frame " << frame;
                decoder->Draw(reinterpret_cast<std::uint8_t*>(pixels.data()), 64 * 4, 64, 48, PixelLayout{});
                for (int at : {0, 64 * 24 + 32, 64 * 48 - 1})
                    EXPECT_LE(ChannelDistance(pixels[static_cast<std::size_t>(at)], FrameColour(frame)), c.tolerance)
                        << path << " frame " << frame << std::hex << " got " << pixels[static_cast<std::size_t>(at)];
            }
            EXPECT_FALSE(decoder->Decode(8));

            AviStream* sound = file->GetStream(StreamType::Audio, 0, result);
            if (!soundRate) {
                EXPECT_FALSE(sound);
                continue;
            }
            ASSERT_TRUE(sound) << path;
            EXPECT_EQ(sound->AudioFormat().samplesPerSecond, 22050u);
            EXPECT_EQ(sound->AudioFormat().blockAlign, 2);
            EXPECT_EQ(sound->Length(), 8 * 2205);
            EXPECT_EQ(sound->SampleToTime(22050), 1000);
            std::vector<std::int16_t> pcm(1000);
            std::int32_t bytes = 0, samples = 0;
            EXPECT_EQ(sound->Read(100, -1, pcm.data(), 2000, &bytes, &samples), aviresult::Ok);
            EXPECT_EQ(samples, 1000);
            EXPECT_NEAR(pcm[10], 10000.0 * std::sin(2.0 * std::numbers::pi * 440.0 * 110 / 22050), 2.0);
            EXPECT_EQ(sound->Read(8 * 2205 - 10, -1, pcm.data(), 2000, &bytes, &samples), aviresult::Ok);
            EXPECT_EQ(samples, 10);
            EXPECT_EQ(sound->Read(8 * 2205, -1, pcm.data(), 2000, &bytes, &samples), aviresult::FileRead);
        }
    }
}

// A frame decoded ahead is the frame a plain decode gives, whatever is asked next: the frame
// decoded ahead, another one, the same one drawn with other arguments, or nothing before the
// decoder goes.
TEST(Avi, DecodingAheadGivesTheSameFramesAsDecodingInTurn)
{
    for (const CodecCase& c : Codecs) {
        const std::string path = std::string("ahead-") + c.name + ".avi";
        MovieSettings settings;
        settings.width = 64;
        settings.height = 48;
        settings.codec = c.codec;
        WriteMovie(path, settings, 8);
        std::int32_t result = -1;
        auto file = AviFile::Open(path.c_str(), result);
        ASSERT_TRUE(file) << path;
        AviStream* video = file->GetStream(StreamType::Video, 0, result);
        auto plain = FrameDecoder::Open(*video);
        auto ahead = FrameDecoder::Open(*video);
        const PixelLayout layout;
        struct Step {
            int frame;
            int width; // drawn width
            int next;  // decoded ahead afterwards (-1 = none)
        } steps[] = {{0, 64, 1}, {1, 64, 2}, {2, 64, 3}, {5, 64, 6}, {6, 32, 7}, {7, 64, 8}, {3, 64, 4}, {4, 64, 0}, {0, 64, 5}};
        int decodedAhead = -1;
        for (const Step& step : steps) {
            std::vector<std::uint8_t> expected(64 * 4 * 48, 0), got(64 * 4 * 48, 0);
            ASSERT_TRUE(plain->Decode(step.frame)) << path << " frame " << step.frame;
            plain->Draw(expected.data(), 64 * 4, step.width, 48, layout);
            ASSERT_TRUE(ahead->Decode(step.frame)) << path << " frame " << step.frame;
            // The whole picture is taken when it was decoded ahead with these arguments.
            const bool taken = step.width == 64 && ahead->TakeDrawn(got, 64 * 4, 64, 48, layout);
            EXPECT_EQ(taken, step.width == 64 && decodedAhead == step.frame) << path << " frame " << step.frame;
            if (!taken)
                ahead->Draw(got.data(), 64 * 4, step.width, 48, layout);
            EXPECT_EQ(got, expected) << path << " frame " << step.frame;
            EXPECT_EQ(ahead->FrameWidth(), 64);
            ahead->DecodeAhead(step.next, 64 * 4, 64, 48, layout);
            decodedAhead = step.next;
        }
        // Drawn with the same arguments instead of taken, the picture decoded ahead is copied.
        ahead->DecodeAhead(1, 64 * 4, 64, 48, layout);
        std::vector<std::uint8_t> expected(64 * 4 * 48, 0), got(64 * 4 * 48, 0);
        ASSERT_TRUE(plain->Decode(1) && ahead->Decode(1));
        plain->Draw(expected.data(), 64 * 4, 64, 48, layout);
        ahead->Draw(got.data(), 64 * 4, 64, 48, layout);
        EXPECT_EQ(got, expected) << path;
        // Going with a frame still being decoded ahead waits for it.
        ahead->DecodeAhead(2, 64 * 4, 64, 48, layout);
        ahead.reset();
    }
}

TEST(Avi, FramesScaleIntoEverySixteenBitLayout)
{
    MovieSettings settings;
    settings.width = 32;
    settings.height = 32;
    settings.codec = VideoCodec::Uncompressed;
    WriteMovie("layouts.avi", settings, 1);
    std::int32_t result = 0;
    auto file = AviFile::Open("layouts.avi", result);
    ASSERT_TRUE(file);
    auto decoder = FrameDecoder::Open(*file->GetStream(StreamType::Video, 0, result));
    ASSERT_TRUE(decoder->Decode(0));
    // Frame 0 is 0xE02020.
    struct Case {
        PixelLayout layout;
        std::uint16_t expected;
    } cases[] = {
        {{16, 0xF800, 0x07E0, 0x001F}, static_cast<std::uint16_t>((0xE0 >> 3) << 11 | (0x20 >> 2) << 5 | (0x20 >> 3))},
        {{16, 0x7C00, 0x03E0, 0x001F}, static_cast<std::uint16_t>((0xE0 >> 3) << 10 | (0x20 >> 3) << 5 | (0x20 >> 3))},
        {{16, 0x0F00, 0x00F0, 0x000F}, static_cast<std::uint16_t>((0xE0 >> 4) << 8 | (0x20 >> 4) << 4 | (0x20 >> 4))},
    };
    for (const Case& c : cases) {
        std::vector<std::uint16_t> pixels(16 * 16);
        decoder->Draw(reinterpret_cast<std::uint8_t*>(pixels.data()), 32, 16, 16, c.layout);
        EXPECT_EQ(pixels[0] & (c.layout.redMask | c.layout.greenMask | c.layout.blueMask), c.expected) << std::hex << c.layout.greenMask;
    }
}

TEST(Avi, MissingAndBrokenFilesAreRefused)
{
    std::int32_t result = 0;
    EXPECT_FALSE(AviFile::Open("no-such-movie.avi", result));
    EXPECT_EQ(result, aviresult::FileOpen);
    std::ofstream("garbage.avi", std::ios::binary) << std::string(5000, 'x');
    EXPECT_FALSE(AviFile::Open("garbage.avi", result));
    EXPECT_NE(result, aviresult::Ok);
    // A file cut short opens with what is left of it.
    MovieSettings settings;
    settings.width = 64;
    settings.height = 48;
    settings.soundRate = 22050;
    WriteMovie("whole.avi", settings, 8);
    const auto size = std::filesystem::file_size("whole.avi");
    std::filesystem::copy_file("whole.avi", "cut.avi", std::filesystem::copy_options::overwrite_existing);
    std::filesystem::resize_file("cut.avi", size / 2);
    auto file = AviFile::Open("cut.avi", result);
    if (file) {
        AviStream* video = file->GetStream(StreamType::Video, 0, result);
        ASSERT_TRUE(video);
        EXPECT_LT(video->Length(), 8);
        auto decoder = FrameDecoder::Open(*video);
        for (int frame = 0; frame < 8; ++frame)
            decoder->Decode(frame);
    }
}

TEST(Avi, TheWriterIsDeterministic)
{
    MovieSettings settings;
    settings.width = 64;
    settings.height = 48;
    settings.soundRate = 22050;
    WriteMovie("same-a.avi", settings, 4);
    WriteMovie("same-b.avi", settings, 4);
    std::ifstream a("same-a.avi", std::ios::binary), b("same-b.avi", std::ios::binary);
    const std::string bytesA((std::istreambuf_iterator<char>(a)), {}), bytesB((std::istreambuf_iterator<char>(b)), {});
    EXPECT_FALSE(bytesA.empty());
    EXPECT_EQ(bytesA, bytesB);
}

}
