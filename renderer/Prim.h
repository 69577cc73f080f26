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
        std::vector<std::uint8_t> data;
        int count = 0;
        VertexLayout layout;
        int references = 1;
        platform::gpu::Buffer* buffer = nullptr;
        bool modified = true;
    };
    struct IndexArray {
        std::vector<std::uint8_t> data;
        int count = 0;
        bool wide = false;
        int references = 1;
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
};
