#pragma once

// The demo mission running at a chosen render size, with helpers to draw only the flat layers
// (HUD and overhead map) over a cleared frame and to read them back.

#include "tests/mission/MissionFixture.h"
#include "tests/support/FramePixels.h"

#include "app/framework/Options.h"
#include "campaign/CampaignState.h"
#include "mission/MissionState.h"
#include "renderer/Device.h"
#include "tools/demodata/writers/TgaWriter.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

class HudFixture : public MissionFixture {
protected:
    void SetUp() override { SetUpAt(800, 600); }

    void SetUpAt(int width, int height)
    {
        AppTest::SetUp();
        OpenDevice(width, height);
        OpenSound();
        frameWidth = width, frameHeight = height;
        // The level load switches to the options' mode: 0 is 640 x 480, 1 800 x 600, 2 1024 x 768.
        Options::Instance()->SetOption(Options::ResolutionIndex, width == 640 ? 0 : width == 1024 ? 2 : 1);
        Options::Instance()->SetOption(Options::BitDepth, 1);
        UseDemoData();
        // The fonts, as the program's first screen loads them (a level load reloads them only
        // when it changes the mode).
        Application::Instance()->LoadResources();
        MissionState::Instance()->findItemDefinition = CampaignState::LookUpItemDefinition;
    }

    void TearDown() override
    {
        MissionState* mission = MissionState::Instance();
        if (mission->IsLevelPresent())
            mission->UnloadLevel();
        mission->findItemDefinition = nullptr;
        MissionFixture::TearDown();
    }

    // One frame of only what the call draws, over black, read back.
    std::vector<std::uint32_t> DrawFlat(const std::function<void()>& draw)
    {
        device->SetClearColor(0xFF000000u);
        device->BeginFrame(true, false);
        draw();
        device->EndFrame(true, true);
        return ReadFrame(device);
    }

    std::uint32_t At(const std::vector<std::uint32_t>& frame, int x, int y) const
    {
        return frame[std::size_t(y) * std::size_t(frameWidth) + std::size_t(x)];
    }

    // Whether some pixel of the square of that half-size round (x, y) is near the colour.
    bool ColourNear(const std::vector<std::uint32_t>& frame, int x, int y, int half, std::uint32_t colour,
                    int tolerance = 40) const
    {
        for (int dy = -half; dy <= half; ++dy)
            for (int dx = -half; dx <= half; ++dx) {
                const int px = x + dx, py = y + dy;
                if (px >= 0 && py >= 0 && px < frameWidth && py < frameHeight &&
                    Near(At(frame, px, py), colour & 0xFFFFFFu, tolerance))
                    return true;
            }
        return false;
    }

    // Compares the frame, reduced to 200 x 150 by sampling, with tests/mission/golden/<name>,
    // allowing a twentieth of the pixels to differ by more than 40 in a channel; writes the file
    // (and skips) when it is missing or BEXAL_UPDATE_GOLDEN is set.
    void ExpectGolden(const std::vector<std::uint32_t>& frame, const char* name)
    {
        constexpr int w = 200, h = 150;
        std::vector<std::uint32_t> reduced(std::size_t(w * h));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                reduced[std::size_t(y * w + x)] = At(frame, x * frameWidth / w, y * frameHeight / h);
        const std::filesystem::path golden = std::filesystem::path(BEXAL_SOURCE_DIR) / "tests/mission/golden" / name;
        std::ifstream in(golden, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (bytes.empty() || std::getenv("BEXAL_UPDATE_GOLDEN")) {
            TgaImage image(w, h);
            for (int i = 0; i < w * h; ++i)
                image.pixels[std::size_t(i)] = 0xFF000000u | reduced[std::size_t(i)];
            std::filesystem::create_directories(golden.parent_path());
            WriteBytes(golden.string(), WriteTga(image, 24));
            GTEST_SKIP() << "golden image written to " << golden;
        }
        // Our own writer's uncompressed 24-bit rows, bottom to top after the 18-byte header.
        ASSERT_EQ(bytes.size(), 18u + std::size_t(w * h * 3));
        int differing = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const std::uint8_t* p = &bytes[18 + (std::size_t(h - 1 - y) * w + std::size_t(x)) * 3];
                const std::uint32_t expected = std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
                differing += !Near(reduced[std::size_t(y * w + x)], expected, 40);
            }
        EXPECT_LT(differing, w * h / 20) << "pixels differing from the golden image " << name;
    }

    int frameWidth = 800;
    int frameHeight = 600;
};
