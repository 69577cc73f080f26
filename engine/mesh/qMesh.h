#pragma once

#include <cstdint>
#include <vector>

#include "engine/core/Geometry.h"
#include "engine/core/HitResult.h"

class Device;
class D3DPrim;
struct Material;

// The engine's static mesh: renderer prims in the 44-byte lit-textured vertex layout, each
// carrying its own material. The mesh owns its prims, their materials and the materials'
// textures; several prims may share one material.
class qMesh {
public:
    qMesh() = default;
    // Room for primCount prims, all null; the caller creates them.
    qMesh(Device* device, int primCount);
    virtual ~qMesh();
    qMesh(const qMesh&) = delete;
    qMesh& operator=(const qMesh&) = delete;

    // Forgets the prim array (not the prims) and makes room for primCount null prims.
    virtual void Init(Device* device, int primCount);
    // Deletes the distinct materials (with their textures) and releases every prim.
    virtual void Release();
    virtual void Draw(Device* device);
    // Multiplies every vertex position; the bounds are not recomputed.
    virtual void Scale(float factor);
    // A plain copy: same prims and counts, each distinct material copied once.
    virtual void CopyFrom(const qMesh& source);
    // Nearest triangle hit of the ray nearer than hit.distance; true when one was found.
    virtual bool IntersectRay(HitResult& hit, PickFilterCallback filter);
    virtual void ComputeBounds();
    // Smoothed normals from the first triangle of every prim.
    virtual void ComputeNormals();
    virtual void SetVertexColor(std::uint32_t color);
    virtual float GetRadius() const { return radius; }
    virtual BoundingBox GetBoundingBox() const { return bounds; }
    // The distinct materials in prim order (no null entries).
    virtual std::vector<Material*> GetMaterials() const;
    // Puts prims that share a material next to each other.
    virtual void SortPrims();
    // A unit sphere of 8 x 4^(subdivisions - 1) triangles in one prim; subdivisions 1 to 6.
    virtual void CreateSphere(Device* device, int subdivisions);

    int GetPrimCount() const { return int(prims.size()); }
    Device* GetDevice() const { return device; }

    std::vector<D3DPrim*> prims; // owned
    std::uint8_t showBox = 0;
    std::uint8_t showFaceNormals = 0;
    std::uint8_t showVertexNormals = 0;
    float radius = 0.0f;
    BoundingBox bounds{Vector3(), Vector3()};
    std::int32_t welded = 0; // 1 for a welded ModelMesh
    Device* device = nullptr;

protected:
    // Throws q3DError when there is no device to make prims on.
    void RequireDevice(const char* operation) const;

private:
    void DrawDebugLines(Device* device, D3DPrim* prim);
};

// Frees a material made by a mesh or a model reader: its textures first, then the record.
void DestroyMeshMaterial(Material* material);
