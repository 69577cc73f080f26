#include "app/Application.h"

#include "app/Singletons.h"
#include "engine/core/FormatText.h"
#include "engine/core/q3DError.h"
#include "renderer/Device.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

Application* application = nullptr;

} // namespace

Application* Application::Instance()
{
    if (!application) {
        application = new Application();
        AddSingleton(application, [] { application = nullptr; });
    }
    return application;
}

void EnsureApplication()
{
    Application::Instance();
}

Application::~Application() = default;

int Application::Enter()
{
    return 0;
}

int Application::Leave()
{
    return SetState(nullptr);
}

void Application::Update()
{
    if (currentState)
        currentState->Update();
}

void Application::Draw()
{
    if (device)
        device->BeginFrame(true, true);
    if (currentState)
        currentState->Draw();
    if (device)
        device->EndFrame(true, true);
}

void Application::KeyDown(int code)
{
    if (currentState)
        currentState->KeyDown(code);
}

void Application::KeyUp(int code)
{
    if (currentState)
        currentState->KeyUp(code);
}

void Application::MouseMove(int x, int y)
{
    if (currentState)
        currentState->MouseMove(x, y);
}

void Application::MouseDoubleClick(int button, int x, int y)
{
    if (currentState)
        currentState->MouseDoubleClick(button, x, y);
}

void Application::MouseWheel(bool down, int x, int y)
{
    if (currentState)
        currentState->MouseWheel(down, x, y);
}

void Application::MouseDown(int button, int x, int y)
{
    if (currentState)
        currentState->MouseDown(button, x, y, false);
}

void Application::MouseUp(int button, int x, int y)
{
    if (currentState)
        currentState->MouseUp(button, x, y, 0.0f);
}

int Application::SetState(GameState* next)
{
    try {
        int result = 0;
        if (currentState)
            result = currentState->Leave();
        previousState = currentState;
        currentState = next;
        if (next)
            result = next->Enter();
        return result;
    } catch (const q3DError& error) {
        if (device)
            device->Log("%s", error.GetText());
        Quit(error.GetText());
        return 0;
    }
}

void Application::Quit(const char* message)
{
    if (message) {
        std::snprintf(exitMessage, sizeof exitMessage, "%s", message);
    } else if (!exitMessageFixed) {
        exitMessage[0] = '\0';
    }
    quit = true;
    SetState(nullptr);
}

void Application::SetExitMessage(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    vFormatText(exitMessage, sizeof exitMessage, format, args);
    va_end(args);
    exitMessageFixed = true;
}

void Application::SetInputSystem(InputSystem* system, int joystick, int joystickButtons)
{
    inputSystem = system;
    joystickIndex = joystick;
    joystickButtonCount = joystickButtons;
}
