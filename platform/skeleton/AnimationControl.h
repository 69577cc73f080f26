#pragma once

#include "platform/skeleton/FileData.h"

#include <limits>
#include <vector>

namespace platform::skeleton {

class ModelInstance;

// One animation playing on one model instance. The instance owns it; the handle stays valid until
// ModelInstance::FreeControl, or until FreeCompletedControls once CompleteAt has been set.
//
// Clocks: the model clock is the instance's (seconds); the raw local clock runs speed times as fast
// and starts at 0 at the start time. Local time wraps with the animation's duration, and a finite
// loop count holds the last frame once its loops are done (the control keeps its weight).
class AnimationControl {
public:
    static constexpr float kNever = std::numeric_limits<float>::infinity();

    const Animation& GetAnimation() const { return *animation; }

    float Speed() const { return speed; }
    void SetSpeed(float value) { speed = value; }
    float Weight() const { return weight; }
    void SetWeight(float value) { weight = value; }
    // 0 = loop forever; negative counts are taken as 0.
    int LoopCount() const { return loopCount; }
    void SetLoopCount(int value) { loopCount = value > 0 ? value : 0; }

    float RawLocalClock() const { return localClock; }
    void SetRawLocalClock(float value) { localClock = value; }

    // Local seconds of all loops: loop count x the animation's duration; 0 when looping forever.
    float Duration() const;
    // Model seconds until the last loop ends (or the completion time, if sooner); 0 when over,
    // kNever when it never ends by itself.
    float DurationLeft() const;

    // Weight rises from 0 to full over the duration, from the current model clock; smooth at both
    // ends (3x^2 - 2x^3).
    void EaseIn(float duration);
    // Weight falls from full to 0 over the duration, from the current model clock.
    void EaseOut(float duration);
    // The control counts as complete from that model time on: it stops contributing, and
    // ModelInstance::FreeCompletedControls frees it.
    void CompleteAt(float modelTime) { completeAt = modelTime; }
    bool IsComplete() const { return modelClock >= completeAt; }

    // Weight x ease factors at the current model clock; 0 once complete.
    float EffectiveWeight() const;
    // The time within the animation that is sampled now.
    float LocalTime() const;

private:
    friend class ModelInstance;

    struct Ease {
        float start = 0.0f;
        float end = 0.0f;
        bool active = false;
    };

    const Animation* animation = nullptr;
    std::vector<int> trackOfBone; // per skeleton bone, -1 when the animation does not move it
    float speed = 1.0f;
    float weight = 1.0f;
    int loopCount = 0;
    float localClock = 0.0f;
    float modelClock = 0.0f;
    float completeAt = kNever;
    Ease easeIn;
    Ease easeOut;
};

} // namespace platform::skeleton
