#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/PtrList.h"
#include "engine/scene/SceneNode.h"

class Device;
class D3DPrim;
struct Material;

// What the reader builds one model object into: a node under the parent, and the object's
// triangles as prims (each carrying its material). The mesh node supplies its own builder; the
// default makes q3DObjectNode.
class q3DObjectBuilder {
public:
    virtual ~q3DObjectBuilder() = default;
    // A new node, already a child of parent.
    virtual SceneNode* CreateObjectNode(SceneNode* parent) = 0;
    // Hands the object's prims over to the node (the node then owns them and their materials).
    virtual void AttachPrims(SceneNode* node, std::vector<D3DPrim*>& prims) = 0;
};

// The node the default builder makes: it owns its prims, their materials and the materials'
// textures, and its property text.
class q3DObjectNode : public SceneNode {
public:
    ~q3DObjectNode() override;
    std::vector<D3DPrim*> prims;
};

// Reads q3D model files (".q3d") into nodes under a caller's node. Every error is thrown as
// q3DError; what was built before it stays under the parent.
class q3DModelReader {
public:
    explicit q3DModelReader(q3DObjectBuilder* builder = nullptr);
    virtual ~q3DModelReader();

    // textureDirectory: an extra folder searched first for textures, or null.
    virtual void ReadFile(Device* device, const char* path, SceneNode* parent, const char* textureDirectory);
    // The same from a block of the given size; name stands for the file in folders and messages.
    virtual void ReadMemory(Device* device, const void* data, std::size_t size, const char* name, SceneNode* parent,
                            const char* textureDirectory);

    // The folder every model also searches for textures ("Maps/SharedTex/" during a level), empty
    // by default.
    static void SetSharedTextureDirectory(const char* directory);
    static const char* GetSharedTextureDirectory();

    std::uint32_t objectCount = 0;
    // {Material*, use count} entries, alive during one read.
    PtrList materials;

private:
    struct MaterialEntry {
        Material* material = nullptr;
        std::int32_t useCount = 0;
    };

    void Parse(Device* device, const std::uint8_t* data, std::size_t size, const char* name, SceneNode* parent,
               const char* textureDirectory);
    void ResolveTexture(Device* device, const char* textureName, const std::vector<std::string>& directories,
                        Material* material, int stage);
    void FinishMaterials(bool keepUsed);

    q3DObjectBuilder* builder;
};
