#pragma once

#include <cstdint>

#include "engine/core/MathConstants.h"
#include "engine/core/Vector.h"

class MapObject;
struct Material;

// What world picks and floor queries report.
struct PickResult {
    MapObject* object = nullptr; // null = terrain or no hit
    std::int32_t slot = -1;      // the object's slot in its patch
    Material* tile = nullptr;    // the terrain tile's material or the mesh material hit
    Vector3 normal;              // zero when not computed
    Vector3 hitPoint;
    float distance = kNoHit;     // kNoHit = no hit; vertical queries: the height difference
    std::int32_t column = 0;
    std::int32_t row = 0;

    void Clear() { *this = PickResult(); }
};
