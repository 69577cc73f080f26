#pragma once

#include "app/framework/DeviceLog.h"
#include "app/framework/GameState.h"
#include "app/framework/PlayerSlot.h"
#include "platform/os/File.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class Device;
class SoundSystem;
class InputSystem;
class Sound2D;
class SoundStream;
class BitmapFont;
class Sprite;
class Widget;

// The one object through which every screen reaches the shared machinery: it owns the current
// screen and switches screens, turns the per-frame input poll into screen events, times the
// frame, draws the frame around the current screen, keeps the notices, chat lines and centre
// message, the click sound, the music stream, the multiplayer log and the 32 player slots, and
// carries the exit message and the quit flag that end the program.
// It owns the eight shared fonts, the cursor and the tooltip backdrop, and draws the registered
// widgets, overlay images, tooltip, notices, chat lines, centre message and cursor each frame.
class Application : public GameState {
public:
    static constexpr int ExitMessageSize = 2048;
    static constexpr int TextSize = 2048;  // notices, chat lines, centre message
    static constexpr int PlayerSlotCount = 32;
    static constexpr int FontCount = 8;

    enum Font { Arial, Army, Digital, Courier, Tooltip, CourierBold, ArialSmall, CourierMedium };

    // The state kinds saved in games.
    enum StateKind { WaypointSelectionKind = 0, CampaignKind = 1, MissionKind = 2, NoKind = 3 };

    struct Notice {
        std::string text;   // at most 2047 characters
        std::int32_t time;  // ms left; -1 = this frame only
        std::int32_t y = 0; // where it was last drawn
    };

    // An image drawn over every screen; the Application owns its sprite.
    struct Overlay {
        std::unique_ptr<Sprite> sprite;
        bool visible = true;
        bool keepFilter = true;  // false: drawn with point filtering
    };

    struct ChatLine {
        std::string text;
        std::int32_t time;
        std::int32_t y = 0;
        float red, green, blue;
    };

    static Application* Instance();
    ~Application() override;

    int Enter() override;
    int Leave() override;
    void Update() override;
    void Draw() override;
    void KeyDown(int code) override;
    void KeyUp(int code) override;
    void MouseDown(int button, int x, int y, bool doubleClick) override {}
    void MouseUp(int button, int x, int y, float secondsSincePress) override {}
    void MouseMove(int x, int y) override;
    void MouseDoubleClick(int button, int x, int y) override;
    void MouseWheel(bool down, int x, int y) override;

    // Called by the window procedure (no input system) and by the per-frame input poll.
    void MouseDown(int button, int x, int y);
    void MouseUp(int button, int x, int y);

    // Leaves the current screen and enters next; returns what Enter returned (for a null next:
    // what the old screen's Leave returned). A q3DError from either ends the program with its
    // text.
    int SetState(GameState* next);
    GameState* GetState() const { return currentState; }
    GameState* GetPreviousState() const { return previousState; }
    int GetStateKind() const { return stateKind; }
    // The state kind as 4 bytes of a saved game; Load is false when they are not there.
    bool SaveStateKind(std::FILE* file) const;
    bool LoadStateKind(std::FILE* file);
    // True while the current screen is one of the menus that say so (the in-game menu, briefing,
    // debriefing, player configuration, biography, options, briefing art, load and save).
    bool IsInMenu() const;

    // What the Application asks of the game above the framework; the program fills these at
    // start-up, and an empty hook answers "no network" (nothing to receive) and "no command line".
    struct Hooks {
        std::function<bool()> isNetworkActive; // a client is connected or a server runs
        std::function<void()> pumpNetwork;     // the network's receive loops, once per frame
        std::function<int()> commandLineTop;   // the top of the typed command line, or -1
    };
    void SetHooks(Hooks newHooks) { hooks = std::move(newHooks); }

    // Ends the program at the end of this turn of the main loop. A message replaces the exit
    // message and makes the end an error exit; null (an ordinary quit) empties it unless it was
    // fixed by SetExitMessage.
    void Quit(const char* message);
    // A Quit with a message (a screen's q3DError among them) happened: the program's exit
    // status is then non-zero.
    bool EndsOnError() const { return endsOnError; }
    void SetExitMessage(const char* format, ...) __attribute__((format(printf, 2, 3)));
    const char* GetExitMessage() const { return exitMessage; }
    bool GetQuitFlag() const { return quit; }
    // Ends the program without touching the exit message or the screens.
    void SetQuitFlag() { quit = true; }

    // On-screen notices (appended, oldest first), chat lines (newest first) and the centre message.
    void ShowMessage(int ms, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void ShowMessageText(int ms, const char* text);
    void ShowCenterMessage(float red, float green, float blue, const char* text, int ms);
    void ClearCenterMessage();
    void AddChatLine(float red, float green, float blue, const char* text);
    void ClearMessages() { notices.clear(); }
    void ClearChatLines() { chatLines.clear(); }
    const std::list<Notice>& GetNotices() const { return notices; }
    const std::list<ChatLine>& GetChatLines() const { return chatLines; }
    const char* GetCenterMessage() const { return centerText.c_str(); }
    int GetCenterMessageTime() const { return centerTime; }

    // Widgets registered for hover, tooltip and click sound (not owned; the newest first).
    void AddWidget(Widget* widget);
    void RemoveWidget(Widget* widget);
    // The n-th (from 0) visible registered widget whose hit test takes (x, y), or null.
    Widget* FindWidgetAt(int x, int y, int n);
    Widget* GetHoverWidget() const { return hoverWidget; }
    void GetTooltipPosition(int* x, int* y) const;

    // Loads the image into a new overlay at the head of the list (throws the sprite's q3DError).
    Overlay* AddOverlayImage(const char* path);
    void RemoveOverlayImage(Overlay* overlay);

    // Cuts the text into lines of the render target's width in the courier font, draws them from
    // y down when draw is set, and returns their total height (0 for an empty text or no font).
    int DrawWrappedText(const std::string& text, int y, bool draw);

    // The eight fonts, the cursor, the "camalphafade" effect and the tooltip backdrop; Unload
    // frees them before the device is made again and at shut-down.
    void LoadResources();
    void UnloadResources();
    Sprite* GetCursorSprite() const { return cursor.get(); }

    // The cursor in client coordinates.
    void GetCursorPos(int* x, int* y) const;

    // The engine log goes to the device's log while one is set.
    void SetDevice(Device* newDevice);
    Device* GetDevice() const { return device; }
    void SetSoundSystem(SoundSystem* system) { soundSystem = system; }
    SoundSystem* GetSoundSystem() const { return soundSystem; }
    void SetInputSystem(InputSystem* system, int joystick, int joystickButtons);
    InputSystem* GetInputSystem() const { return inputSystem; }
    int GetJoystickIndex() const { return joystickIndex; }
    int GetJoystickButtonCount() const { return joystickButtonCount; }
    // Non-zero while the key, mouse button (VK_LBUTTON, VK_RBUTTON, VK_CANCEL, VK_MBUTTON are
    // buttons 0-3) or joystick code (256 and up) is held.
    int GetKeyState(int code) const;

    // Null until the bitmap fonts exist.
    BitmapFont* GetFont(int font) const { return font >= 0 && font < FontCount ? fonts[font].get() : nullptr; }
    // The last frame's duration in seconds.
    float GetFrameTime() const { return frameTime; }
    // Where set, frames take their duration (seconds) from this clock instead of the device's, so
    // that a test steps the game at a fixed rate; an empty clock goes back to the device.
    void SetFrameClock(std::function<float()> clock) { frameClock = std::move(clock); }

    int PlayMusic(const char* path);
    void StopMusic();
    void SetMusicLooping(bool looping);
    void SetMusicVolume(float volume);
    float GetMusicVolume() const { return musicVolume; }

    // Saves the back buffer as "Screenshots/bexal-%d.tga". Returns 1 when saved; otherwise a
    // notice says why and the number is kept for the next try.
    int TakeScreenshot();

    // The multiplayer log: the first of "multiplayer0.log".."multiplayer9.log" that is missing or
    // empty, or, with all ten in use, the oldest dropped and the rest moved down one.
    void OpenMultiplayerLog();
    void WriteMultiplayerLog(bool timeStamp, const char* text);
    void CloseMultiplayerLog() { multiplayerLog.reset(); }
    bool IsMultiplayerLogOpen() const { return multiplayerLog != nullptr; }

    // "Bexal Player" for a slot out of range, unassigned or without a name.
    const char* GetPlayerName(int slot) const;
    PlayerSlot* GetPlayerSlot(int slot) { return slot >= 0 && slot < PlayerSlotCount ? &playerSlots[slot] : nullptr; }
    void ClearPlayerSlot(int slot);
    bool ClearPlayerSlotByAddress(const PlayerId& id);
    bool IsPlayerSlotInUse(int slot) const;

    void SetWindowed(bool value) { windowed = value; }
    bool IsWindowed() const { return windowed; }
    void SetScreenWidth(int width) { screenWidth = width; }
    void SetScreenHeight(int height) { screenHeight = height; }
    int GetScreenWidth() const { return screenWidth; }
    int GetScreenHeight() const { return screenHeight; }
    // The full-screen size the command line asked for ("-w", "-h"); 0 x 0 when it asked none, and
    // then the options' resolution is used.
    void SetCommandLineScreenSize(int width, int height) { commandLineWidth = width, commandLineHeight = height; }
    int GetCommandLineScreenWidth() const { return commandLineWidth; }
    int GetCommandLineScreenHeight() const { return commandLineHeight; }
    void SetQuitOnLeave(bool value) { quitOnLeave = value; }
    bool GetQuitOnLeave() const { return quitOnLeave; }
    void SetCursorVisible(bool visible) { cursorVisible = visible; }
    bool IsCursorVisible() const { return cursorVisible; }

private:
    Application();

    void PollInput();
    void DrawWidgetsAndOverlays(int cursorX, int cursorY);
    void DrawTooltip(int cursorX, int cursorY);
    void DrawNotices(int frameMs);
    void DrawChatLines(int frameMs);
    void DrawCenterMessage(int frameMs);

    bool cursorVisible = true;
    bool windowed = false;
    int screenWidth = -1;
    int screenHeight = -1;
    int commandLineWidth = 0;
    int commandLineHeight = 0;
    bool quitOnLeave = false;
    PlayerSlot playerSlots[PlayerSlotCount];
    int stateKind = NoKind;
    std::list<Notice> notices;
    std::list<ChatLine> chatLines;
    std::string centerText;
    int centerTime = 0;  // 0 none, -1 until replaced
    float centerRed = 1.0f, centerGreen = 1.0f, centerBlue = 1.0f;
    Device* device = nullptr;
    std::unique_ptr<DeviceLog> deviceLog;
    SoundSystem* soundSystem = nullptr;
    InputSystem* inputSystem = nullptr;
    int joystickIndex = -1;
    int joystickButtonCount = 0;
    int mouseButtonCount = 0;
    std::vector<std::uint8_t> joystickButtons;
    std::vector<std::uint8_t> mouseButtons;
    int wheelTotal = 0;
    GameState* currentState = nullptr;
    GameState* previousState = nullptr;
    std::unique_ptr<BitmapFont> fonts[FontCount];
    std::list<Widget*> widgets;
    std::list<std::unique_ptr<Overlay>> overlays;
    float frameTime = 0.0f;
    std::function<float()> frameClock;
    bool quit = false;
    std::unique_ptr<Sprite> cursor;
    std::unique_ptr<SoundStream> music;
    float musicVolume = 1.0f;
    std::unique_ptr<Sound2D> clickSound;
    float tooltipTimer = 0.0f;
    Widget* hoverWidget = nullptr;
    int tooltipX = -1, tooltipY = -1;
    std::unique_ptr<Sprite> tooltipBackdrop;
    platform::os::FileHandle multiplayerLog;
    char exitMessage[ExitMessageSize] = {};
    bool exitMessageFixed = false;
    bool endsOnError = false;
    float pressTimer = 0.0f;
    bool doubleClick = false;
    int lastPressX = -1, lastPressY = -1;
    // The next screenshot number; 0 means the folder is probed for the first free one.
    int screenshotCounter = 0;
    bool effectRegistered = false;
    // Set while a screen's error is ending the program.
    bool handlingError = false;
    Hooks hooks;
};
