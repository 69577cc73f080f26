#include "physics/CollisionGather.h"

#include <algorithm>

#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "engine/mesh/MeshVertices.h"
#include "engine/mesh/qMesh.h"
#include "engine/octree/OctreeMesh.h"
#include "renderer/Device.h"

bool IsOpaqueMaterial(const Material* material)
{
    return !material || (material->srcBlend == BlendOne && material->destBlend == BlendZero);
}

bool CollisionGatherer::PrimPasses(const D3DPrim* prim, const CollisionMaterialList* alphaList)
{
    return !alphaList || IsOpaqueMaterial(prim->material) || alphaList->Contains(prim->material);
}

bool CollisionGatherer::AddPrim(D3DPrim* prim, const Vector3& velocity, CollisionTriangleSink& sink)
{
    if (!prim)
        return true;
    const int type = prim->primitiveType;
    if (type != PrimTriangleList && type != PrimTriangleFan)
        return true;
    const MeshVertices vertices(prim, false);
    // Pre-transformed (screen) vertices have no place in the world.
    if (!vertices.Layout().Has(VertexLayout::Position) || vertices.Count() == 0)
        return true;
    const MeshIndices indices(prim, false);
    const bool indexed = indices.Count() > 0;
    const int vertexCount = vertices.Count();
    if (!indexed && vertexCount > kMaxNonIndexedVertices) {
        if (Device* device = prim->GetDevice())
            device->Log("Collision: Too many vertices in non-indexed prim!");
        return true;
    }
    const int count = indexed ? indices.Count() : vertexCount;
    const bool twoSided = prim->material && (prim->material->cullFlags & Material::kTwoSided);
    const int triangles = type == PrimTriangleList ? count / 3 : count - 2;
    for (int t = 0; t < triangles; ++t) {
        int corner[3];
        if (type == PrimTriangleList) {
            corner[0] = 3 * t;
            corner[1] = 3 * t + 1;
            corner[2] = 3 * t + 2;
        } else {
            corner[0] = 0;
            corner[1] = t + 1;
            corner[2] = t + 2;
        }
        bool inside = true;
        for (int& c : corner) {
            if (indexed)
                c = indices[c];
            inside = inside && c >= 0 && c < vertexCount;
        }
        if (!inside)
            continue;
        const Vector3 a = vertices.Position(corner[0]);
        const Vector3 b = vertices.Position(corner[1]);
        const Vector3 c = vertices.Position(corner[2]);
        if (!sink.AddTriangle(a, b, c, velocity, false))
            return false;
        if (twoSided && !sink.AddTriangle(c, b, a, velocity, false))
            return false;
    }
    return true;
}

bool CollisionGatherer::AddMesh(qMesh& mesh, const CollisionMaterialList* alphaList, const Vector3& velocity,
                                CollisionTriangleSink& sink, const BoundingBox* region)
{
    if (region)
        if (auto* octree = dynamic_cast<OctreeMesh*>(&mesh); octree && octree->GetRoot())
            return AddOctree(*octree, alphaList, velocity, sink, *region);
    for (D3DPrim* prim : mesh.prims)
        if (prim && PrimPasses(prim, alphaList) && !AddPrim(prim, velocity, sink))
            return false;
    return true;
}

bool CollisionGatherer::AddOctree(OctreeMesh& mesh, const CollisionMaterialList* alphaList, const Vector3& velocity,
                                  CollisionTriangleSink& sink, const BoundingBox& region)
{
    const std::size_t faces = mesh.prims.size();
    if (faceMarks.size() < faces)
        faceMarks.resize(faces, 0);
    if (++mark == 0) {
        std::fill(faceMarks.begin(), faceMarks.end(), 0);
        mark = 1;
    }
    const auto overlaps = [&region](const BoundingBox& box) {
        for (int axis = 0; axis < 3; ++axis)
            if (box.min[axis] > region.max[axis] || box.max[axis] < region.min[axis])
                return false;
        return true;
    };
    stack.clear();
    stack.push_back(mesh.GetRoot());
    while (!stack.empty()) {
        const auto* node = static_cast<const OctreeMesh::Node*>(stack.back());
        stack.pop_back();
        if (!overlaps(node->box))
            continue;
        bool hasChildren = false;
        if (!node->leaf)
            for (const auto& child : node->children)
                if (child) {
                    stack.push_back(child.get());
                    hasChildren = true;
                }
        if (hasChildren)
            continue;
        for (std::int32_t face : node->faces) {
            if (face < 0 || std::size_t(face) >= faces || faceMarks[std::size_t(face)] == mark)
                continue;
            faceMarks[std::size_t(face)] = mark;
            D3DPrim* prim = mesh.prims[std::size_t(face)];
            if (prim && PrimPasses(prim, alphaList) && !AddPrim(prim, velocity, sink))
                return false;
        }
    }
    return true;
}
