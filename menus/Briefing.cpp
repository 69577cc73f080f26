#include "menus/Briefing.h"

#include "app/framework/Application.h"
#include "engine/core/q3DError.h"
#include "mission/MissionState.h"

#include <string>

Briefing* Briefing::Instance()
{
    return SingletonInstance<Briefing>();
}

int Briefing::Enter()
{
    starting = true;
    return 0;
}

void Briefing::Update()
{
    if (!starting)
        return;
    starting = false;
    StartMission();
}

void Briefing::StartMission()
{
    Application* application = Application::Instance();
    MissionState* mission = MissionState::Instance();
    try {
        mission->ResetForNewGame();
        const std::string path = mission->session.missionFile;
        if (!mission->LoadMission(path.c_str()))
            throw q3DError("Can't load %s", path.c_str());
        mission->BeginLevel();
        if (mission->IsLevelLoaded())
            application->SetState(mission);
    } catch (const q3DError& error) {
        application->ShowMessageText(8000, error.GetText());
        if (application->GetQuitOnLeave())
            application->Quit(error.GetText());
    }
}
