#pragma once

#include "platform/skeleton/FileData.h"

#include <span>
#include <vector>

namespace platform::skeleton {

// Writes the skeleton's rest placements into the first BoneCount() entries of a local pose;
// false when the pose is too small.
bool BuildRestPose(const Skeleton& skeleton, std::span<Transform> localPose);

// Per bone, its world matrix and its composite (skinning) matrix.
class WorldPose {
public:
    explicit WorldPose(int boneCount = 0);

    void Resize(int boneCount);
    int BoneCount() const { return static_cast<int>(world.size()); }

    // The bone's world matrix, null for a bone outside the pose.
    const Matrix4* BoneMatrix(int bone) const;
    std::span<const Matrix4> WorldMatrices() const { return world; }
    std::span<const Matrix4> Composites() const { return composite; }

private:
    friend bool BuildWorldPose(const Skeleton&, std::span<const Transform>, const Matrix4*, WorldPose&);

    std::vector<Matrix4> world;
    std::vector<Matrix4> composite;
};

// world = local x parent's world (roots: local x offset, when an offset is given); composite =
// the bone's inverse bind-pose world x world, which carries bind-pose vertices to the posed model.
// False, and nothing written, when the local pose or the world pose has fewer entries than bones.
bool BuildWorldPose(const Skeleton& skeleton, std::span<const Transform> localPose, const Matrix4* offset,
                    WorldPose& out);

} // namespace platform::skeleton
