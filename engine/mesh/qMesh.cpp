#include "engine/mesh/qMesh.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <unordered_map>

#include "engine/core/q3DError.h"
#include "engine/mesh/DebugLines.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "engine/mesh/MeshVertices.h"
#include "engine/mesh/PositionKey.h"
#include "renderer/Device.h"

void DestroyMeshMaterial(Material* material)
{
    if (!material)
        return;
    for (D3DBitmap*& texture : material->texture)
        if (texture) {
            texture->Destroy();
            texture = nullptr;
        }
    delete material;
}

qMesh::qMesh(Device* device, int primCount)
{
    Init(device, primCount);
}

qMesh::~qMesh()
{
    qMesh::Release();
}

void qMesh::RequireDevice(const char* operation) const
{
    if (!device)
        throw q3DError("Can't create prim: no device in %s", operation);
}

void qMesh::Init(Device* newDevice, int primCount)
{
    prims.assign(primCount > 0 ? std::size_t(primCount) : 0, nullptr);
    radius = 0.0f;
    showBox = showFaceNormals = showVertexNormals = 0;
    device = newDevice;
}

void qMesh::Release()
{
    for (Material* material : GetMaterials())
        DestroyMeshMaterial(material);
    for (D3DPrim* prim : prims)
        if (prim)
            prim->Release();
    prims.clear();
}

std::vector<Material*> qMesh::GetMaterials() const
{
    std::vector<Material*> materials;
    for (D3DPrim* prim : prims)
        if (prim && prim->material && std::find(materials.begin(), materials.end(), prim->material) == materials.end())
            materials.push_back(prim->material);
    return materials;
}

void qMesh::Scale(float factor)
{
    for (D3DPrim* prim : prims) {
        MeshVertices vertices(prim, true);
        for (int i = 0; i < vertices.Count(); ++i)
            vertices.SetPosition(i, vertices.Position(i) * factor);
    }
}

void qMesh::SetVertexColor(std::uint32_t color)
{
    for (D3DPrim* prim : prims) {
        MeshVertices vertices(prim, true);
        for (int i = 0; i < vertices.Count(); ++i)
            vertices.SetDiffuse(i, color);
    }
}

void qMesh::SortPrims()
{
    std::stable_sort(prims.begin(), prims.end(), [](const D3DPrim* a, const D3DPrim* b) {
        const Material* ma = a ? a->material : nullptr;
        const Material* mb = b ? b->material : nullptr;
        return std::less<const Material*>()(ma, mb);
    });
}

void qMesh::ComputeBounds()
{
    bounds = BoundingBox();
    radius = 0.0f;
    for (D3DPrim* prim : prims) {
        MeshVertices vertices(prim, false);
        for (int i = 0; i < vertices.Count(); ++i) {
            const Vector3 p = vertices.Position(i);
            radius = std::max(radius, p.Length());
            bounds.AddPoint(p);
        }
    }
}

void qMesh::ComputeNormals()
{
    // Every vertex gets the sum of the face normals of all prims that have a corner at exactly its
    // position; summing per position first gives that in one pass instead of a search per vertex.
    std::unordered_map<PositionKey, Vector3, PositionKeyHash> sums;
    for (D3DPrim* prim : prims) {
        MeshVertices vertices(prim, false);
        if (vertices.Count() < 3)
            continue;
        const Vector3 a = vertices.Position(0), b = vertices.Position(1), c = vertices.Position(2);
        const Vector3 n = TriangleNormal(a, b, c);
        for (int corner = 0; corner < 3; ++corner)
            sums[PositionKey(vertices.Position(corner))] += n;
    }
    for (D3DPrim* prim : prims) {
        MeshVertices vertices(prim, true);
        for (int i = 0; i < vertices.Count(); ++i) {
            const auto found = sums.find(PositionKey(vertices.Position(i)));
            Vector3 normal = found != sums.end() ? found->second : Vector3();
            vertices.SetNormal(i, normal.Normalize());
        }
    }
}

bool qMesh::IntersectRay(HitResult& hit, PickFilterCallback filter)
{
    HitResult work = hit;
    if (!BoundingSphere(Vector3(), radius).IntersectRay(work))
        return false;
    work = hit;
    if (!bounds.IntersectRay(work))
        return false;
    bool found = false;
    for (D3DPrim* prim : prims) {
        work = hit;
        if (!work.IntersectPrim(prim, filter, nullptr, nullptr, nullptr))
            continue;
        if (work.distance < hit.distance) {
            hit.hitPoint = work.hitPoint;
            hit.distance = work.distance;
            hit.hitObject = work.hitObject;
            hit.normal = work.normal;
            hit.u = work.u;
            hit.v = work.v;
            ++hit.hitCount;
            found = true;
        }
    }
    return found;
}

void qMesh::Draw(Device* drawDevice)
{
    if (!drawDevice)
        return;
    for (D3DPrim* prim : prims)
        if (prim)
            drawDevice->DrawPrim(prim);
    if (!showBox && !showFaceNormals && !showVertexNormals)
        return;
    for (D3DPrim* prim : prims)
        if (prim)
            DrawDebugLines(drawDevice, prim);
    drawDevice->SetMaterial(nullptr);
}

void qMesh::DrawDebugLines(Device* drawDevice, D3DPrim* prim)
{
    DebugLines lines;
    {
        MeshVertices vertices(prim, false);
        lines.AddNormals(vertices, 0, vertices.Count(), showVertexNormals, showFaceNormals);
    }
    if (showBox)
        lines.AddBox(bounds);
    lines.Draw(drawDevice);
}

void qMesh::CopyFrom(const qMesh& source)
{
    if (&source == this)
        return;
    Release();
    radius = source.radius;
    bounds = source.bounds;
    device = source.device;
    prims.assign(source.prims.size(), nullptr);

    std::vector<Material*> originals = source.GetMaterials();
    std::vector<Material*> copies;
    for (Material* original : originals) {
        auto* copy = new Material();
        copy->Copy(*original);
        copies.push_back(copy);
    }
    // Until every prim holds its material the copies belong to this function.
    auto dropUnattached = [&]() {
        for (Material* copy : copies)
            if (std::none_of(prims.begin(), prims.end(), [&](D3DPrim* p) { return p && p->material == copy; }))
                DestroyMeshMaterial(copy);
    };

    for (std::size_t i = 0; i < source.prims.size(); ++i) {
        D3DPrim* from = source.prims[i];
        if (!from)
            continue;
        MeshVertices vertices(from, false);
        MeshIndices indices(from, false);
        if (!device) {
            dropUnattached();
            throw q3DError("Can't create prim: %s", "no device to copy the mesh onto");
        }
        D3DPrim* prim = nullptr;
        device->CreatePrim(&prim);
        const std::uint32_t flags = from->GetFlags() & (PrimIndex32 | PrimNeverSorted);
        if (!prim || prim->Create(from->primitiveType, vertices.Count(), indices.Count(), &vertices.Layout(), flags) != 0) {
            const std::string reason = prim && prim->GetLastError() ? prim->GetLastError() : "out of memory";
            if (prim)
                prim->Release();
            dropUnattached();
            throw q3DError("Can't create prim: %s", reason.c_str());
        }
        if (vertices.Count() > 0) {
            void* target = prim->GetVertices(true, true);
            std::memcpy(target, vertices.Data(), std::size_t(vertices.Count()) * std::size_t(vertices.Stride()));
            prim->Nop4();
        }
        if (indices.Count() > 0) {
            std::uint16_t* target = prim->GetIndices(true, true);
            std::memcpy(target, indices.Data(), std::size_t(indices.Count()) * (indices.Wide() ? 4 : 2));
            prim->Nop6();
        }
        const auto it = std::find(originals.begin(), originals.end(), from->material);
        prim->material = it != originals.end() ? copies[std::size_t(it - originals.begin())] : nullptr;
        prims[i] = prim;
    }
    // A source prim slot that was empty stays out of the copy.
    prims.erase(std::remove(prims.begin(), prims.end(), nullptr), prims.end());
    dropUnattached();
}

void qMesh::CreateSphere(Device* newDevice, int subdivisions)
{
    Release();
    if (subdivisions < 1 || subdivisions > 6)
        throw q3DError("Invalid number of subdivisions in qMesh::CreateSphere");
    device = newDevice;
    RequireDevice("qMesh::CreateSphere");

    struct Triangle {
        Vector3 v[3];
    };
    const Vector3 px(1, 0, 0), nx(-1, 0, 0), py(0, 1, 0), ny(0, -1, 0), pz(0, 0, 1), nz(0, 0, -1);
    std::vector<Triangle> triangles = {
        {{pz, px, py}}, {{pz, py, nx}}, {{pz, nx, ny}}, {{pz, ny, px}},
        {{nz, py, px}}, {{nz, nx, py}}, {{nz, ny, nx}}, {{nz, px, ny}},
    };
    auto midpoint = [](const Vector3& a, const Vector3& b) {
        Vector3 m = (a + b) * 0.5f;
        return m.Normalize();
    };
    for (int level = 1; level < subdivisions; ++level) {
        std::vector<Triangle> finer;
        finer.reserve(triangles.size() * 4);
        for (const Triangle& t : triangles) {
            const Vector3 m01 = midpoint(t.v[0], t.v[1]);
            const Vector3 m12 = midpoint(t.v[1], t.v[2]);
            const Vector3 m20 = midpoint(t.v[2], t.v[0]);
            finer.push_back({{t.v[0], m01, m20}});
            finer.push_back({{m01, t.v[1], m12}});
            finer.push_back({{m20, m01, m12}});
            finer.push_back({{m20, m12, t.v[2]}});
        }
        triangles.swap(finer);
    }

    Init(newDevice, 1);
    D3DPrim* prim = nullptr;
    device->CreatePrim(&prim);
    VertexLayout layout;
    layout.InitLitTextured();
    const int vertexCount = int(triangles.size()) * 3;
    if (!prim || prim->Create(PrimTriangleList, vertexCount, 0, &layout, 0) != 0) {
        const std::string reason = prim && prim->GetLastError() ? prim->GetLastError() : "out of memory";
        if (prim)
            prim->Release();
        prims.clear();
        throw q3DError("Can't create prim: %s", reason.c_str());
    }
    prims[0] = prim;
    prim->material = new Material();

    auto mapping = [](const Vector3& p, float& u, float& v) {
        u = std::atan2(p.y, p.x) * 0.63661975f + 0.5f;
        v = std::asin(std::clamp(p.z, -1.0f, 1.0f)) * 0.31830987f + 0.5f;
    };
    std::vector<float> us(static_cast<std::size_t>(vertexCount)), vs(static_cast<std::size_t>(vertexCount));
    float largestU = 0.0f;
    MeshVertices vertices(prim, true);
    for (std::size_t t = 0; t < triangles.size(); ++t) {
        const Triangle& triangle = triangles[t];
        Vector3 centre = triangle.v[0] + triangle.v[1] + triangle.v[2];
        centre *= 0.33333334f;
        centre.Normalize();
        float refU, refV;
        mapping(centre, refU, refV);
        for (int c = 0; c < 3; ++c) {
            const int i = int(t) * 3 + c;
            const Vector3& p = triangle.v[c];
            vertices.SetPosition(i, p);
            vertices.SetNormal(i, p);
            vertices.SetDiffuse(i, 0xFFFFFFFFu);
            float u, v;
            mapping(p, u, v);
            // Corners across the seam move to the side of their triangle's centre.
            if (u - refU >= 0.5f)
                u -= 1.0f;
            else if (refU - u >= 0.5f)
                u += 1.0f;
            if (v - refV >= 0.5f)
                v -= 1.0f;
            else if (refV - v >= 0.5f)
                v += 1.0f;
            largestU = std::max(largestU, u);
            us[std::size_t(i)] = u;
            vs[std::size_t(i)] = v;
        }
    }
    const float uScale = largestU > 0.0f ? 0.9f / largestU : 0.9f;
    for (int i = 0; i < vertexCount; ++i) {
        const float u = us[std::size_t(i)] * uScale + 0.05f;
        const float v = vs[std::size_t(i)] * 0.9f + 0.05f;
        vertices.SetTexCoord(0, i, u, v);
        vertices.SetTexCoord(1, i, u, v);
    }
}
