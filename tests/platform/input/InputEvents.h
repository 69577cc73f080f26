#pragma once

// Test helpers: SDL virtual joysticks and injected mouse and focus events.

#include <SDL.h>
#include <gtest/gtest.h>

namespace inputevents {

// Holds SDL's joystick and event subsystems for the length of a test.
struct SdlScope {
    SdlScope() { SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_EVENTS); }
    ~SdlScope()
    {
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_EVENTS);
    }
};

class VirtualJoystick {
public:
    VirtualJoystick(int axes, int buttons)
    {
        index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, axes, buttons, 0);
        EXPECT_GE(index, 0) << SDL_GetError();
        joystick = SDL_JoystickOpen(index);
        EXPECT_NE(joystick, nullptr) << SDL_GetError();
        id = SDL_JoystickInstanceID(joystick);
    }
    ~VirtualJoystick() { Detach(); }

    void SetAxis(int axis, Sint16 value) { SDL_JoystickSetVirtualAxis(joystick, axis, value); }
    void SetButton(int button, bool down) { SDL_JoystickSetVirtualButton(joystick, button, down ? 1 : 0); }
    void Detach()
    {
        if (!joystick)
            return;
        SDL_JoystickClose(joystick);
        joystick = nullptr;
        for (int i = 0; i < SDL_NumJoysticks(); ++i)
            if (SDL_JoystickGetDeviceInstanceID(i) == id)
                SDL_JoystickDetachVirtual(i);
    }

    int index = -1;

private:
    SDL_Joystick* joystick = nullptr;
    SDL_JoystickID id = -1;
};

inline void PushFocus(bool gained)
{
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = gained ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST;
    SDL_PushEvent(&event);
}

inline void PushWheel(int notches)
{
    SDL_Event event{};
    event.type = SDL_MOUSEWHEEL;
    event.wheel.y = notches;
    event.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    SDL_PushEvent(&event);
}

inline void PushButton(Uint8 button, bool down)
{
    SDL_Event event{};
    event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.button = button;
    event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    SDL_PushEvent(&event);
}

inline void PushMotion(int dx, int dy)
{
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.xrel = dx;
    event.motion.yrel = dy;
    SDL_PushEvent(&event);
}

}
