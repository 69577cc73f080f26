#include "app/program/InputStartup.h"

#include "media/InputSystem.h"
#include "platform/os/Path.h"

#include <cstdio>
#include <cstdlib>

namespace {

// The 1-based joystick number of "joy.cfg"'s first line; 1 without the file.
int ReadWantedJoystick()
{
    std::optional<std::string> path = platform::os::ResolvePath("joy.cfg");
    std::FILE* file = path ? std::fopen(path->c_str(), "r") : nullptr;
    if (!file)
        return 1;
    char line[256] = {};
    int wanted = std::fgets(line, sizeof line, file) ? std::atoi(line) : 0;
    std::fclose(file);
    return wanted;
}

// Runs one input operation; a failure becomes a log line instead of ending the start-up.
template <typename Operation>
bool Try(InputStartup& startup, Operation&& operation)
{
    try {
        operation();
        return true;
    } catch (InputSystem* failed) {
        startup.problems.emplace_back(failed->GetErrorText());
        return false;
    }
}

} // namespace

InputStartup::InputStartup() = default;
InputStartup::InputStartup(InputStartup&&) noexcept = default;
InputStartup::~InputStartup() = default;

InputStartup StartInputSystem(platform::os::Window* window)
{
    InputStartup startup;
    auto input = std::make_unique<InputSystem>();
    if (!Try(startup, [&] { input->Create(window, nullptr, "input.cfg"); })) {
        startup.problems.emplace_back("No input system: keyboard and mouse come from window messages");
        return startup;
    }

    int wanted = ReadWantedJoystick();
    Try(startup, [&] {
        int ordinal = 0;
        for (int device = 0; device < input->GetDeviceCount(); ++device) {
            if (input->GetDeviceType(device) != InputSystem::TypeJoystick)
                continue;
            if (ordinal == wanted - 1) {
                startup.joystick = device;
                break;
            }
            ++ordinal;
        }
    });
    if (startup.joystick >= 0) {
        Try(startup, [&] { input->Activate(startup.joystick); });
        startup.joystickButtons = input->GetButtonCount(startup.joystick);
        Try(startup, [&] { input->SetDeadZone(startup.joystick, 5000, 0); });
    }
    if (input->GetMouseIndex() >= 0)
        Try(startup, [&] { input->Activate(input->GetMouseIndex()); });
    startup.input = std::move(input);
    return startup;
}
