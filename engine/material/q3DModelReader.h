#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/PtrList.h"
#include "engine/scene/SceneNode.h"

class Device;
struct Material;

// Reads q3D model files (".q3d") into mesh nodes under a caller's node: each object becomes a
// MeshNode holding a qMesh of one prim per triangle, with its bounds. Every error is thrown as
// q3DError; what was built before it stays under the parent.
class q3DModelReader {
public:
    q3DModelReader() = default;
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
    void FinishMaterials();
};
