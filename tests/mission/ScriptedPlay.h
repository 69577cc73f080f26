#pragma once

// The real program run in this process on the demo mission with a player's hands on it: the
// program starts as its command line says, key and mouse events go onto SDL's queue as the
// drivers would put them there, the real window procedure delivers them, and every frame lasts
// 1/30 s of game time, so a script steps alike on any machine. The play-through test and the
// play benchmark drive their scripts through it.
#include "app/framework/Application.h"
#include "app/program/Program.h"
#include "characters/player/Player.h"
#include "engine/camera/Camera.h"
#include "engine/core/RandomMT.h"
#include "engine/core/Vector.h"
#include "mission/MissionState.h"
#include "platform/os/Messages.h"
#include "platform/os/Window.h"
#include "tests/mission/ScriptedInput.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

class ScriptedPlay {
public:
    static constexpr float kFrameSeconds = 1.0f / 30.0f;

    // Starts the program in the current folder and runs it until the mission has a controlled
    // soldier; false (the program's log says why) otherwise.
    bool Start(const char* commandLine)
    {
        if (StartProgram(commandLine) != ProgramStarted)
            return false;
        // Start-up seeds the shared generators from the clock; the play is repeated alike.
        seedMT(1);
        std::srand(1);
        started = true;
        mission = MissionState::Instance();
        mission->frameClock = [this] { return frameSeconds; };
        window = Program().window;
        // The briefing starts the mission on its first frame.
        Turn();
        return Application::Instance()->GetState() == mission && Leader();
    }

    // Lets go of every key and ends the program; its exit status.
    int ShutDown()
    {
        if (!started)
            return 0;
        scriptedinput::ReleaseAllKeys();
        mission->frameClock = nullptr;
        started = false;
        return ShutDownProgram(0);
    }

    // One turn of the main loop per frame: every waiting message through the window procedure,
    // then the application's update and draw.
    void Turn(int frames = 1)
    {
        for (int i = 0; i < frames && frame < stopAtFrame; ++i) {
            platform::os::Message message;
            while (platform::os::TakeMessage(message))
                platform::os::DispatchMessage(message);
            if (beforeFrame)
                beforeFrame();
            Application::Instance()->Update();
            Application::Instance()->Draw();
            ++frame;
            seconds += frameSeconds;
            if (afterFrame)
                afterFrame();
        }
    }

    void PushKey(SDL_Scancode scancode, bool down) { scriptedinput::PushKey(window->GetSdlWindow(), scancode, down); }

    void PushButton(Uint8 button, bool down)
    {
        int x = 0, y = 0;
        SDL_GetMouseState(&x, &y);
        scriptedinput::PushButton(window->GetSdlWindow(), button, down, x, y);
    }

    // The mouse moved by (dx, dy) from wherever the pointer is now, as a hand moves it.
    void MoveMouse(int dx, int dy)
    {
        int x = 0, y = 0;
        SDL_GetMouseState(&x, &y);
        scriptedinput::PushMotion(window->GetSdlWindow(), x + dx, y + dy, dx, dy);
    }

    Player* Leader() const { return mission ? AsPlayer(mission->roster.controlledCharacter) : nullptr; }

    // The camera's axes in the world, flat: where the player looks and its right hand.
    Vector3 LookAhead() const { return FlatAxis(2); }
    Vector3 LookRight() const { return FlatAxis(0); }

    // The turn (radians, right positive) from where the player looks to the point.
    float TurnTo(float x, float z) const
    {
        const Vector3 eye = mission->level.camera->world.GetTranslation();
        const Vector3 to(x - eye.x, 0.0f, z - eye.z);
        return std::atan2(to.Dot(LookRight()), to.Dot(LookAhead()));
    }

    // The tilt (radians, up positive) from where the player looks to the point.
    float TiltTo(const Vector3& point) const
    {
        const Matrix4& camera = mission->level.camera->world;
        const Vector3 ahead(camera(2, 0), camera(2, 1), camera(2, 2));
        const Vector3 to = point - camera.GetTranslation();
        const float flat = std::hypot(to.x, to.z);
        return std::atan2(to.y, flat) - std::atan2(ahead.y, std::hypot(ahead.x, ahead.z));
    }

    // A frame with the hand on the mouse turning the view towards the point (left and right,
    // and up and down when tilt is set).
    void FrameTowards(const Vector3& point, bool tilt)
    {
        if (frame >= stopAtFrame)
            return;
        const int dx = MouseStep(TurnTo(point.x, point.z));
        const int dy = tilt ? -MouseStep(TiltTo(point)) : 0;
        if (dx || dy)
            MoveMouse(dx, dy);
        Turn();
    }

    // Walks (or runs) the controlled soldier to within the distance of the point, steering with
    // the mouse; false when the frames ran out first.
    bool WalkTo(float x, float z, bool run, int frames, float within = 6.0f)
    {
        PushKey(SDL_SCANCODE_W, true);
        if (run)
            PushKey(SDL_SCANCODE_LSHIFT, true);
        bool reached = false;
        for (int i = 0; i < frames && !reached; ++i) {
            FrameTowards(Vector3(x, 0.0f, z), false);
            const Vector3 at = Leader()->position;
            reached = std::hypot(at.x - x, at.z - z) < within;
        }
        PushKey(SDL_SCANCODE_W, false);
        if (run)
            PushKey(SDL_SCANCODE_LSHIFT, false);
        Turn();
        return reached;
    }

    // Turns the view to the point over the frames.
    void LookAt(const Vector3& point, int frames)
    {
        for (int i = 0; i < frames; ++i)
            FrameTowards(point, true);
    }

    MissionState* mission = nullptr;
    platform::os::Window* window = nullptr;
    // Frames run since the start, and the frame from which the script's frames no longer run
    // (a timed run's end).
    int frame = 0;
    int stopAtFrame = std::numeric_limits<int>::max();
    float Seconds() const { return float(seconds); }
    // The game time each frame lasts: a fixed 1/30 s unless a script stands in for a slower
    // machine.
    float frameSeconds = kFrameSeconds;
    // Called around each frame's update and draw.
    std::function<void()> beforeFrame, afterFrame;

private:
    Vector3 FlatAxis(int row) const
    {
        const Matrix4& camera = mission->level.camera->world;
        Vector3 axis(camera(row, 0), 0.0f, camera(row, 2));
        axis.Normalize();
        return axis;
    }

    // The pixels the hand moves the mouse for a turn: a fraction of the way each frame, as a
    // person eases onto a mark.
    static int MouseStep(float radians)
    {
        return int(std::lround(std::clamp(radians * 120.0f, -40.0f, 40.0f)));
    }

    bool started = false;
    double seconds = 0.0;
};
