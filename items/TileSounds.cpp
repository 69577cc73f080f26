#include "items/TileSounds.h"

#include <cstdio>
#include <cstdlib>

#include "app/framework/Application.h"
#include "engine/filesystem/PackFile.h"
#include "media/Sound2D.h"

TileSounds::~TileSounds()
{
    Free();
}

void TileSounds::Clear()
{
    for (int set = 0; set < 2; ++set) {
        baseName[set][0] = '\0';
        for (Sound2D*& sound : sounds[set])
            sound = nullptr;
        counts[set] = 0;
    }
}

void TileSounds::Load()
{
    for (int set = 0; set < 2; ++set) {
        int& count = counts[set];
        count = 0;
        while (count < kVariants) {
            if (sounds[set][count]) {
                ++count;
                continue;
            }
            char path[300];
            std::snprintf(path, sizeof path, "%s_%d.wav", baseName[set], count);
            if (!PackFileHandle(PackFileOpen(path, "rb")))
                break;
            auto* sound = new Sound2D();
            if (sound->Create(Application::Instance()->GetSoundSystem(), path) < 0) {
                delete sound;
                break;
            }
            sounds[set][count++] = sound;
        }
    }
}

void TileSounds::PlayRandom(int set, float volume)
{
    if ((set != 0 && set != 1) || counts[set] <= 0)
        return;
    if (Sound2D* sound = sounds[set][std::rand() % counts[set]])
        sound->Play(volume, Sound::KeepLoops);
}

void TileSounds::Free()
{
    for (int set = 0; set < 2; ++set) {
        for (Sound2D*& sound : sounds[set]) {
            delete sound;
            sound = nullptr;
        }
        counts[set] = 0;
    }
}
