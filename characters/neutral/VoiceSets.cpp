#include "characters/neutral/VoiceSets.h"

#include <algorithm>
#include <cstdio>

#include "characters/level/RunningLevel.h"
#include "characters/player/SquadRecords.h"
#include "engine/core/RandomMT.h"
#include "media/Sound3D.h"

VoiceSets::VoiceSets() = default;

VoiceSets::~VoiceSets() { Stop(); }

int VoiceSets::Load(int set, const char* prefix, int maximum)
{
    if (set < 0 || set >= SetCount || !prefix)
        return 0;
    maximum = std::clamp(maximum, 0, kMaxVoices);
    const int loaded = RunningLevel::Records().LoadVoiceSet(samples[std::size_t(set)].data(), maximum, prefix, kNear, kFar);
    counts[std::size_t(set)] = std::clamp(loaded, 0, maximum);
    return counts[std::size_t(set)];
}

void VoiceSets::SetDistances(int set, float far, float near)
{
    for (int i = 0; i < Count(set); ++i)
        if (Sound3D* sample = samples[std::size_t(set)][std::size_t(i)].get())
            sample->SetDistances(far, near, Sound::NoPlay);
}

int VoiceSets::Count(int set) const { return set >= 0 && set < SetCount ? counts[std::size_t(set)] : 0; }

void VoiceSets::Play(int set, const Vector3& at)
{
    const int count = Count(set);
    if (count <= 0)
        return;
    Stop();
    const int chosen = int(randomMT() % std::uint32_t(count));
    Sound3D* sample = samples[std::size_t(set)][std::size_t(chosen)].get();
    if (!sample)
        return;
    sample->SetPosition(at.x, at.y, at.z, Sound::NoPlay);
    handle = sample->Play();
    index = chosen;
    playingSet = set;
}

void VoiceSets::Stop()
{
    if (handle != -1 && playingSet >= 0)
        if (Sound3D* sample = samples[std::size_t(playingSet)][std::size_t(index)].get())
            sample->Stop(handle);
    handle = -1;
    playingSet = -1;
}

void LoadCompanionVoices(VoiceSets& voices, const char* folder)
{
    static constexpr struct {
        VoiceSets::Set set;
        const char* category;
    } kCategories[] = {
        {VoiceSets::Damage, "Damage"}, {VoiceSets::Death, "Death"},         {VoiceSets::Notice, "Notice"},
        {VoiceSets::PDead, "PDead"},   {VoiceSets::EndSearch, "EndSearch"},
    };
    for (const auto& category : kCategories) {
        char prefix[512];
        std::snprintf(prefix, sizeof prefix, "%s/%s", folder ? folder : "", category.category);
        voices.Load(category.set, prefix);
    }
}
