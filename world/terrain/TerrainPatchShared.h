#pragma once

#include <cstdint>

#include "engine/material/VertexLayout.h"

class D3DPrim;

// What every terrain patch of a world shares: the vertex template of the map's cell size, the
// index lists, the vertices of the patch being drawn and the context handed to pick filters.
struct TerrainPatchShared {
    static constexpr int kVertices = 17 * 17; // a patch's corners

    TerrainPatchShared() = default;
    ~TerrainPatchShared();
    TerrainPatchShared(const TerrainPatchShared&) = delete;
    TerrainPatchShared& operator=(const TerrainPatchShared&) = delete;

    int users = 0; // patches made; the last one to go frees the filter context
    float templateX[17] = {}, templateZ[17] = {};
    std::uint16_t cellIndices[16 * 16 * 6] = {};
    std::uint16_t wireIndices[16 * 16 * 4] = {};
    std::uint8_t vertices[kVertices * 32] = {};
    std::uint16_t batchIndices[16 * 16 * 6] = {};
    D3DPrim* filterContext = nullptr; // carries the tile material handed to pick filters
    VertexLayout layout;
};
