#pragma once

#include <cstdint>
#include <memory>

class Device;
class SoundSystem;
class InputSystem;
class GameNetwork;

namespace platform::os {
class Window;
}
namespace platform::net {
class MasterClient;
}

// The program-wide state of the entry, one of each.
struct ProgramState {
    static constexpr int ExitMessageSize = 256;
    static constexpr int NameSize = 256;

    ProgramState();
    ~ProgramState();

    // The one device, owned by the renderer library.
    Device* device = nullptr;
    // The game window: the program's own in windowed mode, the device's in full screen.
    platform::os::Window* window = nullptr;
    std::unique_ptr<platform::os::Window> ownWindow;
    bool windowed = false;
    // 1 from just before the main loop until shut-down begins: activation changes count and
    // frames run only then.
    int running = 0;
    // The window lost activation: the main loop waits for messages and runs no frames.
    bool inactive = false;
    std::int16_t wheelAccumulator = 0;
    // Shown when the program ends (ShowExitMessage).
    char exitMessage[ExitMessageSize] = {};
    // From "-campaign" and "-map", for the menus and the in-game state.
    char campaignName[NameSize] = {};
    char mapName[NameSize] = {};
    std::unique_ptr<SoundSystem> soundSystem;
    std::unique_ptr<InputSystem> inputSystem;  // null with "-nodinput" or when it cannot start
    std::unique_ptr<platform::net::MasterClient> masterClient;
    // The game's network client and server: made before the command line is read, ended after
    // everything else at exit.
    std::unique_ptr<GameNetwork> network;
};

ProgramState& Program();

// The program: start-up, main loop and shut-down. Returns the exit status: 0 after an ordinary
// quit, 1 after an error exit (the exit message says why).
int WinMain(const char* commandLine);

// WinMain in its parts, for a caller that runs the frames itself: the start-up answers
// ProgramStarted once the first screen is chosen (else the exit status), and the shut-down
// after the last frame answers the exit status.
inline constexpr int ProgramStarted = -1;
int StartProgram(const char* commandLine);
int ShutDownProgram(int status);

// The main loop: one window message, or else a frame of the Application, until the quit flag or
// the quit message. A q3DError from a screen ends it as an error exit with the error's text.
void RunMainLoop(ProgramState& program);

// The game window's procedure: key, mouse and activation messages to the Application.
long WndProc(platform::os::Window* window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

// The shared clean-up of the normal and the failing shut-down: input, sound, device, library
// and window, in that order.
void Cleanup();

// At process exit: shows the exit message, when there is one.
void ShowExitMessage();
