#include "app/framework/Application.h"
#include "app/framework/Singletons.h"
#include "app/program/Program.h"
#include "engine/core/q3DError.h"
#include "media/InputSystem.h"
#include "mission/MissionState.h"
#include "platform/os/Messages.h"
#include "platform/os/VirtualKeys.h"
#include "world/World.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace platform::os;

namespace {

// A screen that writes down every event it gets.
class RecordingScreen : public GameState {
public:
    void Update() override {}
    void Draw() override {}
    void KeyDown(int code) override { events.push_back("down " + std::to_string(code)); }
    void KeyUp(int code) override { events.push_back("up " + std::to_string(code)); }
    void MouseDown(int button, int x, int y, bool) override { Mouse("press", button, x, y); }
    void MouseUp(int button, int x, int y, float) override { Mouse("release", button, x, y); }
    void MouseMove(int x, int y) override { Mouse("move", 0, x, y); }
    void MouseDoubleClick(int button, int x, int y) override { Mouse("double", button, x, y); }
    void MouseWheel(bool down, int x, int y) override { Mouse(down ? "wheel down" : "wheel up", 0, x, y); }

    std::vector<std::string> events;

private:
    void Mouse(const char* what, int button, int x, int y)
    {
        events.push_back(std::string(what) + " " + std::to_string(button) + " " + std::to_string(x) + "," +
                         std::to_string(y));
    }
};

class WindowProcedureTest : public testing::Test {
protected:
    void SetUp() override
    {
        ProgramState& program = Program();
        program.running = 1;
        program.inactive = false;
        program.windowed = true;
        program.wheelAccumulator = 0;
        Application::Instance()->SetState(&screen);
    }

    void TearDown() override
    {
        Application::Instance()->SetState(nullptr);
        DestroySingletons();
        ProgramState& program = Program();
        program.running = 0;
        program.inactive = false;
        program.windowed = false;
        program.wheelAccumulator = 0;
    }

    long Send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam = 0)
    {
        return WndProc(nullptr, message, wParam, lParam);
    }

    static std::uintptr_t Wheel(int delta) { return std::uintptr_t(MakeLParam(0, delta)); }

    RecordingScreen screen;
};

using Events = std::vector<std::string>;

} // namespace

TEST_F(WindowProcedureTest, KeysWithoutAutoRepeat)
{
    const std::intptr_t repeat = 1 | KEY_PREVIOUSLY_DOWN;
    EXPECT_EQ(Send(WM_KEYDOWN, 'W', 1), 0);
    EXPECT_EQ(Send(WM_KEYDOWN, 'W', repeat), 0);
    Send(WM_KEYUP, 'W', 1 | KEY_PREVIOUSLY_DOWN | KEY_RELEASED);
    // Backspace keeps repeating while held.
    Send(WM_KEYDOWN, VK_BACK, 1);
    Send(WM_KEYDOWN, VK_BACK, repeat);
    // System keys never repeat, Backspace included.
    Send(WM_SYSKEYDOWN, VK_MENU, 1 | KEY_ALT_DOWN);
    Send(WM_SYSKEYDOWN, VK_MENU, repeat | KEY_ALT_DOWN);
    Send(WM_SYSKEYDOWN, VK_BACK, repeat | KEY_ALT_DOWN);
    Send(WM_SYSKEYUP, VK_MENU, 1 | KEY_PREVIOUSLY_DOWN | KEY_RELEASED);
    EXPECT_EQ(screen.events, (Events{"down 87", "up 87", "down 8", "down 8", "down 18", "up 18"}));
}

TEST_F(WindowProcedureTest, MouseButtonsWithoutInputSystem)
{
    Send(WM_MOUSEMOVE, 0, MakeLParam(640, 480));
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(1, 2));
    Send(WM_LBUTTONUP, 0, MakeLParam(1, 2));
    Send(WM_RBUTTONDOWN, MK_RBUTTON, MakeLParam(3, 4));
    Send(WM_RBUTTONUP, 0, MakeLParam(3, 4));
    Send(WM_MBUTTONDOWN, MK_MBUTTON, MakeLParam(5, 6));
    Send(WM_MBUTTONUP, 0, MakeLParam(5, 6));
    Send(WM_LBUTTONDBLCLK, MK_LBUTTON, MakeLParam(7, 8));
    Send(WM_RBUTTONDBLCLK, MK_RBUTTON, MakeLParam(9, 10));
    // The middle double click is left to the default handling.
    Send(WM_MBUTTONDBLCLK, MK_MBUTTON, MakeLParam(11, 12));
    EXPECT_EQ(screen.events, (Events{"move 0 640,480", "press 0 1,2", "release 0 1,2", "press 1 3,4", "release 1 3,4",
                                     "press 2 5,6", "release 2 5,6", "double 0 7,8", "double 1 9,10"}));
}

TEST_F(WindowProcedureTest, CoordinatesAreUnsignedHalves)
{
    Send(WM_MOUSEMOVE, 0, MakeLParam(65535, 2));
    EXPECT_EQ(screen.events, (Events{"move 0 65535,2"}));
}

TEST_F(WindowProcedureTest, WheelCallsOncePerNotchReached)
{
    Send(WM_MOUSEWHEEL, Wheel(240), MakeLParam(10, 20));
    Send(WM_MOUSEWHEEL, Wheel(-120), MakeLParam(10, 20));
    Send(WM_MOUSEWHEEL, Wheel(60), MakeLParam(1, 1));
    EXPECT_EQ(screen.events.size(), 2u);
    Send(WM_MOUSEWHEEL, Wheel(60), MakeLParam(2, 2));
    Send(WM_MOUSEWHEEL, Wheel(-119), MakeLParam(3, 3));
    Send(WM_MOUSEWHEEL, Wheel(-32768), MakeLParam(4, 4));
    EXPECT_EQ(screen.events,
              (Events{"wheel up 0 10,20", "wheel down 0 10,20", "wheel up 0 2,2", "wheel down 0 4,4"}));
    EXPECT_EQ(Program().wheelAccumulator, 0);
}

TEST_F(WindowProcedureTest, WithInputSystemButtonsComeFromThePoll)
{
    InputSystem input;
    Application::Instance()->SetInputSystem(&input, -1, 0);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(1, 2));
    Send(WM_MBUTTONUP, 0, MakeLParam(1, 2));
    Send(WM_MOUSEWHEEL, Wheel(240), MakeLParam(1, 2));
    Send(WM_LBUTTONDBLCLK, MK_LBUTTON, MakeLParam(7, 8));
    Send(WM_MOUSEMOVE, 0, MakeLParam(3, 4));
    Send(WM_KEYDOWN, 'A', 1);
    Application::Instance()->SetInputSystem(nullptr, -1, 0);
    EXPECT_EQ(screen.events, (Events{"double 0 7,8", "move 0 3,4", "down 65"}));
}

TEST_F(WindowProcedureTest, ActivationTogglesTheInactiveFlagOnlyWhileRunning)
{
    ProgramState& program = Program();
    program.running = 0;
    Send(WM_ACTIVATE, WA_INACTIVE);
    EXPECT_FALSE(program.inactive);

    program.running = 1;
    Send(WM_ACTIVATE, WA_INACTIVE);
    EXPECT_TRUE(program.inactive);
    Send(WM_ACTIVATE, WA_CLICKACTIVE);
    EXPECT_FALSE(program.inactive);
    EXPECT_FALSE(Application::Instance()->GetQuitFlag());
}

TEST_F(WindowProcedureTest, LosingFocusInAFullScreenNetworkGameQuitsThroughTheMainLoop)
{
    ProgramState& program = Program();
    program.windowed = false;
    MissionState* mission = MissionState::Instance();
    mission->level.world = new World(); // the unload deletes it
    mission->session.networkGame = true;
    Application::Instance()->SetExitMessage("kept");

    Send(WM_ACTIVATE, WA_INACTIVE);

    // Still here: the procedure only asks for the quit, the main loop ends the program.
    EXPECT_TRUE(Application::Instance()->GetQuitFlag());
    EXPECT_FALSE(mission->IsLevelLoaded());
    EXPECT_FALSE(program.inactive);
    EXPECT_STREQ(Application::Instance()->GetExitMessage(), "kept");
}

TEST_F(WindowProcedureTest, LosingFocusElsewhereOnlyPauses)
{
    const struct {
        bool windowed;
        bool levelLoaded;
        bool networkGame;
    } cases[] = {{true, true, true}, {false, false, true}, {false, true, false}};
    for (const auto& row : cases) {
        ProgramState& program = Program();
        program.windowed = row.windowed;
        program.inactive = false;
        MissionState* mission = MissionState::Instance();
        World world;
        mission->level.world = row.levelLoaded ? &world : nullptr;
        mission->session.networkGame = row.networkGame;
        Send(WM_ACTIVATE, WA_INACTIVE);
        EXPECT_TRUE(program.inactive);
        EXPECT_FALSE(Application::Instance()->GetQuitFlag());
        EXPECT_EQ(mission->IsLevelLoaded(), row.levelLoaded);
        mission->level.world = nullptr;
    }
}

namespace {

// A screen whose frame fails as the engine fails, for instance on a model it cannot load.
class FailingScreen : public GameState {
public:
    void Update() override { throw q3DError("Can't load %s", "GameData/Broken.q3d"); }
    void Draw() override {}
};

} // namespace

TEST_F(WindowProcedureTest, AnEngineErrorDuringPlayEndsTheMainLoopAsAnErrorExit)
{
    FailingScreen failing;
    Application* application = Application::Instance();
    application->SetState(&failing);
    RunMainLoop(Program());
    EXPECT_TRUE(application->GetQuitFlag());
    EXPECT_TRUE(application->EndsOnError());
    EXPECT_STREQ(application->GetExitMessage(), "Can't load GameData/Broken.q3d");
    EXPECT_EQ(application->GetState(), nullptr);
}
