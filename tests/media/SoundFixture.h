#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "media/SoundSystem.h"
#include "platform/audio/Driver.h"
#include "platform/audio/Provider.h"
#include "tests/platform/audio/WaveFixtures.h"

// A sound system on the loopback output, with tone files written beside the test.
class SoundFixture : public ::testing::Test {
protected:
    static constexpr int Rate = 22050;

    // Each test works in a fresh folder of its own, so that tests run in parallel do not share
    // "sound.log" or fixtures.
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "bexal-media-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder = pattern;
        previous = std::filesystem::current_path();
        std::filesystem::current_path(folder);
        platform::audio::Driver::SetOutput(platform::audio::Driver::Output::Loopback);
        std::filesystem::create_directories("fixtures");
        wavefixtures::WriteFile("fixtures/tone.wav", wavefixtures::Pcm16(wavefixtures::Tone(440.0, Rate, Rate), Rate, 1));
        wavefixtures::WriteFile("fixtures/short.wav", wavefixtures::Pcm16(wavefixtures::Tone(440.0, Rate, Rate / 20), Rate, 1));
        wavefixtures::WriteFile("fixtures/stereo.wav", wavefixtures::Pcm16(wavefixtures::Tone(440.0, Rate, Rate, 2), Rate, 2));
        wavefixtures::WriteFile("fixtures/adpcm.wav", wavefixtures::Ima(wavefixtures::Tone(440.0, Rate, Rate), Rate));
        wavefixtures::WriteFile("fixtures/garbage.wav", std::vector<std::uint8_t>(300, 0x5A));
    }
    void TearDown() override
    {
        system.reset();
        platform::audio::Driver::SetVoiceLimit(0);
        platform::audio::Provider::SetInstalled({});
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(folder);
    }

    // Creates the system the way the start-up does.
    void Start(int samples2D = 14, int streams = 2)
    {
        system = std::make_unique<SoundSystem>();
        ASSERT_EQ(system->Create(true, samples2D, streams, Rate, ".\\GameData\\Audio"), 0);
        system->Enumerate3DProviders();
    }
    int ProviderIndex(const char* name)
    {
        for (int i = 0; i < system->GetProviderCount(); ++i) {
            const char* text = nullptr;
            system->Get3DProviderAttribute(i, "Name", &text);
            if (std::string(text) == name)
                return i;
        }
        return -1;
    }
    void Open3D(const char* name = "OpenAL 3D Positional Audio", int wanted = 64)
    {
        ASSERT_EQ(system->Open3DProvider(ProviderIndex(name), wanted), 0);
    }
    std::vector<std::int16_t> Render(int frames)
    {
        std::vector<std::int16_t> out(static_cast<std::size_t>(frames) * 2);
        system->GetDriver()->Render(out.data(), frames);
        return out;
    }
    static std::vector<std::string> LogLines()
    {
        std::ifstream file("sound.log");
        std::vector<std::string> lines;
        for (std::string line; std::getline(file, line);)
            lines.push_back(line);
        return lines;
    }
    static bool LogHas(const std::string& line)
    {
        for (const std::string& l : LogLines())
            if (l == line)
                return true;
        return false;
    }

    std::unique_ptr<SoundSystem> system;
    std::filesystem::path folder;
    std::filesystem::path previous;
};
