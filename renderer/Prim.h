#pragma once

#include <cstdint>
#include <vector>

#include "engine/core/PtrList.h"
#include "engine/material/VertexLayout.h"
#include "renderer/Device.h"

namespace platform::gpu {
class Buffer;
}

// The library's geometry object: vertex and index arrays in memory, shared between prims by
// reference count and mirrored into graphics buffers.
class Prim final : public D3DPrim {
public:
    struct VertexArray {
        // What a draw reads first, kept together.
        int count = 0;
        int stride = 0;
        platform::gpu::Buffer* buffer = nullptr;
        std::uint64_t formatKey = 0; // FormatKey of the layout
        bool modified = true;
        int references = 1;
        std::vector<std::uint8_t> data;
        VertexLayout layout;
    };
    struct IndexArray {
        std::vector<std::uint8_t> data;
        int count = 0;
        bool wide = false;
        int references = 1;
        // The largest index stored, worked out again after every write.
        std::uint32_t maxIndex = 0;
        bool maxKnown = false;
        platform::gpu::Buffer* buffer = nullptr;
        bool modified = true;
    };

    Prim() = default;

    int Create(int type, int vertexCount, int indexCount, const VertexLayout* layout, std::uint32_t flags) override;
    void Destroy() override;
    void Release() override;
    void* GetVertices(bool write, bool whole) override;
    void Nop4() override;
    std::uint16_t* GetIndices(bool write, bool whole) override;
    void Nop6() override;
    void ShareVertices(D3DPrim* other) override;
    void ShareIndices(D3DPrim* other) override;
    void SetIndexRange(int first, int end) override;
    void SetVertexRange(int first, int end) override;
    int GetVertexCount(bool whole) override;
    int GetIndexCount(bool whole) override;
    int GetFirstIndex() override;
    int GetFirstVertex() override;
    void GetVertexFormat(VertexLayout* out) override;
    std::uint32_t GetFlags() override;
    Device* GetDevice() override;
    const char* GetLastError() override;
    void SetError(const char* format, ...) override LUMORA_PRINTF(2, 3);
    ~Prim() override;

    // Frees the vertex and index arrays (the device's draw descriptor keeps none).
    void DropArrays();
    // Takes the prim off the library's prim list (the draw descriptor is not on it).
    void TakeOffList();
    // Around a device reset: the graphics buffers go and come back, the arrays stay.
    void ReleaseBuffers();
    int RecreateBuffers();
    // Copies modified arrays into their graphics buffers.
    void Upload();

    VertexArray* GetVertexArray() const { return vertices; }
    // The ranges in use, for the device's draws.
    int FirstVertex() const { return firstVertex; }
    int FirstIndex() const { return firstIndex; }
    int VertexCountInRange() const { return !vertices ? 0 : endVertex != 0 ? endVertex - firstVertex : vertices->count; }
    int IndexCountInRange() const { return !indices ? 0 : endIndex != 0 ? endIndex - firstIndex : indices->count; }

    // Everything of a layout that decides how its vertices are drawn (which elements are present,
    // the texture-coordinate sizes and the vertex size), packed so that equal keys mean equal
    // vertex formats.
    static std::uint64_t FormatKey(const VertexLayout& layout);

    // The device's draw descriptor shows effects the data being drawn: another prim's arrays and
    // ranges, or caller memory. Effects may change the vertices in place.
    void DescribePrim(Prim* drawn);
    void DescribeMemory(void* vertexData, int vertexCount, const VertexLayout* layout, void* indexData,
                        int indexCount);
    void ClearDescription();
    IndexArray* GetIndexArray() const { return indices; }

private:
    int MakeVertexBuffer();
    int MakeIndexBuffer();

    std::uint32_t flags = 0;
    VertexArray* vertices = nullptr;
    IndexArray* indices = nullptr;
    int firstIndex = 0, endIndex = 0;
    int firstVertex = 0, endVertex = 0;
    char* errorText = nullptr;
    bool listed = false; // on the library's prim list
    // Caller memory described (descriptor only).
    Prim* view = nullptr; // the prim being drawn
    std::uint8_t* memoryVertices = nullptr;
    std::uint16_t* memoryIndices = nullptr;
    int memoryVertexCount = 0, memoryIndexCount = 0;
    VertexLayout memoryLayout;
};
