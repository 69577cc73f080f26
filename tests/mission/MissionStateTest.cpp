// The in-game state on the real renderer library and the generated demo data, headless: its
// loading display, its events, the demo mission's level load and frames, the ways a load stops
// early, and the hostile files it reads.
#include "tests/mission/MissionFixture.h"
#include "tests/support/FramePixels.h"

#include "app/framework/Options.h"
#include "campaign/CampaignState.h"
#include "characters/ai/AI.h"
#include "characters/ai/AILevelView.h"
#include "characters/body/AnimationSets.h"
#include "characters/body/Character.h"
#include "characters/level/LevelScene.h"
#include "characters/level/NoLevel.h"
#include "characters/level/RunningLevel.h"
#include "characters/ai/Soldier.h"
#include "characters/player/Player.h"
#include "characters/ai/Formation.h"
#include "engine/camera/Camera.h"
#include "engine/core/q3DError.h"
#include "engine/filesystem/PackFile.h"
#include "engine/sprite/Sprite.h"
#include "items/Item.h"
#include "items/ItemServices.h"
#include "items/TileSounds.h"
#include "media/Sound3D.h"
#include "media/Sound2D.h"
#include "characters/ai/AIMissionServices.h"
#include "menus/Briefing.h"
#include "mission/MissionState.h"
#include "mission/loading/PatrolPaths.h"
#include "platform/os/VirtualKeys.h"
#include "tools/demodata/writers/MapWriter.h"
#include "tools/demodata/writers/MissionWriter.h"
#include "tools/demodata/writers/TgaWriter.h"
#include "world/map/MapDescription.h"
#include "world/environment/DecalManager.h"
#include "world/environment/Weather.h"
#include "world/World.h"
#include "world/map/MapObject.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <list>
#include <string>

namespace {

namespace fs = std::filesystem;

using MissionStateTest = MissionFixture;

TEST_F(MissionStateTest, LoadingProgressIgnoresRepeatsAndValuesAbove100AndDrawsTheBar)
{
    UseDemoData();
    MissionState* mission = MissionState::Instance();
    device->CreateRenderTargetBitmap(&LoadingBackdrop);
    WriteBytes("backdrop.tga", WriteTga(TgaImage(800, 600, 0xFF204080u), 24));
    WriteBytes("bar.tga", WriteTga(TgaImage(8, 8, 0xFFFFFF00u), 24));
    ASSERT_GE(LoadingBackdrop->Load("backdrop.tga", device->GetBackBuffer()->GetFormat(), 0), 0);
    mission->hud.progressBar = std::make_unique<Sprite>(device, "bar.tga");
    mission->hud.progressScale = 0.5f;
    mission->hud.progressOffset = 10.0f;

    const int frames = device->GetFrameCount();
    mission->SetLoadingProgress(40, "Loading AreaFile");
    EXPECT_EQ(device->GetFrameCount(), frames + 1);
    // The bar (40 x 0.5 + 10 = 30, 90 pixels wide, 8 high) starts at (250, 487) of the backdrop.
    const std::vector<std::uint32_t> frame = ReadFrame(device);
    ASSERT_EQ(frame.size(), 800u * 600u);
    EXPECT_TRUE(Near(frame[std::size_t(300 * 800 + 400)], 0x204080u, 8));
    EXPECT_TRUE(Near(frame[std::size_t(490 * 800 + 250 + 85)], 0xFFFF00u, 8));
    EXPECT_TRUE(Near(frame[std::size_t(490 * 800 + 250 + 95)], 0x204080u, 8));
    EXPECT_TRUE(Near(frame[std::size_t(497 * 800 + 260)], 0x204080u, 8));
    EXPECT_STREQ(mission->hud.progressCaption, "Loading AreaFile");

    for (int ignored : {40, 101, 250}) {
        mission->SetLoadingProgress(ignored);
        EXPECT_EQ(device->GetFrameCount(), frames + 1) << ignored;
    }
    EXPECT_EQ(mission->GetLastProgress(), 40);
    mission->SetLoadingProgress(100);
    EXPECT_EQ(device->GetFrameCount(), frames + 2);
    mission->hud.progressBar.reset();
}

TEST_F(MissionStateTest, LoadingFramesAreShownAtMostOncePerDisplayInterval)
{
    UseDemoData();
    MissionState* mission = MissionState::Instance();
    device->CreateRenderTargetBitmap(&LoadingBackdrop);
    WriteBytes("backdrop.tga", WriteTga(TgaImage(800, 600, 0xFF204080u), 24));
    ASSERT_GE(LoadingBackdrop->Load("backdrop.tga", device->GetBackBuffer()->GetFormat(), 0), 0);
    std::uint32_t now = 5000;
    mission->loadingClock = [&] { return now; };

    // {time, progress, frames shown so far}
    const int steps[][3] = {{5000, 1, 1}, {5001, 2, 1}, {5015, 3, 1}, {5016, 4, 2}, {5020, 5, 2}, {5021, 100, 3}, {5022, 99, 3}};
    const int frames = device->GetFrameCount();
    for (const auto& step : steps) {
        now = std::uint32_t(step[0]);
        mission->SetLoadingProgress(step[1]);
        EXPECT_EQ(mission->GetLastProgress(), step[1]);
        EXPECT_EQ(device->GetFrameCount() - frames, step[2]) << step[1];
    }
    mission->loadingClock = nullptr;
}

TEST_F(MissionStateTest, WorldQueriesScoresItemsAndSoundsFollowTheGameRules)
{
    UseDemoData();
    MissionState* mission = MissionState::Instance();

    // Scores: slot 2 of team 1 against opponents in squads of other teams.
    struct ScoreCase { int opponents; int capture; int perOpponent; int subtracted; };
    for (const ScoreCase& c : {ScoreCase{0, 0, 0, 0}, ScoreCase{4, 40, 12, -12}, ScoreCase{6, 50, 15, -18}, ScoreCase{7, 50, 15, -21}}) {
        std::memset(mission->roster.scoreTable, 0, sizeof mission->roster.scoreTable);
        mission->roster.squads.clear();
        // Squads count the players of their set-ups.
        const auto addSquad = [mission](int team, int players) {
            mission->roster.squads.push_back(std::make_unique<Squad>());
            mission->roster.squads.back()->team = std::uint8_t(team);
            for (int i = 0; i < players; ++i)
                mission->roster.squads.back()->setup.members[i] = std::uint8_t(i);
            return mission->roster.squads.back().get();
        };
        mission->roster.localSquad = addSquad(1, 4); // own team: never counted
        for (int left = c.opponents; left > 0; left -= 4)
            addSquad(2 + left % 2, std::min(left, 4));
        EXPECT_EQ(mission->CountPlayersNotInTeam(1), c.opponents);
        mission->AddCaptureScore(2, 1);
        EXPECT_EQ(mission->GetScore(2), c.capture) << c.opponents;
        EXPECT_EQ(mission->GetTeamScore(1), c.capture);
        EXPECT_EQ(mission->AddPointsPerOpponent(2, 1), c.perOpponent);
        EXPECT_EQ(mission->GetScore(2), c.capture + c.perOpponent);
        mission->SubtractPointsPerOpponent(2, 0); // team 0: every squad counts, no team score
        EXPECT_EQ(mission->GetScore(2), c.capture + c.perOpponent + c.subtracted - 3 * 4) << c.opponents;
        EXPECT_EQ(mission->GetTeamScore(1), c.capture + c.perOpponent);
        mission->AddCaptureScore(-1, 1); // slot -1 changes nothing
        EXPECT_EQ(mission->GetTeamScore(1), c.capture + c.perOpponent);
    }
    EXPECT_EQ(mission->GetTopScore(), mission->GetScore(2));
    // A slot move takes score, deaths and kills along; the squad takes the new slot.
    mission->roster.localSquad->playerSlot = 2;
    const int score = mission->GetScore(2);
    mission->ReassignPlayerSlot(2, 9, 0, false);
    EXPECT_EQ(mission->GetScore(9), score);
    EXPECT_EQ(mission->GetScore(2), 0);
    EXPECT_EQ(mission->roster.localSquad->playerSlot, 9);
    mission->roster.localSquad = nullptr;
    mission->roster.squads.clear();
    std::memset(mission->roster.scoreTable, 0, sizeof mission->roster.scoreTable);

    // Hostility.
    Character first, second, neutral;
    first.team = second.team = 3;
    neutral.team = 0;
    mission->roster.everyoneHostile = false;
    EXPECT_FALSE(mission->AreHostile(&first, &second));
    EXPECT_TRUE(mission->AreHostile(&first, &neutral));
    EXPECT_TRUE(mission->AreHostile(nullptr, &first));
    EXPECT_FALSE(mission->AreHostile(&first, nullptr));
    EXPECT_TRUE(mission->AreHostile(&first, &first));
    mission->roster.everyoneHostile = true;
    EXPECT_TRUE(mission->AreHostile(&first, &second));
    mission->roster.everyoneHostile = false;

    // Characters near a point: enemies alive or with lives left; marked ones by their marker.
    Character enemy, farEnemy, spent;
    enemy.kind = farEnemy.kind = spent.kind = Character::EnemyKind;
    farEnemy.position = Vector3(200, 0, 0);
    spent.health = 0;
    spent.SetLives(0);
    mission->level.characters = {&enemy, &farEnemy, &spent, &first};
    EXPECT_EQ(mission->CountEnemiesNear(Vector3(), 50.0f), 1);
    mission->level.useMarkers[3] = 1;
    mission->level.useMarkers[2] = 1;
    EXPECT_EQ(mission->CountMarkedNear(Vector3(), 50.0f), 1);
    std::memset(mission->level.useMarkers, 0, sizeof mission->level.useMarkers);
    mission->level.characters.clear();

    // Gesture sectors, counted from +x the way the angle grows.
    const int gestures[][3] = {{42, 0, 0}, {0, -42, 0}, {43, 0, 1}, {40, 30, 1}, {30, 40, 2}, {0, 50, 3}, {-50, 0, 5}, {0, -50, 7}, {50, -1, 8}};
    mission->controls.gestureOriginX = 100;
    mission->controls.gestureOriginY = 100;
    for (const auto& g : gestures)
        EXPECT_EQ(mission->GetGestureSector(100 + g[0], 100 + g[1]), g[2]) << g[0] << "," << g[1];

    // Tile sound volumes by the squared distance from the camera.
    EXPECT_NEAR(MissionState::TileSoundVolume(100.0f * 100.0f, true), 0.09f, 1e-6f);
    EXPECT_NEAR(MissionState::TileSoundVolume(100.0f * 100.0f, false), 0.076f, 1e-6f);
    EXPECT_FLOAT_EQ(MissionState::TileSoundVolume(0.0f, true), 0.25f);
    EXPECT_FLOAT_EQ(MissionState::TileSoundVolume(19.0f * 19.0f, false), 0.18f);
    EXPECT_LT(MissionState::TileSoundVolume(40000.0f, true), 0.0f);

    // The item factory through the campaign's registry.
    mission->findItemDefinition = CampaignState::LookUpItemDefinition;
    EXPECT_EQ(mission->CreateItem(""), nullptr);
    EXPECT_EQ(mission->CreateItem(nullptr), nullptr);
    EXPECT_EQ(mission->CreateItem("No Such Gun"), nullptr);
    EXPECT_EQ(mission->CreateItem("knife"), nullptr); // names compare exactly
    mission->findItemDefinition = nullptr;

    // Without a network game: one round, no limits, no votes; an order target joins the ring once.
    EXPECT_EQ(mission->GetRoundsPerMap(), 1);
    EXPECT_EQ(mission->GetScoreLimit(), 0);
    EXPECT_FALSE(mission->CanSelectTeam(1));
    first.SetID(4000);
    mission->SelectOrderTarget(&first);
    mission->SelectOrderTarget(&neutral);
    mission->SelectOrderTarget(&first);
    EXPECT_EQ(mission->roster.orderTargets.size(), 2u);
    EXPECT_EQ(mission->roster.currentOrderTarget, 0);
    mission->roster.orderTargets.clear();
    mission->KickVoteResult(3, true);
    mission->KickBanVoteResult(4, false);
    const std::list<Application::Notice>& notices = Application::Instance()->GetNotices();
    ASSERT_GE(notices.size(), 2u);
    EXPECT_EQ(std::prev(notices.end(), 2)->text, "Player 3: kicked.");
    EXPECT_EQ(notices.back().text, "Vote to kick/ban Player 4 failed.");
    EXPECT_EQ(notices.back().time, 5000);
}

TEST_F(MissionStateTest, EventsOfKindFourExpireWhenFreeAndKindFiveFiresOnce)
{
    UseDemoData();
    MissionState* mission = MissionState::Instance();
    PtrListNode* node = mission->AddEvent(1, 2, 3, 250, nullptr, 1.0f, 1);
    auto* held = PtrListOf<MissionEvent>::ItemOf(mission->AddEvent(0, 0, 0, 0, nullptr, 0.5f, 0));
    MissionEvent* first = PtrListOf<MissionEvent>::ItemOf(node);
    EXPECT_EQ(first->kind, MissionEvent::ExpiringKind);
    EXPECT_EQ(first->startPosition.y, 2.0f);
    EXPECT_EQ(mission->GetEvents().GetHead()->item, held);
    held->references = 1;

    mission->UpdateEvents(0.6f);
    EXPECT_EQ(mission->GetEvents().GetCount(), 2); // the second ran out but is held
    mission->UpdateEvents(0.6f);
    EXPECT_EQ(mission->GetEvents().GetCount(), 1);
    EXPECT_EQ(mission->GetEvents().GetHead()->item, held);
    held->references = 0;
    mission->UpdateEvents(0.01f);
    EXPECT_EQ(mission->GetEvents().GetCount(), 0);

    MissionEvent timed(MissionEvent::TimedActionKind);
    int fired = 0;
    timed.action = [&] { ++fired; };
    EXPECT_FALSE(timed.Step(5.0f)); // no countdown set: waits
    EXPECT_EQ(fired, 0);
    timed.countdown = 1.0f;
    EXPECT_FALSE(timed.Step(0.5f));
    EXPECT_FALSE(timed.Step(0.6f));
    EXPECT_FALSE(timed.Step(2.0f));
    EXPECT_EQ(fired, 1);
}

TEST_F(MissionStateTest, ResultsAndResetsKeepTheirRules)
{
    UseDemoData();
    MissionState* mission = MissionState::Instance();
    Options::Instance()->SetPlayerName("Rook", false);
    mission->ResetPlayers();
    EXPECT_STREQ(mission->level.nameEntries[0], "Rook");
    EXPECT_STREQ(mission->level.nameEntries[1], "Player 2");
    EXPECT_STREQ(mission->level.nameEntries[4], "Player 5");
    EXPECT_STREQ(mission->level.nameEntries[5], "Package");
    int told = 0;
    mission->campaignMissionFinished = [&] { ++told; };
    mission->SetMissionResult(MissionState::Running);
    EXPECT_EQ(told, 0);
    mission->SetMissionResult(MissionState::Won);
    mission->SetMissionResult(MissionState::Won);
    mission->SetMissionResult(MissionState::Escaped);
    EXPECT_EQ(mission->GetMissionResult(), MissionState::Escaped);
    EXPECT_EQ(told, 1);
    mission->campaignMissionFinished = nullptr;
    std::snprintf(mission->session.commandLineMap, sizeof mission->session.commandLineMap, "Maps/x.mis");
    mission->ResetForNewGame();
    EXPECT_EQ(mission->roster.localSetup.members[0], 0);
    EXPECT_EQ(mission->roster.localSetup.members[1], SquadSetup::EmptyMember);
    EXPECT_STREQ(mission->session.missionFile, "Maps/x.mis");
}

TEST_F(MissionStateTest, TheDemoMissionLoadsDrawsAndLeavesOnEscape)
{
    UseDemoData();
    Application* application = Application::Instance();
    application->SetQuitOnLeave(true);
    MissionState* mission = StartMission();

    ASSERT_EQ(application->GetState(), mission) << Log();
    EXPECT_EQ(mission->GetLastProgress(), 100);
    EXPECT_TRUE(mission->IsLevelLoaded());
    EXPECT_TRUE(mission->HasLoadedLevel());
    EXPECT_TRUE(mission->IsLevelRunning());
    EXPECT_STREQ(mission->level.definition.title, "Demo Valley: First Patrol");
    EXPECT_STREQ(mission->level.nameEntries[1], "Cpl. Mara Quill");
    EXPECT_EQ(mission->level.voiceSets[1], 1);
    EXPECT_STREQ(mission->roster.localSetup.itemNames[0][0], "Knife");
    EXPECT_STREQ(mission->roster.localSetup.itemNames[0][1], "M4");
    ASSERT_NE(mission->roster.localSquad, nullptr);
    EXPECT_EQ(mission->roster.localSquad->GetMemberCount(), 2);
    EXPECT_EQ(mission->level.currentObjective, 0);
    for (int index : mission->level.statisticIndices)
        EXPECT_GE(index, 0);
    EXPECT_EQ(mission->level.tileSounds.size(), 3u);
    EXPECT_EQ(mission->level.tileSounds[2]->maximumTile, 3);
    EXPECT_STREQ(mission->level.tileSounds[2]->baseName[1], "Sound/Steps/rock_right");
    // The footsteps are numbered from 0: both variants of each foot load.
    EXPECT_EQ(mission->level.tileSounds[0]->GetCount(0), 2);
    EXPECT_EQ(mission->level.tileSounds[0]->GetCount(1), 2);
    // A footstep on tile 3 (the rock set) beside the camera plays one of its sounds.
    const int playing = sound->GetActive2DSampleCount();
    mission->PlayTileSound(1, 3, mission->level.camera->position, true);
    EXPECT_EQ(sound->GetActive2DSampleCount(), playing + 1);
    mission->PlayTileSound(1, 9, mission->level.camera->position, true); // no set holds tile 9
    EXPECT_EQ(sound->GetActive2DSampleCount(), playing + 1);
    EXPECT_EQ(mission->level.formations.size(), 4u);
    EXPECT_EQ(mission->hud.formationIconCount, 4);
    EXPECT_EQ(mission->audio.hitSounds[2].size(), 3u);
    EXPECT_EQ(mission->audio.chitChatCount, 3);
    EXPECT_NE(mission->hud.crosshair, nullptr);
    EXPECT_STREQ(mission->level.bloodEffect, "GameData/fx/blood.par");
    // The characters' services answer from the level.
    ASSERT_NE(&RunningLevel::Scene(), static_cast<LevelScene*>(&NoLevel::Answers()));
    EXPECT_GE(RunningLevel::Animations().FindAnimationSet("rifle"), 0);
    EXPECT_LT(RunningLevel::Scene().GroundHeight(Vector3(0, 500, 0)), 500.0f);
    ASSERT_NE(RunningLevel::Items(), nullptr) << "the level hands over its item services";
    EXPECT_EQ(LevelItemServices().CameraFar(), mission->level.map->viewDistance);
    // Voice sets by their numbered files: the glass hits have three.
    EXPECT_EQ(mission->LoadVoiceSet2D(mission->audio.hitSounds[2], 2, "Sound/Mission/HitSounds/bullet_hit_glass"), 2);
    std::unique_ptr<Sound3D> voices[8];
    EXPECT_EQ(mission->LoadVoiceSet(voices, 8, "Sound/Mission/HitSounds/bullet_hit_glass", 10.0f, 100.0f), 3);
    mission->LoadVoiceTable(4, "Sound/Mission/HitSounds/bullet_hit_glass");
    ASSERT_EQ(mission->audio.voiceTable.size(), 5u);
    EXPECT_EQ(mission->audio.voiceTable[4].size(), 3u);
    try {
        mission->LoadVoiceSet(voices, 8, "Sound/NoSuchVoice", 10.0f, 100.0f);
        ADD_FAILURE() << "a missing voice set loaded";
    } catch (const q3DError& error) {
        EXPECT_STREQ(error.GetText(), "Can't load Sound/NoSuchVoice01.wav");
    }
    // With every objective done the compass points to the exit zone; the first objective points
    // at its trigger.
    Vector3 target;
    ASSERT_NE(mission->level.exitZones[0], nullptr);
    ASSERT_TRUE(mission->GetCompassTarget(INT_MAX, target));
    EXPECT_FLOAT_EQ(target.x, mission->level.exitZones[0]->GetPosition().x);
    // The objective's trigger stands on the house.
    const std::int32_t goal = mission->level.definition.objectives[0].targets[0];
    TriggerRecord* first = nullptr;
    for (TriggerRecord& record : mission->level.triggers)
        if (record.triggerID == goal)
            first = &record;
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(mission->GetCompassTarget(0, target));
    EXPECT_EQ(target.x, first->x);
    EXPECT_EQ(target.z, first->z);
    first->fired = 1; // then the next target, -1: no place
    EXPECT_FALSE(mission->GetCompassTarget(0, target));
    first->fired = 0;
    mission->level.definition.objectives[0].completed = 1;
    EXPECT_FALSE(mission->GetCompassTarget(0, target));
    mission->level.definition.objectives[0].completed = 0;
    EXPECT_FALSE(mission->GetCompassTarget(99, target));
    EXPECT_EQ(mission->GetCurrentObjective(), 0);
    EXPECT_FALSE(mission->GetFlagTargetPosition(target));
    // The item factory through the campaign's registry, with the level's animation sets.
    mission->findItemDefinition = CampaignState::LookUpItemDefinition;
    std::unique_ptr<Item> knife;
    try {
        knife.reset(mission->CreateItem("Knife"));
    } catch (const q3DError& error) {
        ADD_FAILURE() << error.GetText();
    }
    ASSERT_NE(knife, nullptr) << Log();
    EXPECT_STREQ(knife->name, "Knife");
    EXPECT_STREQ(knife->keyword, "Melee");
    knife.reset();
    mission->findItemDefinition = nullptr;
    // The loading display is gone again; the camera stands above the start.
    EXPECT_EQ(LoadingBackdrop, nullptr);
    EXPECT_EQ(mission->hud.progressBar, nullptr);
    EXPECT_NE(std::string(ReadText("GameData/factoids.txt")).find(mission->hud.statusText), std::string::npos);
    EXPECT_GT(std::strlen(mission->hud.statusText), 10u);
    // The camera follows the squad's leader, who stands near the start.
    ASSERT_NE(mission->roster.controlledCharacter, nullptr);
    EXPECT_EQ(mission->roster.controlledCharacter, static_cast<Character*>(mission->roster.localSquad->GetLeader()));
    EXPECT_EQ(mission->level.camera->GetParent(), &mission->roster.controlledCharacter->GetAttachNode());
    EXPECT_LT(mission->roster.controlledCharacter->position.DistanceSquared(mission->level.map->startPosition), 20.0f * 20.0f);
    EXPECT_TRUE(fs::is_directory("Saves"));
    const std::string log = Log();
    EXPECT_NE(log.find("Maps/Demo/area.mpb Load Time: "), std::string::npos) << log;
    EXPECT_EQ(log.find("has no exit zones"), std::string::npos) << "the demo map has its exit zone";

    // Frames, once the picture has faded in (half-second frames): the valley fills the lower
    // half of the screen.
    std::vector<std::uint32_t> frame;
    mission->frameClock = [] { return 0.5f; };
    for (int i = 0; i < 4; ++i) {
        application->Update();
        application->Draw();
    }
    mission->frameClock = nullptr;
    frame = ReadFrame(device);
    ASSERT_EQ(frame.size(), 800u * 600u);
    int ground = 0;
    for (int y = 400; y < 600; y += 4)
        for (int x = 0; x < 800; x += 4)
            ground += frame[std::size_t(y * 800 + x)] != 0;
    EXPECT_GT(ground, 50 * 200 * 8 / 10);
    EXPECT_GT(mission->level.world->drawnObjectCount + int(mission->level.world->visiblePatches.size()), 0);

    application->KeyDown(platform::os::VK_ESCAPE);
    EXPECT_FALSE(mission->IsLevelLoaded());
    EXPECT_FALSE(mission->IsLevelPresent());
    EXPECT_EQ(&RunningLevel::Scene(), static_cast<LevelScene*>(&NoLevel::Answers()));
    EXPECT_EQ(RunningLevel::Items(), nullptr);
    EXPECT_EQ(mission->hud.explosionBitmaps[0], nullptr);
    EXPECT_TRUE(application->GetQuitFlag());
    EXPECT_FALSE(application->EndsOnError());
}

TEST_F(MissionStateTest, AMapWithoutMissionLoadsAndStopsCleanlyWhereTheSquadIsNeeded)
{
    UseDemoData();
    MissionState* mission = MissionState::Instance();
    std::snprintf(mission->session.missionFile, sizeof mission->session.missionFile, "Maps/Demo/area.mpb");
    mission->BeginLevel();
    EXPECT_TRUE(mission->IsLevelLoaded());
    EXPECT_FALSE(mission->HasLoadedLevel());
    EXPECT_EQ(mission->roster.localSquad, nullptr);
    EXPECT_EQ(LoadingBackdrop, nullptr);
    EXPECT_EQ(mission->hud.progressScale, 1.0f);
    EXPECT_EQ(sound->GetMasterVolume(), 1.0f); // unmuted
    EXPECT_NE(Log().find("has no squad to place"), std::string::npos);
    EXPECT_EQ(mission->level.tileSounds.size(), 3u);

    // The lowest texture setting reads the tiles and their footsteps from "Low/".
    Options::Instance()->SetOption(Options::TerrainTextureResolution, 0);
    mission->BeginLevel();
    ASSERT_TRUE(mission->IsLevelLoaded());
    EXPECT_STREQ(mission->level.map->tileDirectory, "Maps/tWorld/Low/");
    EXPECT_EQ(mission->level.tileSounds.size(), 3u);
    mission->UnloadLevel();
    EXPECT_FALSE(mission->IsLevelLoaded());
}

TEST_F(MissionStateTest, AMissingKeyOrMapStopsTheLoadWithTheDisplayReleased)
{
    UseDemoData({"GameData"});
    // Both "grenades" and "toughness" are missing: the first in the key order is named.
    std::string stats = ReadText("GameData/AI/AIStats.txt");
    for (const char* key : {"grenades,", "toughness,"})
        stats.replace(stats.find(key), std::strlen(key), "unused,");
    WriteText("GameData/AI/AIStats.txt", stats);
    Application* application = Application::Instance();
    application->SetQuitOnLeave(true);
    MissionState* mission = StartMission();
    EXPECT_STREQ(application->GetExitMessage(),
                 "Cannot find stat \"grenades\" in AIStats file (MissionState::LoadLevelAfterMultiplayerCheck)");
    EXPECT_NE(Log().find("Cannot find stat \"grenades\""), std::string::npos) << "the engine log keeps the error";
    EXPECT_TRUE(application->EndsOnError());
    EXPECT_EQ(LoadingBackdrop, nullptr);
    EXPECT_EQ(mission->hud.progressBar, nullptr);
    EXPECT_EQ(sound->GetMasterVolume(), 1.0f);
    EXPECT_FALSE(mission->HasLoadedLevel());

    // A map description that is not there: logged, shown, and back to the main menu.
    int menus = 0;
    mission->returnToMainMenu = [&] { ++menus; };
    std::snprintf(mission->session.missionFile, sizeof mission->session.missionFile, "Maps/Nowhere/area.mpb");
    mission->level.definition.Reset();
    mission->BeginLevel();
    EXPECT_EQ(menus, 1);
    EXPECT_FALSE(mission->IsLevelPresent());
    EXPECT_FALSE(mission->IsLevelLoaded());
    EXPECT_EQ(LoadingBackdrop, nullptr);
    EXPECT_NE(Log().find("Can't load Maps/Nowhere/area.mpb.  Exiting"), std::string::npos);
    EXPECT_EQ(application->GetNotices().back().text, "Can't load Maps/Nowhere/area.mpb.  Exiting");

    // A map the reader refuses: the log says why.
    MapFile hostile;
    hostile.width = hostile.height = 16;
    hostile.SizeBlocks();
    hostile.start[1] = std::nanf("");
    fs::create_directories("Maps/Hostile");
    WriteBytes("Maps/Hostile/area.mpb", WriteMapFile(hostile));
    std::snprintf(mission->session.missionFile, sizeof mission->session.missionFile, "Maps/Hostile/area.mpb");
    mission->BeginLevel();
    EXPECT_EQ(menus, 2);
    EXPECT_NE(Log().find("the start y nan is outside"), std::string::npos) << Log();
    mission->returnToMainMenu = nullptr;
}

TEST_F(MissionStateTest, HostileMissionFilesEndTheCommandLineStartWithTheirError)
{
    UseDemoData();
    MissionFileContents contents;
    contents.title = "Hostile";
    contents.mapPath = "Maps/Demo/area.mpb";
    std::vector<std::uint8_t> huge = WriteMissionFile(contents);
    huge[1036] = 0xFF, huge[1037] = 0xFF, huge[1038] = 0xFF, huge[1039] = 0x7F;
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
    } cases[] = {
        {"short.mis", {8, 0, 0}},
        {"huge.mis", huge},
        {"missing.mis", {}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        if (row.bytes.size())
            WriteBytes(row.name, row.bytes);
        DestroySingletons();
        Application* application = Application::Instance();
        application->SetDevice(device);
        application->SetSoundSystem(sound.get());
        application->SetQuitOnLeave(true);
        MissionState* mission = StartMission(row.name);
        EXPECT_TRUE(application->EndsOnError());
        EXPECT_NE(std::string(application->GetExitMessage()).find(row.name), std::string::npos)
            << application->GetExitMessage();
        EXPECT_FALSE(mission->IsLevelLoaded());
    }
}

TEST_F(MissionStateTest, TilePropertiesFactoidsAndAFailedStartSaveAreLoggedNotFatal)
{
    UseDemoData({"Maps"});
    // The second record has its maximum below its minimum: only the first is kept.
    WriteText("Maps/tWorld/TileProperties.txt", "0\n0\n0.5\nSound/Steps/grass_left\nSound/Steps/grass_right\n"
                                                "4\r\n2\r\n1\r\nx\r\ny\r\n");
    fs::remove("Saves");
    WriteText("Saves", "a file where the folder should be");
    MissionState* mission = StartMission();
    ASSERT_TRUE(mission->IsLevelLoaded()) << Log();
    EXPECT_EQ(mission->level.tileSounds.size(), 1u);
    const std::string log = Log();
    EXPECT_NE(log.find("Format error: maxTileIndex<minTileIndex in Maps/Tiles/TileProperties.txt"), std::string::npos);
    // An alert value that is not finite ends the table there; indices beyond an int are clamped.
    mission->level.tileSounds.clear();
    WriteText("Maps/tWorld/TileProperties.txt", "-99999999999\n99999999999\n2\nx\ny\n1\n2\ninf\nx\ny\n");
    mission->LoadTileProperties();
    ASSERT_EQ(mission->level.tileSounds.size(), 1u);
    EXPECT_EQ(mission->level.tileSounds[0]->minimumTile, INT_MIN);
    EXPECT_EQ(mission->level.tileSounds[0]->maximumTile, INT_MAX);
    EXPECT_NE(Log().find("Format error: AI alert value inf is not a finite number"), std::string::npos) << Log();
    EXPECT_NE(log.find("Can't write the start save Saves/Demo-Start.sav"), std::string::npos) << log;
    bool notice = false;
    for (const Application::Notice& shown : Application::Instance()->GetNotices())
        notice = notice || (shown.text.find("start save") != std::string::npos && shown.time <= 8000 && shown.time > 7000);
    EXPECT_TRUE(notice);
    EXPECT_TRUE(mission->HasLoadedLevel());

    // Factoids: ten lines and a draw of 20 lines shows the last; an empty file shows nothing.
    fs::remove("GameData");
    fs::create_directories("GameData");
    std::string ten;
    for (int i = 1; i <= 10; ++i)
        ten += "Fact number " + std::to_string(i) + "\n";
    WriteText("GameData/factoids.txt", ten);
    unsigned seed = 1;
    for (;; ++seed) {
        std::srand(seed);
        if (std::rand() % 48 + 1 == 20)
            break;
    }
    std::srand(seed);
    mission->LoadFactoids();
    EXPECT_STREQ(mission->hud.statusText, "Fact number 10");
    WriteText("GameData/factoids.txt", "");
    mission->LoadFactoids();
    EXPECT_STREQ(mission->hud.statusText, "");
    // A long line breaks at a blank before it passes 700 pixels.
    WriteText("GameData/factoids.txt", std::string(40, 'a') + " " + std::string(200, 'b') + "\n");
    mission->LoadFactoids();
    EXPECT_NE(std::strchr(mission->hud.statusText, '\n'), nullptr);
    mission->UnloadLevel();
}

TEST_F(MissionStateTest, MissingHitSoundsAndWideFormationsAreLoggedAndCut)
{
    fs::create_directories("Sound/Mission");
    const fs::path demo = fs::path(BEXAL_DATA_DIR) / "Sound/Mission";
    for (int i = 1; i <= 3; ++i) {
        const std::string name = "hitGround" + std::to_string(i) + ".wav";
        fs::copy_file(demo / name, fs::path("Sound/Mission") / name, fs::copy_options::overwrite_existing);
    }
    fs::create_directories("GameData/Formations");
    WriteText("GameData/Formations/Wide.for", "5\n-10 -10 0 0 0\n10 -10 0 0 0\n-20 -20 0 0 0\n20 -20 0 0 0\n0 -30 0 0 0\n");
    // Slots no icon can show: far outside, not a number, and a count beyond any int.
    WriteText("GameData/Formations/Far.for", "99999999999999999999\n1e300 -1e300\nnan inf\n");
    MissionState* mission = MissionState::Instance();
    EXPECT_EQ(mission->audio.hitSounds[0].size(), 0u);
    EXPECT_NE(Log().find("Can't load Sound/Mission/HitSounds/bullet_hit_body01.wav"), std::string::npos) << Log();
    ASSERT_EQ(mission->hud.formationIconCount, 2);
    const FormationIcon& far = mission->hud.formationIcons[0];
    const FormationIcon& wide = mission->hud.formationIcons[1];
    EXPECT_STREQ(wide.name, "Wide");
    EXPECT_EQ(wide.pointCount, 3);
    EXPECT_EQ(wide.points[0][0], 50);
    EXPECT_EQ(wide.points[0][1], 70);
    EXPECT_STREQ(far.name, "Far");
    ASSERT_EQ(far.pointCount, 2);
    EXPECT_EQ(far.points[0][0], 1000);
    EXPECT_EQ(far.points[0][1], 1000);
    EXPECT_EQ(far.points[1][0], -1000);
    EXPECT_EQ(far.points[1][1], -1000);
    EXPECT_NE(Log().find("GameData/Formations/Far.for: slot 1"), std::string::npos);
    EXPECT_EQ(mission->audio.beep, nullptr);
    EXPECT_NE(Log().find("Can't load Sound/beep_fm.wav"), std::string::npos);
}

TEST_F(MissionStateTest, ExitZonesKeepTheFirstTwoAndTriggerIDsMustDiffer)
{
    UseDemoData();
    // A small map of the demo tiles: three exit zones and two triggers, then a third trigger with
    // the second's ID.
    auto write = [&](bool duplicate) {
        MapFile map;
        map.width = map.height = 32;
        map.SizeBlocks();
        map.groups = {"Props"};
        map.entries = {{"house.q3d", "Zone", {"EXITZONE", "", "", "", ""}, 0, 0},
                       {"lamp.q3d", "Switch A", {"trigger 7 1", "", "", "", ""}, 0, 0},
                       {"lamp.q3d", "Switch B", {"trigger 8 1", "", "", "", ""}, 0, 0}};
        for (int i = 0; i < 3; ++i) {
            MapFilePlacement zone;
            zone.position[0] = float(20 * i);
            zone.library = 0;
            map.placements.push_back(zone);
        }
        for (int library : {1, 2}) {
            MapFilePlacement trigger;
            trigger.position[0] = 10.0f * float(library);
            trigger.position[2] = 50.0f;
            trigger.library = library;
            map.placements.push_back(trigger);
        }
        if (duplicate) {
            map.entries[1].propTexts[0] = "trigger 8 1";
        }
        fs::create_directories("Test");
        WriteBytes("Test/area.mpb", WriteMapFile(map));
    };
    write(false);
    MissionState* mission = MissionState::Instance();
    std::snprintf(mission->session.missionFile, sizeof mission->session.missionFile, "Test/area.mpb");
    mission->BeginLevel();
    ASSERT_TRUE(mission->IsLevelLoaded()) << Log();
    ASSERT_NE(mission->level.exitZones[0], nullptr);
    ASSERT_NE(mission->level.exitZones[1], nullptr);
    int zones = 0;
    for (MapObject* object = mission->level.world->GetFirstObject(); object; object = object->next)
        zones += object->HasPropText("EXITZONE") != nullptr;
    EXPECT_EQ(zones, 3);
    ASSERT_EQ(mission->level.triggers.size(), 2u);
    EXPECT_EQ(mission->level.triggers[0].triggerID + mission->level.triggers[1].triggerID, 15);
    EXPECT_EQ(Log().find("has no exit zones"), std::string::npos);

    write(true);
    const std::string error = [&] {
        try {
            mission->BeginLevel();
        } catch (const q3DError& e) {
            return std::string(e.GetText());
        }
        return std::string();
    }();
    EXPECT_EQ(error.rfind("Map has two object with same trigger ID\nObject type: Switch", 0), 0u) << error;
    EXPECT_EQ(LoadingBackdrop, nullptr);
    mission->UnloadLevel();
}

} // namespace

namespace {

// Pixels that differ by more than a small tolerance, over the whole frame.
int CountDifferent(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b)
{
    int count = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        count += !Near(a[i], b[i], 12);
    return count;
}

} // namespace

TEST_F(MissionStateTest, TheDemoMissionRainsDrawsDecalsAndReleasesTheWeatherWithTheLevel)
{
    UseDemoData();
    Application* application = Application::Instance();
    MissionState* mission = StartMission();
    ASSERT_EQ(application->GetState(), mission) << Log();
    // The demo map has a weather file beside it: the mission rains.
    ASSERT_NE(mission->level.weather, nullptr);
    EXPECT_EQ(mission->level.weather->type, Weather::Rain);
    EXPECT_TRUE(mission->level.weather->HasGrid());

    // A bullet hole through the items' services, on the ground in front of the camera.
    ASSERT_NE(RunningLevel::Items(), nullptr);
    const Matrix3& turn = mission->level.camera->rotation;
    const Vector3 ahead = mission->level.camera->position + Vector3(turn(2, 0), 0.0f, turn(2, 2)) * 20.0f;
    const float ground = RunningLevel::Scene().GroundHeight(ahead + Vector3(0.0f, 50.0f, 0.0f));
    LevelItemServices().AddDecal("GameData/fx/bullethole.tga", Vector3(ahead.x, ground + 0.05f, ahead.z),
                                 Vector3(0.0f, 1.0f, 0.0f), nullptr);
    for (int frame = 0; frame < 20; ++frame) {
        application->Update();
        application->Draw();
    }
    EXPECT_GT(mission->level.weather->currentCount, 0);
    EXPECT_EQ(DecalManager::GetDrawnCount(), 1);

    // The same frame with and without the rain: the streaks change the picture. The squad, whose
    // figures move between draws, leaves first, and the picture has faded in.
    mission->RemovePlayerSquads(-1);
    mission->hud.screenFade = 0.0f;
    const auto drawFrame = [&] {
        device->BeginFrame(true, true);
        mission->Draw();
        device->EndFrame(true, true);
        return ReadFrame(device);
    };
    const std::vector<std::uint32_t> rain = drawFrame();
    const int falling = mission->level.weather->currentCount;
    mission->level.weather->currentCount = 0;
    const std::vector<std::uint32_t> dry = drawFrame();
    const std::vector<std::uint32_t> dryAgain = drawFrame();
    mission->level.weather->currentCount = falling;
    EXPECT_GT(CountDifferent(rain, dry), CountDifferent(dry, dryAgain) + 200);

    mission->UnloadLevel();
    EXPECT_EQ(mission->level.weather, nullptr);
    EXPECT_EQ(RunningLevel::Items(), nullptr);
    for (int slot = 0; slot < DecalManager::kDecals; ++slot)
        EXPECT_EQ(DecalManager::GetDecal(slot).texture, nullptr);

    // A campaign that asks for dry weather keeps the level dry.
    mission->weatherRequested = [] { return false; };
    StartMission();
    ASSERT_TRUE(mission->IsLevelLoaded()) << Log();
    EXPECT_EQ(mission->level.weather, nullptr);
    mission->weatherRequested = nullptr;
    mission->UnloadLevel();
}

TEST_F(MissionStateTest, TheAIAsksTheLevelThroughItsViewUntilTheLevelUnloads)
{
    UseDemoData();
    MissionState* mission = StartMission();
    ASSERT_TRUE(mission->IsLevelLoaded()) << Log();
    EXPECT_EQ(RunningLevel::AI().Waypoints(), mission->level.waypointGraph.get());
    EXPECT_NE(RunningLevel::AI().Waypoints(), nullptr);
    EXPECT_EQ(RunningLevel::AI().Stats(), &mission->level.aiStats);
    EXPECT_EQ(MissionAIStat("riflery", -12345.0f), mission->level.aiStats.entries[mission->level.aiStats.FindIndex("riflery")].value);
    EXPECT_EQ(RunningLevel::AI().CameraFar(), mission->level.camera->GetFar());
    EXPECT_EQ(RunningLevel::AI().CameraFogStart(), mission->level.camera->GetFogStart());
    EXPECT_FALSE(RunningLevel::AI().IsLogSuppressed());
    mission->aiDebugDraw = true;
    EXPECT_TRUE(RunningLevel::AI().IsDebugDraw());
    EXPECT_EQ(RunningLevel::AI().LightingCondition(), 0);
    mission->level.world->SetTimeOfDay(1);
    EXPECT_EQ(RunningLevel::AI().LightingCondition(), 1);
    EXPECT_EQ(RunningLevel::AI().PrecipitationKind(), int(Weather::Rain));
    EXPECT_TRUE(RunningLevel::AI().SmokeClouds().empty());
    ASSERT_EQ(RunningLevel::AI().Squads().size(), 1u); // the local squad
    EXPECT_EQ(RunningLevel::AI().CurrentSquad(), &RunningLevel::AI().Squads().front());
    // The tile under the start is grass (tile 0): its alert value.
    float value = 0.0f;
    ASSERT_TRUE(RunningLevel::AI().TilePropertyValue(Vector3(0.0f, 0.0f, 0.0f), &value));
    const int tile = [&] {
        int column = 0, row = 0;
        mission->level.world->WorldToCell(0.0f, 0.0f, column, row);
        return mission->level.world->GetCellTileIndex(column, row);
    }();
    for (const std::unique_ptr<TileSounds>& set : mission->level.tileSounds) {
        if (tile >= set->minimumTile && tile <= set->maximumTile) {
            EXPECT_EQ(value, set->alertValue);
        }
    }
    EXPECT_FALSE(RunningLevel::AI().TilePropertyValue(Vector3(1.0e6f, 0.0f, 1.0e6f), &value));
    // A line straight down from above the start meets the ground; one into the sky meets nothing.
    HitResult ray;
    ray.Clear();
    ray.origin = Vector3(0.0f, 200.0f, 0.0f);
    ray.direction = Vector3(0.0f, -1.0f, 0.0f);
    EXPECT_TRUE(RunningLevel::AI().PickLine(ray, 400.0f, nullptr, nullptr, nullptr));
    EXPECT_NEAR(ray.distance, 200.0f - RunningLevel::Scene().GroundHeight(Vector3(0.0f, 200.0f, 0.0f)), 0.5f);
    ray.Clear();
    ray.origin = Vector3(0.0f, 200.0f, 0.0f);
    ray.direction = Vector3(0.0f, 1.0f, 0.0f);
    EXPECT_FALSE(RunningLevel::AI().PickLine(ray, 400.0f, nullptr, nullptr, nullptr));
    // The combat flag: raised during a frame, remembered by the next one.
    RunningLevel::AI().RaiseCombatFlag();
    EXPECT_TRUE(mission->level.combatFlag);
    // The enemies' ground-query count starts again with each frame: after one, it holds at most a
    // query of each enemy.
    EnemyGroundQueryCount() = 1000;
    Application::Instance()->Update();
    EXPECT_FALSE(mission->level.combatFlag);
    EXPECT_TRUE(mission->level.previousCombatFlag);
    EXPECT_LE(EnemyGroundQueryCount(), int(mission->level.characters.size()));

    mission->UnloadLevel();
    mission->aiDebugDraw = false;
    EXPECT_EQ(&RunningLevel::AI(), static_cast<AILevelView*>(&NoLevel::Answers()));
    EXPECT_EQ(RunningLevel::AI().Waypoints(), nullptr);
    EXPECT_EQ(RunningLevel::AI().PrecipitationKind(), 0);
}

// The default animation set a soldier takes to use an object is the mission's ambient upper-body
// set; the demo data has none, and without a level there is none either.
TEST_F(MissionStateTest, TheDefaultAnimationSetIsTheMissionsAmbientSet)
{
    UseDemoData();
    MissionState* mission = StartMission();
    ASSERT_TRUE(mission->IsLevelLoaded()) << Log();
    EXPECT_EQ(mission->ambientUpperBody, -1) << "the demo's upper-body folders are Rifle and Unarmed";
    EXPECT_EQ(RunningLevel::Animations().DefaultAnimationSet(), -1);
    mission->ambientUpperBody = RunningLevel::Animations().FindAnimationSet("Unarmed");
    ASSERT_GE(mission->ambientUpperBody, 0);
    EXPECT_EQ(RunningLevel::Animations().DefaultAnimationSet(), mission->ambientUpperBody);
    const int unarmed = mission->ambientUpperBody;

    // A soldier told to use an object takes the default set first.
    GameObject lever; // outlives the soldier that targets it
    lever.objectType = 3;
    Soldier user;
    user.LoadAnimationInfo();
    ASSERT_NE(user.GetAnimationSet(), unarmed);
    user.SetTarget(&lever, 0.0f, false);
    user.SetState(StateUse, 1.0f);
    user.UpdateAI(0.05f);
    EXPECT_EQ(user.GetAnimationSet(), unarmed);
    mission->ambientUpperBody = -1;

    mission->UnloadLevel();
    EXPECT_EQ(RunningLevel::Animations().DefaultAnimationSet(), -1);
}

TEST_F(MissionStateTest, AVehicleBlocksSightLinesButNotItsRidersAndKeepsItsOwnExclusion)
{
    UseDemoData();
    MapFile map;
    map.width = map.height = 32;
    map.SizeBlocks();
    map.groups = {"Props"};
    map.entries = {{"house.q3d", "Truck", {"vehicle Vehicles/truck.txt", "", "", "", ""}, 0, 0}};
    map.placements.push_back(MapFilePlacement{});
    fs::create_directories("Test");
    WriteBytes("Test/area.mpb", WriteMapFile(map));
    MissionState* mission = MissionState::Instance();
    std::snprintf(mission->session.missionFile, sizeof mission->session.missionFile, "Test/area.mpb");
    mission->BeginLevel();
    ASSERT_TRUE(mission->IsLevelLoaded()) << Log();
    ASSERT_EQ(mission->level.vehicleObjects.size(), 1u);
    MapObject* truck = mission->level.vehicleObjects[0];

    const auto pick = [&](Character* observer) {
        HitResult ray;
        ray.Clear();
        ray.origin = Vector3(-60.0f, truck->GetPosition().y + 2.0f, 0.0f);
        ray.direction = Vector3(1.0f, 0.0f, 0.0f);
        return RunningLevel::AI().PickLine(ray, 120.0f, nullptr, observer, nullptr);
    };
    // Excluded by its own rule (say, it is moving): still in the way of a sight line, excluded again after.
    truck->hidden = true;
    EXPECT_TRUE(pick(nullptr));
    EXPECT_TRUE(truck->hidden);
    // The observer rides in it: the line passes through.
    auto* rider = reinterpret_cast<Character*>(std::uintptr_t(64)); // only compared, never used
    mission->ridingVehicleObject = [&](Character* character) { return character == rider ? truck : nullptr; };
    truck->hidden = false;
    EXPECT_FALSE(pick(rider));
    EXPECT_FALSE(truck->hidden);
    EXPECT_TRUE(pick(nullptr));
    mission->ridingVehicleObject = nullptr;
    mission->UnloadLevel();
    EXPECT_TRUE(mission->level.vehicleObjects.empty());
}

namespace {

// The patrol path of an AI from its head: positions, idle times and talker flags.
struct PathPoint {
    Vector3 position;
    float waitMin, waitMax;
    int talker;
};

std::vector<PathPoint> PathOf(const AI& ai)
{
    std::vector<PathPoint> points;
    for (void* item : *ai.patrolPath) {
        const auto* waypoint = static_cast<const Waypoint*>(item);
        points.push_back({waypoint->position, waypoint->waitMin, waypoint->waitMax, waypoint->chitChat});
    }
    return points;
}

} // namespace

class PatrolPathTest : public MissionStateTest {
protected:
    void SetUp() override
    {
        MissionStateTest::SetUp();
        UseDemoData();
        mission = StartMission();
        ASSERT_TRUE(mission->IsLevelLoaded()) << Log();
        std::snprintf(mission->level.mapPath, sizeof mission->level.mapPath, "Test/area.mpb");
        fs::create_directories("Test");
        mission->RemoveMapPopulation(); // the map's own characters make room for these
        // Four characters standing in a row, 20 units apart.
        for (int i = 0; i < 4; ++i) {
            ais.push_back(std::make_unique<AI>());
            ais.back()->SetPosition(20.0f * float(i), 10.0f, 0.0f);
            mission->level.characters.push_back(ais.back().get());
        }
    }

    void TearDown() override
    {
        mission->level.characters.clear();
        ais.clear();
        mission->UnloadLevel();
        MissionStateTest::TearDown();
    }

    MissionState* mission = nullptr;
    std::vector<std::unique_ptr<AI>> ais;
};

TEST_F(PatrolPathTest, PathsGroupsAndTheirOrderSurviveAReadAndAWrite)
{
    WriteText("Test/area.pth", "0,12,0\n"                       // A: two waypoints
                               "1,12,1,2,4,-45,30,1\n"
                               "2,12,2,0.5,1.5\n"               // only position and idle times
                               "*\r\n"
                               "20,12,0,0,10,0\n"               // B follows A: a new Ranger File group
                               "*\n"
                               "40,12,0,20,10,0\n"              // C names B, who follows A
                               "*\n"
                               "500,0,500\n"                    // nobody stands there: dropped
                               "9,9,9,1,1\n"
                               "*\n"
                               "\n"                             // the reading stops here
                               "60,12,0\n"
                               "7,7,7,1,1\n"
                               "*\n");
    EXPECT_TRUE(mission->LoadPatrolPaths());
    AI& a = *ais[0];
    AI& b = *ais[1];
    AI& c = *ais[2];
    AI& d = *ais[3];
    // A's start node is its place raised by 2, then the waypoints from the last one read.
    const std::vector<PathPoint> path = PathOf(a);
    ASSERT_EQ(path.size(), 3u);
    EXPECT_EQ(path[0].position, Vector3(0.0f, 12.0f, 0.0f));
    EXPECT_EQ(path[0].waitMax, 0.0f);
    EXPECT_EQ(path[1].position, Vector3(2.0f, 12.0f, 2.0f));
    EXPECT_EQ(path[1].waitMin, 0.5f);
    EXPECT_EQ(path[1].waitMax, 1.5f);
    EXPECT_EQ(path[1].talker, 0);
    EXPECT_EQ(path[2].position, Vector3(1.0f, 12.0f, 1.0f));
    EXPECT_EQ(path[2].waitMin, 2.0f);
    EXPECT_EQ(path[2].talker, 1);
    EXPECT_EQ(a.position, Vector3(0.0f, 12.0f, 0.0f));
    EXPECT_TRUE(a.IsFollowingPatrol());
    // Start lines without waypoints leave one node; the character after the empty line too.
    for (AI* ai : {&b, &c, &d})
        EXPECT_EQ(ai->patrolPath->GetCount(), 1);
    EXPECT_TRUE(a.LeadsFormation());
    EXPECT_EQ(b.GetFormationLeader(), &a);
    ASSERT_NE(a.formationLink, nullptr);
    EXPECT_STREQ(a.formationLink->formation->definitionName, "Ranger File.for");
    EXPECT_EQ(c.GetFormationLeader(), nullptr);
    EXPECT_NE(Log().find("Character at 20.000000,10.000000,0.000000 leader but already in group"), std::string::npos)
        << Log();

    // Written back: every character with its start line, A's waypoints in the file's order.
    mission->SavePatrolPaths();
    PackFileHandle file(PackFileOpen("Test/area.pth", "rt"));
    ASSERT_TRUE(file);
    std::vector<PatrolPathRecord> records;
    std::string error;
    ASSERT_TRUE(ReadPatrolPathFile(file.get(), records, error)) << error;
    ASSERT_EQ(records.size(), 4u);
    ASSERT_EQ(records[0].waypoints.size(), 2u);
    EXPECT_EQ(records[0].waypoints[0].position, Vector3(1.0f, 12.0f, 1.0f));
    EXPECT_TRUE(records[0].waypoints[0].talker);
    EXPECT_EQ(records[0].waypoints[1].maximumIdle, 1.5f);
    EXPECT_TRUE(records[1].hasLeader);
    EXPECT_EQ(records[1].leader, a.position);
    EXPECT_FALSE(records[2].hasLeader);
    EXPECT_EQ(records[3].start, Vector3(60.0f, 12.0f, 0.0f));
    EXPECT_TRUE(records[3].waypoints.empty());
    const std::string text = ReadText("Test/area.pth");
    EXPECT_EQ(text.rfind("0.000000,12.000000,0.000000,0.000000,12.000000,0.000000\n"
                         "1.000000,12.000000,1.000000,2.000000,4.000000,0.000000,0.000000,1\n", 0), 0u) << text;

    // Read again, the paths are the same.
    EXPECT_TRUE(mission->LoadPatrolPaths());
    const std::vector<PathPoint> again = PathOf(a);
    ASSERT_EQ(again.size(), 3u);
    EXPECT_EQ(again[2].position, path[2].position);
}

TEST_F(PatrolPathTest, AMissingOrHostileFileLeavesOnlyTheStartNodes)
{
    const std::string huge = std::string(2000, '1') + "\n";
    const struct {
        const char* name;
        std::string text;
        const char* reason;
    } cases[] = {
        {"no file", "", nullptr},
        {"a long line", "0,12,0\n" + huge + "*\n", "a line longer than 1023 characters on line 2"},
        {"not a number", "0,12,0\nnan,1,1,1,1\n*\n", "a number out of range on line 2"},
        {"beyond any map", "1e30,12,0\n*\n", "a number out of range on line 1"},
        {"infinite idle", "0,12,0\n1,1,1,inf,1\n*\n", "a number out of range on line 2"},
    };
    for (const auto& testCase : cases) {
        fs::remove("Test/area.pth");
        if (testCase.reason)
            WriteText("Test/area.pth", testCase.text);
        const std::size_t logged = Log().size();
        EXPECT_EQ(mission->LoadPatrolPaths(), testCase.reason == nullptr) << testCase.name;
        for (const std::unique_ptr<AI>& ai : ais)
            EXPECT_EQ(ai->patrolPath->GetCount(), 1) << testCase.name;
        if (testCase.reason) {
            EXPECT_NE(Log().find(std::string("Can't read patrol paths Test/area.pth: ") + testCase.reason, logged),
                      std::string::npos)
                << testCase.name << Log();
        }
    }
    // More waypoints than any patrol: refused whole.
    std::string many = "0,12,0\n";
    for (int i = 0; i <= 65536; ++i)
        many += "1,1,1\n";
    WriteText("Test/area.pth", many + "*\n");
    EXPECT_FALSE(mission->LoadPatrolPaths());
    EXPECT_EQ(ais[0]->patrolPath->GetCount(), 1);
}
