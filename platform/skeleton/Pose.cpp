#include "platform/skeleton/Pose.h"

namespace platform::skeleton {

bool BuildRestPose(const Skeleton& skeleton, std::span<Transform> localPose)
{
    if (localPose.size() < skeleton.bones.size())
        return false;
    for (std::size_t b = 0; b < skeleton.bones.size(); ++b)
        localPose[b] = skeleton.bones[b].rest;
    return true;
}

WorldPose::WorldPose(int boneCount)
{
    Resize(boneCount);
}

void WorldPose::Resize(int boneCount)
{
    const std::size_t count = boneCount > 0 ? static_cast<std::size_t>(boneCount) : 0;
    world.assign(count, Matrix4());
    composite.assign(count, Matrix4());
}

const Matrix4* WorldPose::BoneMatrix(int bone) const
{
    if (bone < 0 || bone >= BoneCount())
        return nullptr;
    return &world[static_cast<std::size_t>(bone)];
}

bool BuildWorldPose(const Skeleton& skeleton, std::span<const Transform> localPose, const Matrix4* offset,
                    WorldPose& out)
{
    const std::size_t count = skeleton.bones.size();
    if (localPose.size() < count || out.world.size() < count)
        return false;
    for (std::size_t b = 0; b < count; ++b) {
        const Bone& bone = skeleton.bones[b];
        const Matrix4 local = localPose[b].ToMatrix();
        // Parents come first, so their world matrices are ready; a bad parent is treated as a root.
        if (bone.parent >= 0 && static_cast<std::size_t>(bone.parent) < b)
            out.world[b] = local * out.world[static_cast<std::size_t>(bone.parent)];
        else if (offset)
            out.world[b] = local * *offset;
        else
            out.world[b] = local;
        out.composite[b] = bone.inverseWorld * out.world[b];
    }
    return true;
}

} // namespace platform::skeleton
