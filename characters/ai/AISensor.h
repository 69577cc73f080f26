#pragma once

#include <cstddef>

#include "engine/core/Matrix.h"
#include "engine/core/Vector.h"

// What a sensed source offers: where it is, how visible, how loud and how large it is.
struct StimulusSource {
    Vector3 position;
    float visibility = 0.0f; // 0 = not visible at all
    float noise = 0.0f;      // 0 = silent
    float size = 0.0f;       // strength on the third channel
};

// How much of each channel gets through to the observer, 1.0 each before the sight and hearing
// test.
struct ChannelMultipliers {
    float sightFactor = 1.0f;
    float soundFactor = 1.0f;
    float thirdFactor = 1.0f;
};

// What one sensing gave: the three stimuli and the distance as a percentage of the sight range.
struct SenseResult {
    float sight = 0.0f;
    float sound = 0.0f;
    float third = 0.0f;
    float distancePercent = 0.0f;
};

// The channels sensed by every AI: bit 0 sight, bit 1 hearing, bit 2 the third channel (the
// mission's developer commands switch them).
inline int senseChannels = 7;

// How much of a source at distance gets through the camera's fog: 1 up to the fog start
// (fogStart x farDistance), falling to 0 at the far distance. With no fog band (fog starting at
// or beyond the far distance, or no far distance) the limit holds: everything nearer than the far
// distance is fully visible, nothing at or beyond it.
float FogSightFactor(float distance, float farDistance, float fogStart);

// One character's perception: the parameters of its ".sns" file and the stimuli summed since
// the owner last took them.
class AISensor {
public:
    // Longest line read; the rest of a longer line is dropped.
    static constexpr std::size_t kMaxLineLength = 255;
    // Largest magnitude of a file value; a larger one is clamped to it.
    static constexpr float kMaxValue = 1.0e6f;

    AISensor() = default;
    virtual ~AISensor();

    void SetView(const Vector3& eye, const Matrix3& viewOrientation);
    // Reads a ".sns" file: a comment line, then the eight values one a line in the order of the
    // fields below (a missing or unreadable line reads 0). A file that can't be opened changes
    // nothing; a value that is not a finite number reads 0, with a log line.
    void Load(const char* path);
    // Turns one source into stimuli (see the source file), adds them to the accumulators and
    // returns their sum. Null multipliers mean 1.0 each; a zoom above 0 divides the distance
    // of the sight falloff; a distance of 0 or less is measured from the eye.
    float Sense(const StimulusSource& source, const ChannelMultipliers* multipliers, SenseResult& result, float zoom,
                float distance);
    // The summed stimulus since the last take; the accumulators restart from 0.
    float TakeStimulus();

    Vector3 eyePosition;
    Matrix3 orientation;           // its third row is the view direction
    float sightAccumulator = 0.0f;
    float soundAccumulator = 0.0f;
    float thirdAccumulator = 0.0f;
    float soundFullDistance = 0.0f; // up to here a sound counts at full strength
    float hearingRange = 0.0f;      // nothing is heard at or beyond
    float soundWeight = 0.0f;       // weight of sounds beyond soundFullDistance; 0 = deaf
    float viewConeCos = 0.0f;       // a source is seen when the cosine of its angle is greater
    float sightRange = 0.0f;        // nothing is seen at or beyond; the 100 % distance mark
    float sightWeight = 0.0f;       // 0 = blind
    float thirdRange = 0.0f;        // range of the third channel (nearness alone)
    float thirdWeight = 0.0f;       // 0 = off
};
