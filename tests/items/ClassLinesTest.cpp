#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "items/ClassLines.h"

namespace {

TEST(ClassLinesTest, ScopeLinesKeepZoomsFiniteAndTheNightVisionModeInRange)
{
    struct Case {
        std::vector<std::string> lines;
        float maxZoom, minZoom;
        int nightVision;
    };
    const Case cases[] = {
        {{"60", "10", "2"}, 60.0f, 10.0f, 2},
        {{"inf", "nan", "1"}, 0.0f, 0.0f, 1},
        {{"1e30", "-1e30", "7"}, kMaxZoom, -kMaxZoom, 2},
        {{"40", "10", "-3"}, 40.0f, 10.0f, 0},
        {{"40", "10", "99999999999999999999"}, 40.0f, 10.0f, 2},
        {{"40"}, 40.0f, 0.0f, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines[0]);
        const ScopeLines scope = ReadScopeLines(c.lines, "GameData/Items/Scope.idf");
        EXPECT_EQ(scope.zoom.maxZoom, c.maxZoom);
        EXPECT_EQ(scope.zoom.minZoom, c.minZoom);
        EXPECT_EQ(scope.nightVision, c.nightVision);
    }
}

TEST(ClassLinesTest, LauncherLinesBoundTheOffsetAndKeepTheTexts)
{
    const LauncherLines launcher = ReadLauncherLines(
        {"Rocket.q3d", "99999999999", "1e30", "nan", "-20000", "Launch.par", "N/A"}, "GameData/Items/RPG.idf");
    EXPECT_EQ(launcher.projectileModel, "Rocket.q3d");
    EXPECT_EQ(launcher.projectileType, INT32_MAX); // refused when fired, as any unknown type
    EXPECT_EQ(launcher.launchOffset[0], kMaxLaunchOffset);
    EXPECT_EQ(launcher.launchOffset[1], 0.0f);
    EXPECT_EQ(launcher.launchOffset[2], -kMaxLaunchOffset);
    EXPECT_EQ(launcher.launchEffectFile, "Launch.par");
    EXPECT_EQ(launcher.crosshair, "N/A");
    EXPECT_EQ(ReadLauncherLines({"Grenade.q3d", "1", "0", "0.5"}, "x").projectileType, 1);
}

TEST(ClassLinesTest, HealAmountIsFiniteAndBounded)
{
    EXPECT_EQ(ReadHealAmount("25", "x"), 25.0f);
    EXPECT_EQ(ReadHealAmount("inf", "x"), 0.0f);
    EXPECT_EQ(ReadHealAmount("3e38", "x"), kMaxHealAmount);
}

} // namespace
