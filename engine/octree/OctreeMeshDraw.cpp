#include <algorithm>

#include "engine/camera/Camera.h"
#include "engine/material/Material.h"
#include "engine/mesh/DebugLines.h"
#include "engine/mesh/MeshVertices.h"
#include "engine/octree/OctreeMesh.h"
#include "renderer/Device.h"

namespace {

bool IsOpaque(const Material* material)
{
    return !material || (material->srcBlend == BlendOne && material->destBlend == BlendZero);
}

// Line drawing leaves its white material current; the octree's faces expect none.
void DrawLines(Device* device, const DebugLines& lines)
{
    if (lines.Empty())
        return;
    lines.Draw(device);
    device->SetMaterial(nullptr);
}

} // namespace

void OctreeMesh::DrawFaceNormals(Device* drawDevice, int face)
{
    DebugLines lines;
    {
        MeshVertices vertices(vertexPrim, false);
        lines.AddNormals(vertices, faceFirstVertex[std::size_t(face)], faceVertexCount[std::size_t(face)],
                         showVertexNormals, showFaceNormals);
    }
    DrawLines(drawDevice, lines);
}

void OctreeMesh::DrawBoxLines(Device* device, const BoundingBox& box)
{
    DebugLines lines;
    lines.AddBox(box);
    DrawLines(device, lines);
}

void OctreeMesh::AppendFace(int face)
{
    const std::size_t m = std::size_t(faceMaterial[std::size_t(face)]);
    std::uint16_t* indices = materialIndices[m];
    const int first = faceFirstVertex[std::size_t(face)], n = faceVertexCount[std::size_t(face)];
    // Each face is appended at most once a frame, so the list never outgrows its prim.
    if (!indices || materialIndexCount[m] + 3 * (n - 2) > materialCapacity[m])
        return;
    int& count = materialIndexCount[m];
    for (int j = 0; j < n - 2; ++j) {
        indices[count++] = std::uint16_t(first);
        indices[count++] = std::uint16_t(first + j + 1);
        indices[count++] = std::uint16_t(first + j + 2);
    }
}

void OctreeMesh::Walk(Device* drawDevice, Node& node)
{
    Camera* camera = drawDevice->GetCamera();
    const int inside = camera ? camera->BoxInFrustum(node.box) : 2;
    if (inside == 0)
        return;
    if (node.leaf || inside == 2) {
        for (std::int32_t face : node.faces) {
            std::uint8_t& drawn = faceDrawn[std::size_t(face)];
            if (drawn)
                continue;
            D3DPrim* prim = prims[std::size_t(face)];
            if (IsOpaque(prim->material))
                AppendFace(face);
            else
                drawDevice->DrawPrim(prim);
            drawn = 1;
            if (showFaceNormals || showVertexNormals)
                DrawFaceNormals(drawDevice, face);
        }
        if (showNodes)
            DrawBoxLines(drawDevice, node.box);
        return;
    }
    for (std::unique_ptr<Node>& child : node.children)
        if (child)
            Walk(drawDevice, *child);
}

void OctreeMesh::Draw(Device* drawDevice)
{
    if (!drawDevice)
        return;
    std::fill(faceDrawn.begin(), faceDrawn.end(), 0);
    std::fill(materialIndexCount.begin(), materialIndexCount.end(), 0);
    for (std::size_t m = 0; m < materialPrims.size(); ++m)
        materialIndices[m] = materialPrims[m] ? materialPrims[m]->GetIndices(true, true) : nullptr;

    if (!noOctree && root && drawDevice->GetClipping()) {
        Walk(drawDevice, *root);
    } else {
        for (int face = 0; face < GetFaceCount(); ++face)
            AppendFace(face);
    }

    for (std::size_t m = 0; m < materialPrims.size(); ++m) {
        D3DPrim* prim = materialPrims[m];
        if (!prim)
            continue;
        prim->Nop6();
        materialIndices[m] = nullptr;
        if (materialIndexCount[m] >= 1) {
            prim->SetIndexRange(0, materialIndexCount[m]);
            drawDevice->DrawPrim(prim);
            prim->SetIndexRange(0, 0);
        }
    }
    if (showBox)
        DrawBoxLines(drawDevice, bounds);
}

void OctreeMesh::PickWalk(const Node& node, HitResult& ray, PickFilterCallback filter)
{
    HitResult boxTest = ray;
    if (!node.box.IntersectRay(boxTest))
        return;
    ray.distance = kNoHit;
    if (!node.leaf) {
        for (const std::unique_ptr<Node>& child : node.children)
            if (child)
                PickWalk(*child, ray, filter);
        return;
    }
    for (std::int32_t face : node.faces) {
        std::uint8_t& picked = facePicked[std::size_t(face)];
        if (picked)
            continue;
        picked = 1;
        D3DPrim* prim = prims[std::size_t(face)];
        int i0 = 0, i1 = 0, i2 = 0;
        if (!ray.IntersectPrim(prim, filter, &i0, &i1, &i2) || ray.distance >= bestDistance)
            continue;
        if (filter && !filter(prim, ray, &i0, &i1, &i2))
            continue;
        bestDistance = ray.distance;
        bestPoint = ray.hitPoint;
        bestMaterial = prim->material;
        bestNormal = ray.normal;
        bestU = ray.u;
        bestV = ray.v;
        ++bestCount;
    }
}

bool OctreeMesh::IntersectRay(HitResult& hit, PickFilterCallback filter)
{
    HitResult sphereTest = hit;
    if (!BoundingSphere(Vector3(), radius).IntersectRay(sphereTest))
        return false;
    hit.distance = kNoHit;

    if (root) {
        std::fill(facePicked.begin(), facePicked.end(), 0);
        bestDistance = kNoHit;
        bestMaterial = nullptr;
        bestCount = hit.hitCount;
        HitResult ray = hit;
        PickWalk(*root, ray, filter);
        if (bestDistance == kNoHit)
            return false;
        hit.distance = bestDistance;
        hit.hitCount = bestCount;
        hit.hitObject = bestMaterial;
        hit.normal = bestNormal;
        hit.hitPoint = bestPoint;
        hit.u = bestU;
        hit.v = bestV;
        return true;
    }

    HitResult boxTest = hit;
    if (!bounds.IntersectRay(boxTest))
        return false;
    bool found = false;
    for (D3DPrim* prim : prims) {
        HitResult work = hit;
        int i0 = 0, i1 = 0, i2 = 0;
        if (!work.IntersectPrim(prim, filter, &i0, &i1, &i2) || work.distance >= hit.distance)
            continue;
        if (filter && !filter(prim, work, &i0, &i1, &i2))
            continue;
        hit.distance = work.distance;
        hit.hitPoint = work.hitPoint;
        hit.hitObject = prim->material;
        hit.normal = work.normal;
        hit.u = work.u;
        hit.v = work.v;
        ++hit.hitCount;
        found = true;
    }
    return found;
}
