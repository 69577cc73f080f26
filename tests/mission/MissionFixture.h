#pragma once

// The in-game state on the real renderer library, headless, with the generated demo data linked
// or copied into the test's folder, and the mission started as the briefing starts it.

#include "tests/app/AppFixture.h"

#include "app/framework/Application.h"
#include "campaign/CampaignState.h"
#include "menus/Briefing.h"
#include "mission/MissionState.h"

#include <cstdio>
#include <filesystem>
#include <initializer_list>

class MissionFixture : public AppTest {
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
        for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(BEXAL_DATA_DIR)) {
            if (!entry.is_directory())
                continue;
            bool copy = false;
            for (const char* name : copied)
                copy = copy || entry.path().filename() == name;
            if (copy)
                std::filesystem::copy(entry.path(), folder / entry.path().filename(), std::filesystem::copy_options::recursive);
            else
                std::filesystem::create_directory_symlink(entry.path(), folder / entry.path().filename());
        }
    }

    // Starts the mission as the briefing does.
    MissionState* StartMission(const char* path = "Maps/Demo/Demo.mis")
    {
        MissionState* mission = MissionState::Instance();
        std::snprintf(mission->session.commandLineMap, sizeof mission->session.commandLineMap, "%s", path);
        Application::Instance()->SetState(Briefing::Instance());
        Application::Instance()->Update();
        return mission;
    }
};

// The demo mission's level with its item names resolved through the campaign's registry, as the
// program wires it; a level still present is unloaded at the end.
class DemoMissionTest : public MissionFixture {
protected:
    void SetUp() override
    {
        MissionFixture::SetUp();
        UseDemoData();
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
};
