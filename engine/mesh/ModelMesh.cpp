#include "engine/mesh/ModelMesh.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <unordered_map>

#include "engine/core/q3DError.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "engine/mesh/MeshVertices.h"
#include "engine/mesh/PositionKey.h"
#include "renderer/Device.h"

namespace {

constexpr float kWeldDistance = 0.001f;
constexpr int kMaxPrimVertices = 65535; // what 16-bit indices reach

struct WeldVertex {
    Vector3 position;
    Vector3 normal;
    std::uint32_t diffuse = 0;
    float uv0[2] = {0, 0};
    float uv1[2] = {0, 0};
};

bool Near(const float a[2], const float b[2])
{
    const float du = a[0] - b[0], dv = a[1] - b[1];
    return du * du + dv * dv < kWeldDistance * kWeldDistance;
}

bool Same(const WeldVertex& a, const WeldVertex& b)
{
    return a.position.DistanceSquared(b.position) < kWeldDistance * kWeldDistance && Near(a.uv0, b.uv0) &&
           Near(a.uv1, b.uv1);
}

// Collects distinct vertices; candidates are looked up in a grid of cells one weld distance wide,
// so only the 27 cells around a vertex can hold a match. The earliest matching vertex wins. The
// grid is an open-addressed table of cells, each the head of a chain of its vertices.
class Welder {
public:
    int Add(const WeldVertex& v)
    {
        const bool finite = std::isfinite(v.position.x) && std::isfinite(v.position.y) && std::isfinite(v.position.z);
        if (finite) {
            const Cell c = CellOf(v.position);
            int best = -1;
            for (int dx = -1; dx <= 1; ++dx)
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dz = -1; dz <= 1; ++dz) {
                        const Slot* slot = Find(Cell{c.x + dx, c.y + dy, c.z + dz});
                        if (!slot)
                            continue;
                        for (int index = slot->head; index >= 0; index = next[std::size_t(index)])
                            if ((best < 0 || index < best) && Same(vertices[std::size_t(index)], v))
                                best = index;
                    }
            if (best >= 0)
                return best;
            Insert(c, int(vertices.size()));
        } else {
            next.push_back(-1);
        }
        vertices.push_back(v);
        return int(vertices.size()) - 1;
    }

    std::vector<WeldVertex> vertices;

private:
    struct Cell {
        long long x, y, z;
        friend bool operator==(const Cell&, const Cell&) = default;
    };
    struct Slot {
        Cell cell;
        int head = -1; // -1: an empty slot
    };
    static std::size_t Hash(const Cell& c)
    {
        std::size_t h = std::size_t(c.x);
        h = h * 0x9E3779B97F4A7C15ull + std::size_t(c.y);
        h = h * 0x9E3779B97F4A7C15ull + std::size_t(c.z);
        // Neighbouring cells must not land in neighbouring slots: mix every bit into the low ones.
        h ^= h >> 30;
        h *= 0xBF58476D1CE4E5B9ull;
        h ^= h >> 27;
        h *= 0x94D049BB133111EBull;
        return h ^ (h >> 31);
    }
    static long long CellCoordinate(float v)
    {
        const double c = std::floor(double(v) / double(kWeldDistance));
        return (long long)std::clamp(c, -1e15, 1e15);
    }
    static Cell CellOf(const Vector3& p) { return {CellCoordinate(p.x), CellCoordinate(p.y), CellCoordinate(p.z)}; }

    const Slot* Find(const Cell& cell) const
    {
        if (slots.empty())
            return nullptr;
        for (std::size_t i = Hash(cell) & (slots.size() - 1);; i = (i + 1) & (slots.size() - 1)) {
            if (slots[i].head < 0)
                return nullptr;
            if (slots[i].cell == cell)
                return &slots[i];
        }
    }
    void Insert(const Cell& cell, int index)
    {
        if ((used + 1) * 2 > slots.size()) {
            std::vector<Slot> old(std::max<std::size_t>(64, slots.size() * 2));
            old.swap(slots);
            for (const Slot& slot : old)
                if (slot.head >= 0)
                    *Place(slot.cell) = slot;
        }
        Slot* slot = Place(cell);
        if (slot->head < 0) {
            slot->cell = cell;
            ++used;
        }
        next.push_back(slot->head);
        slot->head = index;
    }
    // The slot holding the cell, or the empty one where it goes.
    Slot* Place(const Cell& cell)
    {
        for (std::size_t i = Hash(cell) & (slots.size() - 1);; i = (i + 1) & (slots.size() - 1))
            if (slots[i].head < 0 || slots[i].cell == cell)
                return &slots[i];
    }

    std::vector<Slot> slots; // a power of two long, at most half full
    std::size_t used = 0;
    std::vector<int> next; // per vertex: the vertex before it in its cell, or -1
};

} // namespace

ModelMesh::ModelMesh(const qMesh& source)
{
    device = source.device;
    RequireDevice("ModelMesh");

    // Prims group by material in the order the materials first appear; prims without one form a
    // group of their own.
    std::vector<Material*> groups = source.GetMaterials();
    if (std::any_of(source.prims.begin(), source.prims.end(), [](D3DPrim* p) { return p && !p->material; }))
        groups.push_back(nullptr);

    VertexLayout layout;
    layout.InitLitTextured();
    for (Material* group : groups) {
        Welder welder;
        std::vector<std::uint16_t> indices;
        for (D3DPrim* from : source.prims) {
            if (!from || from->material != group)
                continue;
            MeshVertices vertices(from, false);
            MeshIndices sourceIndices(from, false);
            for (int corner : TriangleCorners(from, vertices, sourceIndices)) {
                WeldVertex v;
                v.position = vertices.Position(corner);
                v.normal = vertices.Normal(corner);
                v.diffuse = vertices.Diffuse(corner);
                vertices.TexCoord(0, corner, v.uv0);
                vertices.TexCoord(1, corner, v.uv1);
                const int index = welder.Add(v);
                if (index >= kMaxPrimVertices)
                    throw q3DError("Can't create prim: material %s needs more than %d vertices",
                                   group ? group->name : "(none)", kMaxPrimVertices);
                indices.push_back(std::uint16_t(index));
            }
        }
        if (indices.empty())
            continue;

        D3DPrim* prim = nullptr;
        device->CreatePrim(&prim);
        const int vertexCount = int(welder.vertices.size());
        if (!prim || prim->Create(PrimTriangleList, vertexCount, int(indices.size()), &layout, 0) != 0) {
            const std::string reason = prim && prim->GetLastError() ? prim->GetLastError() : "out of memory";
            if (prim)
                prim->Release();
            throw q3DError("Can't create prim: %s", reason.c_str());
        }
        prims.push_back(prim);
        if (group) {
            prim->material = new Material();
            prim->material->Copy(*group);
        }
        {
            MeshVertices target(prim, true);
            for (int i = 0; i < vertexCount; ++i) {
                const WeldVertex& v = welder.vertices[std::size_t(i)];
                target.SetPosition(i, v.position);
                target.SetNormal(i, v.normal);
                target.SetDiffuse(i, v.diffuse);
                target.SetTexCoord(0, i, v.uv0[0], v.uv0[1]);
                target.SetTexCoord(1, i, v.uv1[0], v.uv1[1]);
            }
        }
        std::copy(indices.begin(), indices.end(), prim->GetIndices(true, true));
        prim->Nop6();
    }
    radius = source.radius;
    bounds = source.bounds;
    welded = 1;
}

ModelMesh::ModelMesh(const qMesh& source, bool)
{
    device = source.device;
    qMesh::CopyFrom(source);
}

ModelMesh::~ModelMesh() = default;

void ModelMesh::ComputeNormals()
{
    struct PrimTriangles {
        D3DPrim* prim;
        std::vector<int> corners;
    };
    std::vector<PrimTriangles> all;
    std::unordered_map<PositionKey, Vector3, PositionKeyHash> sums;
    for (D3DPrim* prim : prims) {
        MeshVertices vertices(prim, false);
        MeshIndices indices(prim, false);
        PrimTriangles entry{prim, TriangleCorners(prim, vertices, indices)};
        for (std::size_t t = 0; t + 2 < entry.corners.size(); t += 3) {
            const Vector3 a = vertices.Position(entry.corners[t]);
            const Vector3 b = vertices.Position(entry.corners[t + 1]);
            const Vector3 c = vertices.Position(entry.corners[t + 2]);
            const Vector3 n = TriangleNormal(a, b, c);
            sums[PositionKey(a)] += n;
            sums[PositionKey(b)] += n;
            sums[PositionKey(c)] += n;
        }
        all.push_back(std::move(entry));
    }
    for (const PrimTriangles& entry : all) {
        MeshVertices vertices(entry.prim, true);
        for (int i = 0; i < vertices.Count(); ++i) {
            const auto found = sums.find(PositionKey(vertices.Position(i)));
            vertices.SetNormal(i, found != sums.end() ? found->second : Vector3());
        }
        // A corner whose smoothed normal vanished or turned away from its own face takes the face's.
        for (std::size_t t = 0; t + 2 < entry.corners.size(); t += 3) {
            const Vector3 n = TriangleNormal(vertices.Position(entry.corners[t]),
                                             vertices.Position(entry.corners[t + 1]),
                                             vertices.Position(entry.corners[t + 2]));
            for (int c = 0; c < 3; ++c)
                if (vertices.Normal(entry.corners[t + c]).LengthSquared() < 0.0001f)
                    vertices.SetNormal(entry.corners[t + c], n);
            for (int c = 0; c < 3; ++c)
                if (vertices.Normal(entry.corners[t + c]).Dot(n) < 0.0f)
                    vertices.SetNormal(entry.corners[t + c], n);
        }
        for (int i = 0; i < vertices.Count(); ++i) {
            Vector3 normal = vertices.Normal(i);
            vertices.SetNormal(i, normal.Normalize());
        }
    }
}
