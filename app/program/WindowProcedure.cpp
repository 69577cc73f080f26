#include "app/framework/Application.h"
#include "app/program/Program.h"
#include "media/InputSystem.h"
#include "mission/MissionState.h"
#include "platform/os/Cursor.h"
#include "platform/os/Messages.h"
#include "platform/os/VirtualKeys.h"
#include "platform/os/Window.h"
#include "renderer/Device.h"

using namespace platform::os;

namespace {

int MouseX(std::intptr_t lParam)
{
    return int(LowWord(std::uintptr_t(lParam)));
}

int MouseY(std::intptr_t lParam)
{
    return int(HighWord(std::uintptr_t(lParam)));
}

// Suspends (or activates again) the mouse and the joystick while the window is inactive.
void SetInputActive(Application& application, bool active)
{
    InputSystem* input = application.GetInputSystem();
    if (!input)
        return;
    try {
        int devices[] = {input->GetMouseIndex(), application.GetJoystickIndex()};
        for (int device : devices) {
            if (device < 0)
                continue;
            if (active)
                input->Activate(device);
            else
                input->Suspend(device);
        }
    } catch (InputSystem* failed) {
        if (Device* device = application.GetDevice())
            device->Log("%s", failed->GetErrorText());
    }
}

long Activate(Window* window, std::uintptr_t wParam, std::intptr_t lParam)
{
    ProgramState& program = Program();
    if (program.running == 0)
        return DefaultWindowProcedure(window, WM_ACTIVATE, wParam, lParam);
    Application* application = Application::Instance();
    if (LowWord(wParam) == WA_INACTIVE) {
        MissionState* mission = MissionState::Instance();
        if (!program.windowed && mission->IsLevelLoaded() && mission->session.networkGame) {
            // A full-screen network game cannot go on in the background: end the program through
            // the main loop's normal shut-down.
            mission->UnloadLevel();
            application->SetQuitFlag();
        } else {
            SetInputActive(*application, false);
            program.inactive = true;
        }
    } else {
        SetInputActive(*application, true);
        program.inactive = false;
    }
    return DefaultWindowProcedure(window, WM_ACTIVATE, wParam, lParam);
}

} // namespace

long WndProc(Window* window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
{
    switch (message) {
    case WM_DESTROY:
        if (window)
            window->ReleaseCursorClip();
        ShowCursor(true);
        return 0;
    case WM_ACTIVATE:
        return Activate(window, wParam, lParam);
    default:
        break;
    }

    Application* application = Application::Instance();
    bool noInput = application->GetInputSystem() == nullptr;
    int x = MouseX(lParam), y = MouseY(lParam);
    switch (message) {
    case WM_KEYDOWN:
        // Auto-repeats are dropped, but Backspace repeats while held.
        if ((lParam & KEY_PREVIOUSLY_DOWN) && wParam != std::uintptr_t(VK_BACK))
            return 0;
        application->KeyDown(int(wParam));
        return 0;
    case WM_SYSKEYDOWN:
        if (lParam & KEY_PREVIOUSLY_DOWN)
            return 0;
        application->KeyDown(int(wParam));
        return 0;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        application->KeyUp(int(wParam));
        return 0;
    case WM_MOUSEMOVE:
        application->MouseMove(x, y);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
        // With an input system the buttons come from its per-frame poll.
        int button = message == WM_LBUTTONDOWN ? 0 : message == WM_RBUTTONDOWN ? 1 : 2;
        if (noInput)
            application->MouseDown(button, x, y);
        return 0;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
        int button = message == WM_LBUTTONUP ? 0 : message == WM_RBUTTONUP ? 1 : 2;
        if (noInput)
            application->MouseUp(button, x, y);
        return 0;
    }
    case WM_LBUTTONDBLCLK:
        application->MouseDoubleClick(0, x, y);
        return 0;
    case WM_RBUTTONDBLCLK:
        application->MouseDoubleClick(1, x, y);
        return 0;
    case WM_MOUSEWHEEL:
        if (noInput) {
            ProgramState& program = Program();
            int total = program.wheelAccumulator + SignedHighWord(wParam);
            // One notch per call, however far the wheel went.
            if (total >= WHEEL_DELTA || total <= -WHEEL_DELTA) {
                application->MouseWheel(total < 0, x, y);
                total = 0;
            }
            program.wheelAccumulator = std::int16_t(total);
        }
        return 0;
    default:
        return DefaultWindowProcedure(window, message, wParam, lParam);
    }
}
