#include "menus/ShowMovieState.h"

#include <cstdio>

#include "app/framework/Application.h"
#include "engine/core/q3DError.h"
#include "media/AVIPlayer.h"
#include "platform/os/File.h"
#include "renderer/Device.h"

namespace {

// What failed, on which file, and the player's name for the error.
void LogAviError(const char* what, const char* path, std::int32_t code)
{
    if (Device* device = Application::Instance()->GetDevice())
        device->Log("Couldn't %s the movie %s: %s", what, path, AVIPlayer::GetErrorName(code));
}

} // namespace

void ShowMovieState::BitmapRelease::operator()(D3DBitmap* bitmap) const
{
    bitmap->Release();
}

ShowMovieState* ShowMovieState::Instance()
{
    return SingletonInstance<ShowMovieState>();
}

ShowMovieState::ShowMovieState() = default;

ShowMovieState::~ShowMovieState() = default;

int ShowMovieState::Enter()
{
    finished = false;
    if (!moviePath[0])
        return ShowNextState();

    // Only a plain file is played: the player reads the file itself, not through the archives.
    if (!platform::os::FileHandle(platform::os::OpenFile(moviePath, "rb"))) {
        LogAviError("open", moviePath, AVIPlayer::AVIPLAYERR_NOSUCHFILE);
        if (secondMoviePath[0]) {
            std::snprintf(moviePath, sizeof moviePath, "%s", secondMoviePath);
            secondMoviePath[0] = '\0';
            return Enter();
        }
        return ShowNextState();
    }

    Application* application = Application::Instance();
    Device* device = application->GetDevice();
    player = std::make_unique<AVIPlayer>();
    const std::int32_t opened = player->Open(moviePath, application->GetSoundSystem(), device ? device->GetWindow() : nullptr);
    // A file without a picture is skipped like one that does not open.
    const platform::video::VideoFormat* format = opened == 0 ? player->GetVideoFormat(0) : nullptr;
    if (!format) {
        LogAviError("open", moviePath, player->GetLastError());
        player.reset();
        return ShowNextState();
    }

    D3DBitmap* created = device ? device->CreateRenderTargetBitmap(nullptr) : nullptr;
    frame.reset(created);
    D3DBitmap* backBuffer = device ? device->GetBackBuffer() : nullptr;
    if (!frame || frame->Create("AVI Frame", format->width, format->height, backBuffer ? backBuffer->GetFormat() : 0, 0) < 0) {
        frame.reset();
        player.reset();
        throw q3DError("Couldn't create AVI Frame buffer in qBitmap.");
    }

    const std::int32_t started = player->StartVideoAtTextureSize(0, frame.get());
    if (started != 0) {
        // Nothing would ever play: go on rather than wait for a key on a black screen.
        LogAviError("start", moviePath, started);
        return ShowNextState();
    }
    application->SetCursorVisible(false);
    return 0;
}

int ShowMovieState::Leave()
{
    Application::Instance()->SetCursorVisible(true);
    if (player) {
        const std::int32_t stopped = player->StopVideo(0);
        if (stopped != 0)
            LogAviError("stop", moviePath, stopped);
        frame.reset();
        // Closing gives the sound device back to the sound system.
        player->Close();
        player.reset();
    }
    frame.reset();
    return 0;
}

void ShowMovieState::Update()
{
    if (!finished)
        return;
    // A movie that played through is noted, so that a run of the program shows it got this far.
    if (Device* device = Application::Instance()->GetDevice())
        device->Log("Movie %s played to its end", moviePath);
    MoveOn();
}

void ShowMovieState::Draw()
{
    if (!player || !frame)
        return;
    Device* device = Application::Instance()->GetDevice();
    const std::int32_t result = player->UpdateFullFrame(0, device, frame.get(), false);
    if (result == 0 || result == AVIPlayer::AVIPLAYERR_LOOPED) {
        D3DBitmap* backBuffer = device ? device->GetBackBuffer() : nullptr;
        if (!backBuffer)
            return;
        const float source[4] = {0.0f, 0.0f, float(frame->GetWidth()), float(frame->GetHeight())};
        const float target[4] = {0.0f, 0.0f, float(backBuffer->GetWidth()), float(backBuffer->GetHeight())};
        frame->CopyRect(source, target, backBuffer);
    } else if (result == AVIPlayer::AVIPLAYERR_NOMOREFRAMES) {
        finished = true;
    }
}

void ShowMovieState::KeyDown(int code)
{
    MoveOn();
}

void ShowMovieState::MouseUp(int button, int x, int y, float secondsSincePress)
{
    KeyDown(27);
}

int ShowMovieState::MoveOn()
{
    if (secondMoviePath[0]) {
        std::snprintf(moviePath, sizeof moviePath, "%s", secondMoviePath);
        secondMoviePath[0] = '\0';
        // Through the application, so that a failure of the second movie ends the program with
        // its message like any screen's.
        return Application::Instance()->SetState(this);
    }
    return ShowNextState();
}

int ShowMovieState::ShowNextState()
{
    Application* application = Application::Instance();
    if (!nextState) {
        // Without a screen to go to the program would sit on a black screen for ever.
        application->Quit("No next state set when showing movie in ShowMovieState");
        return 0;
    }
    return application->SetState(nextState);
}
