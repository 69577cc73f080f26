#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/core/Vector.h"
#include "engine/material/VertexLayout.h"
#include "renderer/Device.h"

// Element access to the vertex memory of one prim, by the offsets of its own layout; an absent
// element reads as zero and ignores writes. Opening takes the whole vertex array; the access is
// closed on destruction.
class MeshVertices {
public:
    MeshVertices(D3DPrim* prim, bool write) : prim(prim)
    {
        if (!prim)
            return;
        prim->GetVertexFormat(&layout);
        count = prim->GetVertexCount(true);
        data = static_cast<std::uint8_t*>(prim->GetVertices(write, true));
        if (!data || layout.vertexSize <= 0)
            count = 0;
    }
    ~MeshVertices()
    {
        if (prim)
            prim->Nop4();
    }
    MeshVertices(const MeshVertices&) = delete;
    MeshVertices& operator=(const MeshVertices&) = delete;

    int Count() const { return count; }
    int Stride() const { return layout.vertexSize; }
    std::uint8_t* Data() const { return data; }
    const VertexLayout& Layout() const { return layout; }

    Vector3 Position(int i) const { return Get3(VertexLayout::Position, i); }
    Vector3 Normal(int i) const { return Get3(VertexLayout::Normal, i); }
    void SetPosition(int i, const Vector3& v) { Set3(VertexLayout::Position, i, v); }
    void SetNormal(int i, const Vector3& v) { Set3(VertexLayout::Normal, i, v); }
    std::uint32_t Diffuse(int i) const
    {
        std::uint32_t color = 0;
        if (const std::uint8_t* p = At(VertexLayout::Diffuse, i, 4))
            std::memcpy(&color, p, 4);
        return color;
    }
    void SetDiffuse(int i, std::uint32_t color)
    {
        if (std::uint8_t* p = At(VertexLayout::Diffuse, i, 4))
            std::memcpy(p, &color, 4);
    }
    // u, v of set 0 or 1.
    void TexCoord(int set, int i, float out[2]) const
    {
        out[0] = out[1] = 0.0f;
        if (const std::uint8_t* p = At(VertexLayout::TexCoord0 + set, i, 8))
            std::memcpy(out, p, 8);
    }
    void SetTexCoord(int set, int i, float u, float v)
    {
        const float uv[2] = {u, v};
        if (std::uint8_t* p = At(VertexLayout::TexCoord0 + set, i, 8))
            std::memcpy(p, uv, 8);
    }

private:
    std::uint8_t* At(int element, int i, int size) const
    {
        const int offset = layout.offsets[element];
        if (offset < 0 || offset + size > layout.vertexSize || i < 0 || i >= count)
            return nullptr;
        return data + std::size_t(i) * std::size_t(layout.vertexSize) + std::size_t(offset);
    }
    Vector3 Get3(int element, int i) const
    {
        float xyz[3] = {0, 0, 0};
        if (const std::uint8_t* p = At(element, i, 12))
            std::memcpy(xyz, p, 12);
        return Vector3(xyz[0], xyz[1], xyz[2]);
    }
    void Set3(int element, int i, const Vector3& v)
    {
        const float xyz[3] = {v.x, v.y, v.z};
        if (std::uint8_t* p = At(element, i, 12))
            std::memcpy(p, xyz, 12);
    }

    D3DPrim* prim = nullptr;
    VertexLayout layout;
    std::uint8_t* data = nullptr;
    int count = 0;
};

// The index memory of one prim as 16-bit or 32-bit values; closed on destruction.
class MeshIndices {
public:
    MeshIndices(D3DPrim* prim, bool write) : prim(prim)
    {
        if (!prim)
            return;
        count = prim->GetIndexCount(true);
        wide = (prim->GetFlags() & PrimIndex32) != 0;
        data = count > 0 ? prim->GetIndices(write, true) : nullptr;
        if (!data)
            count = 0;
    }
    ~MeshIndices()
    {
        if (prim && data)
            prim->Nop6();
    }
    MeshIndices(const MeshIndices&) = delete;
    MeshIndices& operator=(const MeshIndices&) = delete;

    int Count() const { return count; }
    bool Wide() const { return wide; }
    std::uint16_t* Data() const { return data; }
    int operator[](int i) const
    {
        return wide ? int(reinterpret_cast<const std::uint32_t*>(data)[i]) : int(data[i]);
    }

private:
    D3DPrim* prim = nullptr;
    std::uint16_t* data = nullptr;
    int count = 0;
    bool wide = false;
};

// The corners of a triangle-list prim, three per triangle, from its indices or else its vertices
// in order; a triangle naming a vertex past the array is left out.
inline std::vector<int> TriangleCorners(D3DPrim* prim, const MeshVertices& vertices, const MeshIndices& indices)
{
    std::vector<int> corners;
    if (!prim || prim->primitiveType != PrimTriangleList)
        return corners;
    const int count = indices.Count() > 0 ? indices.Count() : vertices.Count();
    corners.reserve(std::size_t(count));
    for (int t = 0; t + 2 < count; t += 3) {
        int corner[3];
        bool valid = true;
        for (int c = 0; c < 3; ++c) {
            corner[c] = indices.Count() > 0 ? indices[t + c] : t + c;
            valid = valid && corner[c] >= 0 && corner[c] < vertices.Count();
        }
        if (valid)
            corners.insert(corners.end(), corner, corner + 3);
    }
    return corners;
}
