#include "menus/ShowImageState.h"

#include <string>

#include "app/framework/Application.h"
#include "engine/core/q3DError.h"
#include "media/SoundStream.h"
#include "renderer/Device.h"

void ShowImageState::BitmapRelease::operator()(D3DBitmap* bitmap) const
{
    bitmap->Release();
}

ShowImageState* ShowImageState::Instance()
{
    return SingletonInstance<ShowImageState>();
}

ShowImageState::ShowImageState() = default;

ShowImageState::~ShowImageState() = default;

int ShowImageState::Enter()
{
    if (!imagePath[0])
        return ShowNextState();

    Application* application = Application::Instance();
    Device* device = application->GetDevice();
    if (!device)
        throw q3DError("Can't load %s: %s", imagePath, "no device");
    // A surface, so that a picture of any size loads and copies straight onto the back buffer.
    image.reset(device->CreateRenderTargetBitmap(nullptr));
    D3DBitmap* backBuffer = device->GetBackBuffer();
    if (!image || image->Load(imagePath, backBuffer ? backBuffer->GetFormat() : 0, 0) < 0) {
        const std::string reason = image && image->GetLastError() ? image->GetLastError() : "";
        image.reset();
        throw q3DError("Can't load %s: %s", imagePath, reason.c_str());
    }

    if (soundPath[0]) {
        sound = std::make_unique<SoundStream>();
        sound->Create(application->GetSoundSystem(), soundPath);
        sound->Play();
    }
    return 0;
}

int ShowImageState::Leave()
{
    if (sound) {
        sound->Pause();
        sound.reset();
    }
    image.reset();
    imagePath[0] = '\0';
    soundPath[0] = '\0';
    return 0;
}

void ShowImageState::Draw()
{
    Device* device = Application::Instance()->GetDevice();
    if (image && device)
        image->CopyTo(0, 0, device->GetBackBuffer());
}

void ShowImageState::KeyDown(int code)
{
    ShowNextState();
}

void ShowImageState::MouseUp(int button, int x, int y, float secondsSincePress)
{
    KeyDown(27);
}

int ShowImageState::ShowNextState()
{
    Application* application = Application::Instance();
    if (!nextState) {
        application->Quit("No next state set when showing image in ShowImageState");
        return 0;
    }
    return application->SetState(nextState);
}
