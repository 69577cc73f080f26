// The HUD of the running demo mission, drawn for real and read back: its marks at their places at
// 800 x 600 and at 1024 x 768, a tolerant golden image, the timers it runs, and the texts and
// rules of the scoreboard and the command help.

#include "tests/mission/HudFixture.h"

#include "app/framework/Application.h"
#include "characters/objects/CarriedItem.h"
#include "characters/body/Character.h"
#include "characters/player/Player.h"
#include "engine/camera/Camera.h"
#include "engine/font/BitmapFont.h"
#include "engine/sprite/Sprite.h"
#include "items/Item.h"
#include "mission/drawing/Hud.h"
#include "mission/drawing/HudCommandHelp.h"
#include "mission/drawing/Scoreboard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
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
    ASSERT_NE(mission->roster.controlledCharacter, nullptr) << Log();
    ASSERT_NE(mission->hud.overheadMap, nullptr);
    const int w = frameWidth, h = frameHeight;
    Character* leader = mission->roster.controlledCharacter;
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
    ASSERT_NE(mission->roster.controlledCharacter, nullptr) << Log();
    mission->roster.controlledCharacter->steadiness = 1.0f;
    mission->level.camera->rotation = Matrix3();
    mission->level.camera->UpdateTransform(0.0f);
    const std::vector<std::uint32_t> frame = DrawFlat([&] { mission->DrawHUD(); });
    ExpectGolden(frame, ("hud-" + std::to_string(frameWidth) + ".tga").c_str());
}

TEST_P(HudTest, OnlyANetworkGameShowsTheScoreboardAndTheHelpListsWhatTheMachineMayUse)
{
    MissionState* mission = RunDemoMission();
    ASSERT_NE(mission->roster.controlledCharacter, nullptr) << Log();
    const std::vector<std::uint32_t> plain = DrawFlat([&] { mission->DrawHUD(); });
    mission->controls.scoreboardShown = true;
    EXPECT_EQ(DrawFlat([&] { mission->DrawHUD(); }), plain) << "a single mission has no scoreboard";

    // The help screen of a single mission: the last three forms, in the small font at 800 and
    // below, in courier above.
    mission->controls.scoreboardShown = false;
    mission->controls.helpShown = true;
    const std::vector<std::uint32_t> help = DrawFlat([&] { mission->DrawHUD(); });
    BitmapFont* font = Application::Instance()->GetFont(frameWidth <= 800 ? Application::ArialSmall : Application::Courier);
    ASSERT_NE(font, nullptr);
    int lit = 0, below = 0;
    const int lineHeight = font->GetLineHeight();
    for (int y = 40; y < 40 + 3 * lineHeight; ++y)
        for (int x = 20; x < 20 + font->GetTextWidth("/clearchatmessages"); ++x)
            lit += At(help, x, y) != At(plain, x, y);
    for (int y = 40 + 3 * lineHeight + 2; y < 40 + 6 * lineHeight; ++y)
        for (int x = 20; x < 200; ++x)
            below += At(help, x, y) != At(plain, x, y);
    EXPECT_GT(lit, 50);
    EXPECT_EQ(below, 0);
}

TEST_P(HudTest, TheFormationChooserAndTheItemPanelCommitWhenTheirTimersRunOut)
{
    MissionState* mission = RunDemoMission();
    Character* leader = mission->roster.controlledCharacter;
    ASSERT_NE(leader, nullptr) << Log();
    ASSERT_GE(mission->hud.formationIconCount, 2);
    Application* application = Application::Instance();

    mission->controls.formationDisplay = 2.0f;
    mission->controls.formationDisplayIndex = mission->hud.currentFormation == 0 ? 1 : 0;
    const int chosen = mission->controls.formationDisplayIndex;
    EXPECT_TRUE(mission->RunFormationChooser(1.5f));
    EXPECT_NE(mission->hud.currentFormation, chosen);
    EXPECT_FALSE(mission->RunFormationChooser(0.6f));
    EXPECT_EQ(mission->hud.currentFormation, chosen);
    EXPECT_FALSE(mission->RunFormationChooser(1.0f)) << "closed, it stays closed";
    std::vector<std::string> notices;
    for (const Application::Notice& notice : application->GetNotices())
        notices.push_back(notice.text);
    const std::string name = mission->hud.formationIcons[chosen].name;
    EXPECT_EQ(notices, (std::vector<std::string>{name + " formation!", "Sir yes Sir!"}));

    // The pending item shows for its display time and is taken when its delay runs out.
    const std::vector<CarriedItem*> inventory = leader->GetInventory();
    ASSERT_GE(inventory.size(), 2u);
    // Another weapon: an explosive taken into the hands is laid at once and leaves them again.
    CarriedItem* other = nullptr;
    for (CarriedItem* item : inventory)
        if (!other && item != leader->GetHeldItem() && item->IsWeapon())
            other = item;
    ASSERT_NE(other, nullptr);
    mission->controls.pendingItem = other;
    mission->controls.pendingItemDisplayTime = 1500;
    mission->controls.pendingItemDelay = 3000;
    EXPECT_TRUE(mission->RunItemPanel(1000));
    EXPECT_NE(leader->GetHeldItem(), other);
    EXPECT_FALSE(mission->RunItemPanel(1000)) << "the panel has gone after 1.5 s";
    EXPECT_EQ(mission->controls.pendingItem, other);
    EXPECT_FALSE(mission->RunItemPanel(1000));
    EXPECT_EQ(leader->GetHeldItem(), other);
    EXPECT_EQ(mission->controls.pendingItem, nullptr);
}

TEST_P(HudTest, TheFormationChooserStandsWholeOnScreenAndClearOfTheItemBox)
{
    MissionState* mission = RunDemoMission();
    ASSERT_NE(mission->roster.controlledCharacter, nullptr) << Log();
    const auto spriteSize = [&](const std::string& file) {
        for (const std::unique_ptr<Sprite>& sprite : mission->hud.hudSprites) {
            D3DBitmap* texture = sprite->material.texture[0];
            const std::string name = texture && texture->GetName() ? texture->GetName() : "";
            if (name.size() >= file.size() && name.compare(name.size() - file.size(), file.size(), file) == 0)
                return std::pair{sprite->GetDrawnTextureWidth(), sprite->GetDrawnTextureHeight()};
        }
        return std::pair{0, 0};
    };
    const auto [chooserWidth, chooserHeight] = spriteSize("Interface/formation.tga");
    const auto [boxWidth, boxHeight] = spriteSize("Interface/item.tga");
    ASSERT_GT(chooserWidth * chooserHeight, 0);
    ASSERT_GT(boxWidth * boxHeight, 0);

    const std::vector<std::uint32_t> plain = DrawFlat([&] { mission->DrawHUD(); });
    mission->controls.formationDisplay = 2.0f;
    const std::vector<std::uint32_t> shown = DrawFlat([&] { mission->DrawHUD(); });
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    for (int y = 0; y < frameHeight; ++y)
        for (int x = 0; x < frameWidth; ++x)
            if (At(shown, x, y) != At(plain, x, y)) {
                left = std::min(left, x), top = std::min(top, y);
                right = std::max(right, x), bottom = std::max(bottom, y);
            }
    // Whole: every edge of the backdrop was drawn inside the frame.
    EXPECT_EQ(right - left + 1, chooserWidth);
    EXPECT_EQ(bottom - top + 1, chooserHeight);
    EXPECT_EQ(right, frameWidth - 138 - 1) << "its right edge keeps its place";
    // Clear of the held item's box.
    const int boxLeft = frameWidth - Hud::ItemBoxRight, boxTop = frameHeight - Hud::ItemBoxBottom;
    const bool apart = right < boxLeft || left >= boxLeft + boxWidth || bottom < boxTop || top >= boxTop + boxHeight;
    EXPECT_TRUE(apart) << "chooser " << left << "," << top << " to " << right << "," << bottom << "; item box " << boxLeft
                       << "," << boxTop << " size " << boxWidth << "x" << boxHeight;
}

TEST_P(HudTest, TheScoreboardDrawsItsRowsAndRulesForAHost)
{
    BitmapFont* courier = Application::Instance()->GetFont(Application::Courier);
    ASSERT_NE(courier, nullptr);
    ScoreboardData data;
    data.serverName = "Valley";
    data.teamCount = 2;
    data.teams = {{1, 1}, {2, 0}};
    for (int slot = 0; slot < 3; ++slot)
        data.rows.push_back({slot, std::string(40, 'W'), slot == 2 ? -1 : 255, slot % 2 + 1, slot, 1, 20});
    EXPECT_EQ(DrawFlat([&] { Scoreboard::Draw(device, courier, data); }),
              DrawFlat([] {})) << "neither hosting nor connected: no board";

    data.hosting = true;
    const std::vector<std::uint32_t> frame = DrawFlat([&] { Scoreboard::Draw(device, courier, data); });
    // Rows stand a line height and 4 pixels apart from y 40; the name column is cut to the width
    // the render width allows, so nothing of the names reaches past the column's sample text.
    const int rowHeight = courier->GetLineHeight() + 4;
    const int idWidth = courier->GetTextWidth("ID") + 12;
    const int nameWidth = courier->GetTextWidth(Scoreboard::NameColumnSample(frameWidth)) + 12;
    int total = idWidth + nameWidth;
    for (const char* heading : {"Lives", "Team", "Kills", "Deaths", "Ping"})
        total += (std::strcmp(heading, "Team") == 0 ? courier->GetTextWidth("MIA soldiers") : courier->GetTextWidth(heading)) + 12;
    const int left = (frameWidth - total) / 2;
    for (int row = 0; row < 3; ++row) {
        const int y = 40 + rowHeight * (row + 1);
        int nameLit = 0;
        for (int dy = 2; dy < courier->GetLineHeight() - 2; ++dy)
            for (int x = left + idWidth; x < left + idWidth + courier->GetTextWidth("WWW"); ++x)
                nameLit += At(frame, x, y + dy) != 0;
        EXPECT_GT(nameLit, 10) << "row " << row;
    }
    int lowest = 0;
    for (int y = 0; y < frameHeight; ++y)
        for (int x = 0; x < frameWidth; ++x)
            if (At(frame, x, y) != 0)
                lowest = y;
    EXPECT_LE(lowest, frameHeight - 5 * courier->GetLineHeight()) << "a host without its own client keeps five lines free";
}

TEST_P(HudTest, TheOutcomeCameraTakesTheAccuracyMarksAway)
{
    MissionState* mission = RunDemoMission();
    ASSERT_NE(mission->roster.controlledCharacter, nullptr) << Log();
    mission->roster.controlledCharacter->steadiness = 0.5f;
    const int w = frameWidth, h = frameHeight;
    EXPECT_TRUE(ColourNear(DrawFlat([&] { mission->DrawHUD(); }), w / 2, h / 2 - 24, 1, 0xFF0000u, 120));
    mission->SetMissionResult(MissionState::Won);
    Application::Instance()->Update();
    EXPECT_FALSE(mission->hud.hudDisplayFlags[0]);
    EXPECT_FALSE(mission->hud.hudDisplayFlags[1]);
    EXPECT_FALSE(ColourNear(DrawFlat([&] { mission->DrawHUD(); }), w / 2, h / 2 - 24, 1, 0xFF0000u, 120));
}

TEST_P(HudTest, ThePausedMissionShowsItsObjectivesOverTheMap)
{
    MissionState* mission = RunDemoMission();
    ASSERT_NE(mission->hud.overheadMap, nullptr) << Log();
    BitmapFont* courier = Application::Instance()->GetFont(Application::Courier);
    ASSERT_NE(courier, nullptr);
    const std::string overall = Hud::WrapText(courier, mission->level.definition.overallObjective, 440);
    const int lines = int(std::count(overall.begin(), overall.end(), '\n')) + 1;
    const int top = courier->GetLineHeight() * (lines + 3) + 90;
    const int left = frameWidth / 2 - 64;
    const std::vector<std::uint32_t> frame = DrawFlat([&] { mission->DrawObjectivesScreen(); });
    // The demo map's lake (image pixel 48, 80) under the text; the map was only lent to the screen.
    EXPECT_TRUE(ColourNear(frame, left + 48, top + 80, 1, 0x3070A0u, 30));
    EXPECT_FALSE(mission->hud.overheadMap->shown);
    EXPECT_EQ(mission->hud.overheadMap->screenY, -1);
    // The title, the overall objective and the current objective's line in its yellow.
    int title = 0, current = 0;
    for (int y = 50; y < 70; ++y)
        for (int x = frameWidth / 2 - 40; x < frameWidth / 2 + 40; ++x)
            title += At(frame, x, y) != 0;
    for (int y = courier->GetLineHeight() * lines + 90; y < courier->GetLineHeight() * (lines + 1) + 90; ++y)
        for (int x = 20; x < 300; ++x)
            current += Near(At(frame, x, y), 0xB3B300u, 40);
    EXPECT_GT(title, 20);
    EXPECT_GT(current, 20);

    // Drawn from the frame while paused, once the level's fade-in is over.
    mission->hud.screenFade = 0.0f;
    mission->controls.paused = true;
    Application::Instance()->Draw();
    EXPECT_TRUE(ColourNear(ReadFrame(device), left + 48, top + 80, 1, 0x3070A0u, 30));
}

INSTANTIATE_TEST_SUITE_P(Modes, HudTest, testing::Values(std::pair{800, 600}, std::pair{1024, 768}),
                         [](const testing::TestParamInfo<std::pair<int, int>>& info) {
                             return std::to_string(info.param.first) + "x" + std::to_string(info.param.second);
                         });

TEST(HudRulesTest, GameTypesTeamsAndLivesReadAsTheyShould)
{
    const struct {
        int gameType;
        const char* name;
    } types[] = {{0, "Deathmatch"}, {1, "Cooperative"}, {2, "Undefined"}, {3, "Undefined"}, {-1, "Undefined"},
                 {INT_MAX, "Undefined"}};
    for (const auto& t : types)
        EXPECT_STREQ(Scoreboard::GameTypeName(t.gameType), t.name) << t.gameType;

    const struct {
        int team;
        const char* name;
    } teams[] = {{0, "MIA soldiers"}, {1, "1st company"}, {8, "8th company"}, {9, ""}, {-1, ""}, {255, ""}, {INT_MIN, ""}};
    for (const auto& t : teams)
        EXPECT_STREQ(MissionState::GetTeamName(t.team), t.name) << t.team;

    EXPECT_EQ(Scoreboard::LivesText(-1), "Spec.");
    EXPECT_EQ(Scoreboard::LivesText(255), "INF");
    EXPECT_EQ(Scoreboard::LivesText(3), "3");

    const struct {
        int width, length;
        std::size_t sample;
    } widths[] = {{640, 15, 15}, {800, 23, 23}, {1024, 24, 33}, {1280, 24, 50}, {1600, 24, 50}};
    for (const auto& w : widths) {
        EXPECT_EQ(Scoreboard::NameLength(w.width), w.length) << w.width;
        EXPECT_EQ(std::strlen(Scoreboard::NameColumnSample(w.width)), w.sample) << w.width;
    }
}

TEST(HudRulesTest, TheRuleLinesFollowTheSettings)
{
    ScoreboardData data;
    data.serverName = "Valley";
    std::vector<std::string> lines = Scoreboard::RuleLines(data);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "This game has no time limit");
    EXPECT_EQ(lines[1], "This game has no score limit");
    EXPECT_EQ(lines[2], "Games already played on this map: 0.");
    EXPECT_EQ(lines[3], "Server name: Valley");
    EXPECT_EQ(lines[4], "Game mode: Deathmatch");

    data.timeLimitSeconds = 600;
    data.gameClockSeconds = 475.5f;
    data.scoreLimit = 20;
    data.gamesPlayed = 1;
    data.gamesPerMap = 3;
    data.messageOfTheDay = "Welcome";
    data.mapTitle = "Demo Valley";
    data.gameType = 1;
    lines = Scoreboard::RuleLines(data);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], "Time to next game: 2 minutes, 5 seconds.");
    EXPECT_EQ(lines[1], "Score limit: 20.");
    EXPECT_EQ(lines[2], "Games already played on this map: 1. Games until map change: 2.");
    EXPECT_EQ(lines[4], "Welcome");
    EXPECT_EQ(lines[5], "Playing on Demo Valley");
    EXPECT_EQ(lines[6], "Game mode: Cooperative");

    data.gameClockSeconds = 900.0f;
    data.hasTopScore = true;
    data.topScore = 12;
    lines = Scoreboard::RuleLines(data);
    EXPECT_EQ(lines[0], "Time to next game: 0 minutes, 0 seconds.");
    EXPECT_EQ(lines[1], "Score limit: 20.  Current high score: 12.  8 points away from score limit.");
    data.topScore = 20;
    EXPECT_EQ(Scoreboard::RuleLines(data)[1], "Score limit met.  Current high score: 20.");
    data.gameType = 2;
    EXPECT_EQ(Scoreboard::RuleLines(data).back(), "Game mode: Undefined");

    // Lines that would pass the bottom are left out, from the last one upwards.
    EXPECT_EQ(Scoreboard::FittingLines(7, 500, 600, 16), 6);
    EXPECT_EQ(Scoreboard::FittingLines(7, 500, 515, 16), 0);
    EXPECT_EQ(Scoreboard::FittingLines(7, 100, 600, 16), 7);
}

TEST(HudRulesTest, TheHelpScreenListsTheFormsTheMachineMayUse)
{
    auto forms = [](bool hosting, bool connected) {
        std::vector<std::string> shown;
        for (const CommandHelpEntry& entry : HudCommandHelp::ShownEntries(hosting, connected))
            shown.emplace_back(entry.form);
        return shown;
    };
    const std::vector<std::string> alone = forms(false, false);
    EXPECT_EQ(alone, (std::vector<std::string>{"/clearchatmessages", "/loc", "/help"}));
    const std::vector<std::string> client = forms(false, true);
    ASSERT_EQ(client.size(), 12u);
    EXPECT_EQ(client[0], "/tell");
    EXPECT_EQ(client[1], "/ignore <id or name>");
    EXPECT_EQ(client[2], "/team <1-8>");
    EXPECT_EQ(client[8], "/nextmap{yes/no}");
    EXPECT_EQ(std::count(client.begin(), client.end(), "/kickid <ID>"), 0);
    const std::vector<std::string> host = forms(true, false);
    ASSERT_EQ(host.size(), 18u);
    EXPECT_EQ(host[2], "/nextmap");
    EXPECT_EQ(host[14], "/servername <string>");
    EXPECT_EQ(forms(true, true).size(), std::size_t(HudCommandHelp::EntryCount));
}

TEST(HudRulesTest, AccuracyMarksEdgesAndIncomingFire)
{
    EXPECT_FLOAT_EQ(Hud::AccuracyDistance(1.0f, true), 0.0f);
    EXPECT_FLOAT_EQ(Hud::AccuracyDistance(0.25f, true), 30.0f);
    EXPECT_FLOAT_EQ(Hud::AccuracyDistance(-3.0f, true), 40.0f);
    EXPECT_FLOAT_EQ(Hud::AccuracyDistance(0.25f, false), 10.0f);

    const Vector3 north(0.0f, 0.0f, 1.0f);
    const struct {
        Vector3 shot;
        int side;
    } shots[] = {{Vector3(0, 0, -1), 0},  {Vector3(0, 0, 1), 2},   {Vector3(-1, 0, 0), 1},
                 {Vector3(1, 0, 0), 3},   {Vector3(0, -1, 0), -1}, {Vector3(-0.2f, 0, -1), 0}};
    for (const auto& s : shots)
        EXPECT_EQ(Hud::IncomingSide(s.shot, north), s.side) << s.shot.x << ", " << s.shot.z;

    const float rectangle[4] = {-100.0f, -100.0f, 100.0f, 100.0f};
    EXPECT_EQ(Hud::EdgeWarning(0.0f, 0.0f, rectangle), nullptr);
    EXPECT_STREQ(Hud::EdgeWarning(-90.0f, 0.0f, rectangle), "Approaching Western area exit");
    EXPECT_STREQ(Hud::EdgeWarning(90.0f, 0.0f, rectangle), "Approaching Eastern area exit");
    EXPECT_STREQ(Hud::EdgeWarning(0.0f, -90.0f, rectangle), "Approaching Southern area exit");
    EXPECT_STREQ(Hud::EdgeWarning(0.0f, 90.0f, rectangle), "Approaching Northern area exit");

    EXPECT_STREQ(Hud::PostureName(Character::Prone), "Prone");
    EXPECT_STREQ(Hud::PostureName(Character::Crouching), "Crouch");
    EXPECT_STREQ(Hud::PostureName(Character::Standing), "Standing");
}

TEST(HudRulesTest, ItemLabelsOfferTheirActionOnlyWhenNear)
{
    using Offer = Hud::ItemOffer;
    const struct {
        Offer offer;
        bool near;
        const char* label;
    } cases[] = {{Offer::Take, true, "Get M4"},          {Offer::Ammunition, true, "Get M4 Ammo"},
                 {Offer::AmmunitionFull, true, "Ammo Full"}, {Offer::NoAmmunition, true, "M4 (No Ammo)"},
                 {Offer::Swap, true, "Swap with M4"},     {Offer::Nothing, true, "M4"},
                 {Offer::Take, false, "M4"},              {Offer::Swap, false, "M4"}};
    for (const auto& c : cases)
        EXPECT_EQ(Hud::ItemLabel("M4", c.offer, c.near), c.label);
    EXPECT_EQ(Hud::ItemLabel(nullptr, Offer::Take, true), "Get ");
}

class HudSmallModeTest : public HudFixture {
protected:
    void SetUp() override { SetUpAt(640, 480); }
};

TEST_F(HudSmallModeTest, BelowSixHundredLinesTheObjectivesMapStandsAtTheTop)
{
    Application::Instance()->SetQuitOnLeave(true);
    MissionState* mission = StartMission();
    ASSERT_NE(mission->hud.overheadMap, nullptr) << Log();
    const std::vector<std::uint32_t> frame = DrawFlat([&] { mission->DrawObjectivesScreen(); });
    ASSERT_EQ(frame.size(), 640u * 480u);
    EXPECT_TRUE(ColourNear(frame, 320 - 64 + 48, 5 + 80, 1, 0x3070A0u, 30));
}

TEST_F(HudSmallModeTest, WrappedTextBreaksAtTheLastBlankBeforeTheWidth)
{
    BitmapFont* courier = Application::Instance()->GetFont(Application::Courier);
    ASSERT_NE(courier, nullptr);
    const char* text = "Scout the valley, reach the house and the lamp by the road, then wait for the others to come";
    const std::string wrapped = Hud::WrapText(courier, text, 200);
    std::string joined = wrapped;
    std::replace(joined.begin(), joined.end(), '\n', ' ');
    EXPECT_EQ(joined, text);
    EXPECT_GT(std::count(wrapped.begin(), wrapped.end(), '\n'), 1);
    std::size_t start = 0;
    while (start <= wrapped.size()) {
        const std::size_t end = std::min(wrapped.find('\n', start), wrapped.size());
        const std::string line = wrapped.substr(start, end - start);
        EXPECT_LE(courier->GetTextWidth(line.c_str()), 200) << line;
        if (end < wrapped.size()) { // the next word would not have fitted
            EXPECT_GT(courier->GetTextWidth((line + " " + wrapped.substr(end + 1, wrapped.find_first_of(" \n", end + 1) - end - 1)).c_str()), 200);
        }
        start = end + 1;
    }
    EXPECT_EQ(Hud::WrapText(courier, "Unbreakablewordthatiswiderthanthewidth", 40), "Unbreakablewordthatiswiderthanthewidth");
    EXPECT_EQ(Hud::WrapText(courier, nullptr, 40), "");
}

} // namespace
