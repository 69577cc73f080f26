#pragma once

#include <cstdint>

#include "engine/core/Vector.h"

class D3DPrim;
struct HitResult;

// Lets a pick refuse a triangle that was hit; it may rewrite the three vertex numbers reported.
typedef bool (*PickFilterCallback)(D3DPrim* prim, HitResult& hit, int* index0, int* index1, int* index2);

// The ray and collision query record; callers copy it whole.
struct HitResult {
    Vector3 origin;           // ray start (input)
    Vector3 direction;        // ray direction (input); the sphere test expects unit length
    Vector3 hitPoint;
    float distance = kNoHit;  // ray parameter of the hit; kNoHit = nothing hit
    void* hitObject = nullptr; // the Material hit for mesh tests, else the query's own object
    Vector3 normal;
    std::int32_t hitCount = 0;
    float u = 0.0f;           // barycentric weight of the triangle's second vertex
    float v = 0.0f;           // barycentric weight of the triangle's third vertex

    void Clear();

    // Nearest hit of the ray with the triangles of a renderer prim; true when one was found.
    bool IntersectPrim(D3DPrim* prim, PickFilterCallback filter, int* index0, int* index1, int* index2);
};
