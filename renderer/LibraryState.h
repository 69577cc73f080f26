#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_set>
#include <vector>

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
    // Moves whenever any prim's arrays, ranges or graphics buffers change, so that a prim's
    // worked-out draw (Prim::DrawBlock) is known to be current by one comparison.
    std::uint64_t arrayEpoch = 1;
    // Storage of prims (Prim::operator new): slabs of slots handed out in address order, and the
    // slots freed since, each holding the next free one.
    std::vector<std::unique_ptr<unsigned char[]>> primSlabs;
    std::size_t primSlabUsed = 0; // slots handed out of the last slab
    void* freePrimSlot = nullptr;
};

LibraryState& Library();
