#pragma once

#include "app/GameState.h"

class Device;
class SoundSystem;
class InputSystem;

// Stand-in for the application object: the current screen, the device and the sound and input
// systems, the quit flag and the exit message, with what the program entry and the window
// procedure call. Fonts, cursor, notices, chat lines and player slots come with the real one.
class Application : public GameState {
public:
    static constexpr int ExitMessageSize = 2048;

    static Application* Instance();
    ~Application() override;

    int Enter() override;
    int Leave() override;
    void Update() override;
    void Draw() override;
    void KeyDown(int code) override;
    void KeyUp(int code) override;
    void MouseDown(int button, int x, int y, bool doubleClick) override {}
    void MouseUp(int button, int x, int y, float secondsSincePress) override {}
    void MouseMove(int x, int y) override;
    void MouseDoubleClick(int button, int x, int y) override;
    void MouseWheel(bool down, int x, int y) override;

    // Called by the window procedure (no input system) and by the per-frame input poll.
    void MouseDown(int button, int x, int y);
    void MouseUp(int button, int x, int y);

    // Leaves the current screen and enters next; returns what Enter returned (for a null next:
    // what the old screen's Leave returned).
    int SetState(GameState* next);
    GameState* GetState() const { return currentState; }

    // Ends the program at the end of this turn of the main loop. A message replaces the exit
    // message; null empties it unless it was fixed by SetExitMessage.
    void Quit(const char* message);
    void SetExitMessage(const char* format, ...) __attribute__((format(printf, 2, 3)));
    const char* GetExitMessage() const { return exitMessage; }
    bool GetQuitFlag() const { return quit; }
    // Ends the program without touching the exit message or the screens.
    void SetQuitFlag() { quit = true; }

    void SetDevice(Device* newDevice) { device = newDevice; }
    Device* GetDevice() const { return device; }
    void SetSoundSystem(SoundSystem* system) { soundSystem = system; }
    SoundSystem* GetSoundSystem() const { return soundSystem; }
    void SetInputSystem(InputSystem* system, int joystick, int joystickButtons);
    InputSystem* GetInputSystem() const { return inputSystem; }
    int GetJoystickIndex() const { return joystickIndex; }
    int GetJoystickButtonCount() const { return joystickButtonCount; }

    void SetWindowed(bool value) { windowed = value; }
    bool IsWindowed() const { return windowed; }
    void SetScreenWidth(int width) { screenWidth = width; }
    void SetScreenHeight(int height) { screenHeight = height; }
    int GetScreenWidth() const { return screenWidth; }
    int GetScreenHeight() const { return screenHeight; }
    void SetQuitOnLeave(bool value) { quitOnLeave = value; }
    bool GetQuitOnLeave() const { return quitOnLeave; }

private:
    Application() = default;

    bool windowed = false;
    int screenWidth = -1;
    int screenHeight = -1;
    bool quitOnLeave = false;
    Device* device = nullptr;
    SoundSystem* soundSystem = nullptr;
    InputSystem* inputSystem = nullptr;
    int joystickIndex = -1;
    int joystickButtonCount = 0;
    GameState* currentState = nullptr;
    GameState* previousState = nullptr;
    bool quit = false;
    char exitMessage[ExitMessageSize] = {};
    bool exitMessageFixed = false;
};
