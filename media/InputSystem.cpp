#include "media/InputSystem.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/input/InputDevice.h"
#include "platform/input/InputResult.h"

namespace result = platform::input::result;

std::shared_ptr<platform::input::Context> InputSystem::context;

namespace {

struct ErrorDescription {
    std::int32_t code;
    const char* text;
};

constexpr ErrorDescription ErrorDescriptions[] = {
    {result::Ok, "The operation completed successfully."},
    {result::False, "The operation had no effect, or the device is not attached."},
    {result::PolledDevice, "The device is a polled device. As a result, device buffering will not collect any data and event notifications will not be signaled until Poll is called."},
    {result::DownloadSkipped, "The parameters of the effect were successfully updated, but the effect could not be downloaded because the associated device was not acquired in exclusive mode."},
    {result::EffectRestarted, "The effect was stopped, the parameters were updated, and the effect was restarted."},
    {result::Truncated, "The parameters of the effect were successfully updated, but some of them were beyond the capabilities of the device and were truncated to the nearest supported value."},
    {result::TruncatedAndRestarted, "Equivalent to DI_EFFECTRESTARTED | DI_TRUNCATED."},
    {result::Pending, "Data is not yet available."},
    {result::NotImplemented, "The function called is not supported at this time."},
    {result::NoInterface, "The specified interface is not supported by the object."},
    {result::Fail, "An undetermined error occurred inside the DirectInput subsystem."},
    {result::NoAggregation, "This object does not support aggregation."},
    {result::DeviceNotRegistered, "The device or device instance is not registered with DirectInput."},
    {result::DeviceFull, "The device is full."},
    {result::MoreData, "Not all the requested information fit into the buffer."},
    {result::NotDownloaded, "The effect is not downloaded."},
    {result::HasEffects, "The device cannot be reinitialized because there are still effects attached to it."},
    {result::NotExclusiveAcquired, "The operation cannot be performed unless the device is acquired in DISCL_EXCLUSIVE mode."},
    {result::IncompleteEffect, "The effect could not be downloaded because essential information is missing."},
    {result::NotBuffered, "The device is not buffered. Set the DIPROP_BUFFERSIZE property to enable buffering."},
    {result::EffectPlaying, "The parameters were updated in memory but were not downloaded to the device because the device does not support updating an effect while it is still playing."},
    {result::Unplugged, "The operation could not be completed because the device is not plugged in."},
    {result::ReportFull, "More information was requested to be sent than can be sent to the device."},
    {result::ObjectNotFound, "The requested object does not exist."},
    {result::AccessDenied, "Another application has a higher priority level, preventing this call from succeeding."},
    {result::BadHandle, "The device or device instance is not valid."},
    {result::NotAcquired, "The operation cannot be performed unless the device is acquired."},
    {result::OutOfMemory, "The DirectInput subsystem could not allocate sufficient memory to complete the call."},
    {result::NotInitialized, "This object has not been initialized."},
    {result::InputLost, "Access to the input device has been lost. It must be reacquired."},
    {result::InvalidArgument, "An invalid parameter was passed to the returning function, or the object was not in a state that permitted the function to be called."},
    {result::BadDriverVersion, "The object could not be created due to an incompatible driver version or mismatched or incomplete driver components."},
    {result::Acquired, "The operation cannot be performed while the device is acquired."},
    {result::OldVersion, "The application requires a newer version of DirectInput."},
    {result::BetaVersion, "The application was written for an unsupported prerelease version of DirectInput."},
    {result::AlreadyInitialized, "This object is already initialized."},
};

// A lost device is acquired again and read again; the bound keeps a device that keeps reporting
// itself lost from hanging the frame.
constexpr int MaxReacquireAttempts = 8;

}

InputSystem::InputSystem() = default;

InputSystem::~InputSystem()
{
    for (InputDevice& device : devices)
        if (device.device)
            device.device->Unacquire();
    devices.clear();
    contextRef.reset();
    if (context && context.use_count() == 1)
        context.reset();
}

void InputSystem::GetErrorText(std::int32_t code, char* buffer)
{
    const char* text = "Unknown DirectInput error.";
    for (const ErrorDescription& description : ErrorDescriptions)
        if (description.code == code)
            text = description.text;
    std::snprintf(buffer, ErrorDescriptionSize, "%s", text);
}

void InputSystem::SetError(const char* message, std::int32_t code)
{
    errorText = message ? message : "";
    if (code != 0) {
        char description[ErrorDescriptionSize];
        GetErrorText(code, description);
        errorText += description;
    }
}

void InputSystem::Create(platform::os::Window* ownerWindow, void*, const char*)
{
    window = ownerWindow;
    std::int32_t code = result::Ok;
    if (!context)
        context = platform::input::Context::Create(code);
    if (!context) {
        SetError("InputSystem::Create - dx error: ", code);
        throw this;
    }
    contextRef = context;

    std::vector<InputDevice> kept;
    int keyboard = -1, mouse = -1;
    for (const platform::input::DeviceInfo& info : context->EnumerateDevices()) {
        if (info.kind == platform::input::DeviceKind::Other)
            continue;
        std::unique_ptr<platform::input::Device> device = context->CreateDevice(info, code);
        if (!device)
            continue;
        // Joysticks are the game's alone while it has the focus; keyboard and mouse are shared.
        const bool exclusive = info.kind == platform::input::DeviceKind::Joystick;
        if (result::Failed(device->SetCooperativeLevel(window, exclusive)))
            continue;
        if (info.systemKeyboard)
            keyboard = static_cast<int>(kept.size());
        if (info.systemMouse)
            mouse = static_cast<int>(kept.size());
        InputDevice record;
        record.buttonCount = device->ButtonCount();
        record.device = std::move(device);
        kept.push_back(std::move(record));
    }
    if (keyboard < 0) {
        SetError("InputSystem::Create - No keyboard present", 0);
        throw this;
    }
    if (mouse < 0) {
        SetError("InputSystem::Create - No mouse present", 0);
        throw this;
    }
    devices = std::move(kept);
    keyboardIndex = keyboard;
    mouseIndex = mouse;
}

std::int32_t InputSystem::Acquire(int device)
{
    const std::int32_t code = devices[static_cast<std::size_t>(device)].device->Acquire();
    if (!result::Failed(code))
        devices[static_cast<std::size_t>(device)].acquired = true;
    return code;
}

void InputSystem::Activate(int device)
{
    if (device < -1 || device >= GetDeviceCount()) {
        SetError("InputSystem::Activate - invalid device", 0);
        throw this;
    }
    const int first = device == -1 ? 0 : device;
    const int last = device == -1 ? GetDeviceCount() - 1 : device;
    for (int i = first; i <= last; ++i) {
        const std::int32_t code = Acquire(i);
        if (result::Failed(code)) {
            SetError("InputSystem::Activate - dx error: ", code);
            throw this;
        }
    }
}

void InputSystem::Suspend(int device)
{
    if (device < -1 || device >= GetDeviceCount()) {
        SetError("InputSystem::Suspend - invalid device", 0);
        throw this;
    }
    const int first = device == -1 ? 0 : device;
    const int last = device == -1 ? GetDeviceCount() - 1 : device;
    for (int i = first; i <= last; ++i) {
        devices[static_cast<std::size_t>(i)].device->Unacquire();
        devices[static_cast<std::size_t>(i)].acquired = false;
    }
}

bool InputSystem::IsActive(int device) const
{
    return ValidIndex(device) && devices[static_cast<std::size_t>(device)].acquired;
}

int InputSystem::GetDeviceType(int device)
{
    if (!ValidIndex(device)) {
        SetError("InputSystem::GetDeviceType - invalid device", 0);
        return TypeOther;
    }
    switch (devices[static_cast<std::size_t>(device)].device->Kind()) {
    case platform::input::DeviceKind::Mouse: return TypeMouse;
    case platform::input::DeviceKind::Keyboard: return TypeKeyboard;
    case platform::input::DeviceKind::Joystick: return TypeJoystick;
    default: return TypeOther;
    }
}

int InputSystem::GetButtonCount(int device)
{
    if (!ValidIndex(device)) {
        SetError("InputSystem::GetButtonCount - invalid device", 0);
        return 0;
    }
    return devices[static_cast<std::size_t>(device)].buttonCount;
}

template <typename Read>
std::int32_t InputSystem::ReadState(int device, bool poll, Read&& read)
{
    platform::input::Device& input = *devices[static_cast<std::size_t>(device)].device;
    std::int32_t code = poll ? input.Poll() : result::Ok;
    if (!result::Failed(code))
        code = read(input);
    for (int attempt = 0; code == result::InputLost && attempt < MaxReacquireAttempts; ++attempt) {
        code = Acquire(device);
        if (result::Failed(code))
            return code;
        code = poll ? input.Poll() : result::Ok;
        if (!result::Failed(code))
            code = read(input);
    }
    return code;
}

int InputSystem::GetJoystickButtonState(int device, int button)
{
    if (!ValidIndex(device) || button < 0 || button >= devices[static_cast<std::size_t>(device)].buttonCount || button >= 32)
        return 0;
    platform::input::JoystickState state;
    const std::int32_t code = ReadState(device, true, [&](platform::input::Device& d) { return d.GetJoystickState(state); });
    if (result::Failed(code)) {
        SetError("InputSystem::GetJoystickButtonState - dx error: ", code);
        return 0;
    }
    return state.buttons[button] & 0x80;
}

int InputSystem::ReadJoystickAxis(int device, int axis, const char* message)
{
    if (!ValidIndex(device))
        return 0;
    platform::input::JoystickState state;
    const std::int32_t code = ReadState(device, true, [&](platform::input::Device& d) { return d.GetJoystickState(state); });
    if (result::Failed(code)) {
        SetError(message, code);
        return -1;
    }
    return axis == 0 ? state.x : axis == 1 ? state.y : state.z;
}

int InputSystem::GetJoystickX(int device) { return ReadJoystickAxis(device, 0, "InputSystem::GetJoystickX - dx error: "); }
int InputSystem::GetJoystickY(int device) { return ReadJoystickAxis(device, 1, "InputSystem::GetJoystickY - dx error: "); }
int InputSystem::GetJoystickZ(int device) { return ReadJoystickAxis(device, 2, "InputSystem::GetJoystickZ - dx error: "); }

int InputSystem::GetMouseButtonState(int device, int button)
{
    if (!ValidIndex(device)) {
        SetError("InputSystem::GetMouseButtonState - invalid device", 0);
        return 0;
    }
    if (button < 0 || button >= devices[static_cast<std::size_t>(device)].buttonCount || button >= 4)
        return 0;
    platform::input::MouseState state;
    const std::int32_t code = ReadState(device, false, [&](platform::input::Device& d) {
        const std::int32_t read = d.GetMouseState(state);
        if (!result::Failed(read))
            d.TakeMousePress(button);
        return read;
    });
    if (result::Failed(code)) {
        SetError("InputSystem::GetMouseButtonState - dx error: ", code);
        return 0;
    }
    return state.buttons[button] & 0x80;
}

int InputSystem::GetMouseZ(int device)
{
    if (!ValidIndex(device)) {
        SetError("InputSystem::GetMouseZ - invalid device", 0);
        return 0;
    }
    platform::input::MouseState state;
    const std::int32_t code = ReadState(device, false, [&](platform::input::Device& d) { return d.GetMouseState(state); });
    if (result::Failed(code)) {
        SetError("InputSystem::GetMouseZ - dx error: ", code);
        return -1;
    }
    return state.z;
}

void InputSystem::SetDeadZone(int device, int deadZone, int target)
{
    if (!ValidIndex(device)) {
        SetError("InputSystem::SetDeadZone - invalid device", 0);
        throw this;
    }
    const int value = std::clamp(deadZone, 0, MaxDeadZone);
    const std::int32_t code = devices[static_cast<std::size_t>(device)].device->SetDeadZone(target, value);
    if (result::Failed(code)) {
        SetError("InputSystem::SetDeadZone - dx error: ", code);
        throw this;
    }
}
