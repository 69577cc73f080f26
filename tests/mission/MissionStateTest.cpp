// The in-game state on the real renderer library and the generated demo data, headless: its
// loading display, its events, the demo mission's level load and frames, the ways a load stops
// early, and the hostile files it reads.
#include "tests/app/AppFixture.h"
#include "tests/support/FramePixels.h"

#include "app/framework/Options.h"
#include "engine/camera/Camera.h"
#include "engine/core/q3DError.h"
#include "engine/sprite/Sprite.h"
#include "media/Sound2D.h"
#include "characters/MissionServices.h"
#include "menus/Briefing.h"
#include "mission/MissionState.h"
#include "platform/os/VirtualKeys.h"
#include "tools/demodata/writers/MapWriter.h"
#include "tools/demodata/writers/MissionWriter.h"
#include "tools/demodata/writers/TgaWriter.h"
#include "world/MapDescription.h"
#include "world/World.h"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

class MissionStateTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        OpenDevice(800, 600);
        OpenSound();
    }

    void TearDown() override
    {
        if (LoadingBackdrop) {
            LoadingBackdrop->Destroy();
            LoadingBackdrop = nullptr;
        }
        AppTest::TearDown();
    }

    // The demo data, with the given top-level folders copied (so the test may change them) and
    // the others linked.
    void UseDemoData(std::initializer_list<const char*> copied = {})
    {
        for (const fs::directory_entry& entry : fs::directory_iterator(BEXAL_DATA_DIR)) {
            if (!entry.is_directory())
                continue;
            bool copy = false;
            for (const char* name : copied)
                copy = copy || entry.path().filename() == name;
            if (copy)
                fs::copy(entry.path(), folder / entry.path().filename(), fs::copy_options::recursive);
            else
                fs::create_directory_symlink(entry.path(), folder / entry.path().filename());
        }
    }

    // Starts the mission as the briefing does.
    MissionState* StartMission(const char* path = "Maps/Demo/Demo.mis")
    {
        MissionState* mission = MissionState::Instance();
        std::snprintf(mission->commandLineMap, sizeof mission->commandLineMap, "%s", path);
        Application::Instance()->SetState(Briefing::Instance());
        Application::Instance()->Update();
        return mission;
    }
};

TEST_F(MissionStateTest, LoadingProgressIgnoresRepeatsAndValuesAbove100AndDrawsTheBar)
{
    UseDemoData();
    MissionState* mission = MissionState::Instance();
    device->CreateRenderTargetBitmap(&LoadingBackdrop);
    WriteBytes("backdrop.tga", WriteTga(TgaImage(800, 600, 0xFF204080u), 24));
    WriteBytes("bar.tga", WriteTga(TgaImage(8, 8, 0xFFFFFF00u), 24));
    ASSERT_GE(LoadingBackdrop->Load("backdrop.tga", device->GetBackBuffer()->GetFormat(), 0), 0);
    mission->progressBar = std::make_unique<Sprite>(device, "bar.tga");
    mission->progressScale = 0.5f;
    mission->progressOffset = 10.0f;

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
    EXPECT_STREQ(mission->progressCaption, "Loading AreaFile");

    for (int ignored : {40, 101, 250}) {
        mission->SetLoadingProgress(ignored);
        EXPECT_EQ(device->GetFrameCount(), frames + 1) << ignored;
    }
    EXPECT_EQ(mission->GetLastProgress(), 40);
    mission->SetLoadingProgress(100);
    EXPECT_EQ(device->GetFrameCount(), frames + 2);
    mission->progressBar.reset();
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
    EXPECT_STREQ(mission->nameEntries[0], "Rook");
    EXPECT_STREQ(mission->nameEntries[1], "Player 2");
    EXPECT_STREQ(mission->nameEntries[4], "Player 5");
    EXPECT_STREQ(mission->nameEntries[5], "Package");
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
    std::snprintf(mission->commandLineMap, sizeof mission->commandLineMap, "Maps/x.mis");
    mission->ResetForNewGame();
    EXPECT_EQ(mission->localSetup.members[0], 0);
    EXPECT_EQ(mission->localSetup.members[1], SquadSetup::EmptyMember);
    EXPECT_STREQ(mission->missionFile, "Maps/x.mis");
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
    EXPECT_STREQ(mission->definition.title, "Demo Valley: First Patrol");
    EXPECT_STREQ(mission->nameEntries[1], "Cpl. Mara Quill");
    EXPECT_EQ(mission->voiceSets[1], 1);
    EXPECT_STREQ(mission->localSetup.itemNames[0][0], "Knife");
    EXPECT_STREQ(mission->localSetup.itemNames[0][1], "M16");
    ASSERT_NE(mission->localSquad, nullptr);
    EXPECT_EQ(mission->localSquad->memberCount, 2);
    EXPECT_EQ(mission->currentObjective, 0);
    for (int index : mission->statisticIndices)
        EXPECT_GE(index, 0);
    EXPECT_EQ(mission->tileSounds.size(), 3u);
    EXPECT_EQ(mission->tileSounds[2].maximumTile, 3);
    EXPECT_EQ(mission->tileSounds[0].sounds[0].size(), 2u);
    EXPECT_EQ(mission->formations.size(), 4u);
    EXPECT_EQ(mission->formationIconCount, 4);
    EXPECT_EQ(mission->hitSounds[2].size(), 3u);
    EXPECT_EQ(mission->chitChatCount, 3);
    EXPECT_NE(mission->crosshair, nullptr);
    EXPECT_STREQ(mission->bloodEffect, "GameData/fx/blood.par");
    // The characters' hooks answer from the level.
    EXPECT_GE(GetMissionServiceHooks().findAnimationSet ? MissionFindAnimationSet("rifle") : -1, 0);
    EXPECT_LT(MissionGroundHeight(Vector3(0, 500, 0)), 500.0f);
    // The loading display is gone again; the camera stands above the start.
    EXPECT_EQ(LoadingBackdrop, nullptr);
    EXPECT_EQ(mission->progressBar, nullptr);
    EXPECT_NE(std::string(ReadText("GameData/factoids.txt")).find(mission->statusText), std::string::npos);
    EXPECT_GT(std::strlen(mission->statusText), 10u);
    EXPECT_NEAR(mission->camera->position.y, mission->map->startPosition.y + 6.0f, 0.01f);
    EXPECT_TRUE(fs::is_directory("Saves"));
    const std::string log = Log();
    EXPECT_NE(log.find("Maps/Demo/area.mpb Load Time: "), std::string::npos) << log;
    EXPECT_NE(log.find("Map Maps/Demo/area.mpb has no exit zones!"), std::string::npos);

    // Frames: the valley fills the lower half of the screen.
    std::vector<std::uint32_t> frame;
    for (int i = 0; i < 3; ++i) {
        application->Update();
        application->Draw();
    }
    frame = ReadFrame(device);
    ASSERT_EQ(frame.size(), 800u * 600u);
    int ground = 0;
    for (int y = 400; y < 600; y += 4)
        for (int x = 0; x < 800; x += 4)
            ground += frame[std::size_t(y * 800 + x)] != 0;
    EXPECT_GT(ground, 50 * 200 * 8 / 10);
    EXPECT_GT(mission->world->drawnObjectCount + int(mission->world->visiblePatches.size()), 0);

    application->KeyDown(platform::os::VK_ESCAPE);
    EXPECT_FALSE(mission->IsLevelLoaded());
    EXPECT_FALSE(mission->IsLevelPresent());
    EXPECT_EQ(mission->explosionBitmaps[0], nullptr);
    EXPECT_TRUE(application->GetQuitFlag());
    EXPECT_FALSE(application->EndsOnError());
}

TEST_F(MissionStateTest, AMapWithoutMissionLoadsAndStopsCleanlyWhereTheSquadIsNeeded)
{
    UseDemoData();
    MissionState* mission = MissionState::Instance();
    std::snprintf(mission->missionFile, sizeof mission->missionFile, "Maps/Demo/area.mpb");
    mission->BeginLevel();
    EXPECT_TRUE(mission->IsLevelLoaded());
    EXPECT_FALSE(mission->HasLoadedLevel());
    EXPECT_EQ(mission->localSquad, nullptr);
    EXPECT_EQ(LoadingBackdrop, nullptr);
    EXPECT_EQ(mission->progressScale, 1.0f);
    EXPECT_EQ(sound->GetMasterVolume(), 1.0f); // unmuted
    EXPECT_NE(Log().find("has no squad to place"), std::string::npos);
    EXPECT_EQ(mission->tileSounds.size(), 3u);

    // The lowest texture setting reads the tiles and their footsteps from "Low/".
    Options::Instance()->SetOption(Options::TerrainTextureResolution, 0);
    mission->BeginLevel();
    ASSERT_TRUE(mission->IsLevelLoaded());
    EXPECT_STREQ(mission->map->tileDirectory, "Maps/tWorld/Low/");
    EXPECT_EQ(mission->tileSounds.size(), 3u);
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
    EXPECT_TRUE(application->EndsOnError());
    EXPECT_EQ(LoadingBackdrop, nullptr);
    EXPECT_EQ(mission->progressBar, nullptr);
    EXPECT_EQ(sound->GetMasterVolume(), 1.0f);
    EXPECT_FALSE(mission->HasLoadedLevel());

    // A map description that is not there: logged, shown, and back to the main menu.
    int menus = 0;
    mission->returnToMainMenu = [&] { ++menus; };
    std::snprintf(mission->missionFile, sizeof mission->missionFile, "Maps/Nowhere/area.mpb");
    mission->definition.Reset();
    mission->BeginLevel();
    EXPECT_EQ(menus, 1);
    EXPECT_FALSE(mission->IsLevelPresent());
    EXPECT_FALSE(mission->IsLevelLoaded());
    EXPECT_EQ(LoadingBackdrop, nullptr);
    EXPECT_NE(Log().find("Can't load Maps/Nowhere/area.mpb.  Exiting"), std::string::npos);
    EXPECT_EQ(application->GetNotices().back().text, "Can't load Maps/Nowhere/area.mpb.  Exiting");
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
    WriteText("Maps/tWorld/TileProperties.txt", "0\n0\n0.5\nSound/Footsteps/grass_left\nSound/Footsteps/grass_right\n"
                                                "4\r\n2\r\n1\r\nx\r\ny\r\n");
    fs::remove("Saves");
    WriteText("Saves", "a file where the folder should be");
    MissionState* mission = StartMission();
    ASSERT_TRUE(mission->IsLevelLoaded()) << Log();
    EXPECT_EQ(mission->tileSounds.size(), 1u);
    const std::string log = Log();
    EXPECT_NE(log.find("Format error: maxTileIndex<minTileIndex in Maps/Tiles/TileProperties.txt"), std::string::npos);
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
    EXPECT_STREQ(mission->statusText, "Fact number 10");
    WriteText("GameData/factoids.txt", "");
    mission->LoadFactoids();
    EXPECT_STREQ(mission->statusText, "");
    // A long line breaks at a blank before it passes 700 pixels.
    WriteText("GameData/factoids.txt", std::string(40, 'a') + " " + std::string(200, 'b') + "\n");
    mission->LoadFactoids();
    EXPECT_NE(std::strchr(mission->statusText, '\n'), nullptr);
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
    MissionState* mission = MissionState::Instance();
    EXPECT_EQ(mission->hitSounds[0].size(), 0u);
    EXPECT_NE(Log().find("Can't load Sound/Mission/HitSounds/bullet_hit_body01.wav"), std::string::npos) << Log();
    ASSERT_EQ(mission->formationIconCount, 1);
    EXPECT_STREQ(mission->formationIcons[0].name, "Wide");
    EXPECT_EQ(mission->formationIcons[0].pointCount, 3);
    EXPECT_EQ(mission->formationIcons[0].points[0][0], 50);
    EXPECT_EQ(mission->formationIcons[0].points[0][1], 70);
    EXPECT_EQ(mission->beep, nullptr);
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
                       {"lamp.q3d", "Switch A", {"trigger 7", "", "", "", ""}, 0, 0},
                       {"lamp.q3d", "Switch B", {"trigger 8", "", "", "", ""}, 0, 0}};
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
            map.entries[1].propTexts[0] = "trigger 8";
        }
        fs::create_directories("Test");
        WriteBytes("Test/area.mpb", WriteMapFile(map));
    };
    write(false);
    MissionState* mission = MissionState::Instance();
    std::snprintf(mission->missionFile, sizeof mission->missionFile, "Test/area.mpb");
    mission->BeginLevel();
    ASSERT_TRUE(mission->IsLevelLoaded()) << Log();
    ASSERT_NE(mission->exitZones[0], nullptr);
    ASSERT_NE(mission->exitZones[1], nullptr);
    int zones = 0;
    for (MapObject* object = mission->world->GetFirstObject(); object; object = object->next)
        zones += object->HasPropText("EXITZONE") != nullptr;
    EXPECT_EQ(zones, 3);
    ASSERT_EQ(mission->triggers.size(), 2u);
    EXPECT_EQ(mission->triggers[0].triggerID + mission->triggers[1].triggerID, 15);
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
