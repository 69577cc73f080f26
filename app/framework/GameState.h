#pragma once

// A screen: the Application, the options screen, the in-game state and every menu. The
// Application enters and leaves it, runs it once per frame and hands it keyboard and mouse
// events. Key codes are virtual-key codes (beyond 255 the joystick); coordinates are client
// pixels; mouse buttons are 0 left, 1 right, 2 middle, 3 a fourth button.
class GameState {
public:
    virtual ~GameState() = default;
    virtual int Enter() { return 0; }
    virtual int Leave() { return 0; }
    virtual void Update() = 0;
    virtual void Draw() = 0;
    virtual void KeyDown(int code) {}
    virtual void KeyUp(int code) {}
    virtual void MouseDown(int button, int x, int y, bool doubleClick) {}
    virtual void MouseUp(int button, int x, int y, float secondsSincePress) {}
    virtual void MouseMove(int x, int y) {}
    virtual void MouseDoubleClick(int button, int x, int y) {}
    virtual void MouseWheel(bool down, int x, int y) {}

    // Whether the Application counts this screen as a menu (Application::IsInMenu).
    virtual bool IsMenu() const { return false; }
    // The Application::StateKind a saved game records while this screen is current, or -1 for a
    // screen that leaves the recorded kind as it was.
    virtual int GetSaveKind() const { return -1; }
};
