#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/Vector.h"

class Sound2D;
class Sound3D;

// The voice lines of the player's squad, shared by every squad soldier of the process: up to eight
// sets (the folders "Sound/AVoice1" to "Sound/AVoice8"), each with eleven categories of up to six
// samples. Loaded by the first squad soldier, released when the last one goes.
class PlayerVoices {
public:
    enum Category {
        Follow, Switch, Attack, HoldPos, HoldFire, FireAtWill, Death, Damage, Command, Kill, Incoming, CategoryCount
    };
    static constexpr int kMaxSets = 8;
    static constexpr int kMaxSamples = 6;

    // The number of "Sound/Avoice*" folders, at most kMaxSets: the tables have no room for more.
    static int CountVoiceFolders();
    // While no set is loaded: counts the folders (none: q3DError "No Player voices
    // (Sound/Avoice*) found") and loads every category of every set through the mission's voice
    // loaders.
    static void LoadIfNeeded();
    static void Release();
    static int GetSetCount() { return setCount; }
    static int GetSampleCount(int category, int set);
    // A random sample of the category (a 32-bit draw of the shared generator modulo the count),
    // played with the stored volume and loops; 3D lines at the position. The play handle, -1 when
    // the set has no sample of the category. The sample index drawn goes to *index when asked.
    static int Play(int category, int set, const Vector3& position, int* index = nullptr);
    // The same pick for a 2D category, played at the volume; -1 without a sample.
    static int Play2D(int category, int set, float volume);
    // Whether a 3D line's play handle still sounds.
    static bool IsPlaying(int category, int set, int handle);
    // A random 2D sample of the category (null without one), for the order voice.
    static Sound2D* Pick2D(int category, int set);
    // The volume of the 2D order and command lines: the speech volume option as a fraction.
    static float Volume();
    // The file prefix of a category of set n (1-based): "Sound/AVoice%d/Follow".
    static std::string Prefix(int category, int set);

private:
    static bool Is3D(int category);
    static int PickIndex(int category, int set);

    static int setCount;
    static std::unique_ptr<Sound3D> samples3D[CategoryCount][kMaxSets][kMaxSamples];
    static std::vector<std::unique_ptr<Sound2D>> samples2D[CategoryCount][kMaxSets];
    static int counts[CategoryCount][kMaxSets];
};
