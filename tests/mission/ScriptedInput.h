#pragma once

// A player's keys and mouse as SDL's drivers would report them, queued for the real window
// procedure. SDL keeps the held keys beside its event queue; the offscreen driver has no keyboard,
// so the held keys are kept here as a keyboard would keep them.
#include <SDL.h>

namespace scriptedinput {

inline Uint8* KeyState() { return const_cast<Uint8*>(SDL_GetKeyboardState(nullptr)); }

// Whatever a script left held is let go, so that no key outlives it.
inline void ReleaseAllKeys()
{
    for (int scancode = 0; scancode < SDL_NUM_SCANCODES; ++scancode)
        KeyState()[scancode] = 0;
}

inline void PushKey(SDL_Window* window, SDL_Scancode scancode, bool down)
{
    KeyState()[scancode] = down ? 1 : 0;
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.windowID = SDL_GetWindowID(window);
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.scancode = scancode;
    SDL_PushEvent(&event);
}

inline void PushButton(SDL_Window* window, Uint8 button, bool down, int x, int y)
{
    SDL_Event event{};
    event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.windowID = SDL_GetWindowID(window);
    event.button.button = button;
    event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.button.clicks = 1;
    event.button.x = x;
    event.button.y = y;
    SDL_PushEvent(&event);
}

// The pointer goes to (x, y) and a motion of (dx, dy) is queued, as the mouse driver would have it.
inline void PushMotion(SDL_Window* window, int x, int y, int dx, int dy)
{
    SDL_WarpMouseInWindow(window, x, y);
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.windowID = SDL_GetWindowID(window);
    event.motion.x = x;
    event.motion.y = y;
    event.motion.xrel = dx;
    event.motion.yrel = dy;
    SDL_PushEvent(&event);
}

} // namespace scriptedinput
