#include "platform/input/InputDevice.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <mutex>

#include "platform/input/InputResult.h"

namespace platform::input {

// What SDL's events tell about the mouse and the focus, gathered as they arrive.
struct SharedState {
    std::mutex mutex;
    std::int32_t dx = 0, dy = 0, dz = 0;
    std::uint8_t buttons[4] = {};
    // Presses not yet taken by a reader of the button: a click whose press and release both fall
    // between two reads still reads as down once, as a buffered device would deliver it.
    std::uint8_t pressed[4] = {};
    bool focused = true;
    std::vector<Device*> devices;
};

namespace {

bool mousePresent = true;

int MouseButtonIndex(std::uint8_t sdlButton)
{
    switch (sdlButton) {
    case SDL_BUTTON_LEFT: return 0;
    case SDL_BUTTON_RIGHT: return 1;
    case SDL_BUTTON_MIDDLE: return 2;
    case SDL_BUTTON_X1: return 3;
    default: return -1;
    }
}

}

class EventWatch {
public:
    static int Watch(void* user, SDL_Event* event)
    {
        SharedState& state = *static_cast<SharedState*>(user);
        std::lock_guard lock(state.mutex);
        switch (event->type) {
        case SDL_MOUSEMOTION:
            state.dx += event->motion.xrel;
            state.dy += event->motion.yrel;
            break;
        case SDL_MOUSEWHEEL: {
            const int notches = event->wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event->wheel.y : event->wheel.y;
            state.dz += notches * 120;
            break;
        }
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            const int index = MouseButtonIndex(event->button.button);
            if (index >= 0) {
                state.buttons[index] = event->type == SDL_MOUSEBUTTONDOWN ? 0x80 : 0;
                state.pressed[index] |= state.buttons[index];
            }
            break;
        }
        case SDL_WINDOWEVENT:
            if (event->window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
                state.focused = false;
                // Releases that happen elsewhere never reach this window: nothing stays held.
                std::fill(std::begin(state.buttons), std::end(state.buttons), std::uint8_t(0));
                std::fill(std::begin(state.pressed), std::end(state.pressed), std::uint8_t(0));
                for (Device* device : state.devices)
                    device->LoseFocus();
            } else if (event->window.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
                state.focused = true;
            }
            break;
        default:
            break;
        }
        return 1;
    }
};

Device::Device(std::shared_ptr<SharedState> shared, DeviceInfo deviceInfo) : state(std::move(shared)), info(std::move(deviceInfo))
{
    std::lock_guard lock(state->mutex);
    state->devices.push_back(this);
}

Device::~Device()
{
    {
        std::lock_guard lock(state->mutex);
        std::erase(state->devices, this);
    }
    if (joystick)
        SDL_JoystickClose(joystick);
}

void Device::LoseFocus()
{
    if (acquired) {
        acquired = false;
        lost = true;
    }
}

std::int32_t Device::SetCooperativeLevel(platform::os::Window* owner, bool)
{
    window = owner;
    return result::Ok;
}

std::int32_t Device::Acquire()
{
    if (joystick && !SDL_JoystickGetAttached(joystick))
        return result::Unplugged;
    std::lock_guard lock(state->mutex);
    // Devices serve the window that has the focus only.
    if (!state->focused)
        return result::AccessDenied;
    if (acquired)
        return result::False;
    acquired = true;
    lost = false;
    if (info.kind == DeviceKind::Mouse) {
        // Movement before the acquire is not this reader's.
        state->dx = state->dy = state->dz = 0;
    }
    return result::Ok;
}

std::int32_t Device::Unacquire()
{
    if (!acquired)
        return result::False;
    acquired = false;
    lost = false;
    return result::Ok;
}

std::int32_t Device::Readable() const
{
    if (acquired && joystick && !SDL_JoystickGetAttached(joystick))
        return result::InputLost;
    if (acquired)
        return result::Ok;
    return lost ? result::InputLost : result::NotAcquired;
}

std::int32_t Device::Poll()
{
    if (info.kind != DeviceKind::Joystick)
        return result::False;
    const std::int32_t readable = Readable();
    if (readable != result::Ok)
        return readable;
    SDL_JoystickUpdate();
    return result::Ok;
}

std::int32_t Device::GetMouseState(MouseState& out)
{
    if (info.kind != DeviceKind::Mouse)
        return result::InvalidArgument;
    const std::int32_t readable = Readable();
    if (readable != result::Ok)
        return readable;
    std::lock_guard lock(state->mutex);
    out.x = state->dx;
    out.y = state->dy;
    out.z = state->dz;
    for (int i = 0; i < 4; ++i)
        out.buttons[i] = state->buttons[i] | state->pressed[i];
    state->dx = state->dy = state->dz = 0;
    return result::Ok;
}

void Device::TakeMousePress(int button)
{
    if (button < 0 || button >= 4)
        return;
    std::lock_guard lock(state->mutex);
    state->pressed[button] = 0;
}

std::int32_t Device::ReadAxis(int axis) const
{
    const int count = SDL_JoystickNumAxes(joystick);
    if (axis >= count)
        return 32768;
    const int raw = SDL_JoystickGetAxis(joystick, axis);
    // The two sides of the centre differ by one step (32768 below, 32767 above).
    const double half = raw < 0 ? 32768.0 : 32767.0;
    const double offset = raw;
    const double dead = deadZone[axis] / 10000.0 * half;
    // Inside the dead zone the axis reads centred; outside it the rest of the travel is spread
    // over the whole range, so the extremes stay reachable.
    if (std::abs(offset) <= dead)
        return 32768;
    const double sign = offset < 0 ? -1.0 : 1.0;
    const double scaled = std::round((std::abs(offset) - dead) / (half - dead) * half);
    return std::clamp(static_cast<std::int32_t>(32768.0 + sign * scaled), 0, 65535);
}

std::int32_t Device::GetJoystickState(JoystickState& out)
{
    if (info.kind != DeviceKind::Joystick || !joystick)
        return result::InvalidArgument;
    const std::int32_t readable = Readable();
    if (readable != result::Ok)
        return readable;
    out.x = ReadAxis(0);
    out.y = ReadAxis(1);
    out.z = ReadAxis(2);
    for (int i = 0; i < 32; ++i)
        out.buttons[i] = i < buttonCount && SDL_JoystickGetButton(joystick, i) ? 0x80 : 0;
    return result::Ok;
}

std::int32_t Device::SetDeadZone(int target, int value)
{
    if (value < 0 || value > 10000 || target < 0 || target > 3)
        return result::InvalidArgument;
    if (info.kind != DeviceKind::Joystick)
        return target == 0 ? result::Ok : result::ObjectNotFound;
    if (target == 0)
        std::fill(std::begin(deadZone), std::end(deadZone), value);
    else
        deadZone[target - 1] = value;
    return result::Ok;
}

void Context::SetMousePresent(bool present) { mousePresent = present; }

std::shared_ptr<Context> Context::Create(std::int32_t& outcome)
{
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_EVENTS) != 0) {
        outcome = result::NotInitialized;
        return nullptr;
    }
    std::shared_ptr<Context> context(new Context());
    context->state = std::make_shared<SharedState>();
    SDL_AddEventWatch(EventWatch::Watch, context->state.get());
    outcome = result::Ok;
    return context;
}

Context::~Context()
{
    SDL_DelEventWatch(EventWatch::Watch, state.get());
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_EVENTS);
}

std::vector<DeviceInfo> Context::EnumerateDevices() const
{
    std::vector<DeviceInfo> list;
    list.push_back({DeviceKind::Keyboard, "Keyboard", -1, true, false});
    if (mousePresent)
        list.push_back({DeviceKind::Mouse, "Mouse", -1, false, true});
    const int joysticks = SDL_NumJoysticks();
    for (int i = 0; i < joysticks; ++i) {
        const char* name = SDL_JoystickNameForIndex(i);
        list.push_back({DeviceKind::Joystick, name ? name : "Joystick", i, false, false});
    }
    return list;
}

std::unique_ptr<Device> Context::CreateDevice(const DeviceInfo& info, std::int32_t& outcome)
{
    std::unique_ptr<Device> device(new Device(state, info));
    switch (info.kind) {
    case DeviceKind::Keyboard:
        device->buttonCount = 128;
        break;
    case DeviceKind::Mouse:
        device->buttonCount = 4;
        break;
    case DeviceKind::Joystick:
        device->joystick = SDL_JoystickOpen(info.joystickIndex);
        if (!device->joystick) {
            outcome = result::DeviceNotRegistered;
            return nullptr;
        }
        device->buttonCount = std::clamp(SDL_JoystickNumButtons(device->joystick), 0, 32);
        break;
    default:
        outcome = result::DeviceNotRegistered;
        return nullptr;
    }
    outcome = result::Ok;
    return device;
}

}
