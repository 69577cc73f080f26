#pragma once

#include "app/Application.h"
#include "app/GameState.h"
#include "app/OptionsFile.h"
#include "app/OptionsTables.h"
#include "app/Singletons.h"

#include <cstdint>
#include <memory>
#include <vector>

class D3DBitmap;
class ImageButton;
class Sound2D;
class Sprite;
class TextLabel;

// The player's settings: 33 options, the multiplayer name, the character model and the key
// bindings of the 48 actions, kept in "Bexal.cfg" and "keys.cfg" in the working folder. Every
// subsystem reads option values by index through Options::Instance. The same object is the
// options screen: five pages of option labels changed by left and right clicks, the key
// configuration, and the multiplayer name.
class Options : public GameState {
public:
    static constexpr int OptionCount = ::OptionCount;
    static constexpr int ActionCount = ::ActionCount;
    static constexpr int KeyCount = ::KeyCount;
    static constexpr int PlayerNameSize = OptionsRecord::PlayerNameSize;
    static constexpr int ModelNameSize = OptionsRecord::ModelNameSize;

    // Option indexes.
    static constexpr int Difficulty = 0;
    static constexpr int DamageRealism = 1;
    static constexpr int CameraMode = 2;
    static constexpr int CrosshairType = 3;
    static constexpr int ShowFiringEnemyDirection = 7;
    static constexpr int FriendlyFire = 8;
    static constexpr int ResolutionIndex = 9;
    static constexpr int BitDepth = 10;
    static constexpr int Brightness = 11;
    static constexpr int ViewDistance = 12;
    static constexpr int DetailObjects = 13;
    static constexpr int DetailObjectViewDistance = 14;
    static constexpr int Fog = 15;
    static constexpr int TerrainTextureResolution = 16;
    static constexpr int CompressTextures = 17;
    static constexpr int PixelShaderWater = 18;
    static constexpr int SoundProvider = 19;
    static constexpr int MasterVolume = 20;
    static constexpr int SpeechVolume = 21;
    static constexpr int MusicVolume = 22;
    static constexpr int SpeakerConfiguration = 23;
    static constexpr int ProfanityFilterOn = 30;
    static constexpr int ShowNamesOverHeads = 31;
    static constexpr int ChatLines = 32;
    static constexpr int PlayerNameOption = 29;

    static constexpr int MaxCrosshairs = 32;
    static constexpr int HeadingCount = 5;
    static constexpr int ButtonCount = 6;

    // The screen's pages and its buttons.
    enum Page { GameplayPage, GraphicsPage, SoundPage, ControlsPage, MultiplayerPage, PageCount };
    enum Button { ContinueButton, ControlsButton, GraphicsButton, MultiplayerButton, SoundButton, GameplayButton };

    static Options* Instance();

    ~Options() override;

    // The options screen. Enter loads its art (a missing backdrop or button throws q3DError);
    // Leave saves the options and frees it.
    int Enter() override;
    int Leave() override;
    void Update() override;
    void Draw() override;
    void KeyDown(int code) override;
    void MouseUp(int button, int x, int y, float secondsSincePress) override;

    // What the screen shows, for its callers and tests.
    int GetPage() const { return page; }
    int GetKeyGroup() const { return keyGroup; }
    int GetCapturedAction() const { return capturedAction; }
    bool IsEditingName() const { return editingName; }
    int GetCrosshairCount() const { return int(crosshairs.size()); }
    // The image number ("CrossHair%02d") of each crosshair found, in order.
    const std::vector<int>& GetCrosshairNumbers() const { return crosshairNumbers; }
    TextLabel* GetOptionTextLabel(int option) const;
    TextLabel* GetActionLabel(int action) const;
    TextLabel* GetHeadingLabel(int group) const;
    TextLabel* GetResetLabel() const { return resetLabel.get(); }
    TextLabel* GetApplyLabel() const { return applyLabel.get(); }
    ImageButton* GetButton(int button) const;

    // Reads "Bexal.cfg" (or derives defaults from the machine), applies the options, then reads
    // "keys.cfg". Returns 1 when every option came from the file, else 0.
    int LoadConfig();
    // Writes "Bexal.cfg" then "keys.cfg". Returns 0 when "keys.cfg" cannot be written, else 1.
    int SaveConfig();
    // Pushes the options into the running system: display-mode check, gamma, volumes, speakers,
    // profanity filter, and fog while a level runs under the in-game menu.
    void Apply();

    // The key's previous action and the action's previous key lose their binding, then the two
    // are bound. Returns the action. Keys outside 0..511 and actions outside 0..47 bind nothing
    // and give -1.
    int BindKey(int key, int action);
    int GetActionForKey(int key) const;
    int GetKeyForAction(int action) const;
    // "None" for a negative key, a key beyond the table or a key without a name.
    const char* GetKeyName(int key) const;
    void ResetKeys();

    bool IsDisplayModeAvailable(int width, int height, int bits);

    void SetPlayerName(const char* name, bool send);
    const char* GetPlayerName() const { return playerName; }
    void SetModelName(const char* name);
    const char* GetModelName() const { return modelName; }

    std::int32_t GetOption(int index) const;
    void SetOption(int index, std::int32_t value);

    // The record as "Bexal.cfg" holds it.
    OptionsRecord MakeRecord() const;

    // Applies the display-mode fallback of Apply to options 9 and 10 with the given test for a
    // mode the adapter lists.
    template <typename ModeTest>
    static void CheckDisplayMode(std::int32_t (&options)[OptionCount], ModeTest available);

private:
    friend Options* SingletonInstance<Options>();
    Options();

    void InitKeyNames();
    void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Reads "Bexal.cfg"; false when the defaults were needed for any of it.
    bool ReadOptionsFile();
    void ReadKeysFile();
    const std::int32_t* MachineDefaults();

    // The screen.
    bool FromEscMenu() const;
    void FreeScreen();
    void ShowPage(int newPage);
    void SelectKeyGroup(int group);
    void StartCapture(int action);
    void EndCapture();
    void ChangeOption(int option, bool left);
    void ApplySoundProvider();
    void StepCrosshair(bool forward);
    void StepResolution(bool forward);
    void EditName(int code);
    void FinishNameEditing();
    int RowY(int firstRow, int option) const;

    char keyNames[KeyCount][KeyNameSize];
    std::int32_t options[OptionCount];
    char playerName[PlayerNameSize] = "Player";
    char modelName[ModelNameSize] = "us01";
    std::int32_t keyToAction[KeyCount];
    std::int32_t actionToKey[ActionCount];

    // The constructor's defaults lowered to the machine, made the first time they are needed.
    std::int32_t machineDefaults[OptionCount];
    bool machineDefaultsMade = false;

    // The screen's own fields, alive from Enter to Leave.
    D3DBitmap* backdrop = nullptr;
    Application::Overlay* pressKeyOverlay = nullptr;
    std::unique_ptr<TextLabel> optionLabels[OptionCount];
    std::unique_ptr<TextLabel> headingLabels[HeadingCount];
    std::unique_ptr<TextLabel> resetLabel;
    std::unique_ptr<TextLabel> applyLabel;
    std::unique_ptr<TextLabel> actionLabels[ActionCount];
    std::vector<std::unique_ptr<Sprite>> crosshairs;
    std::vector<int> crosshairNumbers;
    std::unique_ptr<ImageButton> buttons[ButtonCount];
    int page = GameplayPage;
    int keyGroup = 0;
    int capturedAction = -1;
    bool editingName = false;
    float caretTimer = 0.0f;
    std::unique_ptr<Sound2D> soundCheck;
    std::unique_ptr<Sound2D> voiceCheck;
    int voiceHandle = 0;
    int errorSoundHandle = 0;
};

template <typename ModeTest>
void Options::CheckDisplayMode(std::int32_t (&options)[OptionCount], ModeTest available)
{
    if (options[ResolutionIndex] < 0 || options[ResolutionIndex] >= ResolutionCount)
        options[ResolutionIndex] = 1;
    const Resolution& mode = Resolutions[options[ResolutionIndex]];
    int bits = options[BitDepth] == 1 ? 32 : 16;
    if (available(mode.width, mode.height, bits))
        return;
    if (bits == 32) {
        options[BitDepth] = 0;
        if (available(mode.width, mode.height, 16))
            return;
    }
    options[ResolutionIndex] = 0;
}
