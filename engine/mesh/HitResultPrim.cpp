#include <cstring>
#include <utility>

#include "engine/core/Geometry.h"
#include "engine/core/HitResult.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "renderer/Device.h"

namespace {

Vector3 PositionOf(const std::uint8_t* vertices, int stride, int index)
{
    float xyz[3];
    std::memcpy(xyz, vertices + std::size_t(index) * std::size_t(stride), sizeof(xyz));
    return Vector3(xyz[0], xyz[1], xyz[2]);
}

} // namespace

bool HitResult::IntersectPrim(D3DPrim* prim, PickFilterCallback filter, int* index0, int* index1, int* index2)
{
    distance = kNoHit;
    if (!prim)
        return false;
    const int vertexCount = prim->GetVertexCount(true);
    const int indexCount = prim->GetIndexCount(true);
    const int count = indexCount > 0 ? indexCount : vertexCount;
    VertexLayout layout;
    prim->GetVertexFormat(&layout);
    HitResult work = *this;

    const auto* vertices = static_cast<const std::uint8_t*>(prim->GetVertices(false, true));
    const std::uint16_t* indices = indexCount > 0 ? prim->GetIndices(false, true) : nullptr;
    const int type = prim->primitiveType;
    const bool wide = (prim->GetFlags() & PrimIndex32) != 0;
    // Positions are the first 12 bytes of each vertex, so a vertex must be at least that big.
    if (vertices && layout.vertexSize >= 12 && (type == PrimTriangleList || type == PrimTriangleFan)) {
        const Material* material = prim->material;
        const bool twoSided = material && (material->cullFlags & Material::kTwoSided);
        const int triangles = type == PrimTriangleList ? count / 3 : count - 2;
        for (int t = 0; t < triangles; ++t) {
            int vi[3];
            if (type == PrimTriangleList) {
                vi[0] = 3 * t;
                vi[1] = 3 * t + 1;
                vi[2] = 3 * t + 2;
            } else {
                vi[0] = 0;
                vi[1] = t + 1;
                vi[2] = t + 2;
            }
            if (indices)
                for (int& k : vi)
                    k = wide ? int(reinterpret_cast<const std::uint32_t*>(indices)[k]) : int(indices[k]);
            // An index past the vertex array names no triangle.
            if (vi[0] >= vertexCount || vi[1] >= vertexCount || vi[2] >= vertexCount)
                continue;
            Vector3 a = PositionOf(vertices, layout.vertexSize, vi[0]);
            const Vector3 b = PositionOf(vertices, layout.vertexSize, vi[1]);
            Vector3 c = PositionOf(vertices, layout.vertexSize, vi[2]);
            Vector3 n = TriangleNormal(a, b, c);
            bool hit = TriangleIntersectRay(work, a, b, c, &n);
            if (!hit && twoSided) {
                std::swap(a, c);
                std::swap(vi[0], vi[2]);
                n = -n;
                hit = TriangleIntersectRay(work, a, b, c, &n);
            }
            if (!hit)
                continue;
            if (filter && !filter(prim, work, &vi[0], &vi[1], &vi[2]))
                continue;
            if (work.distance < distance) {
                distance = work.distance;
                hitPoint = work.hitPoint;
                normal = work.normal;
                u = work.u;
                v = work.v;
                hitObject = prim->material;
                ++hitCount;
                if (index0)
                    *index0 = vi[0];
                if (index1)
                    *index1 = vi[1];
                if (index2)
                    *index2 = vi[2];
            }
        }
    }
    prim->Nop6();
    prim->Nop4();
    return distance != kNoHit;
}
