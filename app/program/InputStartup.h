#pragma once

#include <memory>
#include <string>
#include <vector>

class InputSystem;

namespace platform::os {
class Window;
}

// The input system as the start-up brings it up: the joystick that "joy.cfg" names (its first
// line, a 1-based number among the joysticks; the first without the file) and the mouse, both
// activated. When the input system cannot start, there is none and the keyboard and the mouse come
// from window messages, as with "-nodinput"; a device that cannot be activated yet (the window has
// no focus) is activated when the window gains it. Each problem is one line for the engine log.
struct InputStartup {
    std::unique_ptr<InputSystem> input;
    int joystick = -1;
    int joystickButtons = 0;
    std::vector<std::string> problems;

    InputStartup();
    InputStartup(InputStartup&&) noexcept;
    ~InputStartup();
};

InputStartup StartInputSystem(platform::os::Window* window);
