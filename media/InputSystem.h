#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform::os {
class Window;
}
namespace platform::input {
class Context;
class Device;
}

// The mouse buttons, the mouse wheel and the joysticks. Failures of Create, Activate, Suspend,
// SetDeadZone and GetDeviceType are thrown as a pointer to this object, whose error text says why.
class InputSystem {
public:
    enum DeviceType { TypeOther = 0, TypeKeyboard = 1, TypeMouse = 2, TypeJoystick = 3 };
    static constexpr int MaxDeadZone = 10000;
    static constexpr int ErrorDescriptionSize = 1024;

    InputSystem();
    ~InputSystem();

    InputSystem(const InputSystem&) = delete;
    InputSystem& operator=(const InputSystem&) = delete;

    // The configuration file name is not read.
    void Create(platform::os::Window* window, void* instance, const char* configFile);
    // Device -1 means every device in index order.
    void Activate(int device);
    void Suspend(int device);
    bool IsActive(int device) const;
    int GetDeviceType(int device);
    // 0 with the error text set for an invalid index.
    int GetButtonCount(int device);
    int GetDeviceCount() const { return static_cast<int>(devices.size()); }
    int GetKeyboardIndex() const { return keyboardIndex; }
    int GetMouseIndex() const { return mouseIndex; }

    int GetJoystickButtonState(int device, int button);
    // Absolute axis values, 0..65535 centred on 32768; 0 for an invalid index, -1 on error.
    int GetJoystickX(int device);
    int GetJoystickY(int device);
    int GetJoystickZ(int device);
    int GetMouseButtonState(int device, int button);
    // Wheel movement since the last read, 120 per notch; -1 on error.
    int GetMouseZ(int device);
    // Target 0 the whole device, 1..3 the X, Y or Z axis; dead zone in 1/10000 of the range.
    void SetDeadZone(int device, int deadZone, int target);

    static void GetErrorText(std::int32_t code, char* buffer);
    void SetError(const char* message, std::int32_t code);
    const char* GetErrorText() const { return errorText.c_str(); }

private:
    struct InputDevice {
        std::unique_ptr<platform::input::Device> device;
        int buttonCount = 0;
        bool acquired = false;
    };

    bool ValidIndex(int device) const { return device >= 0 && device < static_cast<int>(devices.size()); }
    std::int32_t Acquire(int device);
    template <typename Read>
    std::int32_t ReadState(int device, bool poll, Read&& read);
    int ReadJoystickAxis(int device, int axis, const char* message);

    platform::os::Window* window = nullptr;
    std::vector<InputDevice> devices;
    std::string errorText;
    int keyboardIndex = -1;
    int mouseIndex = -1;
    // One per program, as the input library allows; shared by every InputSystem.
    static std::shared_ptr<platform::input::Context> context;
    std::shared_ptr<platform::input::Context> contextRef;
};
