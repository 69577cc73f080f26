#include "platform/skeleton/AnimationControl.h"

#include <algorithm>
#include <cmath>

namespace platform::skeleton {

namespace {

float Smooth(float x)
{
    x = std::clamp(x, 0.0f, 1.0f);
    return x * x * (3.0f - 2.0f * x);
}

} // namespace

float AnimationControl::Duration() const
{
    if (loopCount == 0)
        return 0.0f;
    return static_cast<float>(loopCount) * animation->duration;
}

float AnimationControl::DurationLeft() const
{
    float left = kNever;
    if (loopCount > 0) {
        const float end = Duration();
        if (localClock >= end)
            left = 0.0f;
        else if (speed > 0.0f)
            left = (end - localClock) / speed;
    }
    if (completeAt != kNever)
        left = std::min(left, std::max(completeAt - modelClock, 0.0f));
    return left;
}

void AnimationControl::EaseIn(float duration)
{
    easeIn = {modelClock, modelClock + std::max(duration, 0.0f), true};
}

void AnimationControl::EaseOut(float duration)
{
    easeOut = {modelClock, modelClock + std::max(duration, 0.0f), true};
}

float AnimationControl::EffectiveWeight() const
{
    if (IsComplete())
        return 0.0f;
    float w = weight;
    if (easeIn.active) {
        const float span = easeIn.end - easeIn.start;
        w *= span > 0.0f ? Smooth((modelClock - easeIn.start) / span) : 1.0f;
    }
    if (easeOut.active) {
        const float span = easeOut.end - easeOut.start;
        w *= span > 0.0f ? 1.0f - Smooth((modelClock - easeOut.start) / span) : 0.0f;
    }
    return w;
}

float AnimationControl::LocalTime() const
{
    const float length = animation->duration;
    if (!(length > 0.0f) || !(localClock > 0.0f))
        return 0.0f;
    if (loopCount > 0 && localClock >= static_cast<float>(loopCount) * length)
        return length;
    return std::fmod(localClock, length);
}

} // namespace platform::skeleton
