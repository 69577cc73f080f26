#pragma once

#include <cstdint>

#include "engine/core/HitResult.h"
#include "engine/scene/SceneNode.h"

class Device;
class qMesh;

// A scene node that carries one static mesh: drawn with the node's world transform, skipped when
// its box lies outside the camera's frustum, and picked by rays in world space. Owns its mesh and
// its property text.
class MeshNode : public SceneNode {
public:
    MeshNode() = default;
    ~MeshNode() override;

    // Reads a model file and takes its object at objectIndex (in GetChild order: 0 is the object
    // the reader added last); its triangles are welded into this node's mesh. Throws q3DError,
    // also for an index past the file's objects.
    virtual void Load(Device* device, const char* path, const char* textureDirectory, int objectIndex);
    // Frees the property text and the mesh and leaves the parent.
    virtual void Release();
    virtual SceneNode* FindNode(const char* nodeName) { return FindChild(nodeName); }
    virtual SceneNode* GetNode(int index) { return GetChild(index); }
    // True when the mesh was submitted.
    virtual bool Draw(Device* device);
    // A world-space ray; on a hit the record is replaced by this node's hit.
    virtual bool IntersectRay(HitResult& hit, PickFilterCallback filter);

    // Takes ownership of a mesh, deleting the one held before.
    void SetMesh(qMesh* newMesh);
    qMesh* GetMesh() const { return mesh; }
    Device* GetDevice() const { return device; }

    bool visible = true; // read by the owner; Draw itself does not look at it
    bool frustumCull = true;

protected:
    qMesh* mesh = nullptr;
    Device* device = nullptr;
};
