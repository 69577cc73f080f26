#pragma once

#include <memory>
#include <string>
#include <vector>

class Sound2D;
class Sound3D;

// The mission's squad-slot table and its voice loading: the name shown for a slot, its voice-set
// number, and the numbered voice files of a set, which the enemies load too.
class SquadRecords {
public:
    virtual ~SquadRecords() = default;

    virtual std::string PlayerName(int slot) = 0;
    virtual int VoiceSet(int slot) = 0;
    // "%s%02d.wav" from 01 into the table, at most maximum; the number loaded.
    virtual int LoadVoiceSet(std::unique_ptr<Sound3D>* set, int maximum, const char* prefix, float minimumDistance,
                             float maximumDistance) = 0;
    virtual int LoadVoiceSet2D(std::vector<std::unique_ptr<Sound2D>>& set, int maximum, const char* prefix) = 0;
};
