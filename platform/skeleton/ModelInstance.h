#pragma once

#include "platform/skeleton/AnimationControl.h"

#include <memory>
#include <span>
#include <vector>

namespace platform::skeleton {

// A posable copy of a model: its skeleton, a model clock and the animations playing on it. The
// skeleton and every animation played must outlive the instance.
class ModelInstance {
public:
    explicit ModelInstance(const Skeleton& skeleton);

    ModelInstance(const ModelInstance&) = delete;
    ModelInstance& operator=(const ModelInstance&) = delete;

    const Skeleton& GetSkeleton() const { return *skeleton; }

    // Moves the model clock; every control's local clock advances by the step times its speed.
    void SetClock(float seconds);
    float Clock() const { return clock; }

    // Starts an animation whose local clock is 0 at model time startTime (speed 1, weight 1,
    // looping forever). Null when the animation moves none of the skeleton's bones.
    AnimationControl* PlayAnimation(const Animation& animation, float startTime);
    // Frees the control at once; null or a control of another instance is ignored.
    void FreeControl(AnimationControl* control);
    // Frees every control that has passed its completion time.
    void FreeCompletedControls();
    int ControlCount() const { return static_cast<int>(controls.size()); }

    // Blends every control into the first BoneCount() entries of the local pose: per bone, the
    // controls that move it are averaged by their effective weights; where those weights add up
    // to less than 1 the rest pose makes up the difference. False when the pose is too small.
    bool SampleAnimations(std::span<Transform> localPose) const;

private:
    const Skeleton* skeleton;
    float clock = 0.0f;
    std::vector<std::unique_ptr<AnimationControl>> controls;
};

} // namespace platform::skeleton
