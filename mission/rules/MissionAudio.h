#pragma once

#include <memory>
#include <vector>

class Sound2D;
class Sound3D;
class SoundStream;

// The mission's interface and world sounds, made once, with the music's and the ambience's
// running state and the level's ambient loops.
class MissionAudio {
public:
    static constexpr int MaximumChitChatVoices = 16;
    static constexpr int HitSoundSetCount = 6;

    MissionAudio();
    ~MissionAudio();
    MissionAudio(const MissionAudio&) = delete;
    MissionAudio& operator=(const MissionAudio&) = delete;

    std::vector<std::vector<std::unique_ptr<Sound2D>>> voiceTable;
    std::unique_ptr<Sound2D> beep;
    std::unique_ptr<Sound3D> chitChat[MaximumChitChatVoices];
    int chitChatCount = 0;
    std::vector<std::unique_ptr<Sound2D>> hitSounds[HitSoundSetCount];
    std::unique_ptr<Sound2D> heartBeat, noise, mapSound;
    std::unique_ptr<Sound3D> doorLocked, pickUpItem, pickUpGun, dropItem, carHitBody;
    std::unique_ptr<Sound3D> hitGround[3];
    std::vector<std::unique_ptr<Sound2D>> ambientSounds;
    char musicNames[2][256] = {};
    float musicTimer = 0.0f;
    bool battleMusic = false;
    int ambientToggle = 0;
    int heartBeatHandle = -1, noiseHandle = -1;
    // The spoken message of the last completed objective, until the next one or the unload.
    std::unique_ptr<SoundStream> objectiveMessage;
};
