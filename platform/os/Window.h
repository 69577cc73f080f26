#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct SDL_Window;

namespace platform::os {

class Window;

// Receives every message dispatched to its window (see Messages.h for the message numbers and
// how wParam and lParam are packed). Returns the message's result.
using WindowProcedure = long (*)(Window* window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

// What a window procedure passes on for messages it does not handle: nothing happens, result 0.
long DefaultWindowProcedure(Window* window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

enum class WindowMode {
    Windowed,           // a framed, resizable window of the asked client size
    DesktopFullScreen,  // covers the desktop; the content is drawn at its own size and scaled
};

// The game window: one SDL window, always able to carry an OpenGL context. Several copies of
// this layer live in one process (the program and the renderer library each link one), so a
// Window is found from its SDL window through the SDL window data, never through a table here.
class Window {
public:
    // The window, shown at once; null, with SDL's reason in error when given, when it cannot be
    // made. Starts the SDL video subsystem when it is not running yet (counted: each window holds
    // one reference).
    static std::unique_ptr<Window> Create(const char* title, int width, int height, WindowMode mode,
                                          std::string* error = nullptr);
    // Sends WM_DESTROY to the procedure, then closes the SDL window.
    ~Window();

    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // The Window that owns an SDL window, null for a window not made here (or null input).
    static Window* FromSdlWindow(SDL_Window* window);
    static Window* FromSdlWindowId(std::uint32_t windowId);

    // For the gpu layer only.
    SDL_Window* GetSdlWindow() const { return window; }

    WindowMode GetMode() const { return mode; }

    // The drawable area in pixels.
    void GetClientSize(int& width, int& height) const;

    // Mouse coordinates in messages and cursor positions are reported in a content area of this
    // size, scaled from the window's own size (a full-screen window drawing an 800 x 600 target
    // on a larger desktop). 0 x 0 reports window coordinates unchanged (the default).
    void SetContentSize(int width, int height);
    void GetContentSize(int& width, int& height) const;

    void SetProcedure(WindowProcedure procedure);
    WindowProcedure GetProcedure() const { return procedure; }

    // Calls the procedure (or DefaultWindowProcedure when none is set) at once.
    long Send(unsigned message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);

    void Show();

    // Confines the cursor to a rectangle of the content area (content coordinates); releases any
    // confinement when called with a zero size.
    void ClipCursor(int x, int y, int width, int height);
    void ReleaseCursorClip();

    // The cursor in content coordinates; may lie outside the content area.
    void GetCursorPosition(int& x, int& y) const;
    void SetCursorPosition(int x, int y);

    // Conversions between SDL window coordinates and content coordinates (see SetContentSize).
    void WindowToContent(int& x, int& y) const;
    void ContentToWindow(int& x, int& y) const;

private:
    Window(SDL_Window* window, WindowMode mode);

    SDL_Window* window = nullptr;
    WindowMode mode = WindowMode::Windowed;
    WindowProcedure procedure = nullptr;
    int contentWidth = 0;
    int contentHeight = 0;
};

// One window message, as taken from the queue. window is null for WM_QUIT.
struct Message {
    Window* window = nullptr;
    unsigned message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

// The message queue of the calling (main) thread, over SDL's event queue. SDL events that make no
// message (or whose window was not made here) are consumed and skipped.
//   TakeMessage: fills message and returns true when one was waiting, false at once otherwise.
//   WaitMessage: blocks until a message is there and fills it (WM_QUIT included).
//   DispatchMessage: hands it to its window's procedure (WM_QUIT and window-less messages: 0).
//   PostQuitMessage: queues WM_QUIT.
//   RemoveKeyMessages: drops every pending keyboard message (WM_KEYFIRST..WM_KEYLAST).
bool TakeMessage(Message& message);
void WaitMessage(Message& message);
long DispatchMessage(const Message& message);
void PostQuitMessage();
void RemoveKeyMessages();

} // namespace platform::os
