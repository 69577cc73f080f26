#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "engine/core/Vector.h"

class Sound3D;

// The six voice sets of a neutral or a dog, ten samples each at most: what it says when a search
// ends, when its target is dead, when it notices, when it gives the alarm, when hurt and when
// dying. One line plays at a time; a new one or Stop ends the old.
class VoiceSets {
public:
    static constexpr int kMaxVoices = 10;
    static constexpr float kNear = 40.0f;
    static constexpr float kFar = 300.0f;
    enum Set { EndSearch, PDead, Notice, AlertSet, Damage, Death, SetCount };

    VoiceSets();
    ~VoiceSets();
    VoiceSets(const VoiceSets&) = delete;
    VoiceSets& operator=(const VoiceSets&) = delete;

    // Loads up to maximum numbered samples of the prefix into the set through the running level;
    // the count loaded.
    int Load(int set, const char* prefix, int maximum = kMaxVoices);
    // The set's samples heard up to far, at full volume within near.
    void SetDistances(int set, float far, float near);
    int Count(int set) const;
    // A random line of the set at the point; nothing for a set without samples.
    void Play(int set, const Vector3& at);
    void Stop();
    bool IsPlaying() const { return handle != -1; }
    int PlayingSet() const { return playingSet; }

private:
    std::array<std::array<std::unique_ptr<Sound3D>, kMaxVoices>, SetCount> samples;
    std::array<int, SetCount> counts{};
    int handle = -1;
    int index = 0;
    int playingSet = -1;
};

// The five sets a neutral or a dog loads from its voice folder: "<folder>/Damage", "Death",
// "Notice", "PDead" and "EndSearch" (the alert set comes apart).
void LoadCompanionVoices(VoiceSets& voices, const char* folder);
