#include "world/shadows/ShadowVolume.h"

#include <cmath>
#include <unordered_map>

#include "engine/material/Material.h"
#include "engine/mesh/MeshVertices.h"
#include "engine/mesh/qMesh.h"

namespace {

constexpr float kWeld = 0.01f;

// Gives every vertex of the opaque prims the id of the first earlier vertex within 0.01 of it.
class Welder {
public:
    int Add(const Vector3& p)
    {
        const long long cx = std::llround(std::floor(p.x / kWeld)), cy = std::llround(std::floor(p.y / kWeld)),
                        cz = std::llround(std::floor(p.z / kWeld));
        for (long long dx = -1; dx <= 1; ++dx)
            for (long long dy = -1; dy <= 1; ++dy)
                for (long long dz = -1; dz <= 1; ++dz) {
                    auto range = cells.equal_range(Key(cx + dx, cy + dy, cz + dz));
                    for (auto it = range.first; it != range.second; ++it)
                        if (points[std::size_t(it->second)].DistanceSquared(p) < kWeld * kWeld)
                            return it->second;
                }
        const int id = int(points.size());
        points.push_back(p);
        cells.emplace(Key(cx, cy, cz), id);
        return id;
    }

private:
    static std::uint64_t Key(long long x, long long y, long long z)
    {
        return (std::uint64_t(x) * 73856093u) ^ (std::uint64_t(y) * 19349663u) ^ (std::uint64_t(z) * 83492791u);
    }
    std::vector<Vector3> points;
    std::unordered_multimap<std::uint64_t, int> cells;
};

void PutVertex(ShadowVolume& volume, const Vector3& p, std::uint32_t colour)
{
    ShadowVolumeVertex& v = volume.vertices[std::size_t(volume.vertexCount++)];
    v = ShadowVolumeVertex{{p.x, p.y, p.z}, {0, 0, 0}, colour, {0, 0, 0, 0}};
}

} // namespace

ShadowMesh ShadowMesh::FromMesh(qMesh* mesh)
{
    ShadowMesh out;
    if (!mesh)
        return out;
    for (D3DPrim* prim : mesh->prims) {
        Prim& copy = out.prims.emplace_back();
        if (!prim)
            continue;
        copy.opaque = !prim->material ||
                      (prim->material->srcBlend == BlendOne && prim->material->destBlend == BlendZero);
        copy.triangleList = prim->primitiveType == PrimTriangleList;
        const MeshVertices vertices(prim, false);
        const MeshIndices indices(prim, false);
        for (int i = 0; i < vertices.Count(); ++i) {
            copy.positions.push_back(vertices.Position(i));
            copy.normals.push_back(vertices.Normal(i));
        }
        copy.corners = TriangleCorners(prim, vertices, indices);
        out.vertexCount += int(copy.positions.size());
        out.indexCount += int(copy.corners.size());
    }
    return out;
}

Vector3 ShadowMesh::FaceNormal(int prim, const int corners[3]) const
{
    const std::vector<Vector3>& p = prims[std::size_t(prim)].positions;
    const Vector3& a = p[std::size_t(corners[0])];
    return Cross(p[std::size_t(corners[1])] - a, p[std::size_t(corners[2])] - a);
}

bool ShadowEdges::Build(const ShadowMesh& mesh, std::vector<ShadowEdge>& edges, std::vector<ShadowEdge>& open)
{
    edges.clear();
    open.clear();
    Welder welder;
    std::vector<std::vector<int>> ids(mesh.prims.size());
    for (std::size_t p = 0; p < mesh.prims.size(); ++p)
        if (mesh.prims[p].opaque && mesh.prims[p].triangleList)
            for (const Vector3& position : mesh.prims[p].positions)
                ids[p].push_back(welder.Add(position));
    std::unordered_map<std::uint64_t, int> listed; // welded (low id, high id) -> edge
    int firstTriangle = 0;
    for (std::size_t p = 0; p < mesh.prims.size(); ++p) {
        const std::vector<int>& corners = mesh.prims[p].corners;
        const int primFirstTriangle = firstTriangle;
        firstTriangle += int(corners.size() / 3);
        if (ids[p].empty())
            continue;
        for (std::size_t t = 0; t + 2 < corners.size(); t += 3) {
            const ShadowFace face{int(p), {corners[t], corners[t + 1], corners[t + 2]}, primFirstTriangle + int(t / 3)};
            for (int e = 0; e < 3; ++e) {
                const int a = face.corners[e], b = face.corners[(e + 1) % 3];
                const int wa = ids[p][std::size_t(a)], wb = ids[p][std::size_t(b)];
                if (wa == wb)
                    continue; // a degenerate edge bounds nothing
                const std::uint64_t key = std::uint64_t(std::uint32_t(std::min(wa, wb))) << 32 |
                                          std::uint32_t(std::max(wa, wb));
                const auto [it, added] = listed.emplace(key, int(edges.size()));
                if (added) {
                    ShadowEdge edge;
                    edge.a = a, edge.b = b;
                    edge.first = face;
                    edges.push_back(edge);
                } else if (ShadowEdge& edge = edges[std::size_t(it->second)]; edge.second.prim < 0) {
                    edge.second = face;
                }
            }
        }
    }
    for (const ShadowEdge& edge : edges)
        if (edge.second.prim < 0)
            open.push_back(edge);
    return !open.empty();
}

bool ShadowEdges::Contains(const ShadowMesh& mesh, const std::vector<ShadowEdge>& edges, const Vector3& a,
                           const Vector3& b)
{
    for (const ShadowEdge& edge : edges) {
        const std::vector<Vector3>& p = mesh.prims[std::size_t(edge.first.prim)].positions;
        const Vector3& ea = p[std::size_t(edge.a)];
        const Vector3& eb = p[std::size_t(edge.b)];
        const float w = kWeld * kWeld;
        if ((ea.DistanceSquared(a) < w && eb.DistanceSquared(b) < w) ||
            (ea.DistanceSquared(b) < w && eb.DistanceSquared(a) < w))
            return true;
    }
    return false;
}

void ShadowVolume::Clear()
{
    vertexCount = sideIndexCount = capIndexCount = sideVertexCount = 0;
}

void ShadowVolume::Build(const ShadowMesh& mesh, const std::vector<ShadowEdge>& edges, float lightX, float lightY,
                         float lightZ, ShadowVolume& volume)
{
    volume.Clear();
    // Caps copy three vertices a triangle, which is more than the mesh has when triangles share them.
    const std::size_t vertexCapacity = std::size_t(mesh.indexCount) + 4 * edges.size();
    if (volume.vertices.size() < vertexCapacity)
        volume.vertices.resize(vertexCapacity);
    if (volume.sideIndices.size() < 6 * edges.size())
        volume.sideIndices.resize(6 * edges.size());
    if (volume.capIndices.size() < std::size_t(mesh.indexCount))
        volume.capIndices.resize(std::size_t(mesh.indexCount));
    const Vector3 light(lightX, lightY, lightZ);
    const Vector3 push = light * -kExtrusion;
    // Each triangle is tested against the light once, though two edges and the cap ask for it.
    volume.facing.clear();
    for (std::size_t p = 0; p < mesh.prims.size(); ++p) {
        const ShadowMesh::Prim& prim = mesh.prims[p];
        if (!prim.triangleList) {
            volume.facing.resize(volume.facing.size() + prim.corners.size() / 3, 0.0f);
            continue;
        }
        for (std::size_t t = 0; t + 2 < prim.corners.size(); t += 3)
            volume.facing.push_back(mesh.FaceNormal(int(p), &prim.corners[t]).Dot(light));
    }
    constexpr std::uint32_t kSideColour = 0x5f000000u, kCapColour = 0xFFFF0000u;
    for (const ShadowEdge& edge : edges) {
        if (edge.second.prim < 0)
            continue;
        const float dA = volume.facing[std::size_t(edge.first.triangle)];
        const float dB = volume.facing[std::size_t(edge.second.triangle)];
        if (!((dA > 0.0f && dB < 0.0f) || (dA < 0.0f && dB > 0.0f)))
            continue;
        // The side vertices are indexed with 16 bits.
        if (volume.vertexCount + 4 > 65536)
            break;
        const std::vector<Vector3>& p = mesh.prims[std::size_t(edge.first.prim)].positions;
        // Wound like the cap, so that the quads face into the volume.
        const Vector3& v0 = p[std::size_t(dA > 0.0f ? edge.a : edge.b)];
        const Vector3& v1 = p[std::size_t(dA > 0.0f ? edge.b : edge.a)];
        const int base = volume.vertexCount;
        PutVertex(volume, v0, kSideColour);
        PutVertex(volume, v1, kSideColour);
        PutVertex(volume, v0 + push, kSideColour);
        PutVertex(volume, v1 + push, kSideColour);
        for (const int offset : {0, 1, 2, 1, 3, 2})
            volume.sideIndices[std::size_t(volume.sideIndexCount++)] = std::uint16_t(base + offset);
    }
    volume.sideVertexCount = volume.vertexCount;
    std::size_t triangle = 0;
    for (const ShadowMesh::Prim& prim : mesh.prims) {
        const std::size_t primFirstTriangle = triangle;
        triangle += prim.corners.size() / 3;
        if (!prim.triangleList)
            continue;
        for (std::size_t t = 0; t + 2 < prim.corners.size(); t += 3) {
            if (volume.facing[primFirstTriangle + t / 3] >= 0.0f)
                continue;
            if (volume.vertexCount - volume.sideVertexCount + 3 > 65536)
                return;
            for (std::size_t k = t; k < t + 3; ++k) {
                volume.capIndices[std::size_t(volume.capIndexCount++)] =
                    std::uint16_t(volume.vertexCount - volume.sideVertexCount);
                PutVertex(volume, prim.positions[std::size_t(prim.corners[k])], kCapColour);
            }
        }
    }
}
