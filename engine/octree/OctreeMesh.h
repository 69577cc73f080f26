#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/core/Geometry.h"
#include "engine/core/HitResult.h"
#include "engine/mesh/qMesh.h"

class Device;
class D3DPrim;
struct Material;

// Large static level geometry from a ".oct" file: convex polygon faces over one shared vertex
// buffer, each with a diffuse texture and a 128 x 128 lightmap. An octree over the faces culls
// drawing against the camera and narrows ray picks; opaque faces are drawn in one batch per
// material, translucent ones one by one.
class OctreeMesh : public qMesh {
public:
    struct Node {
        BoundingBox box;
        std::vector<std::int32_t> faces;
        bool leaf = false;
        std::unique_ptr<Node> children[8];
    };
    struct Extra {
        Vector3 position;
        std::uint32_t color = 0; // 0xFFRRGGBB
        float value = 0.0f;
    };

    // Reads the file and makes the textures, lightmaps, materials and prims; throws q3DError.
    // textureDirectory: searched first for textures, or null.
    OctreeMesh(Device* device, const char* path, const char* textureDirectory);
    ~OctreeMesh() override;

    // The base's Init, then face marks for primCount faces.
    void Init(Device* device, int primCount) override;
    void BuildOctree();
    void Draw(Device* device) override;
    bool IntersectRay(HitResult& hit, PickFilterCallback filter) override;

    int GetFaceCount() const { return int(faceFirstVertex.size()); }
    int GetMaterialCount() const { return int(materialPrims.size()); }
    D3DPrim* GetMaterialPrim(int i) const { return materialPrims[std::size_t(i)]; }
    D3DPrim* GetVertexPrim() const { return vertexPrim; }
    const Node* GetRoot() const { return root.get(); }
    const std::vector<Extra>& GetExtras() const { return extras; }
    const float* GetTrailer() const { return trailer; }

    std::uint8_t noOctree = 0;  // draw every face without culling
    std::uint8_t showNodes = 0; // draw the boxes of the nodes visited

private:
    bool Subdivide(Node& node, const std::vector<std::int32_t>& candidates, int depth,
                   const std::vector<Vector3>& positions);
    void Walk(Device* device, Node& node);
    void AppendFace(int face);
    void PickWalk(const Node& node, HitResult& ray, PickFilterCallback filter);
    void DrawBoxLines(Device* device, const BoundingBox& box);
    void DrawFaceNormals(Device* device, int face);
    void ReleaseOwn();

    Device* ownDevice = nullptr;
    D3DPrim* vertexPrim = nullptr;
    std::vector<std::uint8_t> faceDrawn;
    float trailer[3] = {0, 0, 0};
    std::vector<Extra> extras;
    std::vector<std::uint8_t> facePicked;
    // The best hit of the pick under way.
    float bestDistance = kNoHit;
    Vector3 bestPoint;
    Material* bestMaterial = nullptr;
    Vector3 bestNormal;
    float bestU = 0.0f, bestV = 0.0f;
    std::int32_t bestCount = 0;
    std::vector<Material*> pairMaterials; // owned with their textures; null when unused
    std::vector<D3DPrim*> materialPrims;   // index-only, one per pair; null for an unused pair
    std::vector<std::int32_t> faceFirstVertex;
    std::vector<std::int32_t> faceVertexCount;
    std::vector<std::int32_t> faceMaterial;
    std::vector<std::uint16_t*> materialIndices; // valid while drawing
    std::vector<std::int32_t> materialIndexCount;
    std::vector<std::int32_t> materialCapacity;
    std::unique_ptr<Node> root;
};
