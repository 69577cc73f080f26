#pragma once

#include "characters/ai/AISensor.h"

// What an observer's sensing of a candidate gave, handed to the candidate's target rating: the
// three stimuli and the distance as a percentage of the observer's sight range.
struct Stimulus {
    float sight = 0.0f;
    float sound = 0.0f;
    float third = 0.0f;
    float distancePercent = 0.0f;

    Stimulus() = default;
    explicit Stimulus(const SenseResult& result)
        : sight(result.sight), sound(result.sound), third(result.third), distancePercent(result.distancePercent)
    {
    }
};
