#include "media/Sound.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "media/SoundSystem.h"
#include "platform/audio/AudioFiles.h"
#include "platform/audio/Clip.h"

SoundSystem* Sound::system = nullptr;

SoundFileData::SoundFileData() = default;
SoundFileData::~SoundFileData() = default;

bool Sound::SoundEnabled() { return system && system->IsEnabled(); }

void Sound::LogError(const char* format, ...)
{
    char text[ErrorTextSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    errorText = text;
    if (system)
        system->Log("%s", text);
}

void Sound::AddToSoundList()
{
    if (system)
        system->GetSoundList().push_back(this);
}

void Sound::RemoveFromSoundList()
{
    if (system)
        std::erase(system->GetSoundList(), this);
}

SoundFileData* Sound::AcquireFileData(const char* file, bool mono, const char* who)
{
    for (Sound* other : system->GetSoundList()) {
        const SoundFileData* shared = other->kind == kind ? other->SharedFileData() : nullptr;
        if (shared && file && shared->name == file) {
            SoundFileData* data = const_cast<SoundFileData*>(shared);
            ++data->referenceCount;
            return data;
        }
    }
    auto data = std::make_unique<SoundFileData>();
    data->name = file ? file : "";
    if (!file || !platform::audio::ReadWholeFile(file, data->data)) {
        LogError("ERROR: %s::Create - %s (%s)", who, file ? platform::audio::LastError() : "No file name.", file ? file : "");
        return nullptr;
    }
    data->size = static_cast<std::int32_t>(std::min<std::size_t>(data->data.size(), std::numeric_limits<std::int32_t>::max()));
    data->clip = platform::audio::Clip::Decode(*system->GetDriver(), data->data.data(), data->data.size(), mono);
    if (!data->clip)
        data->decodeError = platform::audio::LastError();
    data->referenceCount = 1;
    return data.release();
}

void Sound::ReleaseFileData(SoundFileData*& data)
{
    if (!data)
        return;
    if (--data->referenceCount <= 0)
        delete data;
    data = nullptr;
}

int Sound::NextHandle(std::intptr_t counter, int index, int count)
{
    if (counter < 0 || counter > std::numeric_limits<std::int32_t>::max() - count)
        counter = index;
    return static_cast<int>(counter + count);
}
