#include "characters/player/PlayerVoices.h"

#include <algorithm>
#include <cstdio>

#include "app/framework/Options.h"
#include "characters/level/RunningLevel.h"
#include "characters/player/SquadRecords.h"
#include "engine/core/RandomMT.h"
#include "engine/core/q3DError.h"
#include "media/Sound2D.h"
#include "media/Sound3D.h"
#include "platform/os/Directory.h"

namespace {

struct CategoryInfo {
    const char* name;
    int samples;
    bool threeD;
    float minimum;
    float maximum;
};

constexpr CategoryInfo kCategories[PlayerVoices::CategoryCount] = {
    {"Follow", 6, false, 0.0f, 0.0f},    {"Switch", 6, false, 0.0f, 0.0f},   {"Attack", 6, false, 0.0f, 0.0f},
    {"HoldPos", 6, false, 0.0f, 0.0f},   {"HoldFire", 6, false, 0.0f, 0.0f}, {"FireAtWill", 1, false, 0.0f, 0.0f},
    {"Death", 6, true, 40.0f, 300.0f},   {"Damage", 6, true, 40.0f, 300.0f}, {"Command", 6, false, 0.0f, 0.0f},
    {"Kill", 6, true, 40.0f, 300.0f},    {"Incoming", 6, true, 50.0f, 300.0f},
};

} // namespace

int PlayerVoices::setCount = 0;
std::unique_ptr<Sound3D> PlayerVoices::samples3D[CategoryCount][kMaxSets][kMaxSamples];
std::vector<std::unique_ptr<Sound2D>> PlayerVoices::samples2D[CategoryCount][kMaxSets];
int PlayerVoices::counts[CategoryCount][kMaxSets] = {};

int PlayerVoices::CountVoiceFolders()
{
    int folders = 0;
    for (const platform::os::DirectoryEntry& entry : platform::os::ListDirectory("Sound/Avoice*")) {
        if (entry.isDirectory && folders < kMaxSets)
            ++folders;
    }
    return folders;
}

std::string PlayerVoices::Prefix(int category, int set)
{
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "Sound/AVoice%d/%s", set, kCategories[category].name);
    return prefix;
}

bool PlayerVoices::Is3D(int category) { return kCategories[category].threeD; }

void PlayerVoices::LoadIfNeeded()
{
    if (setCount != 0)
        return;
    const int found = CountVoiceFolders();
    if (found == 0)
        throw q3DError("No Player voices (Sound/Avoice*) found");
    SquadRecords& records = RunningLevel::Records();
    for (int set = 0; set < found; ++set) {
        for (int category = 0; category < CategoryCount; ++category) {
            const CategoryInfo& info = kCategories[category];
            const std::string prefix = Prefix(category, set + 1);
            int loaded = 0;
            if (info.threeD)
                loaded = records.LoadVoiceSet(samples3D[category][set], info.samples, prefix.c_str(), info.minimum,
                                              info.maximum);
            else
                loaded = records.LoadVoiceSet2D(samples2D[category][set], info.samples, prefix.c_str());
            counts[category][set] = loaded < 0 ? 0 : std::min(loaded, info.samples);
        }
    }
    setCount = found;
}

void PlayerVoices::Release()
{
    for (int category = 0; category < CategoryCount; ++category) {
        for (int set = 0; set < kMaxSets; ++set) {
            for (auto& sample : samples3D[category][set])
                sample.reset();
            samples2D[category][set].clear();
            counts[category][set] = 0;
        }
    }
    setCount = 0;
}

int PlayerVoices::GetSampleCount(int category, int set)
{
    if (category < 0 || category >= CategoryCount || set < 0 || set >= kMaxSets)
        return 0;
    return counts[category][set];
}

int PlayerVoices::PickIndex(int category, int set)
{
    const int n = GetSampleCount(category, set);
    if (n <= 0)
        return -1;
    return int(randomMT() % std::uint32_t(n));
}

int PlayerVoices::Play(int category, int set, const Vector3& position, int* index)
{
    const int pick = PickIndex(category, set);
    if (index)
        *index = pick;
    if (pick < 0)
        return -1;
    if (Is3D(category)) {
        Sound3D* sample = samples3D[category][set][pick].get();
        if (!sample)
            return -1;
        sample->SetPosition(position.x, position.y, position.z, Sound::NoPlay);
        return sample->Play();
    }
    Sound2D* sample = std::size_t(pick) < samples2D[category][set].size() ? samples2D[category][set][std::size_t(pick)].get()
                                                                           : nullptr;
    return sample ? sample->Play() : -1;
}

float PlayerVoices::Volume()
{
    const Options* options = Options::Instance();
    return options ? float(options->GetOption(Options::SpeechVolume)) * 0.01f : 1.0f;
}

int PlayerVoices::Play2D(int category, int set, float volume)
{
    Sound2D* sample = Pick2D(category, set);
    return sample ? sample->Play(volume) : -1;
}

Sound2D* PlayerVoices::Pick2D(int category, int set)
{
    if (Is3D(category))
        return nullptr;
    const int pick = PickIndex(category, set);
    if (pick < 0 || std::size_t(pick) >= samples2D[category][set].size())
        return nullptr;
    return samples2D[category][set][std::size_t(pick)].get();
}

bool PlayerVoices::IsPlaying(int category, int set, int handle)
{
    if (handle == -1 || !Is3D(category) || GetSampleCount(category, set) == 0)
        return false;
    for (int i = 0; i < counts[category][set]; ++i) {
        Sound3D* sample = samples3D[category][set][i].get();
        if (sample && !sample->IsStopped(handle))
            return true;
    }
    return false;
}
