#include "app/framework/Application.h"

#include "app/framework/CamAlphaFadeEffect.h"
#include "app/framework/Options.h"
#include "app/framework/Singletons.h"
#include "app/framework/TextWrap.h"
#include "app/framework/Widget.h"
#include "engine/core/FormatText.h"
#include "engine/core/q3DError.h"
#include "engine/font/BitmapFont.h"
#include "engine/sprite/Sprite.h"
#include "media/InputSystem.h"
#include "media/Sound2D.h"
#include "media/SoundStream.h"
#include "platform/os/Keyboard.h"
#include "platform/os/Path.h"
#include "platform/os/VirtualKeys.h"
#include "platform/os/Window.h"
#include "renderer/Device.h"

#include <sched.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>

using namespace platform::os;

namespace {

constexpr const char* clickSoundPath = "Sound/clicksound.wav";
constexpr const char* cursorPath = "GameData/Cursors/arrow.tga";
constexpr const char* arialLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789!#@$%&/()=+-'\",.;:<>_?^*{}|`~";
constexpr const char* armyLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789!#@$%&/()=+-'\",.;:<>_?";
constexpr const char* courierLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789!#@$%&/()=+-'\",.;:<>_?[]\\^*{}|`~";
constexpr const char* defaultPlayerName = "Bexal Player";
constexpr const char* screenshotFolder = "Screenshots";
constexpr int MaxFormatLength = 1792;
constexpr int MaxTextLength = Application::TextSize - 1;
constexpr int JoystickLow = 32760;
constexpr int JoystickHigh = 32776;
constexpr int MaxMouseButtons = 4;
constexpr int MultiplayerLogCount = 10;

Application* application = nullptr;

std::string CutText(const char* text)
{
    return std::string(text, strnlen(text, MaxTextLength));
}

std::string MultiplayerLogName(int number)
{
    return "multiplayer" + std::to_string(number) + ".log";
}

// The path of a file about to be made or changed, resolved without regard to case.
std::string WritePath(const std::string& name)
{
    return platform::os::ResolvePathForWrite(name).value_or(name);
}

bool FileInUse(const std::string& name)
{
    const std::optional<std::string> path = platform::os::ResolvePath(name);
    struct stat info;
    return path && ::stat(path->c_str(), &info) == 0 && info.st_size > 0;
}

} // namespace

Application* Application::Instance()
{
    if (!application) {
        application = new Application();
        AddSingleton([] {
            Application* object = application;
            application = nullptr;
            delete object;
        });
    }
    return application;
}

void EnsureApplication()
{
    Application::Instance();
}

Application::Application() = default;

void Application::SetDevice(Device* newDevice)
{
    if (newDevice == device)
        return;
    deviceLog.reset();
    device = newDevice;
    if (device)
        deviceLog = std::make_unique<DeviceLog>(*device);
}

Application::~Application()
{
    // The master-server client is cleaned up here once the network code has one.
    music.reset();
    clickSound.reset();
    notices.clear();
    chatLines.clear();
}

int Application::Enter()
{
    if (device)
        LoadResources();
    clickSound = std::make_unique<Sound2D>();
    if (clickSound->Create(soundSystem, clickSoundPath) < 0) {
        clickSound.reset();
        throw q3DError("Can't load %s", clickSoundPath);
    }
    tooltipTimer = 0.0f;
    hoverWidget = nullptr;
    return 0;
}

void Application::LoadResources()
{
    struct FontRecipe {
        const char* path;
        const char* characters;
        int spaceWidth, letterSpacing;
        float uOffset;
        int fixedAdvance, lineHeight, fillSpaces;
    };
    static const std::string courierMediumLetters = std::string(arialLetters) + "[]";
    const FontRecipe recipes[FontCount] = {
        {"GameData/Fonts/arial.tga", arialLetters, 6, -5, 0.0f, -1, -1, 0},
        {"GameData/Fonts/army.tga", armyLetters, 12, 0, 0.001f, -1, -1, 0},
        {"GameData/Fonts/digital.tga", "0123456789:", 12, 0, 0.004f, 26, -1, 0},
        {"GameData/Fonts/courier.tga", courierLetters, 8, -9, 0.0f, -1, 16, 0},
        {"GameData/Fonts/tooltip.tga", armyLetters, 8, 0, 0.0f, -1, 16, 1},
        {"GameData/Fonts/courier_bold.tga", armyLetters, 10, 3, 0.002f, -1, -1, 0},
        {"GameData/Fonts/arialSmall.tga", arialLetters, 8, 0, 0.0f, -1, -1, 0},
        {"GameData/Fonts/courier_medium.tga", courierMediumLetters.c_str(), 8, 3, 0.003f, -1, -1, 0},
    };
    for (int i = 0; i < FontCount; ++i) {
        const FontRecipe& recipe = recipes[i];
        fonts[i] = std::make_unique<BitmapFont>();
        fonts[i]->Load(device, recipe.path, recipe.characters, recipe.spaceWidth, recipe.letterSpacing);
        fonts[i]->uOffset = recipe.uOffset;
        fonts[i]->fixedAdvance = recipe.fixedAdvance;
        if (recipe.lineHeight > 0)
            fonts[i]->lineHeight = recipe.lineHeight;
        fonts[i]->fillSpaces = std::uint8_t(recipe.fillSpaces);
    }
    cursor = std::make_unique<Sprite>();
    cursor->Load(device, cursorPath);
    device->RegisterEffect(&CreateCamAlphaFadeEffect, "camalphafade");
    effectRegistered = true;

    tooltipBackdrop = std::make_unique<Sprite>();
    D3DBitmap* backdrop = device->CreateBitmap(&tooltipBackdrop->material.texture[0]);
    if (!backdrop || backdrop->Create("tooltipBackdrop", 8, 8, FormatR5G6B5, 0) < 0) {
        const std::string reason = backdrop && backdrop->GetLastError() ? backdrop->GetLastError() : "";
        tooltipBackdrop.reset();
        throw q3DError("Error creating the tooltip backdrop: %s", reason.c_str());
    }
    tooltipBackdrop->ownsTexture = true;
    tooltipBackdrop->alpha = 0.63f;
}

void Application::UnloadResources()
{
    tooltipBackdrop.reset();
    if (device && effectRegistered)
        device->UnregisterEffect("camalphafade");
    effectRegistered = false;
    if (device)
        device->SetMaterial(nullptr);
    cursor.reset();
    for (std::unique_ptr<BitmapFont>& font : fonts)
        font.reset();
}

int Application::Leave()
{
    // The current screen is left first, so that a screen that saves on leaving (the options)
    // does so when the program closes under it.
    const int result = SetState(nullptr);
    if (device)
        device->SetMaterial(nullptr);
    clickSound.reset();
    ClearChatLines();
    ClearMessages();
    overlays.clear();
    UnloadResources();
    CloseMultiplayerLog();
    return result;
}

void Application::Update()
{
    if (inputSystem)
        PollInput();
    if (hooks.pumpNetwork)
        hooks.pumpNetwork();
    frameTime = frameClock ? frameClock() : device ? device->GetFrameTime() * 0.001f : 0.0f;
    if (currentState)
        currentState->Update();
    tooltipTimer += frameTime;
    pressTimer += frameTime;
    // Gives the network threads a turn; there is no other waiting and no frame cap.
    if (hooks.isNetworkActive && hooks.isNetworkActive())
        sched_yield();
}

void Application::PollInput()
{
    if (joystickIndex >= 0 && inputSystem->IsActive(joystickIndex)) {
        // Out of the centre band an axis sends its key every frame, never a release.
        const int x = inputSystem->GetJoystickX(joystickIndex);
        const int y = inputSystem->GetJoystickY(joystickIndex);
        if (x >= 0 && x < JoystickLow)
            KeyDown(256);
        else if (x > JoystickHigh)
            KeyDown(257);
        if (y >= 0 && y < JoystickLow)
            KeyDown(258);
        else if (y > JoystickHigh)
            KeyDown(259);
        for (int i = 0; i < int(joystickButtons.size()); ++i) {
            const int state = inputSystem->GetJoystickButtonState(joystickIndex, i);
            if (state < 0)
                continue;
            const std::uint8_t down = state != 0;
            if (down && !joystickButtons[std::size_t(i)])
                KeyDown(262 + i);
            else if (!down && joystickButtons[std::size_t(i)])
                KeyUp(262 + i);
            joystickButtons[std::size_t(i)] = down;
        }
    }

    const int mouse = inputSystem->GetMouseIndex();
    if (mouse < 0 || !inputSystem->IsActive(mouse))
        return;
    int x = 0, y = 0;
    GetCursorPos(&x, &y);
    const int wheel = inputSystem->GetMouseZ(mouse);
    if (wheel != -1) {
        wheelTotal += wheel;
        if (wheelTotal > 119 || wheelTotal < -119) {
            MouseWheel(wheelTotal < 0, x, y);
            wheelTotal = 0;
        }
    }
    for (int i = 0; i < int(mouseButtons.size()); ++i) {
        const int state = inputSystem->GetMouseButtonState(mouse, i);
        if (state < 0)
            continue;
        const std::uint8_t down = state != 0;
        if (down && !mouseButtons[std::size_t(i)])
            MouseDown(i, x, y);
        else if (!down && mouseButtons[std::size_t(i)] && currentState)
            currentState->MouseUp(i, x, y, pressTimer);
        mouseButtons[std::size_t(i)] = down;
    }
}

void Application::Draw()
{
    if (device)
        device->BeginFrame(true, true);
    if (currentState)
        currentState->Draw();
    int cursorX = 0, cursorY = 0;
    GetCursorPos(&cursorX, &cursorY);
    if (cursor) {
        cursor->x = cursorX;
        cursor->y = cursorY;
    }
    DrawWidgetsAndOverlays(cursorX, cursorY);
    DrawTooltip(cursorX, cursorY);
    const int frameMs = device ? device->GetFrameTime() : 0;
    DrawNotices(frameMs);
    DrawChatLines(frameMs);
    DrawCenterMessage(frameMs);
    if (cursor && cursorVisible && device)
        cursor->Draw(device);
    if (device)
        device->EndFrame(true, true);
}

void Application::DrawWidgetsAndOverlays(int cursorX, int cursorY)
{
    if (!device)
        return;
    // A copy, so that a widget's Run may register or remove widgets.
    const std::vector<Widget*> running(widgets.begin(), widgets.end());
    for (Widget* widget : running)
        if (widget->visible)
            widget->Run(device, cursorX, cursorY);
    for (const std::unique_ptr<Overlay>& overlay : overlays) {
        if (!overlay->visible)
            continue;
        if (!overlay->keepFilter)
            device->SetFilter(0, 2);
        overlay->sprite->Draw(device);
        if (!overlay->keepFilter)
            device->SetFilter(1, 2);
    }
}

void Application::DrawTooltip(int cursorX, int cursorY)
{
    BitmapFont* font = fonts[Tooltip].get();
    if (!device || !font || tooltipTimer <= 0.5f)
        return;
    Widget* widget = FindWidgetAt(cursorX, cursorY, 0);
    if (!widget || !widget->tooltip[0] || widget != hoverWidget || !widget->visible)
        return;
    const int lines = 1 + int(std::count(widget->tooltip, widget->tooltip + std::strlen(widget->tooltip), '\n'));
    const int height = font->GetLineHeight() * lines + 2;
    const int width = font->GetTextWidth(widget->tooltip);
    if (tooltipX == -1 && tooltipY == -1) {
        // Placed once per hover, kept inside the render target.
        tooltipX = cursorX;
        tooltipY = cursorY + 16;
        const int targetWidth = device->GetTargetWidth(), targetHeight = device->GetTargetHeight();
        if (tooltipX + width > targetWidth - 2)
            tooltipX = targetWidth - 2 - width;
        if (tooltipY + height > targetHeight - 2)
            tooltipY = cursorY - height - 2;
    }
    if (tooltipBackdrop) {
        tooltipBackdrop->x = tooltipX - 1;
        tooltipBackdrop->y = tooltipY - 1;
        tooltipBackdrop->width = width + 3;
        tooltipBackdrop->height = height;
        tooltipBackdrop->Draw(device);
    }
    font->DrawText(device, tooltipX, tooltipY, 1.0f, widget->tooltip);
}

void Application::GetTooltipPosition(int* x, int* y) const
{
    if (x)
        *x = tooltipX;
    if (y)
        *y = tooltipY;
}

int Application::DrawWrappedText(const std::string& text, int y, bool draw)
{
    BitmapFont* font = fonts[Courier].get();
    if (text.empty() || !font || !device)
        return 0;
    const std::vector<std::string> lines = WrapText(text, device->GetTargetWidth(), [font](std::string_view line) {
        return font->GetTextWidth(std::string(line).c_str());
    });
    int offset = 0;
    for (const std::string& line : lines) {
        if (draw)
            font->DrawText(device, 0, y + offset, 1.0f, line.c_str());
        offset += font->GetLineHeight() - 4;
    }
    return offset;
}

void Application::DrawNotices(int frameMs)
{
    BitmapFont* font = fonts[Courier].get();
    int runningY = 0;
    for (auto notice = notices.begin(); notice != notices.end();) {
        if (notice->time == -1) {
            // Shown for this one frame.
            if (font && device)
                font->DrawText(device, 0, runningY, 1.0f, notice->text.c_str());
            runningY += 20;
            notice = notices.erase(notice);
            continue;
        }
        notice->time -= frameMs;
        if (notice->time < 0) {
            notice = notices.erase(notice);
            continue;
        }
        // Notices slide up 4 pixels a frame into the room that expired ones above them left.
        int y = runningY;
        if (notice->y > 0 && runningY == 0)
            y = std::max(notice->y - 4, 0);
        if (font)
            font->alpha = notice->time < 100 ? float(notice->time) * 0.01f : 1.0f;
        const int height = DrawWrappedText(notice->text, y, true);
        if (font)
            font->alpha = 1.0f;
        notice->y = y;
        runningY = y + height;
        ++notice;
    }
}

void Application::DrawChatLines(int frameMs)
{
    if (chatLines.empty())
        return;
    BitmapFont* font = fonts[Courier].get();
    if (!font || !device) {
        // Nothing to draw with: the lines still age.
        for (auto line = chatLines.begin(); line != chatLines.end();) {
            if (line->time < 1) {
                line = chatLines.erase(line);
                continue;
            }
            line->time -= frameMs;
            ++line;
        }
        return;
    }
    const int commandLineTop = hooks.commandLineTop ? hooks.commandLineTop() : -1;
    const int bottom = commandLineTop >= 0 ? commandLineTop : device->GetTargetHeight() - font->GetLineHeight();
    int total = 0;
    for (const ChatLine& line : chatLines)
        total += DrawWrappedText(line.text, 0, false) + 4;
    const int limit = Options::Instance()->GetOption(Options::ChatLines) * 15 + 15;
    while (total > limit && !chatLines.empty()) {
        // The oldest line is at the tail.
        total -= DrawWrappedText(chatLines.back().text, 0, false) + 4;
        chatLines.pop_back();
    }
    int y = bottom - total;
    for (auto line = chatLines.end(); line != chatLines.begin();) {
        --line;
        if (line->time < 1) {
            line = chatLines.erase(line);
            continue;
        }
        font->red = line->red;
        font->green = line->green;
        font->blue = line->blue;
        font->alpha = line->time < 200 ? float(line->time) * 0.005f : 1.0f;
        line->y = y;
        y += DrawWrappedText(line->text, y, true) + 4;
        line->time -= frameMs;
    }
    font->red = font->green = font->blue = 1.0f;
    font->alpha = 1.0f;
}

void Application::DrawCenterMessage(int frameMs)
{
    if (centerTime == 0 || (centerTime < 0 && centerTime != -1))
        return;
    if (BitmapFont* font = fonts[Arial].get(); font && device) {
        font->alpha = centerTime == -1 || centerTime > 400 ? 1.0f : float(centerTime) * 0.0025f;
        font->red = centerRed;
        font->green = centerGreen;
        font->blue = centerBlue;
        const int x = (device->GetTargetWidth() - font->GetTextWidth(centerText.c_str())) / 2;
        const int y = (device->GetTargetHeight() - font->GetLineHeight()) / 2;
        font->DrawText(device, x, y, 1.0f, centerText.c_str());
        font->red = font->green = font->blue = font->alpha = 1.0f;
    }
    if (centerTime == -1)
        return;
    centerTime -= frameMs;
    if (centerTime < 0)
        centerTime = 0;
}

void Application::KeyDown(int code)
{
    if (currentState)
        currentState->KeyDown(code);
}

void Application::KeyUp(int code)
{
    if (currentState)
        currentState->KeyUp(code);
    if (code == VK_F12)
        TakeScreenshot();
}

void Application::MouseMove(int x, int y)
{
    if (currentState)
        currentState->MouseMove(x, y);
    Widget* widget = FindWidgetAt(x, y, 0);
    if (widget != hoverWidget) {
        tooltipTimer = 0.0f;
        hoverWidget = widget;
        tooltipX = tooltipY = -1;
    }
}

void Application::AddWidget(Widget* widget)
{
    if (widget)
        widgets.push_front(widget);
}

void Application::RemoveWidget(Widget* widget)
{
    widgets.remove(widget);
    if (hoverWidget == widget)
        hoverWidget = nullptr;
}

Widget* Application::FindWidgetAt(int x, int y, int n)
{
    for (Widget* widget : widgets) {
        if (widget->visible && widget->HitTest(x, y)) {
            if (n == 0)
                return widget;
            --n;
        }
    }
    return nullptr;
}

Application::Overlay* Application::AddOverlayImage(const char* path)
{
    auto overlay = std::make_unique<Overlay>();
    overlay->sprite = std::make_unique<Sprite>();
    overlay->sprite->Load(device, path);
    overlays.push_front(std::move(overlay));
    return overlays.front().get();
}

void Application::RemoveOverlayImage(Overlay* overlay)
{
    overlays.remove_if([overlay](const std::unique_ptr<Overlay>& entry) { return entry.get() == overlay; });
}

void Application::MouseDoubleClick(int button, int x, int y)
{
    if (currentState)
        currentState->MouseDoubleClick(button, x, y);
}

void Application::MouseWheel(bool down, int x, int y)
{
    if (currentState)
        currentState->MouseWheel(down, x, y);
}

void Application::MouseDown(int button, int x, int y)
{
    const bool isDouble = pressTimer < 0.5f && !doubleClick && x == lastPressX && y == lastPressY;
    doubleClick = isDouble;
    lastPressX = x;
    lastPressY = y;
    if (currentState)
        currentState->MouseDown(button, x, y, isDouble);
    pressTimer = 0.0f;
    Widget* widget = FindWidgetAt(x, y, 0);
    if (widget && widget->clickSound && clickSound)
        clickSound->Play();
}

void Application::MouseUp(int button, int x, int y)
{
    if (currentState)
        currentState->MouseUp(button, x, y, pressTimer);
}

int Application::SetState(GameState* next)
{
    try {
        if (next && next->GetSaveKind() >= 0)
            stateKind = next->GetSaveKind();
        int result = 0;
        if (currentState)
            result = currentState->Leave();
        previousState = currentState;
        currentState = next;
        if (next)
            result = next->Enter();
        return result;
    } catch (const q3DError& error) {
        if (device)
            device->Log("%s", error.GetText());
        if (handlingError) {
            // A screen that fails again while the program is ending on an error is dropped, so
            // that the first error's text stays and nothing recurses.
            currentState = nullptr;
            quit = true;
            return -1;
        }
        handlingError = true;
        Quit(error.GetText());
        handlingError = false;
        return -1;
    }
}

bool Application::SaveStateKind(std::FILE* file) const
{
    const std::uint32_t value = std::uint32_t(stateKind);
    const unsigned char bytes[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                                    static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    return file && std::fwrite(bytes, 1, 4, file) == 4;
}

bool Application::LoadStateKind(std::FILE* file)
{
    unsigned char bytes[4];
    if (!file || std::fread(bytes, 1, 4, file) != 4)
        return false;
    const std::int32_t value = std::int32_t(std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 |
                                            std::uint32_t(bytes[2]) << 16 | std::uint32_t(bytes[3]) << 24);
    if (value < WaypointSelectionKind || value > NoKind)
        return false;
    stateKind = value;
    return true;
}

bool Application::IsInMenu() const
{
    return currentState && currentState->IsMenu();
}

void Application::Quit(const char* message)
{
    if (message) {
        std::snprintf(exitMessage, sizeof exitMessage, "%s", message);
        endsOnError = true;
    } else if (!exitMessageFixed) {
        exitMessage[0] = '\0';
    }
    quit = true;
    SetState(nullptr);
}

void Application::SetExitMessage(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    vFormatText(exitMessage, sizeof exitMessage, format, args);
    va_end(args);
    exitMessageFixed = true;
}

void Application::ShowMessage(int ms, const char* format, ...)
{
    if (!format || std::strlen(format) > std::size_t(MaxFormatLength))
        return;
    char text[TextSize] = {};
    std::va_list args;
    va_start(args, format);
    vFormatText(text, sizeof text, format, args);
    va_end(args);
    ShowMessageText(ms, text);
}

void Application::ShowMessageText(int ms, const char* text)
{
    if (!text || !*text)
        return;
    notices.push_back({CutText(text), ms, 0});
}

void Application::ShowCenterMessage(float red, float green, float blue, const char* text, int ms)
{
    if (!text || !*text)
        return;
    centerText = CutText(text);
    centerTime = ms;
    centerRed = red;
    centerGreen = green;
    centerBlue = blue;
}

void Application::ClearCenterMessage()
{
    centerText.clear();
    centerTime = 0;
}

void Application::AddChatLine(float red, float green, float blue, const char* text)
{
    if (!text || !*text)
        return;
    std::size_t length = std::strlen(text);
    const int time = length > 160 ? 10000 : int(length + 40) * 50;
    chatLines.push_front({CutText(text), time, 0, red, green, blue});
    WriteMultiplayerLog(false, text);
}

void Application::GetCursorPos(int* x, int* y) const
{
    int cursorX = 0, cursorY = 0;
    if (device) {
        if (platform::os::Window* window = device->GetWindow())
            window->GetCursorPosition(cursorX, cursorY);
    }
    if (x)
        *x = cursorX;
    if (y)
        *y = cursorY;
}

void Application::SetInputSystem(InputSystem* system, int joystick, int joystickButtonTotal)
{
    inputSystem = system;
    joystickIndex = joystick;
    joystickButtonCount = joystickButtonTotal;
    joystickButtons.clear();
    mouseButtons.clear();
    mouseButtonCount = 0;
    wheelTotal = 0;
    if (!system)
        return;
    joystickButtons.assign(std::size_t(joystick >= 0 && joystickButtonTotal > 0 ? joystickButtonTotal : 0), 0);
    const int mouse = system->GetMouseIndex();
    mouseButtonCount = mouse >= 0 ? system->GetButtonCount(mouse) : 0;
    if (mouseButtonCount > MaxMouseButtons)
        mouseButtonCount = MaxMouseButtons;
    if (mouseButtonCount < 0)
        mouseButtonCount = 0;
    mouseButtons.assign(std::size_t(mouseButtonCount), 0);
}

int Application::GetKeyState(int code) const
{
    const int asyncState = platform::os::IsKeyDown(code) ? 0x8000 : 0;
    if (!inputSystem)
        return asyncState;
    int mouseButton = -1;
    switch (code) {
    case VK_LBUTTON: mouseButton = 0; break;
    case VK_RBUTTON: mouseButton = 1; break;
    case VK_CANCEL: mouseButton = 2; break;
    case VK_MBUTTON: mouseButton = 3; break;
    default: break;
    }
    if (mouseButton >= 0) {
        const int mouse = inputSystem->GetMouseIndex();
        if (mouse < 0 || mouseButton >= mouseButtonCount)
            return asyncState;
        const int state = inputSystem->GetMouseButtonState(mouse, mouseButton);
        return state > 0 ? state : 0;
    }
    if (code < 256 || joystickIndex < 0)
        return asyncState;
    if (code <= 261) {
        const int axis = code < 258 ? inputSystem->GetJoystickX(joystickIndex)
                         : code < 260 ? inputSystem->GetJoystickY(joystickIndex)
                                      : inputSystem->GetJoystickZ(joystickIndex);
        if (axis < 0)
            return asyncState;
        const bool low = axis < JoystickLow, high = axis > JoystickHigh;
        const bool wanted = (code % 2 == 0) ? low : high;
        return wanted ? 1 : asyncState;
    }
    const int button = code - 262;
    if (button >= joystickButtonCount)
        return asyncState;
    const int state = inputSystem->GetJoystickButtonState(joystickIndex, button);
    return state > 0 ? state : asyncState;
}

int Application::PlayMusic(const char* path)
{
    if (!path)
        return -1;
    if (music && music->GetFileName()[0] && !music->IsPaused() &&
        std::string(music->GetFileName()).substr(0, 259) == path)
        return 0;
    StopMusic();
    music = std::make_unique<SoundStream>();
    const int result = music->Create(soundSystem, path);
    music->SetVolume(musicVolume);
    music->SetLoopCount(0);
    music->Play();
    return result;
}

void Application::StopMusic()
{
    music.reset();
}

void Application::SetMusicLooping(bool looping)
{
    if (music)
        music->SetLoopCount(looping ? 0 : 1);
}

void Application::SetMusicVolume(float volume)
{
    musicVolume = volume;
    if (music)
        music->SetVolume(volume);
}

int Application::TakeScreenshot()
{
    if (!device)
        return 0;
    if (device->GetMultisamples() != 0) {
        ShowMessage(3000, "You can't take screenshots with anti-aliasing enabled");
        return 0;
    }
    D3DBitmap* backBuffer = device->GetBackBuffer();
    if (!backBuffer) {
        ShowMessage(3000, "Couldn't take a screenshot: there is no picture yet");
        return 0;
    }
    std::string folder = platform::os::ResolvePath(screenshotFolder).value_or(screenshotFolder);
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) {
        std::filesystem::create_directories(folder, error);
        if (error) {
            ShowMessage(3000, "Couldn't create the folder %s: %s", screenshotFolder, error.message().c_str());
            return 0;
        }
    }
    // Every screenshot probes from the counter on, so that a file already there (a gap filled
    // since, or one the first probe stopped short of) is never written over.
    int number = screenshotCounter;
    while (number < INT_MAX && platform::os::ResolvePath(folder + "/bexal-" + std::to_string(number) + ".tga"))
        ++number;
    if (platform::os::ResolvePath(folder + "/bexal-" + std::to_string(number) + ".tga")) {
        ShowMessage(3000, "Couldn't take a screenshot: every number is taken in %s", screenshotFolder);
        return 0;
    }
    screenshotCounter = number;
    const std::string name = "bexal-" + std::to_string(screenshotCounter) + ".tga";
    const std::string path = folder + "/" + name;
    if (backBuffer->SaveTga(path.c_str()) < 0) {
        const char* reason = backBuffer->GetLastError();
        ShowMessage(3000, "Couldn't save the screenshot %s/%s: %s", screenshotFolder, name.c_str(), reason ? reason : "");
        return 0;
    }
    ++screenshotCounter;
    return 1;
}

void Application::OpenMultiplayerLog()
{
    if (multiplayerLog) {
        WriteMultiplayerLog(true, "Starting new log session");
        return;
    }
    int chosen = -1;
    for (int number = 0; number < MultiplayerLogCount && chosen < 0; ++number)
        if (!FileInUse(MultiplayerLogName(number)))
            chosen = number;
    bool append = false;
    if (chosen < 0) {
        bool rotated = std::remove(WritePath(MultiplayerLogName(0)).c_str()) == 0;
        for (int number = 1; number < MultiplayerLogCount && rotated; ++number)
            rotated = std::rename(WritePath(MultiplayerLogName(number)).c_str(),
                                  WritePath(MultiplayerLogName(number - 1)).c_str()) == 0;
        chosen = MultiplayerLogCount - 1;
        // The newest log could not be moved out of the way: carry on after its end.
        append = !rotated;
    }
    multiplayerLog.reset(std::fopen(WritePath(MultiplayerLogName(chosen)).c_str(), append ? "ab" : "wb"));
    if (!multiplayerLog && device)
        device->Log("Couldn't open %s", MultiplayerLogName(chosen).c_str());
}

void Application::WriteMultiplayerLog(bool timeStamp, const char* text)
{
    if (!multiplayerLog || !text || !*text || std::strlen(text) > std::size_t(MaxFormatLength))
        return;
    std::string line;
    if (timeStamp) {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%m/%d/%y %H:%M:%S ", &local);
        line = stamp;
    }
    line += text;
    line += "\r\n";
    std::fwrite(line.data(), 1, line.size(), multiplayerLog.get());
    std::fflush(multiplayerLog.get());
}

const char* Application::GetPlayerName(int slot) const
{
    if (slot < 0 || slot >= PlayerSlotCount)
        return defaultPlayerName;
    const PlayerSlot& entry = playerSlots[slot];
    if (entry.id == UnassignedPlayerId || !entry.name[0])
        return defaultPlayerName;
    return entry.name;
}

void Application::ClearPlayerSlot(int slot)
{
    const unsigned index = std::uint16_t(slot);
    if (index >= unsigned(PlayerSlotCount))
        return;
    playerSlots[index] = PlayerSlot();
}

bool Application::ClearPlayerSlotByAddress(const PlayerId& id)
{
    if (id == UnassignedPlayerId)
        return false;
    for (PlayerSlot& slot : playerSlots) {
        if (slot.id == id) {
            slot = PlayerSlot();
            return true;
        }
    }
    return false;
}

bool Application::IsPlayerSlotInUse(int slot) const
{
    if (slot < 0 || slot >= PlayerSlotCount)
        return false;
    // When hosting, the server's own player list decides here once the network code has one.
    return !(playerSlots[slot].id == UnassignedPlayerId);
}
