#include "platform/skeleton/ModelInstance.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace platform::skeleton {

ModelInstance::ModelInstance(const Skeleton& skeleton) : skeleton(&skeleton) {}

void ModelInstance::SetClock(float seconds)
{
    for (const std::unique_ptr<AnimationControl>& c : controls) {
        c->localClock += (seconds - c->modelClock) * c->speed;
        c->modelClock = seconds;
    }
    clock = seconds;
}

AnimationControl* ModelInstance::PlayAnimation(const Animation& animation, float startTime)
{
    auto control = std::make_unique<AnimationControl>();
    control->animation = &animation;
    control->trackOfBone.resize(skeleton->bones.size(), -1);
    bool movesAny = false;
    for (std::size_t b = 0; b < skeleton->bones.size(); ++b) {
        control->trackOfBone[b] = animation.FindTrack(skeleton->bones[b].name);
        movesAny = movesAny || control->trackOfBone[b] >= 0;
    }
    if (!movesAny)
        return nullptr;
    control->modelClock = clock;
    control->localClock = clock - startTime;
    controls.push_back(std::move(control));
    return controls.back().get();
}

void ModelInstance::FreeControl(AnimationControl* control)
{
    const auto it = std::find_if(controls.begin(), controls.end(),
                                 [control](const std::unique_ptr<AnimationControl>& c) { return c.get() == control; });
    if (it != controls.end())
        controls.erase(it);
}

void ModelInstance::FreeCompletedControls()
{
    std::erase_if(controls, [](const std::unique_ptr<AnimationControl>& c) { return c->IsComplete(); });
}

bool ModelInstance::SampleAnimations(std::span<Transform> localPose) const
{
    const std::size_t boneCount = skeleton->bones.size();
    if (localPose.size() < boneCount || boneCount > static_cast<std::size_t>(kMaxBones))
        return false;
    std::array<float, kMaxBones> total{};
    for (std::size_t b = 0; b < boneCount; ++b)
        localPose[b] = Transform{Vector3(), Quaternion(0.0f, 0.0f, 0.0f, 0.0f), Vector3()};

    for (const std::unique_ptr<AnimationControl>& c : controls) {
        const float w = c->EffectiveWeight();
        if (!(w > 0.0f))
            continue;
        const float time = c->LocalTime();
        const std::vector<BoneTrack>& tracks = c->animation->tracks;
        for (std::size_t b = 0; b < boneCount; ++b) {
            const int track = c->trackOfBone[b];
            if (track < 0)
                continue;
            const Transform t = tracks[static_cast<std::size_t>(track)].Sample(time);
            Transform& acc = localPose[b];
            acc.translation += t.translation * w;
            acc.scale += t.scale * w;
            // Rotations are summed on the rest rotation's side of the sphere, so q and -q agree.
            const Quaternion& rest = skeleton->bones[b].rest.rotation;
            const float side = (t.rotation.x * rest.x + t.rotation.y * rest.y + t.rotation.z * rest.z +
                                t.rotation.w * rest.w) < 0.0f ? -w : w;
            acc.rotation.x += t.rotation.x * side;
            acc.rotation.y += t.rotation.y * side;
            acc.rotation.z += t.rotation.z * side;
            acc.rotation.w += t.rotation.w * side;
            total[b] += w;
        }
    }

    for (std::size_t b = 0; b < boneCount; ++b) {
        Transform& acc = localPose[b];
        const Transform& rest = skeleton->bones[b].rest;
        float sum = total[b];
        if (sum < 1.0f) {
            const float r = 1.0f - sum;
            acc.translation += rest.translation * r;
            acc.scale += rest.scale * r;
            acc.rotation.x += rest.rotation.x * r;
            acc.rotation.y += rest.rotation.y * r;
            acc.rotation.z += rest.rotation.z * r;
            acc.rotation.w += rest.rotation.w * r;
            sum = 1.0f;
        }
        const float inverse = 1.0f / sum;
        acc.translation *= inverse;
        acc.scale *= inverse;
        Quaternion& q = acc.rotation;
        const float length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
        if (length > 1e-12f) {
            q.x /= length; q.y /= length; q.z /= length; q.w /= length;
        } else {
            q = rest.rotation; // opposite rotations cancelled out
        }
    }
    return true;
}

} // namespace platform::skeleton
