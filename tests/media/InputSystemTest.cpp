#include <gtest/gtest.h>

#include <string>

#include "media/InputSystem.h"
#include "platform/input/InputDevice.h"
#include "platform/input/InputResult.h"
#include "tests/platform/input/InputEvents.h"

using namespace inputevents;

namespace {

class InputSystemTest : public ::testing::Test {
protected:
    void TearDown() override { PushFocus(true); }

    // Creates the system; a thrown failure fails the test with its text.
    void Create()
    {
        try {
            input.Create(nullptr, nullptr, "input.cfg");
        } catch (InputSystem* failed) {
            FAIL() << failed->GetErrorText();
        }
    }
    int Joystick(int ordinal = 0)
    {
        for (int i = 0; i < input.GetDeviceCount(); ++i)
            if (input.GetDeviceType(i) == InputSystem::TypeJoystick && ordinal-- == 0)
                return i;
        return -1;
    }
    template <typename Call>
    std::string Thrown(Call&& call)
    {
        try {
            call();
        } catch (InputSystem* failed) {
            EXPECT_EQ(failed, &input);
            return failed->GetErrorText();
        }
        return "(nothing thrown)";
    }

    SdlScope sdl;
    InputSystem input;
};

TEST_F(InputSystemTest, FindsKeyboardMouseAndJoysticks)
{
    VirtualJoystick first(3, 12), second(2, 6);
    Create();
    ASSERT_GE(input.GetDeviceCount(), 4);
    EXPECT_EQ(input.GetDeviceType(input.GetKeyboardIndex()), InputSystem::TypeKeyboard);
    EXPECT_EQ(input.GetDeviceType(input.GetMouseIndex()), InputSystem::TypeMouse);
    ASSERT_GE(Joystick(1), 0);
    EXPECT_EQ(input.GetButtonCount(Joystick(0)), 12);
    EXPECT_EQ(input.GetButtonCount(Joystick(1)), 6);
    EXPECT_FALSE(input.IsActive(Joystick(0)));
}

TEST_F(InputSystemTest, NoMouseIsAnError)
{
    platform::input::Context::SetMousePresent(false);
    const std::string text = Thrown([&] { input.Create(nullptr, nullptr, "input.cfg"); });
    platform::input::Context::SetMousePresent(true);
    EXPECT_EQ(text, "InputSystem::Create - No mouse present");
}

TEST_F(InputSystemTest, ReadsTheJoystickTheStartUpWay)
{
    VirtualJoystick pad(3, 12);
    Create();
    const int joystick = Joystick();
    input.Activate(joystick);
    EXPECT_TRUE(input.IsActive(joystick));
    input.SetDeadZone(joystick, 5000, 0);
    pad.SetAxis(0, 32767);
    pad.SetAxis(1, 8000);
    pad.SetAxis(2, -32768);
    pad.SetButton(11, true);
    EXPECT_EQ(input.GetJoystickX(joystick), 65535);
    EXPECT_EQ(input.GetJoystickY(joystick), 32768);
    EXPECT_EQ(input.GetJoystickZ(joystick), 0);
    EXPECT_NE(input.GetJoystickButtonState(joystick, 11), 0);
    EXPECT_EQ(input.GetJoystickButtonState(joystick, 0), 0);
}

TEST_F(InputSystemTest, DeadZonesAreClampedToTheAxisRange)
{
    VirtualJoystick pad(2, 1);
    Create();
    const int joystick = Joystick();
    input.Activate(joystick);
    pad.SetAxis(0, 32767);
    input.SetDeadZone(joystick, 12000, 1); // 10000: the whole axis is dead
    EXPECT_EQ(input.GetJoystickX(joystick), 32768);
    input.SetDeadZone(joystick, -5, 1); // 0: no dead zone
    pad.SetAxis(0, 100);
    EXPECT_EQ(input.GetJoystickX(joystick), 32868);
}

TEST_F(InputSystemTest, IndexesAreCheckedAgainstTheRealCounts)
{
    VirtualJoystick pad(2, 12);
    Create();
    const int joystick = Joystick();
    const int count = input.GetDeviceCount();
    input.Activate(joystick);
    pad.SetButton(0, true);
    for (int button : {-1, 12, 40})
        EXPECT_EQ(input.GetJoystickButtonState(joystick, button), 0) << button;
    for (int device : {-1, count, 1000}) {
        EXPECT_EQ(input.GetJoystickButtonState(device, 0), 0);
        EXPECT_EQ(input.GetJoystickX(device), 0);
        EXPECT_EQ(input.GetMouseButtonState(device, 0), 0);
        EXPECT_FALSE(input.IsActive(device));
        EXPECT_EQ(input.GetButtonCount(device), 0);
        EXPECT_EQ(std::string(input.GetErrorText()), "InputSystem::GetButtonCount - invalid device");
        EXPECT_EQ(input.GetDeviceType(device), InputSystem::TypeOther);
        EXPECT_EQ(std::string(input.GetErrorText()), "InputSystem::GetDeviceType - invalid device");
        EXPECT_EQ(Thrown([&] { input.SetDeadZone(device, 10, 0); }), "InputSystem::SetDeadZone - invalid device");
        EXPECT_EQ(Thrown([&] { input.Suspend(device == -1 ? -2 : device); }), "InputSystem::Suspend - invalid device");
    }
    EXPECT_EQ(Thrown([&] { input.Activate(count); }), "InputSystem::Activate - invalid device");
    EXPECT_EQ(Thrown([&] { input.Activate(-2); }), "InputSystem::Activate - invalid device");
}

TEST_F(InputSystemTest, ActivateAllStopsAtTheFirstFailure)
{
    VirtualJoystick first(2, 1), second(2, 1);
    Create();
    const int a = Joystick(0), b = Joystick(1);
    first.Detach();
    const std::string text = Thrown([&] { input.Activate(-1); });
    EXPECT_EQ(text, "InputSystem::Activate - dx error: The operation could not be completed because the device is not plugged in.");
    EXPECT_TRUE(input.IsActive(input.GetKeyboardIndex()));
    EXPECT_TRUE(input.IsActive(input.GetMouseIndex()));
    EXPECT_FALSE(input.IsActive(a));
    EXPECT_FALSE(input.IsActive(b));
    input.Suspend(-1);
    EXPECT_FALSE(input.IsActive(input.GetMouseIndex()));
}

TEST_F(InputSystemTest, AReadAfterTheFocusCameBackReacquires)
{
    VirtualJoystick pad(2, 1);
    Create();
    const int joystick = Joystick();
    input.Activate(joystick);
    pad.SetAxis(0, -32768);
    PushFocus(false);
    // Still unfocused: the read fails with the reason and returns the error value.
    EXPECT_EQ(input.GetJoystickX(joystick), -1);
    EXPECT_EQ(std::string(input.GetErrorText()),
              "InputSystem::GetJoystickX - dx error: Another application has a higher priority level, preventing this call from succeeding.");
    PushFocus(true);
    EXPECT_EQ(input.GetJoystickX(joystick), 0);
    EXPECT_TRUE(input.IsActive(joystick));
}

TEST_F(InputSystemTest, MouseWheelAndButtonsFromInjectedEvents)
{
    Create();
    const int mouse = input.GetMouseIndex();
    EXPECT_EQ(input.GetButtonCount(mouse), 4);
    input.Activate(mouse);
    PushWheel(2);
    EXPECT_EQ(input.GetMouseZ(mouse), 240);
    EXPECT_EQ(input.GetMouseZ(mouse), 0);
    PushButton(SDL_BUTTON_LEFT, true);
    PushButton(SDL_BUTTON_MIDDLE, true);
    EXPECT_NE(input.GetMouseButtonState(mouse, 0), 0);
    EXPECT_EQ(input.GetMouseButtonState(mouse, 1), 0);
    EXPECT_NE(input.GetMouseButtonState(mouse, 2), 0);
    EXPECT_EQ(input.GetMouseButtonState(mouse, 4), 0);
    EXPECT_EQ(input.GetMouseButtonState(mouse, -1), 0);
    input.Suspend(mouse);
    EXPECT_FALSE(input.IsActive(mouse));
    // A suspended device is not read.
    EXPECT_EQ(input.GetMouseZ(mouse), -1);
    EXPECT_EQ(std::string(input.GetErrorText()), "InputSystem::GetMouseZ - dx error: The operation cannot be performed unless the device is acquired.");
}

TEST_F(InputSystemTest, ErrorTextsDescribeTheCodes)
{
    char text[InputSystem::ErrorDescriptionSize];
    InputSystem::GetErrorText(platform::input::result::InputLost, text);
    EXPECT_STREQ(text, "Access to the input device has been lost. It must be reacquired.");
    InputSystem::GetErrorText(0x12345, text);
    EXPECT_STREQ(text, "Unknown DirectInput error.");
    input.SetError("prefix: ", platform::input::result::InputLost);
    EXPECT_STREQ(input.GetErrorText(), "prefix: Access to the input device has been lost. It must be reacquired.");
    input.SetError("only this", 0);
    EXPECT_STREQ(input.GetErrorText(), "only this");
}

}
