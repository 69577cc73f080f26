#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The ".oct" level mesh file: five int32 counts, then vertices (uv, lightmap uv, position: 28
// bytes), faces (first vertex, vertex count, material, lightmap, four spare floats: 32 bytes),
// materials (spare int32, texture base name char[64]: 68 bytes), 128 x 128 lightmap pages of
// 3-byte pixels after a spare int32 (49156 bytes), extra records (position, colour, a float: 28
// bytes) and a trailer of three floats. Little-endian throughout.
struct OctVertex {
    float uv[2] = {0, 0};
    float lightmapUv[2] = {0, 0};
    float position[3] = {0, 0, 0};
};

struct OctFace {
    std::int32_t firstVertex = 0;
    std::int32_t vertexCount = 0;
    std::int32_t material = 0;
    std::int32_t lightmap = 0;
    float unused[4] = {0, 0, 0, 0};
};

struct OctLightmap {
    std::vector<std::uint8_t> pixels = std::vector<std::uint8_t>(128 * 128 * 3, 0); // rows of 3-byte pixels
};

struct OctExtra {
    float position[3] = {0, 0, 0};
    float color[3] = {1, 1, 1};
    float value = 0.0f;
};

struct OctModel {
    std::vector<OctVertex> vertices;
    std::vector<OctFace> faces;
    std::vector<std::string> materials; // texture base names, at most 63 characters kept
    std::vector<OctLightmap> lightmaps;
    std::vector<OctExtra> extras;
    float trailer[3] = {0, 0, 0};

    // A convex polygon of the corners in order (a fan), appended as one face.
    void AddFace(const std::vector<OctVertex>& corners, int material, int lightmap);
};

std::vector<std::uint8_t> WriteOctFile(const OctModel& model);
