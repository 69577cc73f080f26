#include "platform/os/Window.h"

#include "platform/os/Messages.h"

#include <SDL2/SDL.h>

#include <cstring>

namespace platform::os {

namespace {

// The SDL window data slot that leads back from an SDL window to its Window. SDL is one shared
// library, so every copy of this layer in the process sees the same slot.
constexpr const char* windowDataKey = "platform.os.Window";

} // namespace

long DefaultWindowProcedure(Window*, unsigned, std::uintptr_t, std::intptr_t)
{
    return 0;
}

std::unique_ptr<Window> Window::Create(const char* title, int width, int height, WindowMode mode,
                                       std::string* error)
{
    if (width <= 0 || height <= 0) {
        if (error)
            *error = "Window size must be positive";
        return nullptr;
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        if (error)
            *error = SDL_GetError();
        return nullptr;
    }
    Uint32 flags = SDL_WINDOW_OPENGL;
    if (mode == WindowMode::Windowed)
        flags |= SDL_WINDOW_RESIZABLE;
    else
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    SDL_Window* sdlWindow = SDL_CreateWindow(title ? title : "", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                             width, height, flags);
    if (!sdlWindow) {
        if (error)
            *error = SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return nullptr;
    }
    std::unique_ptr<Window> window(new Window(sdlWindow, mode));
    // A full-screen window shows a target of the asked size stretched over the desktop.
    if (mode == WindowMode::DesktopFullScreen)
        window->SetContentSize(width, height);
    return window;
}

Window::Window(SDL_Window* window, WindowMode mode) : window(window), mode(mode)
{
    SDL_SetWindowData(window, windowDataKey, this);
}

Window::~Window()
{
    Send(WM_DESTROY);
    SDL_SetWindowData(window, windowDataKey, nullptr);
    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

Window* Window::FromSdlWindow(SDL_Window* window)
{
    if (!window)
        return nullptr;
    return static_cast<Window*>(SDL_GetWindowData(window, windowDataKey));
}

Window* Window::FromSdlWindowId(std::uint32_t windowId)
{
    if (windowId == 0)
        return nullptr;
    return FromSdlWindow(SDL_GetWindowFromID(windowId));
}

void Window::GetClientSize(int& width, int& height) const
{
    SDL_GetWindowSizeInPixels(window, &width, &height);
}

void Window::SetContentSize(int width, int height)
{
    if (width <= 0 || height <= 0)
        width = height = 0;
    contentWidth = width;
    contentHeight = height;
}

void Window::GetContentSize(int& width, int& height) const
{
    if (contentWidth > 0) {
        width = contentWidth;
        height = contentHeight;
    } else {
        SDL_GetWindowSize(window, &width, &height);
    }
}

void Window::SetProcedure(WindowProcedure newProcedure)
{
    procedure = newProcedure;
}

long Window::Send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
{
    WindowProcedure target = procedure ? procedure : DefaultWindowProcedure;
    return target(this, message, wParam, lParam);
}

void Window::Show()
{
    SDL_ShowWindow(window);
}

void Window::ContentToWindow(int& x, int& y) const
{
    if (contentWidth <= 0)
        return;
    int width = 0, height = 0;
    SDL_GetWindowSize(window, &width, &height);
    x = int(std::int64_t(x) * width / contentWidth);
    y = int(std::int64_t(y) * height / contentHeight);
}

void Window::WindowToContent(int& x, int& y) const
{
    if (contentWidth <= 0)
        return;
    int width = 0, height = 0;
    SDL_GetWindowSize(window, &width, &height);
    if (width <= 0 || height <= 0)
        return;
    // Floor division keeps positions left of or above the window negative.
    auto scale = [](int value, int to, int from) {
        std::int64_t product = std::int64_t(value) * to;
        std::int64_t quotient = product / from;
        if (product % from != 0 && product < 0)
            --quotient;
        return int(quotient);
    };
    x = scale(x, contentWidth, width);
    y = scale(y, contentHeight, height);
}

void Window::ClipCursor(int x, int y, int width, int height)
{
    if (width <= 0 || height <= 0) {
        ReleaseCursorClip();
        return;
    }
    int right = x + width, bottom = y + height;
    ContentToWindow(x, y);
    ContentToWindow(right, bottom);
    SDL_Rect rect{x, y, right - x, bottom - y};
    SDL_SetWindowMouseRect(window, &rect);
}

void Window::ReleaseCursorClip()
{
    SDL_SetWindowMouseRect(window, nullptr);
}

namespace {

// Drivers without a desktop pointer (offscreen, dummy) answer the global state with the
// window-relative one, and never give a window the mouse focus: their one pointer is the window's.
bool HasDesktopPointer()
{
    const char* driver = SDL_GetCurrentVideoDriver();
    return !driver || (std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0);
}

} // namespace

void Window::GetCursorPosition(int& x, int& y) const
{
    // The pointer is asked of the desktop: the position SDL keeps is the last motion event's, and
    // no event comes when a window is moved or resized under a still pointer (as a full-screen
    // window is once it covers the desktop) or when a warp lands where the pointer already is.
    if (HasDesktopPointer()) {
        int windowX = 0, windowY = 0;
        SDL_GetGlobalMouseState(&x, &y);
        SDL_GetWindowPosition(window, &windowX, &windowY);
        x -= windowX;
        y -= windowY;
    } else {
        SDL_GetMouseState(&x, &y);
    }
    WindowToContent(x, y);
}

void Window::SetCursorPosition(int x, int y)
{
    ContentToWindow(x, y);
    // A warp within the window is dropped by SDL's X11 driver while the pointer is confined
    // (ClipCursor), so the pointer is placed on the desktop instead.
    if (HasDesktopPointer()) {
        int windowX = 0, windowY = 0;
        SDL_GetWindowPosition(window, &windowX, &windowY);
        SDL_WarpMouseGlobal(windowX + x, windowY + y);
    } else {
        SDL_WarpMouseInWindow(window, x, y);
    }
}

} // namespace platform::os
