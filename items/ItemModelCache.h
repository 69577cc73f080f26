#pragma once

#include <cstdint>
#include <string>

#include "engine/mesh/MeshNode.h"

class Device;
class qMesh;

// A mesh node that may show a mesh owned by the item model cache: it never deletes a shared mesh.
class SharedMeshNode : public MeshNode {
public:
    ~SharedMeshNode() override;
    // Shows the mesh without taking it (null shows none).
    void ShowMesh(qMesh* shared) { mesh = shared; }
    // Hands the node's own mesh to the caller.
    qMesh* TakeMesh();
};

// Meshes of item models shared by every item of one kind, with the reduced meshes found beside
// them ("<name>_lod1<ext>", "<name>_lod2<ext>"). A record lives while some item holds it.
struct ItemModelRecord {
    qMesh* mesh = nullptr;
    qMesh* lod1 = nullptr;
    qMesh* lod2 = nullptr;
    std::int32_t referenceCount = 0;
    std::uint32_t nameHash = 0;
    std::string path; // compared as well as the hash, so two paths that share a hash never share meshes
};

namespace ItemModelCache {

// The record of the path with one more reference: the cached one, or a new one loaded with the
// device (scaled by 0.1, bounds and normals computed). Throws q3DError from the model reader.
ItemModelRecord* Acquire(Device* device, const char* path);
// Drops a reference; the last one deletes the meshes and the record. Null does nothing.
void Release(ItemModelRecord* record);
// Records held now (for tests).
int Count();

} // namespace ItemModelCache
