#include "platform/skeleton/Deformer.h"

#include <cstring>

namespace platform::skeleton {

namespace {

// Four floats worked on at once (GCC's and Clang's vector extension: SSE on x86-64, NEON on ARM);
// each lane does the same multiplies and adds in the same order as scalar code would.
using Lanes = float __attribute__((vector_size(16)));

Lanes Row(const float* row)
{
    Lanes lanes;
    std::memcpy(&lanes, row, sizeof lanes);
    return lanes;
}

Lanes Broadcast(float value)
{
    return Lanes{value, value, value, value};
}

} // namespace

bool DeformVertices(const MeshBinding& binding, std::span<const Matrix4> composites,
                    std::span<DeformedVertex> destination)
{
    const Mesh& mesh = binding.GetMesh();
    const std::span<const int> boneMap = binding.BoneMap();
    if (destination.size() < mesh.vertices.size() || boneMap.size() > static_cast<std::size_t>(kMaxBones))
        return false;
    if (composites.empty())
        return false;
    // Every byte value gets a matrix, so no vertex can reach outside the table whatever its bone
    // numbers; those the reader lets through are all below the map's size.
    const float* matrices[kMaxBones];
    for (std::size_t b = 0; b < static_cast<std::size_t>(kMaxBones); ++b)
        matrices[b] = composites[0].m;
    for (std::size_t b = 0; b < boneMap.size(); ++b) {
        if (boneMap[b] < 0 || static_cast<std::size_t>(boneMap[b]) >= composites.size())
            return false;
        matrices[b] = composites[static_cast<std::size_t>(boneMap[b])].m;
    }
    const MeshVertex* source = mesh.vertices.data();
    DeformedVertex* out = destination.data();
    const std::size_t count = mesh.vertices.size();
    for (std::size_t i = 0; i < count; ++i) {
        const MeshVertex& v = source[i];
        // The blended rows of the 3x3 part and the translation, four lanes each; the fourth
        // lane rides along unused, so each row is one multiply and one add per bone.
        const float* a = matrices[v.bones[0]];
        Lanes w = Broadcast(v.weights[0]);
        Lanes row0 = Row(a) * w, row1 = Row(a + 4) * w, row2 = Row(a + 8) * w, row3 = Row(a + 12) * w;
        for (int k = 1; k < 4; ++k) {
            if (v.weights[k] == 0.0f)
                break; // influences are sorted, strongest first
            a = matrices[v.bones[k]];
            w = Broadcast(v.weights[k]);
            row0 += Row(a) * w;
            row1 += Row(a + 4) * w;
            row2 += Row(a + 8) * w;
            row3 += Row(a + 12) * w;
        }
        const Lanes position = row0 * v.position.x + row1 * v.position.y + row2 * v.position.z + row3;
        const Lanes normal = row0 * v.normal.x + row1 * v.normal.y + row2 * v.normal.z;
        DeformedVertex& d = out[i];
        d.position[0] = position[0];
        d.position[1] = position[1];
        d.position[2] = position[2];
        d.normal[0] = normal[0];
        d.normal[1] = normal[1];
        d.normal[2] = normal[2];
        d.uv[0] = v.u;
        d.uv[1] = v.v;
    }
    return true;
}

} // namespace platform::skeleton
