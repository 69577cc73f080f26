#include "app/program/Program.h"

#include "app/framework/Application.h"
#include "app/framework/Options.h"
#include "app/framework/Singletons.h"
#include "app/options/OptionsScreen.h"
#include "app/program/GameWiring.h"
#include "app/program/InputStartup.h"
#include "app/program/ProgramArguments.h"
#include "engine/binding/RendererBinding.h"
#include "engine/core/EngineLog.h"
#include "engine/core/FormatText.h"
#include "engine/core/RandomMT.h"
#include "engine/core/q3DError.h"
#include "engine/filesystem/PackFile.h"
#include "media/InputSystem.h"
#include "media/SoundSystem.h"
#include "menus/Briefing.h"
#include "menus/HostGame.h"
#include "menus/LoadGame.h"
#include "menus/MainMenu.h"
#include "menus/PathEditor.h"
#include "menus/ShowMovieState.h"
#include "menus/WaitingForHost.h"
#include "mission/input/CommandLine.h"
#include "mission/MissionState.h"
#include "multiplayer/GameNetwork.h"
#include "multiplayer/ProfanityFilter.h"
#include "multiplayer/RemoteProcedures.h"
#include "platform/net/MasterClient.h"
#include "platform/net/NetClock.h"
#include "platform/os/Cursor.h"
#include "platform/os/MessageBox.h"
#include "platform/os/Messages.h"
#include "platform/os/Path.h"
#include "platform/os/Window.h"
#include "renderer/Device.h"
#include "world/props/PropClasses.h"
#include "world/World.h"

#include <cfenv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

using platform::os::Window;

namespace {

constexpr int ExitOk = 0;
constexpr int ExitError = 1;

constexpr const char* graphicsRuntimeAddress = "https://www.mesa3d.org/";
constexpr const char* soundErrorText = "Error: SoundSystem Error - check sound.log";
constexpr const char* serverFailedText = "Failed to start the server from the command line.";

// Copies as much of the text as the field holds.
template <std::size_t N>
void CopyText(char (&field)[N], const char* text)
{
    std::size_t length = text ? std::strlen(text) : 0;
    if (length > N - 1)
        length = N - 1;
    std::memmove(field, text ? text : "", length);
    field[length] = '\0';
}

// The game's network, made before the command line is read: the switches set its password and
// ports. The layer's own reports go to the engine log.
void MakeNetwork(ProgramState& program)
{
    platform::net::PeerConfig config;
    config.log = [](const std::string& text) { LogToEngine("Network: %s", text.c_str()); };
    program.network = std::make_unique<GameNetwork>(config);
}

// Ends the network last: the mission, if it still lives, forgets it first.
void EndNetwork(ProgramState& program)
{
    if (!program.network)
        return;
    if (MissionState::Instance()->GetNetwork() == program.network.get())
        MissionState::Instance()->SetNetwork(nullptr);
    program.network.reset();
}

// The error exit of the start-up: the text goes to the log and becomes the exit message.
int ErrorExit(const char* text)
{
    ProgramState& program = Program();
    char message[ProgramState::ExitMessageSize];
    CopyText(message, text);
    if (program.device)
        program.device->Log("%s", text ? text : "");
    Cleanup();
    program.masterClient.reset();
    EndNetwork(program);
    CopyText(program.exitMessage, message);
    return ExitError;
}

// Opens the configured 3D sound provider, or else the first "Fast 2D" one. False when neither opens.
bool OpenSoundProvider(SoundSystem& sound, Options& options, Device& device)
{
    if (sound.Open3DProvider(options.GetOption(Options::SoundProvider), 64) != -1)
        return true;
    for (int provider = 0; provider < sound.GetProviderCount(); ++provider) {
        const char* name = nullptr;
        if (sound.Get3DProviderAttribute(provider, "Name", &name) != 0 || !name || !std::strstr(name, "Fast 2D"))
            continue;
        if (sound.Open3DProvider(provider, 64) == -1)
            return false;
        options.SetOption(Options::SoundProvider, provider);
        device.Log("Warning: Could not set sound provider in CFG file, falling back to Fast 2D provider");
        return true;
    }
    return false;
}

// The first screen. False when the command line asked for a connection or a server that failed:
// the program then ends without running the main loop.
bool ChooseFirstScreen(const ProgramArguments& arguments, ProgramState& program)
{
    Application* application = Application::Instance();
    MissionState* mission = MissionState::Instance();
    if (arguments.pathEdit) {
        CopyText(mission->session.missionFile, program.mapName);
        application->SetState(PathEditor::Instance());
        mission->BeginLevel();
        return true;
    }
    mission->returnToMainMenu = [] { Application::Instance()->SetState(MainMenu::Instance()); };
    mission->session.missionFlags[0] = mission->session.missionFlags[1] = false;
    CopyText(mission->session.missionFile, program.mapName);
    CopyText(mission->session.commandLineMap, program.mapName);

    if (arguments.connect && !arguments.startServer) {
        mission->ConnectToServer();
        if (!program.network->IsClientConnected()) {
            program.device->Log("Connection to %s failed from the command line.", mission->session.serverAddress);
            return false;
        }
        application->SetState(WaitingForHost::Instance());
    } else if (arguments.startServer) {
        mission->StartServer();
        if (!program.network->IsServerActive()) {
            program.device->Log("%s", serverFailedText);
            application->SetExitMessage("%s", serverFailedText);
            return false;
        }
        application->SetState(HostGame::Instance());
    } else if (arguments.skipMenu) {
        if (strcasecmp(platform::os::SplitPath(mission->session.missionFile).ext.c_str(), ".mis") == 0)
            application->SetState(Briefing::Instance());
        else {
            mission->BeginLevel();
            if (mission->IsLevelLoaded())
                application->SetState(mission);
        }
    } else if (program.campaignName[0]) {
        MainMenu::Instance()->KeyDown(13);
    } else {
        ShowMovieState* movie = ShowMovieState::Instance();
        CopyText(movie->moviePath, "Movies/opening.avi");
        movie->nextState = MainMenu::Instance();
        if (arguments.loadSave)
            movie->nextState = LoadGame::Instance();
        else if (arguments.showOptions)
            movie->nextState = OptionsScreen::Instance();
        application->SetState(movie);
    }
    return true;
}

} // namespace

void RunMainLoop(ProgramState& program)
{
    using namespace platform::os;
    Application* application = Application::Instance();
    while (!application->GetQuitFlag()) {
        Message message;
        bool taken = true;
        if (program.inactive)
            WaitMessage(message);
        else
            taken = TakeMessage(message);
        try {
            if (taken) {
                if (message.message == WM_QUIT)
                    break;
                DispatchMessage(message);
            } else if (program.running == 1) {
                application->Update();
                application->Draw();
            }
        } catch (const q3DError& error) {
            // An engine error during play ends the program as an error exit with its text.
            if (program.device)
                program.device->Log("%s", error.GetText());
            application->Quit(error.GetText());
        }
    }
}

// The shut-down after the main loop (or straight after a failed first screen).
int ShutDownProgram(int status)
{
    ProgramState& program = Program();
    Application* application = Application::Instance();
    // A screen that failed (or quit with a message) ends the program as an error exit.
    if (application->EndsOnError())
        status = ExitError;
    CopyText(program.exitMessage, application->GetExitMessage());
    application->Leave();
    DestroySingletons();
    program.running = 0;
    Cleanup();
    program.masterClient.reset();
    // The mission went with the singletons; it holds the network no more.
    program.network.reset();
    return status;
}

void Cleanup()
{
    ProgramState& program = Program();
    ChatLine::ReleaseTexture();
    program.inputSystem.reset();
    program.soundSystem.reset();
    if (program.device)
        program.device->SetMaterial(nullptr);
    UnloadRendererLibrary(&program.device);
    program.ownWindow.reset();
    program.window = nullptr;
}

void ShowExitMessage()
{
    const char* text = Program().exitMessage;
    if (!*text)
        return;
    if (std::strstr(text, "OUTOFVIDEOMEMORY"))
        platform::os::ShowMessageBox(nullptr,
                                     "Error setting video mode.  You must re-run the game and lower the Resolution, "
                                     "Bit Depth or Anti-Aliasing settings on the Options screen in order to run the game.",
                                     "Not enough video ram", platform::os::MB_OK);
    else
        platform::os::ShowMessageBox(nullptr, text, "Message", platform::os::MB_OK);
}

int WinMain(const char* commandLine)
{
    const int status = StartProgram(commandLine);
    if (status != ProgramStarted)
        return status;
    RunMainLoop(Program());
    return ShutDownProgram(ExitOk);
}

int StartProgram(const char* commandLine)
{
    ProgramState& program = Program();

    // Every floating-point exception stays masked (the default here, made sure of).
    std::feclearexcept(FE_ALL_EXCEPT);
    fedisableexcept(FE_ALL_EXCEPT);
    // The shared generator starts from the network's clock; step 14 seeds it again.
    seedMT(platform::net::GetTime());

    try {
        LoadRendererLibrary(kRendererLibraryName, &program.device);
    } catch (const q3DError& error) {
        UnloadRendererLibrary(&program.device);
        char text[q3DError::kTextSize + 256];
        FormatText(text, "Can't load Lumora.DLL, make sure the graphics runtime is installed.  You can find it at %s \nError: %s",
                   graphicsRuntimeAddress, error.GetText());
        platform::os::ShowMessageBox(nullptr, text, "Error", platform::os::MB_OK);
        return ExitError;
    }
    Device* device = program.device;

    std::atexit(ShowExitMessage);

    ProgramArguments arguments;
    ProfanityFilter::Disable();
    MakeNetwork(program);
    ParseProgramArguments(commandLine, arguments);

    Application* application = Application::Instance();
    InstallGameHooks();
    if (arguments.screenWidth != -1)
        application->SetScreenWidth(arguments.screenWidth);
    if (arguments.screenHeight != -1)
        application->SetScreenHeight(arguments.screenHeight);
    if (arguments.screenWidth != -1 || arguments.screenHeight != -1)
        application->SetCommandLineScreenSize(arguments.width, arguments.height);
    if (arguments.quitOnLeave)
        application->SetQuitOnLeave(true);
    if (arguments.listedOnMasterServer)
        HostGame::Instance()->SetListedOnMasterServer(*arguments.listedOnMasterServer);
    if (arguments.profanityFilter)
        ProfanityFilter::Enable();
    if (arguments.passwordGiven) {
        program.network->Client().SetPassword(arguments.password.c_str());
        program.network->Server().SetPassword(arguments.password.c_str());
    }
    if (arguments.port)
        program.network->UsePort(*arguments.port);
    CopyText(program.campaignName, arguments.campaignName);
    CopyText(program.mapName, arguments.mapName);

    int deviceEntry = device->ChooseDefaultDevice();

    program.windowed = arguments.windowed;
    if (program.windowed) {
        std::string error;
        program.ownWindow = Window::Create("Bexal", arguments.width, arguments.height,
                                           platform::os::WindowMode::Windowed, &error);
        if (!program.ownWindow)
            return ErrorExit(error.c_str());
        program.window = program.ownWindow.get();
        program.window->SetProcedure(WndProc);
        if (device->CreateWindowed(program.window, deviceEntry) < 0)
            return ErrorExit(device->GetLastError());
        program.window->Show();
    } else {
        // The menus run at 800 x 600 x 16; a level switches to the configured mode.
        if (device->CreateFullScreen(800, 600, 16, deviceEntry) < 0)
            return ErrorExit(device->GetLastError());
        program.window = device->GetWindow();
        if (!program.window)
            return ErrorExit("The renderer made no window");
        program.window->SetProcedure(WndProc);
    }

    while (platform::os::ShowCursor(false) >= 0) {
    }
    if (!program.windowed)
        program.window->ClipCursor(0, 0, device->GetTargetWidth(), device->GetTargetHeight());

    application->SetDevice(device);

    // The splash, shown once through the loading display.
    device->CreateRenderTargetBitmap(&LoadingBackdrop);
    if (!LoadingBackdrop)
        return ErrorExit(device->GetLastError());
    D3DBitmap* backBuffer = device->GetBackBuffer();
    if (LoadingBackdrop->Load("GameData/Menus/Splash.tga", backBuffer ? backBuffer->GetFormat() : 0, 0) < 0) {
        const char* reason = LoadingBackdrop->GetLastError();
        std::string text = reason ? reason : "";
        LoadingBackdrop->Destroy();
        LoadingBackdrop = nullptr;
        return ErrorExit(text.c_str());
    }
    MissionState::Instance()->SetLoadingProgress(0, "");
    LoadingBackdrop->Destroy();
    LoadingBackdrop = nullptr;

    const unsigned seed = unsigned(device->GetTime());
    std::srand(seed);
    seedMT(seed);
    PackFileSetArchiveExtension(".qa");

    program.soundSystem = std::make_unique<SoundSystem>();
    SoundSystem& sound = *program.soundSystem;
    sound.Create(!arguments.noSound, 14, 2, 22050, ".\\GameData\\Audio");
    sound.Enumerate3DProviders();

    program.masterClient = std::make_unique<platform::net::MasterClient>();
    device->Log("Network: client and server interfaces and the master-server client over %s",
                platform::net::TransportName().c_str());

    int joystick = -1, joystickButtons = 0;
    if (!arguments.noDirectInput) {
        InputStartup input = StartInputSystem(program.window);
        for (const std::string& problem : input.problems)
            device->Log("%s", problem.c_str());
        program.inputSystem = std::move(input.input);
        joystick = input.joystick;
        joystickButtons = input.joystickButtons;
    }

    application->SetSoundSystem(&sound);
    application->SetInputSystem(program.inputSystem.get(), joystick, joystickButtons);
    application->SetWindowed(program.windowed);

    Options* options = Options::Instance();
    options->LoadConfig();
    if (application->GetQuitFlag())
        return ErrorExit(device->GetLastError());

    // A disabled sound system opens no provider; the game then runs silent.
    if (sound.IsEnabled() && !OpenSoundProvider(sound, *options, *device))
        return ErrorExit(soundErrorText);
    sound.SetSpeakerType(options->GetOption(Options::SpeakerConfiguration));

    try {
        RegisterRemoteProcedures();
        World::SetSwayProxFactory(SwayProxPropFactory);
        MissionState* mission = MissionState::Instance();
        mission->session.connect = arguments.connect;
        mission->session.server = arguments.startServer;
        mission->session.cheats = arguments.cheats;
        mission->roster.squad = arguments.squad;
        mission->session.sessionFlags[0] = mission->session.sessionFlags[1] = false;
        CopyText(mission->session.serverAddress, arguments.startServer && arguments.connect ? "127.0.0.1" : arguments.connectAddress);
        mission->session.maxPlayers = arguments.startServer ? std::uint16_t(arguments.serverPlayerLimit) : 0xFFFF;
        const int copied[4] = {Options::Difficulty, Options::DamageRealism, Options::ShowNamesOverHeads,
                               Options::ShowFiringEnemyDirection};
        for (int i = 0; i < 4; ++i)
            mission->session.optionCopies[i] = options->GetOption(copied[i]);
        mission->FillServerSettingsFromOptions(&arguments.settings);
        mission->ResetPlayers();
        mission->SetNetwork(program.network.get());
        program.network->Server().SetServerSettings(&arguments.settings);
        if (arguments.nameGiven)
            options->SetPlayerName(arguments.playerName, true);
    } catch (const q3DError& error) {
        return ErrorExit(error.GetText());
    }

    CopyText(HostGame::Instance()->serverName, arguments.serverName);

    bool started = false;
    try {
        CommandLine::Instance().CreateBackground();
        application->Enter();
        started = ChooseFirstScreen(arguments, program);
    } catch (const q3DError& error) {
        return ErrorExit(error.GetText());
    }
    if (!started)
        return ShutDownProgram(ExitError);

    program.running = 1;
    return ProgramStarted;
}
