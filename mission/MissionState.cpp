#include "mission/MissionState.h"

#include "app/framework/Application.h"
#include "renderer/Device.h"

D3DBitmap* LoadingBackdrop = nullptr;

MissionState* MissionState::Instance()
{
    return SingletonInstance<MissionState>();
}

void MissionState::SetLoadingProgress(int progress, const char* caption)
{
    if (progress == lastProgress || progress > 100)
        return;
    lastProgress = progress;
    Device* device = Application::Instance()->GetDevice();
    if (!device || !LoadingBackdrop)
        return;
    device->BeginFrame(true, true);
    if (D3DBitmap* backBuffer = device->GetBackBuffer()) {
        int x = (device->GetTargetWidth() - LoadingBackdrop->GetWidth()) / 2;
        int y = (device->GetTargetHeight() - LoadingBackdrop->GetHeight()) / 2;
        LoadingBackdrop->CopyTo(x, y, backBuffer);
    }
    device->EndFrame(true, true);
}

void MissionState::BeginLevel()
{
}

void MissionState::ConnectToServer()
{
}

void MissionState::StartServer()
{
}

void MissionState::FillServerSettingsFromOptions(ServerSettings* settings)
{
}

void MissionState::ResetPlayers()
{
}

void MissionState::UnloadLevel()
{
    world = nullptr;
    networkGame = false;
}
