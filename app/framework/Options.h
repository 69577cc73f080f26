#pragma once

#include "app/framework/Application.h"
#include "app/framework/OptionsFile.h"
#include "app/framework/OptionsTables.h"
#include "app/framework/Singletons.h"

#include <cstdint>
#include <functional>

// The player's settings: 33 options, the multiplayer name, the character model and the key
// bindings of the 48 actions, kept in "Bexal.cfg" and "keys.cfg" in the working folder. Every
// subsystem reads option values by index through Options::Instance. The options screen
// (OptionsScreen) edits this record; the game above the framework follows changes through the
// listeners the program installs.
class Options {
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

    static Options* Instance();

    ~Options();

    // Reads "Bexal.cfg" (or derives defaults from the machine), applies the options, then reads
    // "keys.cfg". Returns 1 when every option came from the file, else 0.
    int LoadConfig();
    // Writes "Bexal.cfg" then "keys.cfg". Returns 0 when "keys.cfg" cannot be written, else 1.
    int SaveConfig();
    // Pushes the options into the running system: display-mode check, gamma, volumes and
    // speakers here, then the listener the program installed (profanity filter, in-game fog).
    void Apply();

    // Set by the program at start-up: what Apply does beyond the framework, and how a player name
    // reaches the server (called with the name when it is to be sent).
    void SetApplyListener(std::function<void(const Options&)> listener) { applyListener = std::move(listener); }
    void SetNameSender(std::function<void(const char*)> sender) { nameSender = std::move(sender); }

    // The key's previous action and the action's previous key lose their binding, then the two
    // are bound. Returns the action. Keys outside 0..511 and actions outside 0..47 bind nothing
    // and give -1.
    int BindKey(int key, int action);
    int GetActionForKey(int key) const;
    int GetKeyForAction(int action) const;
    // "None" for a negative key, a key beyond the table or a key without a name.
    const char* GetKeyName(int key) const;
    bool HasKeyName(int key) const { return key >= 0 && key < KeyCount && keyNames[key][0]; }
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

    // Writes a line to the engine log (nothing without a device).
    void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));

private:
    friend Options* SingletonInstance<Options>();
    Options();

    void InitKeyNames();
    // Reads "Bexal.cfg"; false when the defaults were needed for any of it.
    bool ReadOptionsFile();
    void ReadKeysFile();
    const std::int32_t* MachineDefaults();

    char keyNames[KeyCount][KeyNameSize];
    std::int32_t options[OptionCount];
    char playerName[PlayerNameSize] = "Player";
    char modelName[ModelNameSize] = "us01";
    std::int32_t keyToAction[KeyCount];
    std::int32_t actionToKey[ActionCount];

    // The constructor's defaults lowered to the machine, made the first time they are needed.
    std::int32_t machineDefaults[OptionCount];
    bool machineDefaultsMade = false;

    std::function<void(const Options&)> applyListener;
    std::function<void(const char*)> nameSender;
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
