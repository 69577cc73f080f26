#include "app/options/OptionsScreen.h"

#include "app/framework/Options.h"

#include "app/framework/Application.h"
#include "app/framework/ImageButton.h"
#include "app/framework/TextLabel.h"
#include "campaign/CampaignState.h"
#include "engine/core/q3DError.h"
#include "engine/font/BitmapFont.h"
#include "engine/sprite/Sprite.h"
#include "media/Sound2D.h"
#include "media/SoundSystem.h"
#include "menus/EscMenu.h"
#include "menus/HostGame.h"
#include "menus/MainMenu.h"
#include "menus/TrimSpaces.h"
#include "mission/input/CommandLine.h"
#include "mission/MissionState.h"
#include "multiplayer/NetworkClient.h"
#include "multiplayer/NetworkServer.h"
#include "multiplayer/ProfanityFilter.h"
#include "multiplayer/RemoteProcedures.h"
#include "multiplayer/ServerSettings.h"
#include "platform/os/File.h"
#include "platform/os/Keyboard.h"
#include "platform/os/VirtualKeys.h"
#include "renderer/Device.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr const char* menuFolder = "GameData/Menus/Options/";
constexpr const char* wideBackdropPath = "GameData/Menus/Options/backdrop.tga";
constexpr const char* narrowBackdropPath = "GameData/Menus/Options/backdrop2.tga";
constexpr const char* pressKeyPath = "GameData/Menus/Options/presskey.tga";
constexpr const char* crosshairPattern = "GameData/CrossHairs/CrossHair%02d.tga";
constexpr const char* soundCheckPath = "Sound/soundCheck.wav";
constexpr const char* voiceCheckPath = "Sound/voiceCheck.wav";
constexpr const char* notAllowedText = "The server will not let you set this to true.";
constexpr const char* clientsNotAllowedText = "Clients are not allowed to change this option.";
constexpr const char* providerFailedText = "Fatal Error: Couldn't set old provider when testing new provider!";

constexpr float LabelScale = 0.7058824f;
constexpr float DescriptionScale = 0.8235294f;
constexpr std::uint32_t LabelColour = 0xFF000000;
constexpr std::uint32_t LabelHoverColour = 0xFFD42121;
constexpr int LabelHeight = 14;
constexpr int RowSpacing = 15;
// The sound page leaves room below the provider for its name and "[Apply]".
constexpr int ProviderGap = 45;
constexpr int MaxNameLength = 22;
constexpr int MaxNameWidth = 300;

const char* const headingTexts[OptionsScreen::HeadingCount] = {"[Movement]", "[Actions]", "[Squad]", "[Misc.]", "[Items]"};
// The first action of each key group, and one past the last.
const int keyGroupStarts[OptionsScreen::HeadingCount + 1] = {0, 10, 20, 31, 39, ActionCount};
// The first option of each page, and one past the last.
const int pageStarts[OptionsScreen::PageCount + 1] = {0, 9, 19, 24, 29, OptionCount};

struct ButtonPlace {
    const char* name;
    int x, y;
};
// In Options::Button order.
const ButtonPlace buttonPlaces[OptionsScreen::ButtonCount] = {
    {"Continue", 362, 561}, {"Controls", 542, 177}, {"Graphics", 542, 107},
    {"Multiplayer", 542, 212}, {"Sound", 542, 142}, {"Gameplay", 542, 72},
};
// The button of each page.
const int pageButtons[OptionsScreen::PageCount] = {OptionsScreen::GameplayButton, OptionsScreen::GraphicsButton, OptionsScreen::SoundButton,
                                             OptionsScreen::ControlsButton, OptionsScreen::MultiplayerButton};

int PageOf(int option)
{
    for (int page = 0; page < OptionsScreen::PageCount; ++page)
        if (option < pageStarts[page + 1])
            return page;
    return OptionsScreen::MultiplayerPage;
}

int KeyGroupOf(int action)
{
    for (int group = 0; group < OptionsScreen::HeadingCount; ++group)
        if (action < keyGroupStarts[group + 1])
            return group;
    return OptionsScreen::HeadingCount - 1;
}

// Steps a value within lowest..highest, wrapping at both ends.
int Wrap(int value, int lowest, int highest)
{
    if (value > highest)
        return lowest;
    if (value < lowest)
        return highest;
    return value;
}

D3DBitmap* LoadBackdrop(Device* device, const char* path)
{
    D3DBitmap* bitmap = nullptr;
    if (device)
        device->CreateRenderTargetBitmap(&bitmap);
    if (!bitmap)
        throw q3DError("Can't load %s", path);
    D3DBitmap* backBuffer = device->GetBackBuffer();
    if (bitmap->Load(path, backBuffer ? backBuffer->GetFormat() : 0, 0) < 0) {
        bitmap->Destroy();
        throw q3DError("Can't load %s", path);
    }
    return bitmap;
}

// The character a key types on a US keyboard, with Shift's symbols.
char TypedCharacter(int code, bool shift)
{
    char character = platform::os::VirtualKeyToChar(code);
    if (!(std::isprint(static_cast<unsigned char>(character)) || character == ' '))
        return 0;
    if (std::isalpha(static_cast<unsigned char>(character)))
        return char(shift ? std::toupper(character) : std::tolower(character));
    if (!shift)
        return character;
    static const char plain[] = "',-./0123456789;=[\\]`";
    static const char shifted[] = "\"<_>?)!@#$%^&*(:+{|}~";
    if (const char* at = std::strchr(plain, character))
        return shifted[at - plain];
    return character;
}

} // namespace

OptionsScreen* OptionsScreen::Instance()
{
    return SingletonInstance<OptionsScreen>();
}

OptionsScreen::OptionsScreen() : settings(*Options::Instance()) {}

OptionsScreen::~OptionsScreen()
{
    FreeScreen();
}

bool OptionsScreen::FromEscMenu() const
{
    return Application::Instance()->GetPreviousState() == EscMenu::Instance();
}

TextLabel* OptionsScreen::GetOptionTextLabel(int option) const
{
    return option >= 0 && option < OptionCount ? optionLabels[option].get() : nullptr;
}

TextLabel* OptionsScreen::GetActionLabel(int action) const
{
    return action >= 0 && action < ActionCount ? actionLabels[action].get() : nullptr;
}

TextLabel* OptionsScreen::GetHeadingLabel(int group) const
{
    return group >= 0 && group < HeadingCount ? headingLabels[group].get() : nullptr;
}

ImageButton* OptionsScreen::GetButton(int button) const
{
    return button >= 0 && button < ButtonCount ? buttons[button].get() : nullptr;
}

int OptionsScreen::RowY(int firstRow, int option) const
{
    const int row = option - pageStarts[PageOf(option)];
    int y = firstRow + row * RowSpacing;
    if (option > Options::SoundProvider && PageOf(option) == SoundPage)
        y += ProviderGap - RowSpacing;
    return y;
}

int OptionsScreen::Enter()
{
    // The campaign brings the sound that refuses a key; made here, a missing sound is an error of
    // entering this screen rather than of a later key press, which nothing would catch.
    CampaignState::Instance();
    Application* application = Application::Instance();
    Device* device = application->GetDevice();
    const int targetWidth = device ? device->GetTargetWidth() : 800;
    const int targetHeight = device ? device->GetTargetHeight() : 600;
    const bool wide = targetWidth > 640;
    const int ox = (targetWidth - 800) / 2, oy = (targetHeight - 600) / 2;
    const int labelX = ox + (wide ? 300 : 220);
    const int firstRow = oy + (wide ? 75 : 15);

    backdrop = LoadBackdrop(device, wide ? wideBackdropPath : narrowBackdropPath);
    pressKeyOverlay = application->AddOverlayImage(pressKeyPath);
    Sprite* pressKey = pressKeyOverlay->sprite.get();
    pressKey->x = (targetWidth - pressKey->GetDrawnTextureWidth()) / 2;
    pressKey->y = (targetHeight - pressKey->GetDrawnTextureHeight()) / 2;
    pressKeyOverlay->visible = false;

    BitmapFont* font = application->GetFont(Application::CourierMedium);
    auto makeLabel = [&](int x, int y, const char* text) {
        auto label = std::make_unique<TextLabel>(x, y, font, text);
        label->scale = LabelScale;
        label->normalColour = LabelColour;
        label->hoverColour = LabelHoverColour;
        label->height = LabelHeight;
        application->AddWidget(label.get());
        return label;
    };
    for (int option = 0; option < OptionCount; ++option)
        optionLabels[option] = makeLabel(labelX, RowY(firstRow, option), GetOptionLabel(option));
    int headingX = labelX;
    for (int group = 0; group < HeadingCount; ++group) {
        headingLabels[group] = makeLabel(headingX, firstRow + 120, headingTexts[group]);
        headingX += int(float(headingLabels[group]->width) * LabelScale) + 15;
    }
    resetLabel = makeLabel(labelX + 120, firstRow + 100, "[Reset To Default]");
    const TextLabel& provider = *optionLabels[Options::SoundProvider];
    applyLabel = makeLabel(provider.x + provider.width + 20, provider.y, "[Apply]");
    applyLabel->clickSound = true;
    applyLabel->SetTooltip("Hit this to set the selected sound provider");
    for (int action = 0; action < ActionCount; ++action) {
        const int row = action - keyGroupStarts[KeyGroupOf(action)];
        actionLabels[action] = makeLabel(labelX, firstRow + 150 + row * RowSpacing, GetActionName(action));
    }
    keyGroup = 0;
    capturedAction = -1;
    editingName = false;
    caretTimer = 0.0f;
    ShowPage(GameplayPage);
    SelectKeyGroup(0);

    // Crosshair images are numbered from 1; a missing or unreadable one is left out.
    crosshairs.clear();
    crosshairNumbers.clear();
    for (int number = 1; number <= MaxCrosshairs; ++number) {
        char path[64];
        std::snprintf(path, sizeof path, crosshairPattern, number);
        if (std::FILE* file = platform::os::OpenFile(path, "rb"))
            std::fclose(file);
        else
            continue;
        try {
            auto sprite = std::make_unique<Sprite>();
            sprite->Load(device, path);
            crosshairs.push_back(std::move(sprite));
            crosshairNumbers.push_back(number);
        } catch (const q3DError& error) {
            if (device)
                device->Log("%s", error.GetText());
        }
    }

    optionLabels[Options::ProfanityFilterOn]->SetText(settings.GetOption(Options::ProfanityFilterOn) ? "Profanity Filter: On"
                                                                          : "Profanity Filter: Off");
    optionLabels[Options::ProfanityFilterOn]->height = LabelHeight;

    if (FromEscMenu()) {
        MissionState* mission = MissionState::Instance();
        if (NetworkClient::IsConnected() || NetworkServer::IsActive()) {
            ServerSendPause(true);
        } else if (!mission->controls.paused) {
            if (SoundSystem* sound = application->GetSoundSystem())
                sound->PauseAll();
            mission->controls.paused = true;
        }
    }

    soundCheck = std::make_unique<Sound2D>();
    soundCheck->Create(application->GetSoundSystem(), soundCheckPath);
    voiceCheck = std::make_unique<Sound2D>();
    voiceCheck->Create(application->GetSoundSystem(), voiceCheckPath);
    voiceHandle = 0;
    for (int button = 0; button < ButtonCount; ++button) {
        const ButtonPlace& place = buttonPlaces[button];
        const std::string base = std::string(menuFolder) + place.name;
        buttons[button] = std::make_unique<ImageButton>(ox + place.x, oy + place.y, device, (base + "D.tga").c_str(),
                                                        (base + "O.tga").c_str(), (base + ".tga").c_str());
        application->AddWidget(buttons[button].get());
    }
    return 0;
}

void OptionsScreen::FreeScreen()
{
    const bool anything = backdrop || pressKeyOverlay || optionLabels[0] || buttons[0] || soundCheck || !crosshairs.empty();
    if (!anything)
        return;
    Application* application = Application::Instance();
    soundCheck.reset();
    voiceCheck.reset();
    crosshairs.clear();
    crosshairNumbers.clear();
    auto drop = [application](auto& widget) {
        if (widget) {
            application->RemoveWidget(widget.get());
            widget.reset();
        }
    };
    for (auto& label : optionLabels)
        drop(label);
    for (auto& label : headingLabels)
        drop(label);
    drop(resetLabel);
    drop(applyLabel);
    for (auto& label : actionLabels)
        drop(label);
    for (auto& button : buttons)
        drop(button);
    if (pressKeyOverlay)
        application->RemoveOverlayImage(pressKeyOverlay);
    pressKeyOverlay = nullptr;
    if (backdrop)
        backdrop->Destroy();
    backdrop = nullptr;
}

int OptionsScreen::Leave()
{
    Application* application = Application::Instance();
    soundCheck.reset();
    voiceCheck.reset();
    // A provider index of -1 (none open) is never stored.
    if (SoundSystem* sound = application->GetSoundSystem())
        if (sound->GetOpenProviderIndex() >= 0)
            settings.SetOption(Options::SoundProvider, sound->GetOpenProviderIndex());
    settings.SaveConfig();
    FreeScreen();
    capturedAction = -1;
    editingName = false;
    MissionState* mission = MissionState::Instance();
    if (FromEscMenu()) {
        if (NetworkClient::IsConnected() || NetworkServer::IsActive()) {
            ServerSendPause(false);
        } else if (mission->controls.paused) {
            if (SoundSystem* sound = application->GetSoundSystem())
                sound->ResumeAll();
            mission->controls.paused = false;
        }
    }
    const int copied[4] = {Options::Difficulty, Options::DamageRealism, Options::ShowNamesOverHeads, Options::ShowFiringEnemyDirection};
    for (int i = 0; i < 4; ++i)
        mission->session.optionCopies[i] = settings.GetOption(copied[i]);
    return 0;
}

void OptionsScreen::ShowPage(int newPage)
{
    if (newPage < 0 || newPage >= PageCount)
        return;
    page = newPage;
    for (int option = 0; option < OptionCount; ++option)
        if (optionLabels[option])
            optionLabels[option]->visible = PageOf(option) == page;
    for (auto& heading : headingLabels)
        if (heading)
            heading->visible = page == ControlsPage;
    if (resetLabel)
        resetLabel->visible = page == ControlsPage;
    if (applyLabel)
        applyLabel->visible = page == SoundPage;
    for (int action = 0; action < ActionCount; ++action)
        if (actionLabels[action])
            actionLabels[action]->visible = page == ControlsPage && KeyGroupOf(action) == keyGroup;
}

void OptionsScreen::SelectKeyGroup(int group)
{
    if (group < 0 || group >= HeadingCount)
        return;
    keyGroup = group;
    for (int i = 0; i < HeadingCount; ++i)
        if (headingLabels[i])
            headingLabels[i]->forcedHoverColour = i == group;
    ShowPage(page);
}

void OptionsScreen::StartCapture(int action)
{
    capturedAction = action;
    if (pressKeyOverlay)
        pressKeyOverlay->visible = true;
}

void OptionsScreen::EndCapture()
{
    capturedAction = -1;
    if (pressKeyOverlay)
        pressKeyOverlay->visible = false;
}

void OptionsScreen::Update()
{
    if (FromEscMenu())
        MissionState::Instance()->Update();
    CommandLine::Instance().Update();
    for (int i = 0; i < PageCount; ++i)
        if (buttons[pageButtons[i]])
            buttons[pageButtons[i]]->latched = i == page;
}

void OptionsScreen::Draw()
{
    Application* application = Application::Instance();
    Device* device = application->GetDevice();
    BitmapFont* font = application->GetFont(Application::CourierMedium);
    if (!device || !backdrop)
        return;
    const int x0 = device->GetTargetWidth() / 2 - backdrop->GetWidth() / 2;
    const int y0 = device->GetTargetHeight() / 2 - backdrop->GetHeight() / 2;
    backdrop->CopyTo(x0, y0, device->GetBackBuffer());
    if (pressKeyOverlay)
        pressKeyOverlay->visible = capturedAction >= 0;
    if (!font) {
        CommandLine::Instance().Draw();
        return;
    }
    const float savedRed = font->red, savedGreen = font->green, savedBlue = font->blue;
    font->red = font->green = font->blue = 0.0f;

    for (int option = pageStarts[page]; option < pageStarts[page + 1]; ++option) {
        const char* name = GetOptionValueName(option, settings.GetOption(option));
        char text[64];
        if (!name)
            std::snprintf(text, sizeof text, IsPercentOption(option) ? "%d%%" : "%d", int(settings.GetOption(option)));
        else if (std::strcmp(name, "-") == 0)
            continue;
        else
            std::snprintf(text, sizeof text, "%s", name);
        font->DrawText(device, x0 + 550, y0 + RowY(75, option), LabelScale, text);
    }

    if (page == GameplayPage) {
        for (std::size_t i = 0; i < crosshairs.size(); ++i) {
            if (crosshairNumbers[i] != settings.GetOption(Options::CrosshairType) + 1)
                continue;
            crosshairs[i]->x = x0 + 550;
            crosshairs[i]->y = y0 + 118;
            device->SetFilter(0, 2);
            crosshairs[i]->Draw(device);
            device->SetFilter(1, 2);
        }
    }
    if (page == SoundPage) {
        SoundSystem* sound = application->GetSoundSystem();
        const char* name = nullptr;
        if (sound && settings.GetOption(Options::SoundProvider) >= 0 && settings.GetOption(Options::SoundProvider) < sound->GetProviderCount() &&
            sound->Get3DProviderAttribute(settings.GetOption(Options::SoundProvider), "Name", &name) == 0 && name)
            font->DrawText(device, x0 + 360, y0 + 91, LabelScale, name);
    }
    if (page == MultiplayerPage) {
        std::string name = settings.GetPlayerName();
        caretTimer += application->GetFrameTime();
        while (caretTimer >= 1.0f)
            caretTimer -= 1.0f;
        if (editingName && caretTimer < 0.5f)
            name += "_";
        font->DrawText(device, x0 + 395, optionLabels[Options::PlayerNameOption] ? optionLabels[Options::PlayerNameOption]->y : 0,
                       LabelScale, name.c_str());
    }
    if (page == ControlsPage) {
        font->DrawText(device, x0 + 300, y0 + 175, LabelScale, "Key Config");
        for (int action = keyGroupStarts[keyGroup]; action < keyGroupStarts[keyGroup + 1]; ++action) {
            const int key = settings.GetKeyForAction(action);
            const char* name = key >= 0 ? settings.GetKeyName(key) : "---";
            if (actionLabels[action])
                font->DrawText(device, x0 + 555, actionLabels[action]->y, LabelScale, name);
        }
    } else {
        int cursorX = 0, cursorY = 0;
        application->GetCursorPos(&cursorX, &cursorY);
        Widget* hovered = application->FindWidgetAt(cursorX, cursorY, 0);
        for (int option = 0; option < OptionCount; ++option)
            if (hovered && hovered == optionLabels[option].get())
                font->DrawText(device, x0 + 230, y0 + 445, DescriptionScale, GetOptionDescription(option));
    }
    font->red = savedRed;
    font->green = savedGreen;
    font->blue = savedBlue;
    CommandLine::Instance().Draw();
}

void OptionsScreen::MouseUp(int button, int x, int y, float)
{
    Application* application = Application::Instance();
    if (capturedAction >= 0) {
        settings.BindKey(button + 1, capturedAction);
        EndCapture();
        return;
    }
    const bool wasEditing = editingName;
    editingName = false;
    Widget* widget = application->FindWidgetAt(x, y, 0);
    if (!widget)
        return;

    // Buttons and the page's own labels; leaving the screen frees every widget, so nothing
    // after a button is touched.
    if (widget == buttons[ContinueButton].get()) {
        KeyDown(platform::os::VK_RETURN);
        return;
    }
    for (int i = 0; i < PageCount; ++i) {
        if (widget == buttons[pageButtons[i]].get()) {
            ShowPage(i);
            return;
        }
    }
    for (int group = 0; group < HeadingCount; ++group) {
        if (widget == headingLabels[group].get()) {
            SelectKeyGroup(group);
            return;
        }
    }
    if (widget == resetLabel.get()) {
        settings.ResetKeys();
        return;
    }
    if (widget == applyLabel.get()) {
        if (!FromEscMenu())
            ApplySoundProvider();
        return;
    }
    for (int action = 0; action < ActionCount; ++action) {
        if (widget == actionLabels[action].get()) {
            StartCapture(action);
            return;
        }
    }
    for (int option = 0; option < OptionCount; ++option) {
        if (widget != optionLabels[option].get())
            continue;
        if (option == Options::PlayerNameOption) {
            editingName = !wasEditing;
            settings.SetPlayerName(settings.GetPlayerName(), true);
        } else if (button == 0 || button == 1) {
            ChangeOption(option, button == 0);
        }
        settings.Apply();
        return;
    }
}

void OptionsScreen::ApplySoundProvider()
{
    Application* application = Application::Instance();
    SoundSystem* sound = application->GetSoundSystem();
    if (!sound || sound->GetProviderCount() == 0)
        return;
    const int remembered = sound->GetOpenProviderIndex();
    sound->Close3DProvider();
    if (settings.GetOption(Options::SoundProvider) >= 0 && settings.GetOption(Options::SoundProvider) < sound->GetProviderCount() &&
        sound->Open3DProvider(settings.GetOption(Options::SoundProvider), 64) >= 0)
        return;
    // The new provider does not work here: back to the one that did.
    if (remembered >= 0)
        settings.SetOption(Options::SoundProvider, remembered);
    sound->Close3DProvider();
    if (remembered < 0 || sound->Open3DProvider(remembered, 64) < 0) {
        settings.Log("%s", providerFailedText);
        application->Quit(providerFailedText);
    }
}

void OptionsScreen::StepCrosshair(bool forward)
{
    if (crosshairNumbers.empty())
        return;
    const int count = int(crosshairNumbers.size());
    int index = -1;
    for (int i = 0; i < count; ++i)
        if (crosshairNumbers[std::size_t(i)] == settings.GetOption(Options::CrosshairType) + 1)
            index = i;
    if (index < 0)
        index = forward ? -1 : 0;
    index = (index + (forward ? 1 : -1) + count) % count;
    settings.SetOption(Options::CrosshairType, crosshairNumbers[std::size_t(index)] - 1);
}

void OptionsScreen::StepResolution(bool forward)
{
    int index = settings.GetOption(Options::ResolutionIndex);
    // Index 0 (640 x 480) is never offered.
    for (int attempt = 0; attempt < 6; ++attempt) {
        index = Wrap(index + (forward ? 1 : -1), 1, ResolutionCount - 1);
        const Resolution& mode = Resolutions[index];
        if (settings.IsDisplayModeAvailable(mode.width, mode.height, settings.GetOption(Options::BitDepth) == 1 ? 32 : 16)) {
            settings.SetOption(Options::ResolutionIndex, index);
            return;
        }
        if (settings.IsDisplayModeAvailable(mode.width, mode.height, 16)) {
            settings.SetOption(Options::ResolutionIndex, index);
            settings.SetOption(Options::BitDepth, 0);
            return;
        }
    }
}

void OptionsScreen::ChangeOption(int option, bool left)
{
    Application* application = Application::Instance();
    const bool escMenu = FromEscMenu();
    const bool hosting = NetworkServer::IsActive();
    const bool client = NetworkClient::IsConnected() && !hosting;
    ServerSettings serverSettings;
    if (hosting)
        NetworkServer::GetServerSettings(&serverSettings);
    const int step = left ? 1 : -1;
    std::int32_t value = settings.GetOption(option);
    // Every change goes into the record at once, before anything that reads it.
    auto set = [&](std::int32_t newValue) {
        value = newValue;
        settings.SetOption(option, newValue);
    };

    switch (option) {
    case Options::Difficulty:
        if (client)
            return;
        set(Wrap(value + step, 0, 2));
        HostGame::Instance()->PublishSettings();
        return;
    case Options::DamageRealism:
        if (client) {
            application->ShowMessage(5000, "%s", clientsNotAllowedText);
            return;
        }
        set(!value);
        HostGame::Instance()->PublishSettings();
        return;
    case Options::ShowFiringEnemyDirection:
    case Options::ShowNamesOverHeads: {
        const bool allowed = option == Options::ShowNamesOverHeads ? serverSettings.permissions[0] && serverSettings.permissions[1]
                                                          : serverSettings.permissions[1] != 0;
        if (client && !value && !allowed) {
            application->ShowMessage(5000, "%s", notAllowedText);
            return;
        }
        set(!value);
        HostGame::Instance()->PublishSettings();
        return;
    }
    case Options::CameraMode:
    case Options::FriendlyFire:
    case Options::ViewDistance:
    case Options::DetailObjects:
    case Options::DetailObjectViewDistance:
    case Options::TerrainTextureResolution:
    case Options::CompressTextures:
        if (!escMenu)
            set(!value);
        return;
    case 4:
    case 5:
    case 6:
    case Options::Fog:
    case 24:
    case 25:
    case 26:
        set(!value);
        return;
    case Options::CrosshairType:
        StepCrosshair(left);
        if (escMenu)
            MissionState::Instance()->LoadCrosshair();
        return;
    case Options::ResolutionIndex:
        if (!escMenu)
            StepResolution(left);
        return;
    case Options::BitDepth: {
        if (escMenu)
            return;
        set(!value);
        const int index = settings.GetOption(Options::ResolutionIndex) >= 0 && settings.GetOption(Options::ResolutionIndex) < ResolutionCount
                              ? settings.GetOption(Options::ResolutionIndex)
                              : 1;
        if (!settings.IsDisplayModeAvailable(Resolutions[index].width, Resolutions[index].height, value ? 32 : 16))
            set(!value);
        return;
    }
    case Options::Brightness:
        set(Wrap(value + step, 1, 31));
        return;
    case Options::PixelShaderWater:
        return;
    case Options::SoundProvider: {
        SoundSystem* sound = application->GetSoundSystem();
        if (escMenu || !sound || sound->GetProviderCount() == 0)
            return;
        set(Wrap(value + step, 0, sound->GetProviderCount() - 1));
        return;
    }
    case Options::MasterVolume:
    case Options::SpeechVolume:
    case Options::MusicVolume:
        // Right raises, left lowers.
        set(Wrap(value - step * 10, 0, 100));
        if (option == Options::MasterVolume && soundCheck)
            soundCheck->Play();
        if (option == Options::SpeechVolume && voiceCheck) {
            if (voiceHandle && voiceCheck->IsPlaying(voiceHandle))
                voiceCheck->Stop(voiceHandle);
            voiceHandle = voiceCheck->Play(float(value) * 0.01f);
        }
        return;
    case Options::SpeakerConfiguration:
        set(value + step);
        if (value == 2)
            set(value + step);
        if (value < 0)
            set(5);
        if (value > 5)
            set(0);
        return;
    case 27:
    case 28:
        set(Wrap(value + step, 0, 9));
        return;
    case Options::ProfanityFilterOn:
        set(!value);
        if (optionLabels[option]) {
            optionLabels[option]->SetText(value ? "Profanity Filter: On" : "Profanity Filter: Off");
            optionLabels[option]->height = LabelHeight;
        }
        if (value)
            ProfanityFilter::Enable();
        else
            ProfanityFilter::Disable();
        return;
    case Options::ChatLines:
        set(Wrap(value + step, 0, 6));
        return;
    default:
        return;
    }
}

void OptionsScreen::KeyDown(int code)
{
    using namespace platform::os;
    if (CommandLine::Instance().KeyDown(code))
        return;
    Application* application = Application::Instance();

    if (capturedAction >= 0) {
        const bool refused = code == VK_PAUSE || (code >= VK_F1 && code <= VK_F4) || code == VK_F11 || code == VK_F12;
        if (refused) {
            if (Sound2D* error = CampaignState::Instance()->errorSound.get())
                if (!errorSoundHandle || !error->IsPlaying(errorSoundHandle))
                    errorSoundHandle = error->Play();
            return;
        }
        if (code == VK_ESCAPE) {
            EndCapture();
            return;
        }
        if (code >= 0 && code < KeyCount && settings.HasKeyName(code)) {
            settings.BindKey(code, capturedAction);
            EndCapture();
        }
        return;
    }

    if (editingName) {
        char name[Options::PlayerNameSize];
        std::snprintf(name, sizeof name, "%s", settings.GetPlayerName());
        std::size_t length = std::strlen(name);
        if (code == VK_BACK) {
            if (length > 0) {
                name[length - 1] = '\0';
                settings.SetPlayerName(name, false);
            }
            return;
        }
        if (code == VK_RETURN || code == VK_ESCAPE) {
            FinishNameEditing();
            return;
        }
        BitmapFont* font = application->GetFont(Application::CourierMedium);
        if (length > std::size_t(MaxNameLength) || (font && font->GetTextWidth(name) > MaxNameWidth))
            return;
        const char character = TypedCharacter(code, application->GetKeyState(VK_SHIFT) != 0);
        if (character && length + 1 < sizeof name) {
            name[length] = character;
            name[length + 1] = '\0';
            settings.SetPlayerName(name, false);
        }
        return;
    }

    if (code == VK_BACK || code == VK_RETURN || code == VK_ESCAPE) {
        // Started on its own from the command line, the program ends here rather than go on to
        // a main menu it was not asked for.
        if (application->GetPreviousState() == EscMenu::Instance())
            application->SetState(EscMenu::Instance());
        else if (application->GetQuitOnLeave())
            application->Quit(nullptr);
        else
            application->SetState(MainMenu::Instance());
        return;
    }
    const int action = settings.GetActionForKey(code);
    if (action == FindAction("Send Global Message")) {
        ChatLine::BeginTyping();
    } else if (action == FindAction("Send Team Message")) {
        ChatLine::SetSquadTarget();
        ChatLine::BeginTyping();
    } else if (action == FindAction("Send Personal Message")) {
        ChatLine::SetText("/tell ");
    }
}

void OptionsScreen::FinishNameEditing()
{
    editingName = false;
    char name[Options::PlayerNameSize];
    std::snprintf(name, sizeof name, "%s", settings.GetPlayerName());
    TrimSpaces(name);
    settings.SetPlayerName(name, true);
}
