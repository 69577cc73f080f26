#pragma once

#include <cstdint>
#include <vector>

#include "engine/core/Geometry.h"
#include "engine/core/Vector.h"
#include "physics/CollisionTriangle.h"

class D3DPrim;
class qMesh;
class OctreeMesh;
struct Material;

// The materials of a model that collide although they are not opaque (the "nocollisionalpha"
// prop's list). An object without that prop passes no list, and then every prim collides.
struct CollisionMaterialList {
    const Material* const* materials = nullptr;
    int count = 0;

    bool Contains(const Material* material) const
    {
        for (int i = 0; i < count; ++i)
            if (materials[i] == material)
                return true;
        return false;
    }
};

// Drawn with source blend ONE and destination blend ZERO; a prim without a material counts as
// opaque.
bool IsOpaqueMaterial(const Material* material);

// Hands the triangles of prims and meshes to a shape of the collision query. Holds the scratch
// marks of octree walks so that a face in several leaves is handed over once.
class CollisionGatherer {
public:
    // Non-indexed prims with more vertices than this are skipped (and logged).
    static constexpr int kMaxNonIndexedVertices = 63;

    // The triangles of a triangle-list or triangle-fan prim, read at the prim's own vertex
    // layout; a triangle naming a vertex outside the prim is skipped; a two-sided material adds
    // each triangle reversed. False when the sink is full.
    bool AddPrim(D3DPrim* prim, const Vector3& velocity, CollisionTriangleSink& sink);

    // Every prim of the mesh that the list lets through (null list: all). An octree mesh walks
    // only the leaves whose boxes meet region (mesh-local coordinates; null: every face).
    // False when the sink is full.
    bool AddMesh(qMesh& mesh, const CollisionMaterialList* alphaList, const Vector3& velocity,
                 CollisionTriangleSink& sink, const BoundingBox* region);

private:
    bool AddOctree(OctreeMesh& mesh, const CollisionMaterialList* alphaList, const Vector3& velocity,
                   CollisionTriangleSink& sink, const BoundingBox& region);
    static bool PrimPasses(const D3DPrim* prim, const CollisionMaterialList* alphaList);

    std::vector<std::uint32_t> faceMarks;
    std::uint32_t mark = 0;
    std::vector<const void*> stack;
};
