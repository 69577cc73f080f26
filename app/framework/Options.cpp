#include "app/framework/Options.h"

#include "app/framework/Application.h"
#include "app/framework/MachineDefaults.h"
#include "app/framework/Singletons.h"
#include "engine/core/EngineLog.h"
#include "engine/core/FormatText.h"
#include "media/SoundSystem.h"
#include "platform/os/File.h"
#include "platform/os/VirtualKeys.h"
#include "renderer/Device.h"

#include <bit>
#include <cstdarg>
#include <cstring>
#include <strings.h>

namespace {

constexpr const char* optionsFileName = "Bexal.cfg";
constexpr const char* keysFileName = "keys.cfg";

template <std::size_t N>
void CopyName(char (&field)[N], const char* text)
{
    std::size_t length = text ? strnlen(text, N - 1) : 0;
    std::memmove(field, text ? text : "", length);
    field[length] = '\0';
}

} // namespace

Options* Options::Instance()
{
    return SingletonInstance<Options>();
}

Options::~Options() = default;

Options::Options()
{
    std::memcpy(options, DefaultOptions, sizeof options);
    InitKeyNames();
    ResetKeys();
    // The sound provider defaults to the plain stereo one when the sound system lists it.
    if (SoundSystem* sound = Application::Instance()->GetSoundSystem()) {
        for (int i = 0; i < sound->GetProviderCount(); ++i) {
            const char* name = nullptr;
            if (sound->Get3DProviderAttribute(i, "Name", &name) == 0 && name &&
                strcasecmp(name, "Fast 2D Positional Audio") == 0) {
                options[SoundProvider] = i;
                break;
            }
        }
    }
}

void Options::InitKeyNames()
{
    FillKeyNames(keyNames);
}

void Options::Log(const char* format, ...)
{
    char text[2048];
    std::va_list args;
    va_start(args, format);
    vFormatText(text, sizeof text, format, args);
    va_end(args);
    LogToEngine("%s", text);
}

const std::int32_t* Options::MachineDefaults()
{
    if (machineDefaultsMade)
        return machineDefaults;
    Device* device = Application::Instance()->GetDevice();
    const MachineInfo machine = MeasureMachine(device);
    Log("Bexal.cfg could not be loaded, using defaults");
    Log("        CPU:  %dMhz", machine.megahertz);
    Log("        RAM:  %dMB", int(machine.physicalMemory / 1048576 + 1));
    Log("        T&L:  %d", int(machine.hardwareVertexProcessing));
    Log("        VRAM: %uMB", unsigned(machine.videoMemory / 1048576));
    std::memcpy(machineDefaults, DefaultOptions, sizeof machineDefaults);
    machineDefaults[SoundProvider] = options[SoundProvider];
    ApplyMachineDefaults(machineDefaults, machine);
    machineDefaultsMade = true;
    return machineDefaults;
}

bool Options::ReadOptionsFile()
{
    OptionsRecord record;
    OptionsRecordRead read;
    bool opened = false;
    if (std::FILE* file = platform::os::OpenFile(optionsFileName, "rb")) {
        platform::os::FileHandle closer(file);
        opened = true;
        read = ReadOptionsRecord(file, record);
    }

    if (read.versionRead && record.versionBits != OptionsRecord::VersionBits) {
        Log("Bexal.cfg is incorrect version, using defaults.");
        read = OptionsRecordRead();
    } else if (opened && !read.Complete()) {
        Log("Bexal.cfg is cut short (%d of 33 options, name %s, model %s), using defaults for the rest.",
            read.optionsRead, read.playerNameRead ? "read" : "missing", read.modelNameRead ? "read" : "missing");
    }
    if (read.trailingBytes)
        Log("Bexal.cfg is longer than %d bytes, the rest is ignored.", int(OptionsRecord::FileSize));

    bool complete = read.Complete();
    if (read.optionsRead < OptionCount)
        std::memcpy(options, MachineDefaults(), sizeof options);
    for (int i = 0; i < read.optionsRead; ++i) {
        const std::int32_t value = record.options[i];
        bool valid = IsValidOptionValue(i, value);
        if (valid && i == SoundProvider) {
            SoundSystem* sound = Application::Instance()->GetSoundSystem();
            valid = !sound || sound->GetProviderCount() == 0 || value < sound->GetProviderCount();
        }
        if (valid) {
            options[i] = value;
        } else {
            options[i] = MachineDefaults()[i];
            Log("Bexal.cfg gives option %d the value %d, out of range; using %d.", i, int(value), int(options[i]));
            complete = false;
        }
    }
    if (read.playerNameRead) {
        if (!memchr(record.playerName, '\0', sizeof record.playerName))
            Log("Bexal.cfg holds a player name without its end, cut to %d characters.", PlayerNameSize - 1);
        char name[PlayerNameSize];
        CopyName(name, std::string(record.playerName, strnlen(record.playerName, sizeof record.playerName)).c_str());
        // A '%' would turn the name into a format in the messages that show it.
        for (char& c : name)
            if (c == '%')
                c = ' ';
        std::memcpy(playerName, name, sizeof name);
    }
    if (read.modelNameRead) {
        if (memchr(record.modelName, '\0', sizeof record.modelName)) {
            std::memcpy(modelName, record.modelName, sizeof modelName);
        } else {
            Log("Bexal.cfg holds a model name without its end, using \"%s\".", modelName);
            complete = false;
        }
    }
    return complete;
}

void Options::ReadKeysFile()
{
    std::FILE* file = platform::os::OpenFile(keysFileName, "rt");
    if (!file)
        return;
    platform::os::FileHandle closer(file);
    const KeysFileRead read = ::ReadKeysFile(file);
    for (const std::string& problem : read.problems)
        Log("%s", problem.c_str());
    for (const KeyBindingLine& line : read.bindings)
        if (line.key != -1)
            BindKey(line.key, line.action);
}

int Options::LoadConfig()
{
    machineDefaultsMade = false;
    const bool fromFile = ReadOptionsFile();
    if (nameSender)
        nameSender(playerName);

    Apply();
    ReadKeysFile();
    return fromFile ? 1 : 0;
}

OptionsRecord Options::MakeRecord() const
{
    OptionsRecord record;
    std::memcpy(record.options, options, sizeof record.options);
    std::memcpy(record.playerName, playerName, sizeof record.playerName);
    std::memcpy(record.modelName, modelName, sizeof record.modelName);
    return record;
}

int Options::SaveConfig()
{
    if (std::FILE* file = platform::os::OpenFile(optionsFileName, "wb")) {
        bool written = WriteOptionsRecord(file, MakeRecord());
        written = std::fclose(file) == 0 && written;
        if (!written)
            Log("Bexal.cfg could not be written completely.");
    } else {
        Log("Bexal.cfg could not be created.");
    }

    std::FILE* file = platform::os::OpenFile(keysFileName, "wt");
    if (!file) {
        Log("keys.cfg could not be created.");
        return 0;
    }
    bool written = WriteKeysFile(file, actionToKey);
    written = std::fclose(file) == 0 && written;
    if (!written)
        Log("keys.cfg could not be written completely.");
    return 1;
}

void Options::Apply()
{
    Application* application = Application::Instance();
    Device* device = application->GetDevice();

    if (device)
        CheckDisplayMode(options, [this](int width, int height, int bits) {
            return IsDisplayModeAvailable(width, height, bits);
        });

    std::uint16_t ramp[256];
    BuildGammaRamp(options[Brightness], ramp);
    if (device)
        device->SetGammaRamp(ramp, ramp, ramp);

    if (SoundSystem* sound = application->GetSoundSystem()) {
        sound->SetMasterVolume(options[MasterVolume] * 0.01f);
        if (sound->HasOpenProvider())
            sound->SetSpeakerType(options[SpeakerConfiguration]);
    }
    application->SetMusicVolume(options[MusicVolume] * 0.01f);

    if (applyListener)
        applyListener(*this);
}

int Options::BindKey(int key, int action)
{
    if (key < 0 || key >= KeyCount || action < 0 || action >= ActionCount)
        return -1;
    const int previousAction = keyToAction[key];
    if (previousAction >= 0)
        actionToKey[previousAction] = -1;
    const int previousKey = actionToKey[action];
    if (previousKey >= 0)
        keyToAction[previousKey] = -1;
    keyToAction[key] = action;
    actionToKey[action] = key;
    return action;
}

int Options::GetActionForKey(int key) const
{
    return key >= 0 && key < KeyCount ? keyToAction[key] : -1;
}

int Options::GetKeyForAction(int action) const
{
    return action >= 0 && action < ActionCount ? actionToKey[action] : -1;
}

const char* Options::GetKeyName(int key) const
{
    if (key < 0 || key >= KeyCount || !keyNames[key][0])
        return "None";
    return keyNames[key];
}

void Options::ResetKeys()
{
    for (std::int32_t& action : keyToAction)
        action = -1;
    for (std::int32_t& key : actionToKey)
        key = -1;
    for (int action = 0; action < ActionCount; ++action) {
        const int key = GetDefaultKey(action);
        if (keyToAction[key] >= 0)
            Log("Two default keys are the same action");
        BindKey(key, action);
    }
}

bool Options::IsDisplayModeAvailable(int width, int height, int bits)
{
    Device* device = Application::Instance()->GetDevice();
    if (!device)
        return false;
    const int entry = device->GetCurrentDevice();
    const int count = device->GetModeCount(entry);
    for (int mode = 0; mode < count; ++mode) {
        ModeInfo info{};
        device->GetModeInfo(entry, mode, &info);
        if (info.width == width && info.height == height && info.bitsPerPixel == bits)
            return true;
    }
    return false;
}

void Options::SetPlayerName(const char* name, bool send)
{
    if (!name)
        return;
    CopyName(playerName, name);
    if (send && nameSender)
        nameSender(playerName);
}

void Options::SetModelName(const char* name)
{
    if (name)
        CopyName(modelName, name);
}

std::int32_t Options::GetOption(int index) const
{
    return index >= 0 && index < OptionCount ? options[index] : 0;
}

void Options::SetOption(int index, std::int32_t value)
{
    if (index >= 0 && index < OptionCount)
        options[index] = value;
}

