#include "platform/os/Clock.h"
#include "platform/os/Cursor.h"
#include "platform/os/Keyboard.h"
#include "platform/os/MessageBox.h"
#include "platform/os/Messages.h"
#include "platform/os/SharedLibrary.h"
#include "platform/os/VirtualKeys.h"
#include "platform/os/Window.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace platform::os;

namespace {

struct Received {
    Window* window;
    unsigned message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
};

std::vector<Received>* receivedMessages = nullptr;

long RecordingProcedure(Window* window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
{
    if (receivedMessages)
        receivedMessages->push_back({window, message, wParam, lParam});
    return 42;
}

class WindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        window = Window::Create("test", 640, 480, WindowMode::Windowed, &error);
        ASSERT_NE(window, nullptr) << error;
        // Whatever SDL queued while the window came up is not part of the test.
        Message message;
        while (TakeMessage(message)) {
        }
        receivedMessages = &received;
    }

    void TearDown() override
    {
        window.reset();
        receivedMessages = nullptr;
    }

    std::uint32_t Id() const { return SDL_GetWindowID(window->GetSdlWindow()); }

    void Push(SDL_Event event) { ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError(); }

    std::unique_ptr<Window> window;
    std::vector<Received> received;
};

SDL_Event KeyEvent(Uint32 type, std::uint32_t windowId, SDL_Scancode scancode, Uint16 modifiers = KMOD_NONE,
                   bool repeat = false)
{
    SDL_Event event{};
    event.type = type;
    event.key.windowID = windowId;
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.repeat = repeat ? 1 : 0;
    event.key.keysym.scancode = scancode;
    event.key.keysym.sym = SDL_GetKeyFromScancode(scancode);
    event.key.keysym.mod = modifiers;
    return event;
}

SDL_Event ButtonEvent(Uint32 type, std::uint32_t windowId, Uint8 button, Uint8 clicks, int x, int y)
{
    SDL_Event event{};
    event.type = type;
    event.button.windowID = windowId;
    event.button.which = 0;
    event.button.button = button;
    event.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.button.clicks = clicks;
    event.button.x = x;
    event.button.y = y;
    return event;
}

SDL_Event MotionEvent(std::uint32_t windowId, int x, int y)
{
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.windowID = windowId;
    event.motion.x = x;
    event.motion.y = y;
    return event;
}

SDL_Event WheelEvent(std::uint32_t windowId, int notches, int x, int y, bool flipped = false)
{
    SDL_Event event{};
    event.type = SDL_MOUSEWHEEL;
    event.wheel.windowID = windowId;
    event.wheel.y = notches;
    event.wheel.preciseY = float(notches);
    event.wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
    event.wheel.mouseX = x;
    event.wheel.mouseY = y;
    return event;
}

SDL_Event WindowEvent(std::uint32_t windowId, Uint8 what, int data1 = 0, int data2 = 0)
{
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = windowId;
    event.window.event = what;
    event.window.data1 = data1;
    event.window.data2 = data2;
    return event;
}

constexpr std::intptr_t Released = KEY_PREVIOUSLY_DOWN | KEY_RELEASED;

} // namespace

TEST_F(WindowTest, FindsItsWindowThroughTheSdlWindow)
{
    EXPECT_EQ(Window::FromSdlWindow(window->GetSdlWindow()), window.get());
    EXPECT_EQ(Window::FromSdlWindowId(Id()), window.get());
    EXPECT_EQ(Window::FromSdlWindow(nullptr), nullptr);
    EXPECT_EQ(Window::FromSdlWindowId(0), nullptr);
    EXPECT_TRUE(SDL_GetWindowFlags(window->GetSdlWindow()) & SDL_WINDOW_OPENGL);

    int width = 0, height = 0;
    window->GetClientSize(width, height);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
}

TEST_F(WindowTest, RefusesASizeOfZero)
{
    std::string error;
    EXPECT_EQ(Window::Create("bad", 0, 480, WindowMode::Windowed, &error), nullptr);
    EXPECT_FALSE(error.empty());
}

TEST_F(WindowTest, SdlEventsBecomeWindowMessages)
{
    struct Case {
        const char* name;
        std::function<SDL_Event(std::uint32_t)> event;
        unsigned message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };
    const Case cases[] = {
        {"key A down", [](std::uint32_t id) { return KeyEvent(SDL_KEYDOWN, id, SDL_SCANCODE_A); }, WM_KEYDOWN, 'A', 1},
        {"key A repeat", [](std::uint32_t id) { return KeyEvent(SDL_KEYDOWN, id, SDL_SCANCODE_A, KMOD_NONE, true); },
         WM_KEYDOWN, 'A', 1 | KEY_PREVIOUSLY_DOWN},
        {"key A up", [](std::uint32_t id) { return KeyEvent(SDL_KEYUP, id, SDL_SCANCODE_A); }, WM_KEYUP, 'A', 1 | Released},
        {"right shift", [](std::uint32_t id) { return KeyEvent(SDL_KEYDOWN, id, SDL_SCANCODE_RSHIFT); }, WM_KEYDOWN,
         VK_SHIFT, 1},
        {"left arrow is extended", [](std::uint32_t id) { return KeyEvent(SDL_KEYDOWN, id, SDL_SCANCODE_LEFT); },
         WM_KEYDOWN, VK_LEFT, 1 | KEY_EXTENDED},
        {"F12", [](std::uint32_t id) { return KeyEvent(SDL_KEYUP, id, SDL_SCANCODE_F12); }, WM_KEYUP, VK_F12, 1 | Released},
        {"alt itself", [](std::uint32_t id) { return KeyEvent(SDL_KEYDOWN, id, SDL_SCANCODE_LALT, KMOD_LALT); },
         WM_SYSKEYDOWN, VK_MENU, 1 | KEY_ALT_DOWN},
        {"alt+F4", [](std::uint32_t id) { return KeyEvent(SDL_KEYDOWN, id, SDL_SCANCODE_F4, KMOD_LALT); }, WM_SYSKEYDOWN,
         VK_F4, 1 | KEY_ALT_DOWN},
        {"alt+F4 up", [](std::uint32_t id) { return KeyEvent(SDL_KEYUP, id, SDL_SCANCODE_F4, KMOD_LALT); }, WM_SYSKEYUP,
         VK_F4, 1 | KEY_ALT_DOWN | Released},
        {"ctrl+alt+A is no system key",
         [](std::uint32_t id) { return KeyEvent(SDL_KEYDOWN, id, SDL_SCANCODE_A, KMOD_LALT | KMOD_LCTRL); }, WM_KEYDOWN,
         'A', 1 | KEY_ALT_DOWN},
        {"F10", [](std::uint32_t id) { return KeyEvent(SDL_KEYDOWN, id, SDL_SCANCODE_F10); }, WM_SYSKEYDOWN, VK_F10, 1},
        {"semicolon", [](std::uint32_t id) { return KeyEvent(SDL_KEYDOWN, id, SDL_SCANCODE_SEMICOLON); }, WM_KEYDOWN,
         VK_OEM_1, 1},
        {"mouse move", [](std::uint32_t id) { return MotionEvent(id, 300, 200); }, WM_MOUSEMOVE, 0, MakeLParam(300, 200)},
        {"left down", [](std::uint32_t id) { return ButtonEvent(SDL_MOUSEBUTTONDOWN, id, SDL_BUTTON_LEFT, 1, 10, 20); },
         WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(10, 20)},
        {"left double click",
         [](std::uint32_t id) { return ButtonEvent(SDL_MOUSEBUTTONDOWN, id, SDL_BUTTON_LEFT, 2, 10, 20); },
         WM_LBUTTONDBLCLK, MK_LBUTTON, MakeLParam(10, 20)},
        {"left triple click is a press",
         [](std::uint32_t id) { return ButtonEvent(SDL_MOUSEBUTTONDOWN, id, SDL_BUTTON_LEFT, 3, 10, 20); },
         WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(10, 20)},
        {"right up", [](std::uint32_t id) { return ButtonEvent(SDL_MOUSEBUTTONUP, id, SDL_BUTTON_RIGHT, 1, 639, 479); },
         WM_RBUTTONUP, 0, MakeLParam(639, 479)},
        {"middle down", [](std::uint32_t id) { return ButtonEvent(SDL_MOUSEBUTTONDOWN, id, SDL_BUTTON_MIDDLE, 1, 5, 6); },
         WM_MBUTTONDOWN, MK_MBUTTON, MakeLParam(5, 6)},
        {"middle double click",
         [](std::uint32_t id) { return ButtonEvent(SDL_MOUSEBUTTONDOWN, id, SDL_BUTTON_MIDDLE, 2, 5, 6); },
         WM_MBUTTONDBLCLK, MK_MBUTTON, MakeLParam(5, 6)},
        {"wheel two notches up", [](std::uint32_t id) { return WheelEvent(id, 2, 50, 60); }, WM_MOUSEWHEEL,
         std::uintptr_t(MakeLParam(0, 240)), MakeLParam(50, 60)},
        {"wheel one notch down", [](std::uint32_t id) { return WheelEvent(id, -1, 50, 60); }, WM_MOUSEWHEEL,
         std::uintptr_t(MakeLParam(0, -120)), MakeLParam(50, 60)},
        {"flipped wheel", [](std::uint32_t id) { return WheelEvent(id, 1, 0, 0, true); }, WM_MOUSEWHEEL,
         std::uintptr_t(MakeLParam(0, -120)), MakeLParam(0, 0)},
        {"focus lost", [](std::uint32_t id) { return WindowEvent(id, SDL_WINDOWEVENT_FOCUS_LOST); }, WM_ACTIVATE,
         WA_INACTIVE, 0},
        {"focus gained", [](std::uint32_t id) { return WindowEvent(id, SDL_WINDOWEVENT_FOCUS_GAINED); }, WM_ACTIVATE,
         WA_ACTIVE, 0},
        {"close", [](std::uint32_t id) { return WindowEvent(id, SDL_WINDOWEVENT_CLOSE); }, WM_CLOSE, 0, 0},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        Push(row.event(Id()));
        Message message;
        ASSERT_TRUE(TakeMessage(message));
        EXPECT_EQ(message.window, window.get());
        EXPECT_EQ(message.message, row.message);
        EXPECT_EQ(message.wParam, row.wParam);
        EXPECT_EQ(message.lParam, row.lParam);
        EXPECT_FALSE(TakeMessage(message));
    }
}

TEST_F(WindowTest, QuitAndForeignEvents)
{
    // An event for a window not made here, and one that makes no message, are skipped.
    Push(MotionEvent(Id() + 1000, 1, 1));
    SDL_Event user{};
    user.type = SDL_USEREVENT;
    Push(user);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    Push(quit);

    Message message;
    ASSERT_TRUE(TakeMessage(message));
    EXPECT_EQ(message.message, WM_QUIT);
    EXPECT_EQ(message.window, nullptr);
    EXPECT_EQ(DispatchMessage(message), 0);
    EXPECT_FALSE(TakeMessage(message));

    PostQuitMessage();
    WaitMessage(message);
    EXPECT_EQ(message.message, WM_QUIT);
}

TEST_F(WindowTest, DispatchCallsTheWindowsProcedure)
{
    Push(KeyEvent(SDL_KEYDOWN, Id(), SDL_SCANCODE_ESCAPE));
    Message message;
    WaitMessage(message);
    // Without a procedure the default one answers 0.
    EXPECT_EQ(DispatchMessage(message), 0);

    window->SetProcedure(RecordingProcedure);
    EXPECT_EQ(DispatchMessage(message), 42);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].window, window.get());
    EXPECT_EQ(received[0].message, WM_KEYDOWN);
    EXPECT_EQ(received[0].wParam, std::uintptr_t(VK_ESCAPE));

    // Destroying the window tells its procedure.
    received.clear();
    window.reset();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].message, WM_DESTROY);
}

TEST_F(WindowTest, RemoveKeyMessagesKeepsTheMouse)
{
    Push(KeyEvent(SDL_KEYDOWN, Id(), SDL_SCANCODE_B));
    Push(MotionEvent(Id(), 7, 8));
    Push(KeyEvent(SDL_KEYUP, Id(), SDL_SCANCODE_B));
    RemoveKeyMessages();
    Message message;
    ASSERT_TRUE(TakeMessage(message));
    EXPECT_EQ(message.message, WM_MOUSEMOVE);
    EXPECT_FALSE(TakeMessage(message));
}

TEST_F(WindowTest, ContentSizeScalesMouseCoordinates)
{
    // A 320 x 240 picture stretched over the 640 x 480 window.
    window->SetContentSize(320, 240);
    Push(MotionEvent(Id(), 639, 100));
    Push(ButtonEvent(SDL_MOUSEBUTTONUP, Id(), SDL_BUTTON_LEFT, 1, 2, 3));
    Message message;
    ASSERT_TRUE(TakeMessage(message));
    EXPECT_EQ(message.lParam, MakeLParam(319, 50));
    ASSERT_TRUE(TakeMessage(message));
    EXPECT_EQ(message.lParam, MakeLParam(1, 1));

    int x = -5, y = -9;
    window->WindowToContent(x, y);
    EXPECT_EQ(x, -3);
    EXPECT_EQ(y, -5);

    window->ClipCursor(10, 20, 100, 50);
    const SDL_Rect* clip = SDL_GetWindowMouseRect(window->GetSdlWindow());
    ASSERT_NE(clip, nullptr);
    EXPECT_EQ(clip->x, 20);
    EXPECT_EQ(clip->y, 40);
    EXPECT_EQ(clip->w, 200);
    EXPECT_EQ(clip->h, 100);
    window->ReleaseCursorClip();
    EXPECT_EQ(SDL_GetWindowMouseRect(window->GetSdlWindow()), nullptr);

    window->SetContentSize(0, 0);
    int width = 0, height = 0;
    window->GetContentSize(width, height);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
}

TEST_F(WindowTest, DesktopFullScreenReportsItsAskedSize)
{
    std::string error;
    auto fullScreen = Window::Create("full", 800, 600, WindowMode::DesktopFullScreen, &error);
    ASSERT_NE(fullScreen, nullptr) << error;
    EXPECT_TRUE(SDL_GetWindowFlags(fullScreen->GetSdlWindow()) & SDL_WINDOW_FULLSCREEN_DESKTOP);
    int width = 0, height = 0;
    fullScreen->GetContentSize(width, height);
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 600);
}

TEST_F(WindowTest, CursorDisplayCount)
{
    int start = ShowCursor(true) - 1;
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), start + 1 >= 0 ? SDL_ENABLE : SDL_DISABLE);
    while (ShowCursor(false) >= 0) {
    }
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    EXPECT_EQ(ShowCursor(true), 0);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
    while (ShowCursor(true) < start) {
    }
    while (ShowCursor(false) > start) {
    }
}

TEST(KeyboardTest, ScancodesMapToVirtualKeys)
{
    const struct {
        SDL_Scancode scancode;
        int virtualKey;
    } cases[] = {
        {SDL_SCANCODE_A, 'A'}, {SDL_SCANCODE_Z, 'Z'}, {SDL_SCANCODE_1, '1'}, {SDL_SCANCODE_9, '9'},
        {SDL_SCANCODE_0, '0'}, {SDL_SCANCODE_RETURN, VK_RETURN}, {SDL_SCANCODE_KP_ENTER, VK_RETURN},
        {SDL_SCANCODE_ESCAPE, VK_ESCAPE}, {SDL_SCANCODE_BACKSPACE, VK_BACK}, {SDL_SCANCODE_TAB, VK_TAB},
        {SDL_SCANCODE_SPACE, VK_SPACE}, {SDL_SCANCODE_APOSTROPHE, VK_OEM_7}, {SDL_SCANCODE_GRAVE, VK_OEM_3},
        {SDL_SCANCODE_F1, VK_F1}, {SDL_SCANCODE_F12, VK_F12}, {SDL_SCANCODE_F13, VK_F13},
        {SDL_SCANCODE_PAGEUP, VK_PRIOR}, {SDL_SCANCODE_PAGEDOWN, VK_NEXT}, {SDL_SCANCODE_DELETE, VK_DELETE},
        {SDL_SCANCODE_END, VK_END}, {SDL_SCANCODE_PAUSE, VK_PAUSE}, {SDL_SCANCODE_KP_0, VK_NUMPAD0},
        {SDL_SCANCODE_KP_9, VK_NUMPAD9}, {SDL_SCANCODE_KP_PERIOD, VK_DECIMAL}, {SDL_SCANCODE_LCTRL, VK_CONTROL},
        {SDL_SCANCODE_RALT, VK_MENU}, {SDL_SCANCODE_LSHIFT, VK_SHIFT}, {SDL_SCANCODE_UNKNOWN, 0},
        {SDL_SCANCODE_MUTE, 0},
    };
    for (const auto& row : cases)
        EXPECT_EQ(VirtualKeyFromScancode(row.scancode), row.virtualKey) << SDL_GetScancodeName(row.scancode);
}

TEST(KeyboardTest, VirtualKeysTypeUsLayoutCharacters)
{
    const struct {
        int virtualKey;
        char character;
    } cases[] = {
        {'A', 'A'}, {'7', '7'}, {VK_SPACE, ' '}, {VK_OEM_7, '\''}, {VK_OEM_COMMA, ','}, {VK_OEM_MINUS, '-'},
        {VK_OEM_PERIOD, '.'}, {VK_OEM_2, '/'}, {VK_OEM_1, ';'}, {VK_OEM_PLUS, '='}, {VK_OEM_4, '['},
        {VK_OEM_5, '\\'}, {VK_OEM_6, ']'}, {VK_OEM_3, '`'}, {VK_NUMPAD4, '4'}, {VK_BACK, '\b'},
        {VK_RETURN, '\r'}, {VK_F1, 0}, {VK_SHIFT, 0}, {-1, 0}, {600, 0},
    };
    for (const auto& row : cases)
        EXPECT_EQ(VirtualKeyToChar(row.virtualKey), row.character) << row.virtualKey;
}

TEST_F(WindowTest, NoKeyIsDownWithoutInput)
{
    EXPECT_FALSE(IsKeyDown('A'));
    EXPECT_FALSE(IsKeyDown(VK_LBUTTON));
    EXPECT_FALSE(IsKeyDown(VK_LSHIFT));
    EXPECT_FALSE(IsKeyDown(0));
    EXPECT_FALSE(IsKeyDown(-7));
}

TEST(ClockTest, MillisecondsFollowTheMonotonicClock)
{
    std::uint64_t before = Nanoseconds();
    std::uint32_t milliseconds = Milliseconds();
    std::uint64_t after = Nanoseconds();
    EXPECT_LE(before, after);
    EXPECT_GE(milliseconds, std::uint32_t(before / 1000000u));
    EXPECT_LE(milliseconds, std::uint32_t(after / 1000000u));

    std::uint64_t last = Nanoseconds();
    for (int i = 0; i < 1000; ++i) {
        std::uint64_t now = Nanoseconds();
        ASSERT_GE(now, last);
        last = now;
    }
}

TEST(MessageBoxTest, HeadlessTextGoesToStandardError)
{
    testing::internal::CaptureStderr();
    ShowMessageBox(nullptr, "Something failed", "Error", MB_OK | MB_ICONERROR);
    std::string output = testing::internal::GetCapturedStderr();
    EXPECT_EQ(output, "Error: Something failed\n");
}

TEST(SharedLibraryTest, LoadsAndFindsExports)
{
    std::string error;
    auto library = SharedLibrary::Open(OS_TEST_LIBRARY, &error);
    ASSERT_NE(library, nullptr) << error;
    auto answer = library->FindFunction<int (*)(int)>("TestLibraryAnswer");
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(20), 41);
    EXPECT_STREQ(static_cast<const char*>(library->Find("TestLibraryName")), "test library");
    EXPECT_EQ(library->Find("NoSuchExport"), nullptr);
    EXPECT_EQ(library->Find(nullptr), nullptr);
}

TEST(SharedLibraryTest, MissingLibraryReportsWhy)
{
    std::string error;
    EXPECT_EQ(SharedLibrary::Open("/nonexistent/libnothing.so", &error), nullptr);
    EXPECT_NE(error.find("libnothing.so"), std::string::npos) << error;
    EXPECT_EQ(SharedLibrary::Open("", &error), nullptr);
    EXPECT_EQ(SharedLibrary::Open(nullptr), nullptr);
}
