#include "platform/skeleton/Deformer.h"

namespace platform::skeleton {

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
        float m[12];
        {
            const float* a = matrices[v.bones[0]];
            const float w = v.weights[0];
            m[0] = a[0] * w; m[1] = a[1] * w; m[2] = a[2] * w;
            m[3] = a[4] * w; m[4] = a[5] * w; m[5] = a[6] * w;
            m[6] = a[8] * w; m[7] = a[9] * w; m[8] = a[10] * w;
            m[9] = a[12] * w; m[10] = a[13] * w; m[11] = a[14] * w;
        }
        for (int k = 1; k < 4; ++k) {
            const float w = v.weights[k];
            if (w == 0.0f)
                break; // influences are sorted, strongest first
            const float* a = matrices[v.bones[k]];
            m[0] += a[0] * w; m[1] += a[1] * w; m[2] += a[2] * w;
            m[3] += a[4] * w; m[4] += a[5] * w; m[5] += a[6] * w;
            m[6] += a[8] * w; m[7] += a[9] * w; m[8] += a[10] * w;
            m[9] += a[12] * w; m[10] += a[13] * w; m[11] += a[14] * w;
        }
        const float px = v.position.x, py = v.position.y, pz = v.position.z;
        const float nx = v.normal.x, ny = v.normal.y, nz = v.normal.z;
        DeformedVertex& d = out[i];
        d.position[0] = px * m[0] + py * m[3] + pz * m[6] + m[9];
        d.position[1] = px * m[1] + py * m[4] + pz * m[7] + m[10];
        d.position[2] = px * m[2] + py * m[5] + pz * m[8] + m[11];
        d.normal[0] = nx * m[0] + ny * m[3] + nz * m[6];
        d.normal[1] = nx * m[1] + ny * m[4] + nz * m[7];
        d.normal[2] = nx * m[2] + ny * m[5] + nz * m[8];
        d.uv[0] = v.u;
        d.uv[1] = v.v;
    }
    return true;
}

} // namespace platform::skeleton
