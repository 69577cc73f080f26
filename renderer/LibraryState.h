#pragma once

#include <unordered_set>

#include "engine/core/PtrList.h"

class RenderDevice;
class Prim;
namespace platform::gpu {
class GraphicsDevice;
}

// What the library holds once per process: the device, the graphics device every object draws
// through, and the lists of every prim, texture record, light and shader.
struct LibraryState {
    RenderDevice* device = nullptr;
    platform::gpu::GraphicsDevice* gpu = nullptr; // null before creation and after shut-down
    // Prims come and go by the hundred thousand with large models, so they are kept in a set.
    std::unordered_set<Prim*> prims;
    PtrList textureRecords;
    PtrList namedTextures;
    PtrList lights;
    PtrList vertexShaders;
    PtrList pixelShaders;
};

LibraryState& Library();
