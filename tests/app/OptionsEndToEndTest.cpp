// A player changes options on the options screen and finds them at the next start. The first
// session runs in this process: the real window procedure takes mouse and key events pushed onto
// SDL's queue, turn by turn as the main loop does, on a headless device with the demo data. The
// second session is the real program started in the same folder with "-options"; it reads the
// files at start-up and writes them again when it quits from the options screen, so what it
// writes shows what it read.
#include "AppFixture.h"
#include "tests/app/ProgramRun.h"

#include "app/framework/ImageButton.h"
#include "app/framework/Options.h"
#include "app/framework/TextLabel.h"
#include "app/options/OptionsScreen.h"
#include "app/program/Program.h"
#include "media/SoundSystem.h"
#include "menus/MainMenu.h"
#include "platform/os/Window.h"

#include <SDL.h>

namespace {

// A key pressed and let go, queued for the window.
void QueueKeyPress(platform::os::Window* window, SDL_Scancode scancode)
{
    for (bool down : {true, false}) {
        SDL_Event event{};
        event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        event.key.windowID = SDL_GetWindowID(window->GetSdlWindow());
        event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        event.key.keysym.scancode = scancode;
        SDL_PushEvent(&event);
    }
}

class OptionsEndToEndTest : public AppTest {
protected:
    void TearDown() override
    {
        Program().running = 0;
        Program().windowed = false;
        AppTest::TearDown();
    }

    // One turn of the main loop: every waiting message through the window procedure, then a frame.
    void Turn()
    {
        platform::os::Message message;
        while (platform::os::TakeMessage(message))
            platform::os::DispatchMessage(message);
        Application::Instance()->Update();
        Application::Instance()->Draw();
    }

    void PushClick(const Widget* widget, Uint8 button = SDL_BUTTON_LEFT)
    {
        ASSERT_NE(widget, nullptr);
        const Uint32 id = SDL_GetWindowID(window->GetSdlWindow());
        SDL_Event event{};
        event.type = SDL_MOUSEMOTION;
        event.motion.windowID = id;
        event.motion.x = widget->x + 3;
        event.motion.y = widget->y + 3;
        SDL_PushEvent(&event);
        for (bool down : {true, false}) {
            event = SDL_Event{};
            event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
            event.button.windowID = id;
            event.button.button = button;
            event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
            event.button.clicks = 1;
            event.button.x = widget->x + 3;
            event.button.y = widget->y + 3;
            SDL_PushEvent(&event);
        }
        Turn();
    }

    void PushKey(SDL_Scancode scancode)
    {
        QueueKeyPress(window.get(), scancode);
        Turn();
    }
};

} // namespace

TEST_F(OptionsEndToEndTest, ASettingChangedOnTheScreenIsKeptAtTheNextStart)
{
    OpenDevice(800, 600);
    LinkDemoData();
    window->SetProcedure(WndProc);
    ProgramState& program = Program();
    program.running = 1;
    program.windowed = true;
    SoundSystem sound;
    sound.Create(false, 14, 2, 22050, "GameData/Audio");
    Application* application = Application::Instance();
    application->SetSoundSystem(&sound);

    // The start-up: options read (none yet: defaults), the application entered, and the options
    // screen first, as "-options" has it after the opening movie.
    Options* options = Options::Instance();
    options->LoadConfig();
    ASSERT_EQ(options->GetOption(Options::Difficulty), 1);
    OptionsScreen* screen = OptionsScreen::Instance();
    application->Enter();
    application->SetState(screen);
    Turn();
    ASSERT_EQ(application->GetState(), screen);

    // Difficulty Medium -> Hard with a left click; the music volume down with a left click on
    // the sound page; "Reload Weapon" bound to R on the key page.
    PushClick(screen->GetOptionTextLabel(Options::Difficulty));
    EXPECT_EQ(options->GetOption(Options::Difficulty), 2);
    PushClick(screen->GetButton(OptionsScreen::SoundButton));
    ASSERT_EQ(screen->GetPage(), OptionsScreen::SoundPage);
    PushClick(screen->GetOptionTextLabel(Options::MusicVolume));
    EXPECT_EQ(options->GetOption(Options::MusicVolume), 90);
    PushClick(screen->GetButton(OptionsScreen::ControlsButton));
    PushClick(screen->GetHeadingLabel(1));
    PushClick(screen->GetActionLabel(13));
    ASSERT_EQ(screen->GetCapturedAction(), 13);
    PushKey(SDL_SCANCODE_R);
    EXPECT_EQ(options->GetKeyForAction(13), 'R');

    // Escape leaves for the main menu, which saves; then the program shuts down.
    PushKey(SDL_SCANCODE_ESCAPE);
    EXPECT_EQ(application->GetState(), MainMenu::Instance());
    application->Leave();
    DestroySingletons();
    program.running = 0;

    const std::string saved = programrun::ReadFile(folder / "Bexal.cfg");
    ASSERT_EQ(saved.size(), 193u);
    EXPECT_EQ(saved[4], 2);
    EXPECT_EQ(saved[4 + 22 * 4], 90);
    EXPECT_NE(programrun::ReadFile(folder / "keys.cfg").find("\nReload Weapon; 82\n"), std::string::npos);

    // The next start: the real program reads the files, shows the options screen after the movie,
    // and writes what it holds when it is closed there.
    // keys.cfg cut to its one changed line: written back whole, it shows the program saved.
    WriteText((folder / "keys.cfg").string(), "Reload Weapon; 82\n");
    std::filesystem::remove(folder / "q3D.log");
    programrun::ProgramRun run(folder, {"-win", "-nosound", "-options"});
    const bool running = run.WaitForLog(programrun::framesRunning);
    run.Signal(SIGTERM);
    const programrun::RunResult result = run.Finish();
    EXPECT_TRUE(running) << result.log << result.errorOutput;
    EXPECT_EQ(result.status, 0) << result.log << result.errorOutput;
    EXPECT_EQ(result.log.find("Bexal.cfg could not be loaded"), std::string::npos) << result.log;
    const std::string again = programrun::ReadFile(folder / "Bexal.cfg");
    ASSERT_EQ(again.size(), 193u);
    EXPECT_EQ(again[4], 2);
    EXPECT_EQ(again[4 + 22 * 4], 90);
    const std::string keys = programrun::ReadFile(folder / "keys.cfg");
    EXPECT_EQ(keys.rfind("// This is the key config file for the game.\n", 0), 0u) << keys;
    EXPECT_NE(keys.find("\nReload Weapon; 82\n"), std::string::npos) << keys;
    EXPECT_NE(keys.find("\nCommand: Attack Target; -1\n"), std::string::npos) << keys;
}

// Started with "-options", the program shows the screen after the movie and ends when the player
// leaves it, with the options written; it does not go on to a main menu it was not asked for.
TEST(OptionsStartTest, LeavingTheScreenTheCommandLineOpenedEndsTheProgram)
{
    const std::filesystem::path previous = std::filesystem::current_path();
    programrun::RunFolder folder(true);
    std::filesystem::current_path(folder.path);
    ASSERT_EQ(StartProgram("-win -nosound -options"), ProgramStarted) << programrun::ReadFile("q3D.log");
    Application* application = Application::Instance();
    platform::os::Window* window = Program().window;
    const auto turn = [&] {
        platform::os::Message message;
        while (platform::os::TakeMessage(message))
            platform::os::DispatchMessage(message);
        if (!application->GetQuitFlag()) {
            application->Update();
            application->Draw();
        }
    };
    const auto press = [&](SDL_Scancode scancode) {
        QueueKeyPress(window, scancode);
        turn();
    };
    turn();
    press(SDL_SCANCODE_SPACE); // the movie gives way to a key
    ASSERT_EQ(application->GetState(), OptionsScreen::Instance());
    press(SDL_SCANCODE_ESCAPE);
    EXPECT_TRUE(application->GetQuitFlag());
    EXPECT_EQ(application->GetState(), nullptr);
    EXPECT_EQ(programrun::ReadFile("Bexal.cfg").size(), 193u);
    EXPECT_EQ(ShutDownProgram(0), 0);
    std::filesystem::current_path(previous);
}
