#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The ".oct" level mesh file, as read from its bytes (little-endian): five counts, then vertices
// (28 bytes), faces (32), materials (68), 128 x 128 lightmap pages of 3-byte pixels (49156),
// extra records (28) and a trailer of three floats. Every count and index is checked against the
// file; a file that does not hold together is refused.
struct OctFile {
    static constexpr int kLightmapSize = 128;
    static constexpr std::size_t kLightmapBytes = kLightmapSize * kLightmapSize * 3;
    static constexpr std::size_t kNameSize = 64;
    // Most fan triangles a file may hold over all its faces: sixteen times what 65535 vertices
    // give without sharing.
    static constexpr std::uint64_t kMaxTriangles = 16u * 65536u;

    struct Vertex {
        float uv[2];
        float lightmapUv[2];
        float position[3];
    };
    struct Face {
        std::int32_t firstVertex;
        std::int32_t vertexCount;
        std::int32_t material;
        std::int32_t lightmap;
        float unused[4];
    };
    struct MaterialRecord {
        std::int32_t unused;
        std::string textureName; // cut at the first NUL of its 64 bytes
    };
    struct Lightmap {
        std::int32_t unused;
        std::vector<std::uint8_t> pixels; // 128 x 128 x 3 bytes, row after row
    };
    struct Extra {
        float position[3];
        float color[3]; // 0..1
        float value;
    };

    std::vector<Vertex> vertices;
    std::vector<Face> faces;
    std::vector<MaterialRecord> materials;
    std::vector<Lightmap> lightmaps;
    std::vector<Extra> extras;
    float trailer[3] = {0, 0, 0};
};

// Parses the bytes of a ".oct" file; path names it in messages. Throws q3DError
// "%s has more than 65535 vertices" or, for anything else that does not fit, "Error while loading %s".
OctFile ReadOctFile(const std::uint8_t* data, std::size_t size, const char* path);
