#include "characters/ai/AISensor.h"

#include <cmath>
#include <cstdlib>
#include <string>

#include "engine/core/EngineLog.h"
#include "engine/filesystem/TextLines.h"

namespace {

constexpr float kFarBeyond = 3.4e38f;

} // namespace

float FogSightFactor(float distance, float farDistance, float fogStart)
{
    const float band = farDistance - farDistance * fogStart;
    if (!(band > 0.0f))
        return distance < farDistance ? 1.0f : 0.0f;
    const float factor = (farDistance - distance) / band;
    return factor < 0.0f ? 0.0f : (factor > 1.0f ? 1.0f : factor);
}

AISensor::~AISensor()
{
    eyePosition = Vector3();
    orientation.SetIdentity();
    sightAccumulator = soundAccumulator = thirdAccumulator = 0.0f;
    soundFullDistance = hearingRange = soundWeight = viewConeCos = 0.0f;
    sightRange = sightWeight = thirdRange = thirdWeight = 0.0f;
}

void AISensor::SetView(const Vector3& eye, const Matrix3& viewOrientation)
{
    eyePosition = eye;
    orientation = viewOrientation;
}

void AISensor::Load(const char* path)
{
    std::string text;
    if (!ReadDataText(path, text))
        return;
    float* const values[] = {&soundFullDistance, &hearingRange, &soundWeight, &viewConeCos,
                             &sightRange,        &sightWeight,  &thirdRange,  &thirdWeight};
    float read[8] = {};
    int line = 0;
    ForEachTextLine(text, kMaxLineLength, [&](std::string_view content) {
        if (line >= 1) {
            const float value = static_cast<float>(std::atof(std::string(content).c_str()));
            if (!std::isfinite(value)) {
                LogToEngine("AISensor::Load - %s line %d is not a finite number, read as 0", path, line + 1);
            } else if (std::fabs(value) > kMaxValue) {
                // A weight this large would carry a stimulus past a float's range.
                LogToEngine("AISensor::Load - %s line %d is beyond 1000000, clamped", path, line + 1);
                read[line - 1] = std::copysign(kMaxValue, value);
            } else {
                read[line - 1] = value;
            }
        }
        return ++line < 9;
    });
    for (int i = 0; i < 8; ++i)
        *values[i] = read[i];
}

float AISensor::Sense(const StimulusSource& source, const ChannelMultipliers* multipliers, SenseResult& result,
                      float zoom, float distance)
{
    const ChannelMultipliers m = multipliers ? *multipliers : ChannelMultipliers();
    const float d = distance > 0.0f ? distance : source.position.Distance(eyePosition);
    const float seen = zoom > 0.0f ? d / zoom : d;
    // Without a sight range everything but the eye's own point lies beyond it.
    if (sightRange > 0.0f)
        result.distancePercent = seen / sightRange * 100.0f;
    else
        result.distancePercent = seen > 0.0f ? kFarBeyond : 0.0f;

    float sight = 0.0f;
    if ((senseChannels & 1) && source.visibility > 0.0f && m.sightFactor > 0.0f && sightWeight > 0.0f &&
        d < sightRange) {
        Vector3 toSource = source.position - eyePosition;
        toSource.Normalize();
        const Vector3 view(orientation(2, 0), orientation(2, 1), orientation(2, 2));
        if (toSource.Dot(view) > viewConeCos) {
            // A zoom below 1 could push the falloff distance past the range: never a negative sight.
            const float left = sightRange - seen > 0.0f ? sightRange - seen : 0.0f;
            sight = m.sightFactor * (left / sightRange * sightWeight) * source.visibility;
            sightAccumulator += sight;
        }
    }

    float sound = 0.0f;
    if ((senseChannels & 2) && source.noise > 0.0f && m.soundFactor > 0.0f && soundWeight > 0.0f &&
        d < hearingRange) {
        if (d < soundFullDistance)
            sound = m.soundFactor * source.noise;
        else // d >= soundFullDistance here; without a full-strength zone the falloff is 0 throughout
            sound = soundWeight * m.soundFactor * source.noise *
                    (d > 0.0f && soundFullDistance > 0.0f ? soundFullDistance / d : 0.0f);
        soundAccumulator += sound;
    }

    float third = 0.0f;
    if ((senseChannels & 4) && source.size > 0.0f && m.thirdFactor > 0.0f && thirdWeight > 0.0f && d < thirdRange) {
        third = m.thirdFactor * source.size * thirdWeight * (thirdRange - d) / thirdRange;
        thirdAccumulator += third;
    }

    result.sight = sight;
    result.sound = sound;
    result.third = third;
    return sight + sound + third;
}

float AISensor::TakeStimulus()
{
    const float total = sightAccumulator + soundAccumulator + thirdAccumulator;
    sightAccumulator = soundAccumulator = thirdAccumulator = 0.0f;
    return total;
}
