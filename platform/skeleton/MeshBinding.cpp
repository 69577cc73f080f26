#include "platform/skeleton/MeshBinding.h"

namespace platform::skeleton {

MeshBinding::MeshBinding(const Mesh& mesh, const Skeleton& skeleton) : mesh(&mesh), skeleton(&skeleton)
{
    boneMap.reserve(mesh.bones.size());
    for (const MeshBone& bone : mesh.bones) {
        int index = skeleton.FindBone(bone.name);
        if (index < 0) {
            ++unmatched;
            index = 0;
        }
        boneMap.push_back(index);
    }
}

} // namespace platform::skeleton
