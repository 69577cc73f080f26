#pragma once

#include <cstdint>

// Where each element lies inside a vertex (-1 = absent) and how big a vertex is. Filled by the
// program, read by the renderer to build its buffers and draws.
struct VertexLayout {
    enum Element {
        Position = 0,            // 3 floats
        TransformedPosition = 1, // 4 floats: x, y, z, rhw
        Normal = 2,              // 3 floats
        Diffuse = 3,             // uint32 0xAARRGGBB
        Specular = 4,            // uint32
        TexCoord0 = 5,           // sets 0-7 at TexCoord0 + set
        ElementCount = 13,
    };
    static constexpr int kTexCoordSets = 8;

    std::int32_t offsets[ElementCount];
    std::int32_t texCoordSizes[kTexCoordSets]; // bytes: 4, 8, 12 or 16
    std::int32_t vertexSize = 0;

    VertexLayout() { Reset(); }

    void Reset()
    {
        for (std::int32_t& offset : offsets)
            offset = -1;
        for (std::int32_t& size : texCoordSizes)
            size = 8;
        vertexSize = 0;
    }

    bool Has(int element) const { return offsets[element] >= 0; }
    int TexCoordSetCount() const
    {
        int count = 0;
        for (int set = 0; set < kTexCoordSets; ++set)
            if (Has(TexCoord0 + set))
                ++count;
        return count;
    }

    // Models and meshes: position, normal, diffuse, two uv sets; 44 bytes.
    VertexLayout& InitLitTextured()
    {
        Reset();
        offsets[Position] = 0;
        offsets[Normal] = 12;
        offsets[Diffuse] = 24;
        offsets[TexCoord0] = 28;
        offsets[TexCoord0 + 1] = 36;
        vertexSize = 44;
        return *this;
    }

    // Screen quads and fonts: transformed position, diffuse, one uv set; 28 bytes.
    VertexLayout& InitScreenTextured()
    {
        Reset();
        offsets[TransformedPosition] = 0;
        offsets[Diffuse] = 16;
        offsets[TexCoord0] = 20;
        vertexSize = 28;
        return *this;
    }

    // Decals, icons, weather, shadows and terrain: position, diffuse, two uv sets; 32 bytes.
    VertexLayout& InitColoredTextured2()
    {
        Reset();
        offsets[Position] = 0;
        offsets[Diffuse] = 12;
        offsets[TexCoord0] = 16;
        offsets[TexCoord0 + 1] = 24;
        vertexSize = 32;
        return *this;
    }

    friend bool operator==(const VertexLayout& a, const VertexLayout& b)
    {
        for (int i = 0; i < ElementCount; ++i)
            if (a.offsets[i] != b.offsets[i])
                return false;
        for (int i = 0; i < kTexCoordSets; ++i)
            if (a.texCoordSizes[i] != b.texCoordSizes[i])
                return false;
        return a.vertexSize == b.vertexSize;
    }
};

// One vertex of the InitLitTextured layout, for code that fills such prims directly.
struct LitVertex {
    float position[3];
    float normal[3];
    std::uint32_t color;
    float uv0[2];
    float uv1[2];
};
static_assert(sizeof(LitVertex) == 44);
