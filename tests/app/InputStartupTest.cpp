#include "app/program/InputStartup.h"
#include "media/InputSystem.h"
#include "platform/input/InputDevice.h"
#include "tests/platform/input/InputEvents.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace inputevents;

namespace {

// Runs in a folder of its own, where "joy.cfg" may be written.
class InputStartupTest : public testing::Test {
protected:
    void SetUp() override
    {
        previous = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "bexal-input-XXXXXX").string();
        folder = mkdtemp(pattern.data());
        fs::current_path(folder);
    }

    void TearDown() override
    {
        PushFocus(true);
        fs::current_path(previous);
        fs::remove_all(folder);
    }

    void WriteJoyConfig(const char* text) { std::ofstream(folder / "joy.cfg") << text; }

    SdlScope sdl;
    fs::path previous;
    fs::path folder;
};

} // namespace

TEST_F(InputStartupTest, TakesTheJoystickThatJoyCfgNames)
{
    VirtualJoystick first(2, 4), second(2, 10);
    const struct {
        const char* config;  // null: no file
        int buttons;         // of the joystick chosen; -1: none chosen
    } cases[] = {{nullptr, 4}, {"1\n", 4}, {"2\r\n", 10}, {"3\n", -1}, {"0\n", -1}, {"nonsense", -1}};
    for (const auto& row : cases) {
        SCOPED_TRACE(row.config ? row.config : "no joy.cfg");
        fs::remove(folder / "joy.cfg");
        if (row.config)
            WriteJoyConfig(row.config);
        InputStartup startup = StartInputSystem(nullptr);
        ASSERT_NE(startup.input, nullptr);
        EXPECT_TRUE(startup.problems.empty());
        EXPECT_TRUE(startup.input->IsActive(startup.input->GetMouseIndex()));
        if (row.buttons < 0) {
            EXPECT_EQ(startup.joystick, -1);
            EXPECT_EQ(startup.joystickButtons, 0);
        } else {
            ASSERT_GE(startup.joystick, 0);
            EXPECT_EQ(startup.input->GetDeviceType(startup.joystick), InputSystem::TypeJoystick);
            EXPECT_EQ(startup.joystickButtons, row.buttons);
            EXPECT_TRUE(startup.input->IsActive(startup.joystick));
        }
    }
}

TEST_F(InputStartupTest, AnInputSystemThatCannotStartLeavesWindowMessages)
{
    platform::input::Context::SetMousePresent(false);
    InputStartup startup = StartInputSystem(nullptr);
    platform::input::Context::SetMousePresent(true);
    EXPECT_EQ(startup.input, nullptr);
    EXPECT_EQ(startup.joystick, -1);
    ASSERT_EQ(startup.problems.size(), 2u);
    EXPECT_EQ(startup.problems[0], "InputSystem::Create - No mouse present");
}

TEST_F(InputStartupTest, WithoutFocusTheDevicesWaitForActivation)
{
    VirtualJoystick pad(2, 6);
    // The input library's state outlives one input system: hold it while the focus goes.
    InputSystem holder;
    holder.Create(nullptr, nullptr, "input.cfg");
    PushFocus(false);
    InputStartup startup = StartInputSystem(nullptr);
    ASSERT_NE(startup.input, nullptr);
    EXPECT_EQ(startup.joystickButtons, 6);
    // Both activations were refused and logged; the window's activation brings them back.
    EXPECT_EQ(startup.problems.size(), 2u);
    EXPECT_FALSE(startup.input->IsActive(startup.input->GetMouseIndex()));
    PushFocus(true);
    startup.input->Activate(startup.input->GetMouseIndex());
    EXPECT_TRUE(startup.input->IsActive(startup.input->GetMouseIndex()));
}
