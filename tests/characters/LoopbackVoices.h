#pragma once

// Voice lines of the demo data set played for real: a sound system on the loopback output, and the
// mission's way of loading a numbered voice set ("%s%02d.wav" from 01 while the file exists).

#include <cstdio>
#include <memory>
#include <vector>

#include "app/framework/Application.h"
#include "characters/level/NoLevel.h"
#include "characters/level/RunningLevel.h"
#include "engine/filesystem/PackFile.h"
#include "media/Sound.h"
#include "media/Sound2D.h"
#include "media/Sound3D.h"
#include "media/SoundSystem.h"
#include "platform/audio/Driver.h"

#include <gtest/gtest.h>

// A sound system with 3D sound on the loopback output; null (with a test failure) when it cannot open.
inline std::unique_ptr<SoundSystem> OpenLoopbackSoundSystem()
{
    platform::audio::Driver::SetOutput(platform::audio::Driver::Output::Loopback);
    auto system = std::make_unique<SoundSystem>();
    if (system->Create(true, 14, 2, 22050, ".\\GameData\\Audio") != 0) {
        ADD_FAILURE() << "the loopback sound system did not open";
        return nullptr;
    }
    system->Enumerate3DProviders();
    if (system->Open3DProvider(0, 32) != 0) {
        ADD_FAILURE() << "the 3D provider did not open";
        return nullptr;
    }
    return system;
}

// Loads the numbered files of a prefix, at most maximum, handing each to keep(index, sound).
template <typename SoundType, typename Keep>
int LoadNumbered(int maximum, const char* prefix, Keep keep)
{
    int loaded = 0;
    for (; loaded < maximum; ++loaded) {
        char path[256];
        std::snprintf(path, sizeof path, "%s%02d.wav", prefix, loaded + 1);
        if (!PackFileCanOpen(path))
            break;
        auto sound = std::make_unique<SoundType>();
        if (sound->Create(Application::Instance()->GetSoundSystem(), path) < 0) {
            ADD_FAILURE() << "can't load " << path;
            break;
        }
        keep(loaded, std::move(sound));
    }
    return loaded;
}

// The mission's 3D voice-set loader.
inline int LoadVoiceSet3D(std::unique_ptr<Sound3D>* set, int maximum, const char* prefix, float minimum,
                          float maximumDistance)
{
    return LoadNumbered<Sound3D>(maximum, prefix, [&](int i, std::unique_ptr<Sound3D> sound) {
        sound->SetDistances(maximumDistance, minimum, Sound::NoPlay);
        set[i] = std::move(sound);
    });
}

// The mission's 2D voice-set loader.
inline int LoadVoiceSet2D(std::vector<std::unique_ptr<Sound2D>>& set, int maximum, const char* prefix)
{
    set.clear();
    return LoadNumbered<Sound2D>(maximum, prefix, [&](int, std::unique_ptr<Sound2D> sound) { set.push_back(std::move(sound)); });
}

// A running level whose voice sets load from the files; installed for its lifetime.
class LoopbackVoiceRecords : public NoLevel {
public:
    int LoadVoiceSet(std::unique_ptr<Sound3D>* set, int maximum, const char* prefix, float minimum,
                     float maximumDistance) override
    {
        return LoadVoiceSet3D(set, maximum, prefix, minimum, maximumDistance);
    }
    int LoadVoiceSet2D(std::vector<std::unique_ptr<Sound2D>>& set, int maximum, const char* prefix) override
    {
        return ::LoadVoiceSet2D(set, maximum, prefix);
    }

private:
    RunningLevel level{{.records = this}};
};
