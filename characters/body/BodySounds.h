#pragma once

#include "engine/core/Vector.h"

class Character;

// The sounds the running level plays for a character's body: a footstep on a tile, a landing,
// being run over. The mission implements it (mission/services/MissionScene.h); with no level, NoLevel
// answers with silence.
class BodySounds {
public:
    virtual ~BodySounds() = default;

    virtual void PlayTileSound(int foot, int tile, const Vector3& position, bool running) = 0;
    virtual void PlayHitGroundSound(Character* character) = 0;
    virtual void PlayCarHitBodySound(const Vector3& position) = 0;
};
