#pragma once

#include <cstdint>
#include <vector>

#include "engine/core/PtrList.h"
#include "engine/material/VertexLayout.h"
#include "platform/gpu/GraphicsDevice.h"
#include "renderer/Device.h"
#include "renderer/DrawCall.h"
#include "renderer/LibraryState.h"
#include "renderer/ErrorText.h"

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

    // What a draw of this prim reads, in one block at the front of the prim: the draw worked
    // out from its arrays and ranges, and the record of its graphics buffers. It is worked out
    // again when the library's array epoch has moved (an array written, made, shared or freed, a
    // range set, buffers released or made again, anywhere) or the primitive type was changed.
    struct DrawBlock {
        std::uint64_t epoch = 0; // 0 = never worked out
        bool drawable = false;   // the ranges fit the arrays
        std::uint32_t flags = 0; // the prim's flags
        DrawCall call;
        platform::gpu::BufferDraw buffers; // when call.prim is set; no names = cannot be drawn
    };

    Prim() = default;

    // Prims come from slabs in the order they are made, so that drawing a mesh's prims in turn
    // reads neighbouring memory rather than one scattered allocation after another.
    static void* operator new(std::size_t size);
    static void operator delete(void* slot) noexcept;

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

    // The prim's draw, worked out again first when it is stale (uploading modified arrays to the
    // graphics buffers); null when its ranges reach outside its arrays.
    const DrawBlock* CurrentBlock()
    {
        if (block.epoch == ArrayEpoch() && block.call.primitiveType == primitiveType)
            return block.drawable ? &block : nullptr;
        return RefreshBlock();
    }
    static std::uint64_t ArrayEpoch() { return Library().arrayEpoch; }

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
    const DrawBlock* RefreshBlock();
    static void MoveEpoch() { ++Library().arrayEpoch; }
    int MakeVertexBuffer();
    int MakeIndexBuffer();

    DrawBlock block; // first, beside the type and material
    std::uint32_t flags = 0;
    VertexArray* vertices = nullptr;
    IndexArray* indices = nullptr;
    int firstIndex = 0, endIndex = 0;
    int firstVertex = 0, endVertex = 0;
    ErrorText errorText;
    bool listed = false; // on the library's prim list
    // Caller memory described (descriptor only).
    Prim* view = nullptr; // the prim being drawn
    std::uint8_t* memoryVertices = nullptr;
    std::uint16_t* memoryIndices = nullptr;
    int memoryVertexCount = 0, memoryIndexCount = 0;
    VertexLayout memoryLayout;
};
