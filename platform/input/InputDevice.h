#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform::os {
class Window;
}

struct _SDL_Joystick;

namespace platform::input {

enum class DeviceKind { Other = 0, Keyboard = 1, Mouse = 2, Joystick = 3 };

struct DeviceInfo {
    DeviceKind kind = DeviceKind::Other;
    std::string name;
    // The joystick's SDL device index; -1 for the others.
    int joystickIndex = -1;
    bool systemKeyboard = false;
    bool systemMouse = false;
};

// Movement since the last read (x, y, wheel z at 120 per notch) and four buttons, 0x80 = down.
struct MouseState {
    std::int32_t x = 0, y = 0, z = 0;
    std::uint8_t buttons[4] = {};
};

// Absolute axes 0..65535 centred on 32768 and 32 buttons, 0x80 = down.
struct JoystickState {
    std::int32_t x = 32768, y = 32768, z = 32768;
    std::uint8_t buttons[32] = {};
};

class Context;
struct SharedState;

// One input device. A device must be acquired to be read; losing the window's focus takes it
// away, and the next read reports InputLost.
class Device {
public:
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    DeviceKind Kind() const { return info.kind; }
    const DeviceInfo& Info() const { return info; }
    int ButtonCount() const { return buttonCount; }

    std::int32_t SetCooperativeLevel(platform::os::Window* window, bool exclusive);
    std::int32_t Acquire();
    std::int32_t Unacquire();
    std::int32_t Poll();
    // A button pressed since its press was last taken reads as down, even when it has been let go
    // again since, so a click shorter than a frame is not lost; TakeMousePress forgets the press
    // once the caller has seen it.
    std::int32_t GetMouseState(MouseState& state);
    void TakeMousePress(int button);
    std::int32_t GetJoystickState(JoystickState& state);
    // Target 0 the whole device, 1..3 the X, Y or Z axis; value 0..10000 of the axis half range.
    std::int32_t SetDeadZone(int target, int value);

private:
    friend class Context;
    friend class EventWatch;
    void LoseFocus();
    Device(std::shared_ptr<SharedState> state, DeviceInfo info);
    std::int32_t Readable() const;
    std::int32_t ReadAxis(int axis) const;

    std::shared_ptr<SharedState> state;
    DeviceInfo info;
    int buttonCount = 0;
    _SDL_Joystick* joystick = nullptr;
    int deadZone[3] = {0, 0, 0};
    bool acquired = false;
    bool lost = false;
    platform::os::Window* window = nullptr;
};

// The input library for the program: SDL's joystick and event subsystems, and the mouse, wheel
// and focus state gathered from SDL's events.
class Context {
public:
    // Null with the failure in result.
    static std::shared_ptr<Context> Create(std::int32_t& result);
    ~Context();

    // Attached devices: the system keyboard, the system mouse, then each joystick.
    std::vector<DeviceInfo> EnumerateDevices() const;
    std::unique_ptr<Device> CreateDevice(const DeviceInfo& info, std::int32_t& result);

    // For machines (and tests) without a pointing device.
    static void SetMousePresent(bool present);

private:
    Context() = default;
    std::shared_ptr<SharedState> state;
};

}
