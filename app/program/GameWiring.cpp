#include "app/program/GameWiring.h"

#include "app/framework/Application.h"
#include "app/framework/Options.h"
#include "campaign/CampaignState.h"
#include "menus/EscMenu.h"
#include "mission/input/CommandLine.h"
#include "mission/MissionState.h"
#include "multiplayer/NetworkClient.h"
#include "multiplayer/NetworkServer.h"
#include "multiplayer/ProfanityFilter.h"
#include "renderer/Device.h"

void InstallGameHooks()
{
    Application* application = Application::Instance();
    Application::Hooks hooks;
    hooks.isNetworkActive = [] { return NetworkClient::IsConnected() || NetworkServer::IsActive(); };
    hooks.pumpNetwork = [] { MissionState::Instance()->PumpNetwork(); };
    hooks.commandLineTop = [] { return CommandLine::Instance().GetTop(); };
    application->SetHooks(std::move(hooks));

    // The item registry belongs to the campaign, above the mission.
    MissionState::Instance()->findItemDefinition = CampaignState::LookUpItemDefinition;

    Options* options = Options::Instance();
    options->SetApplyListener([](const Options& applied) {
        if (applied.GetOption(Options::ProfanityFilterOn))
            ProfanityFilter::Enable();
        else
            ProfanityFilter::Disable();
        // Fog follows at once while a level runs under the in-game menu.
        Application* application = Application::Instance();
        Device* device = application->GetDevice();
        if (device && application->GetPreviousState() == EscMenu::Instance() &&
            MissionState::Instance()->IsLevelLoaded())
            device->SetFogEnable(applied.GetOption(Options::Fog) != 0);
    });
}
