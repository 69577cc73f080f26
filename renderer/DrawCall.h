#pragma once

#include <cstdint>

#include "engine/material/VertexLayout.h"

class Prim;

// One draw as the device sees it, from a prim or from caller memory.
struct DrawCall {
    int primitiveType = 0;
    const std::uint8_t* vertices = nullptr; // vertex 0 of the caller's memory or the prim's copy
    int firstVertex = 0;
    int vertexCount = 0;
    int vertexLimit = 0; // vertices that may be read from vertex 0 of the data
    const VertexLayout* layout = nullptr;
    int stride = 0;
    const void* indices = nullptr; // first index used
    int indexCount = 0;
    bool wideIndices = false;
    Prim* prim = nullptr; // with graphics buffers
    std::uint64_t layoutKey = 0;
    int texCoordSets = 0;
};

// Primitives drawn from count vertices or indices; 0 for an unknown type.
inline int PrimitiveCount(int type, int count)
{
    switch (type) {
    case 1: return count;     // point list
    case 2: return count / 2; // line list
    case 3: return count - 1; // line strip
    case 4: return count / 3; // triangle list
    case 5:                   // triangle strip
    case 6: return count - 2; // triangle fan
    default: return 0;
    }
}
