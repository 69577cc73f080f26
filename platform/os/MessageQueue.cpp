#include "platform/os/Keyboard.h"
#include "platform/os/Messages.h"
#include "platform/os/VirtualKeys.h"
#include "platform/os/Window.h"

#include <SDL2/SDL.h>

#include <cmath>

// The window messages of the game, made from SDL's events. Each event makes at most one message,
// so the queue needs no store of its own beyond SDL's.
namespace platform::os {

namespace {

unsigned ModifierFlags()
{
    unsigned flags = 0;
    SDL_Keymod modifiers = SDL_GetModState();
    if (modifiers & KMOD_SHIFT)
        flags |= MK_SHIFT;
    if (modifiers & KMOD_CTRL)
        flags |= MK_CONTROL;
    return flags;
}

unsigned ButtonFlags(Uint32 buttons)
{
    unsigned flags = 0;
    if (buttons & SDL_BUTTON_LMASK)
        flags |= MK_LBUTTON;
    if (buttons & SDL_BUTTON_RMASK)
        flags |= MK_RBUTTON;
    if (buttons & SDL_BUTTON_MMASK)
        flags |= MK_MBUTTON;
    return flags;
}

Uint32 ButtonMask(Uint8 button)
{
    return button >= 1 && button <= 32 ? SDL_BUTTON(button) : 0;
}

// Keys go to the window named in the event, or else to the one with the keyboard focus.
Window* KeyWindow(Uint32 windowId)
{
    if (Window* window = Window::FromSdlWindowId(windowId))
        return window;
    return Window::FromSdlWindow(SDL_GetKeyboardFocus());
}

std::intptr_t PackPosition(const Window& window, int x, int y)
{
    window.WindowToContent(x, y);
    return MakeLParam(x, y);
}

bool TranslateKey(const SDL_KeyboardEvent& key, Message& out)
{
    int virtualKey = VirtualKeyFromScancode(key.keysym.scancode);
    if (virtualKey == 0)
        return false;
    Window* window = KeyWindow(key.windowID);
    if (!window)
        return false;
    bool pressed = key.type == SDL_KEYDOWN;
    bool altDown = (key.keysym.mod & KMOD_ALT) != 0 || virtualKey == VK_MENU;
    bool ctrlDown = (key.keysym.mod & KMOD_CTRL) != 0;
    // Alt combinations (and F10, the menu key) are system keys; with Ctrl held they are not.
    bool system = (altDown && !ctrlDown) || virtualKey == VK_F10;

    std::intptr_t lParam = 1;
    if (IsExtendedScancode(key.keysym.scancode))
        lParam |= KEY_EXTENDED;
    if (altDown)
        lParam |= KEY_ALT_DOWN;
    if (!pressed)
        lParam |= KEY_PREVIOUSLY_DOWN | KEY_RELEASED;
    else if (key.repeat)
        lParam |= KEY_PREVIOUSLY_DOWN;

    out.window = window;
    out.message = pressed ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    out.wParam = std::uintptr_t(virtualKey);
    out.lParam = lParam;
    return true;
}

bool TranslateButton(const SDL_MouseButtonEvent& button, Message& out)
{
    Window* window = Window::FromSdlWindowId(button.windowID);
    if (!window || button.which == SDL_TOUCH_MOUSEID)
        return false;
    unsigned down, up, doubleClick;
    switch (button.button) {
    case SDL_BUTTON_LEFT:
        down = WM_LBUTTONDOWN, up = WM_LBUTTONUP, doubleClick = WM_LBUTTONDBLCLK;
        break;
    case SDL_BUTTON_RIGHT:
        down = WM_RBUTTONDOWN, up = WM_RBUTTONUP, doubleClick = WM_RBUTTONDBLCLK;
        break;
    case SDL_BUTTON_MIDDLE:
        down = WM_MBUTTONDOWN, up = WM_MBUTTONUP, doubleClick = WM_MBUTTONDBLCLK;
        break;
    default:
        return false;
    }
    Uint32 buttons = SDL_GetMouseState(nullptr, nullptr);
    if (button.state == SDL_PRESSED)
        buttons |= ButtonMask(button.button);
    else
        buttons &= ~ButtonMask(button.button);

    out.window = window;
    if (button.state == SDL_PRESSED)
        // The second press of a double click (and every even press after it) is the double click.
        out.message = button.clicks >= 2 && button.clicks % 2 == 0 ? doubleClick : down;
    else
        out.message = up;
    out.wParam = ButtonFlags(buttons) | ModifierFlags();
    out.lParam = PackPosition(*window, button.x, button.y);
    return true;
}

bool TranslateWheel(const SDL_MouseWheelEvent& wheel, Message& out)
{
    Window* window = Window::FromSdlWindowId(wheel.windowID);
    if (!window || wheel.which == SDL_TOUCH_MOUSEID)
        return false;
    float notches = wheel.preciseY != 0.0f ? wheel.preciseY : float(wheel.y);
    if (wheel.direction == SDL_MOUSEWHEEL_FLIPPED)
        notches = -notches;
    long delta = std::lround(notches * WHEEL_DELTA);
    if (delta == 0)
        return false;
    if (delta > 32767)
        delta = 32767;
    if (delta < -32768)
        delta = -32768;
    out.window = window;
    out.message = WM_MOUSEWHEEL;
    out.wParam = std::uintptr_t(MakeLParam(int(ButtonFlags(SDL_GetMouseState(nullptr, nullptr)) | ModifierFlags()), int(delta)));
    out.lParam = PackPosition(*window, wheel.mouseX, wheel.mouseY);
    return true;
}

bool TranslateWindowEvent(const SDL_WindowEvent& event, Message& out)
{
    Window* window = Window::FromSdlWindowId(event.windowID);
    if (!window)
        return false;
    out.window = window;
    out.wParam = 0;
    out.lParam = 0;
    switch (event.event) {
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        out.message = WM_ACTIVATE;
        out.wParam = WA_ACTIVE;
        return true;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        out.message = WM_ACTIVATE;
        out.wParam = WA_INACTIVE;
        return true;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        out.message = WM_SIZE;
        out.lParam = MakeLParam(event.data1, event.data2);
        return true;
    case SDL_WINDOWEVENT_CLOSE:
        out.message = WM_CLOSE;
        return true;
    default:
        return false;
    }
}

bool Translate(const SDL_Event& event, Message& out)
{
    switch (event.type) {
    case SDL_QUIT:
        out = Message{nullptr, WM_QUIT, 0, 0};
        return true;
    case SDL_WINDOWEVENT:
        return TranslateWindowEvent(event.window, out);
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        return TranslateKey(event.key, out);
    case SDL_MOUSEMOTION: {
        Window* window = Window::FromSdlWindowId(event.motion.windowID);
        if (!window || event.motion.which == SDL_TOUCH_MOUSEID)
            return false;
        out.window = window;
        out.message = WM_MOUSEMOVE;
        out.wParam = ButtonFlags(event.motion.state) | ModifierFlags();
        out.lParam = PackPosition(*window, event.motion.x, event.motion.y);
        return true;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        return TranslateButton(event.button, out);
    case SDL_MOUSEWHEEL:
        return TranslateWheel(event.wheel, out);
    default:
        return false;
    }
}

} // namespace

bool TakeMessage(Message& message)
{
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (Translate(event, message))
            return true;
    }
    return false;
}

void WaitMessage(Message& message)
{
    SDL_Event event;
    for (;;) {
        if (!SDL_WaitEvent(&event)) {
            // No event system to wait on: nothing can ever arrive, so end the caller's loop.
            message = Message{nullptr, WM_QUIT, 0, 0};
            return;
        }
        if (Translate(event, message))
            return;
    }
}

long DispatchMessage(const Message& message)
{
    if (!message.window || message.message == WM_QUIT)
        return 0;
    return message.window->Send(message.message, message.wParam, message.lParam);
}

void PostQuitMessage()
{
    SDL_Event event{};
    event.type = SDL_QUIT;
    SDL_PushEvent(&event);
}

void RemoveKeyMessages()
{
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_KEYDOWN, SDL_KEYUP);
}

} // namespace platform::os
