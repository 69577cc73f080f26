#include "platform/os/MessageBox.h"

#include "platform/os/Window.h"

#include <SDL2/SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform::os {

namespace {

// A message box must never block a headless run, where nobody can press OK.
bool DisplayAvailable()
{
    const char* driver = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetCurrentVideoDriver() : std::getenv("SDL_VIDEODRIVER");
    if (driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0))
        return false;
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

Uint32 BoxFlags(unsigned style)
{
    switch (style & 0xF0) {
    case MB_ICONERROR: return SDL_MESSAGEBOX_ERROR;
    case MB_ICONWARNING: return SDL_MESSAGEBOX_WARNING;
    default: return SDL_MESSAGEBOX_INFORMATION;
    }
}

} // namespace

void ShowMessageBox(Window* owner, const char* text, const char* caption, unsigned style)
{
    if (!text)
        text = "";
    if (!caption)
        caption = "";
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
    if (DisplayAvailable())
        SDL_ShowSimpleMessageBox(BoxFlags(style), caption, text, owner ? owner->GetSdlWindow() : nullptr);
}

} // namespace platform::os
