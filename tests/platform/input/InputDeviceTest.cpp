#include <gtest/gtest.h>

#include "platform/input/InputDevice.h"
#include "platform/input/InputResult.h"
#include "tests/platform/input/InputEvents.h"

using namespace platform::input;
using namespace inputevents;

namespace {

class InputDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::int32_t code = 0;
        context = Context::Create(code);
        ASSERT_TRUE(context) << code;
    }
    void TearDown() override { PushFocus(true); }

    std::unique_ptr<Device> Open(DeviceKind kind, int skip = 0)
    {
        for (const DeviceInfo& info : context->EnumerateDevices()) {
            if (info.kind == kind && skip-- == 0) {
                std::int32_t code = 0;
                return context->CreateDevice(info, code);
            }
        }
        return nullptr;
    }

    SdlScope sdl;
    std::shared_ptr<Context> context;
};

TEST_F(InputDeviceTest, EnumeratesKeyboardMouseThenJoysticks)
{
    VirtualJoystick pad(3, 12);
    const std::vector<DeviceInfo> devices = context->EnumerateDevices();
    ASSERT_GE(devices.size(), 3u);
    EXPECT_EQ(devices[0].kind, DeviceKind::Keyboard);
    EXPECT_TRUE(devices[0].systemKeyboard);
    EXPECT_EQ(devices[1].kind, DeviceKind::Mouse);
    EXPECT_TRUE(devices[1].systemMouse);
    EXPECT_EQ(devices.back().kind, DeviceKind::Joystick);
    auto joystick = Open(DeviceKind::Joystick);
    ASSERT_TRUE(joystick);
    EXPECT_EQ(joystick->ButtonCount(), 12);
}

TEST_F(InputDeviceTest, JoystickAxesSpanTheFullRangeAroundTheCentre)
{
    VirtualJoystick pad(3, 4);
    auto joystick = Open(DeviceKind::Joystick);
    ASSERT_EQ(joystick->Acquire(), result::Ok);
    struct Case {
        Sint16 raw;
        std::int32_t expected;
    } cases[] = {{-32768, 0}, {0, 32768}, {32767, 65535}, {-16384, 16384}};
    for (const Case& c : cases) {
        pad.SetAxis(0, c.raw);
        pad.SetAxis(2, c.raw);
        ASSERT_EQ(joystick->Poll(), result::Ok);
        JoystickState state;
        ASSERT_EQ(joystick->GetJoystickState(state), result::Ok);
        EXPECT_EQ(state.x, c.expected) << c.raw;
        EXPECT_EQ(state.y, 32768);
        EXPECT_EQ(state.z, c.expected) << c.raw;
    }
    pad.SetButton(2, true);
    joystick->Poll();
    JoystickState state;
    joystick->GetJoystickState(state);
    EXPECT_EQ(state.buttons[2], 0x80);
    EXPECT_EQ(state.buttons[1], 0);
}

TEST_F(InputDeviceTest, DeadZonesCentreSmallDeflectionsAndKeepTheExtremes)
{
    VirtualJoystick pad(2, 1);
    auto joystick = Open(DeviceKind::Joystick);
    joystick->Acquire();
    ASSERT_EQ(joystick->SetDeadZone(0, 5000), result::Ok);
    struct Case {
        Sint16 raw;
        std::int32_t expected;
    } cases[] = {{10000, 32768}, {-16000, 32768}, {32767, 65535}, {-32768, 0}, {24576, 49152}};
    for (const Case& c : cases) {
        pad.SetAxis(1, c.raw);
        joystick->Poll();
        JoystickState state;
        joystick->GetJoystickState(state);
        EXPECT_NEAR(state.y, c.expected, 2) << c.raw;
    }
    EXPECT_EQ(joystick->SetDeadZone(4, 100), result::InvalidArgument);
    EXPECT_EQ(joystick->SetDeadZone(1, 10001), result::InvalidArgument);
}

TEST_F(InputDeviceTest, LosingTheFocusLosesTheDevice)
{
    VirtualJoystick pad(2, 1);
    auto joystick = Open(DeviceKind::Joystick);
    JoystickState state;
    EXPECT_EQ(joystick->GetJoystickState(state), result::NotAcquired);
    ASSERT_EQ(joystick->Acquire(), result::Ok);
    PushFocus(false);
    EXPECT_EQ(joystick->GetJoystickState(state), result::InputLost);
    EXPECT_EQ(joystick->Acquire(), result::AccessDenied);
    PushFocus(true);
    EXPECT_EQ(joystick->Acquire(), result::Ok);
    EXPECT_EQ(joystick->GetJoystickState(state), result::Ok);
}

TEST_F(InputDeviceTest, AnUnpluggedJoystickCannotBeAcquiredAgain)
{
    auto pad = std::make_unique<VirtualJoystick>(2, 1);
    auto joystick = Open(DeviceKind::Joystick);
    ASSERT_EQ(joystick->Acquire(), result::Ok);
    pad->Detach();
    JoystickState state;
    EXPECT_EQ(joystick->GetJoystickState(state), result::InputLost);
    EXPECT_EQ(joystick->Acquire(), result::Unplugged);
}

TEST_F(InputDeviceTest, MouseReportsMovementAndWheelSinceTheLastRead)
{
    auto mouse = Open(DeviceKind::Mouse);
    ASSERT_TRUE(mouse);
    EXPECT_EQ(mouse->ButtonCount(), 4);
    ASSERT_EQ(mouse->Acquire(), result::Ok);
    PushWheel(1);
    PushWheel(2);
    PushMotion(5, -3);
    PushMotion(1, 1);
    PushButton(SDL_BUTTON_RIGHT, true);
    MouseState state;
    ASSERT_EQ(mouse->GetMouseState(state), result::Ok);
    EXPECT_EQ(state.z, 360);
    EXPECT_EQ(state.x, 6);
    EXPECT_EQ(state.y, -2);
    EXPECT_EQ(state.buttons[1], 0x80);
    EXPECT_EQ(state.buttons[0], 0);
    mouse->TakeMousePress(1);
    PushButton(SDL_BUTTON_RIGHT, false);
    PushWheel(-1);
    ASSERT_EQ(mouse->GetMouseState(state), result::Ok);
    EXPECT_EQ(state.z, -120);
    EXPECT_EQ(state.x, 0);
    EXPECT_EQ(state.buttons[1], 0);

    // A quick click, pressed and let go between two reads, reads as down until its press is
    // taken (other reads in between, of the wheel or another button, keep it), then up.
    PushButton(SDL_BUTTON_LEFT, true);
    PushButton(SDL_BUTTON_LEFT, false);
    ASSERT_EQ(mouse->GetMouseState(state), result::Ok);
    EXPECT_EQ(state.buttons[0], 0x80);
    mouse->TakeMousePress(1);
    ASSERT_EQ(mouse->GetMouseState(state), result::Ok);
    EXPECT_EQ(state.buttons[0], 0x80);
    mouse->TakeMousePress(0);
    ASSERT_EQ(mouse->GetMouseState(state), result::Ok);
    EXPECT_EQ(state.buttons[0], 0);
}

TEST_F(InputDeviceTest, AMachineWithoutAMouseListsNone)
{
    Context::SetMousePresent(false);
    const std::vector<DeviceInfo> devices = context->EnumerateDevices();
    Context::SetMousePresent(true);
    for (const DeviceInfo& info : devices)
        EXPECT_NE(info.kind, DeviceKind::Mouse);
}

}
