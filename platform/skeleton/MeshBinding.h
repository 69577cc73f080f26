#pragma once

#include "platform/skeleton/FileData.h"

#include <span>
#include <vector>

namespace platform::skeleton {

// Ties a mesh's bones to the bones of a skeleton by name, the mesh's own or another model's of the
// same build. The mesh and the skeleton must outlive the binding.
class MeshBinding {
public:
    MeshBinding(const Mesh& mesh, const Skeleton& skeleton);

    const Mesh& GetMesh() const { return *mesh; }
    const Skeleton& GetSkeleton() const { return *skeleton; }
    // Skeleton bone of each mesh bone.
    std::span<const int> BoneMap() const { return boneMap; }
    // Mesh bones the skeleton has no bone for; they follow the skeleton's first bone.
    int UnmatchedBones() const { return unmatched; }

private:
    const Mesh* mesh;
    const Skeleton* skeleton;
    std::vector<int> boneMap;
    int unmatched = 0;
};

} // namespace platform::skeleton
