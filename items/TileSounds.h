#pragma once

#include <memory>

class Sound2D;

// One entry of the mission's tile-properties table: the footstep sounds of a range of ground
// tiles, in two sets (0 left foot, 1 right foot) of up to five numbered variants
// ("<base>_0.wav", "<base>_1.wav", ...), and how much walking there alerts the AI.
class TileSounds {
public:
    static constexpr int kVariants = 5;

    TileSounds() { Clear(); }
    ~TileSounds();
    TileSounds(const TileSounds&) = delete;
    TileSounds& operator=(const TileSounds&) = delete;

    // Empty base names, no sounds, no variants; frees nothing.
    void Clear();
    // Loads the variants of both sets: numbered files from 0 up while they exist, at most five.
    // Variants already loaded are kept (loading again loads only what is missing).
    void Load();
    // A random variant of the set at the volume, keeping its stored loop count.
    void PlayRandom(int set, float volume);
    // Deletes every variant and zeroes the counts.
    void Free();

    int GetCount(int set) const { return set == 0 || set == 1 ? counts[set] : 0; }

    int minimumTile = 0;
    int maximumTile = 0;
    float alertValue = 0.0f;
    char baseName[2][256] = {};

private:
    Sound2D* sounds[2][kVariants] = {};
    int counts[2] = {0, 0};
};
