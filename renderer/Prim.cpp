#include "renderer/Prim.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>

#include "engine/core/FormatText.h"
#include "platform/gpu/GraphicsDevice.h"
#include "renderer/LibraryState.h"
#include "renderer/RenderDevice.h"

namespace gpu = platform::gpu;

namespace {

// Drops one reference on a shared vertex or index array; the last frees it with its buffer.
template <class Array>
void DropArray(Array*& array)
{
    if (!array)
        return;
    ++Library().arrayEpoch;
    if (--array->references <= 0) {
        if (array->buffer)
            array->buffer->Release();
        delete array;
    }
    array = nullptr;
}

} // namespace

Prim::~Prim() = default;

namespace {

constexpr std::size_t kSlotSize = (sizeof(Prim) + alignof(std::max_align_t) - 1) / alignof(std::max_align_t) *
                                  alignof(std::max_align_t);
constexpr std::size_t kSlotsPerSlab = 256;

} // namespace

void* Prim::operator new(std::size_t)
{
    // Prim is final: every allocation is one slot.
    LibraryState& library = Library();
    if (void* slot = library.freePrimSlot) {
        std::memcpy(&library.freePrimSlot, slot, sizeof(void*));
        return slot;
    }
    if (library.primSlabs.empty() || library.primSlabUsed == kSlotsPerSlab) {
        // new[] of unsigned char is aligned for any fundamental type.
        library.primSlabs.push_back(std::make_unique<unsigned char[]>(kSlotSize * kSlotsPerSlab));
        library.primSlabUsed = 0;
    }
    return library.primSlabs.back().get() + kSlotSize * library.primSlabUsed++;
}

void Prim::operator delete(void* slot) noexcept
{
    if (!slot)
        return;
    LibraryState& library = Library();
    std::memcpy(slot, &library.freePrimSlot, sizeof(void*));
    library.freePrimSlot = slot;
}

int Prim::MakeVertexBuffer()
{
    gpu::GraphicsDevice* device = Library().gpu;
    const gpu::Result result = device ? device->CreateBuffer(gpu::BufferKind::Vertex, vertices->data.size(),
                                                             &vertices->buffer, vertices->stride)
                                      : gpu::ErrorInvalidCall;
    if (gpu::Failed(result)) {
        SetError("Can't create Vertex Buffer %s", gpu::ResultName(result));
        return -1;
    }
    vertices->modified = true;
    MoveEpoch();
    return 0;
}

int Prim::MakeIndexBuffer()
{
    gpu::GraphicsDevice* device = Library().gpu;
    const gpu::Result result =
        device ? device->CreateBuffer(indices->wide ? gpu::BufferKind::Index32 : gpu::BufferKind::Index16,
                                      indices->data.size(), &indices->buffer)
               : gpu::ErrorInvalidCall;
    if (gpu::Failed(result)) {
        SetError("Can't create Index Buffer %s", gpu::ResultName(result));
        return -1;
    }
    indices->modified = true;
    MoveEpoch();
    return 0;
}

int Prim::Create(int type, int vertexCount, int indexCount, const VertexLayout* layout, std::uint32_t newFlags)
{
    primitiveType = type;
    flags = newFlags;
    material = nullptr;
    DropArray(vertices);
    DropArray(indices);
    firstIndex = endIndex = firstVertex = endVertex = 0;
    if (vertexCount > 0) {
        if (!layout || layout->vertexSize <= 0) {
            SetError("Can't create Vertex Buffer %s", gpu::ResultName(gpu::ErrorInvalidCall));
            return -1;
        }
        vertices = new VertexArray();
        vertices->stride = layout->vertexSize;
        vertices->formatKey = FormatKey(*layout);
        vertices->data.assign(std::size_t(vertexCount) * std::size_t(layout->vertexSize), 0);
        vertices->count = vertexCount;
        vertices->layout = *layout;
        if (!(flags & PrimSystemMemory) && MakeVertexBuffer() < 0)
            return -1;
    }
    if (indexCount > 0) {
        indices = new IndexArray();
        indices->wide = (flags & PrimIndex32) != 0;
        indices->data.assign(std::size_t(indexCount) * (indices->wide ? 4 : 2), 0);
        indices->count = indexCount;
        if (!(flags & PrimSystemMemory) && MakeIndexBuffer() < 0)
            return -1;
    }
    if (!listed)
        Library().prims.insert(this);
    listed = true;
    return 0;
}

void Prim::TakeOffList()
{
    if (listed)
        Library().prims.erase(this);
    listed = false;
}

void Prim::Destroy()
{
    TakeOffList();
    DropArray(vertices);
    DropArray(indices);
    material = nullptr;
    delete this;
}

void Prim::Release()
{
    Destroy();
}

void Prim::DropArrays()
{
    DropArray(vertices);
    DropArray(indices);
}

std::uint64_t Prim::FormatKey(const VertexLayout& layout)
{
    std::uint64_t key = std::uint64_t(std::uint32_t(layout.vertexSize) & 0xFFFFu);
    for (int element = 0; element < VertexLayout::ElementCount; ++element)
        if (layout.Has(element))
            key |= std::uint64_t(1) << (16 + element);
    for (int set = 0; set < VertexLayout::kTexCoordSets; ++set) {
        const int size = layout.texCoordSizes[set];
        const std::uint64_t floats = size == 4 ? 0 : size == 12 ? 2 : size == 16 ? 3 : 1;
        key |= floats << (29 + 2 * set);
    }
    return key;
}

void Prim::DescribePrim(Prim* drawn)
{
    memoryVertices = nullptr;
    memoryLayout.vertexSize = 0;
    view = drawn;
    primitiveType = drawn->primitiveType;
}

void Prim::DescribeMemory(void* vertexData, int vertexCount, const VertexLayout* layout, void* indexData,
                          int indexCount)
{
    ClearDescription();
    memoryVertices = static_cast<std::uint8_t*>(vertexData);
    memoryIndices = static_cast<std::uint16_t*>(indexData);
    memoryVertexCount = vertexCount;
    memoryIndexCount = indexData ? indexCount : 0;
    memoryLayout = *layout;
}

void Prim::ClearDescription()
{
    view = nullptr;
    DropArrays();
    memoryVertices = nullptr;
    memoryIndices = nullptr;
    memoryVertexCount = memoryIndexCount = 0;
    memoryLayout.Reset();
    firstVertex = endVertex = firstIndex = endIndex = 0;
}

void* Prim::GetVertices(bool write, bool whole)
{
    if (view)
        return view->GetVertices(write, whole);
    if (memoryVertices || memoryLayout.vertexSize > 0)
        return memoryVertices;
    if (!vertices)
        return nullptr;
    if (write) {
        vertices->modified = true;
        MoveEpoch();
    }
    const std::size_t offset = whole ? 0 : std::size_t(firstVertex) * std::size_t(vertices->layout.vertexSize);
    if (offset > vertices->data.size())
        return nullptr;
    return vertices->data.data() + offset;
}

std::uint16_t* Prim::GetIndices(bool write, bool whole)
{
    if (view)
        return view->GetIndices(write, whole);
    if (memoryVertices)
        return memoryIndices;
    if (!indices)
        return nullptr;
    if (write) {
        indices->modified = true;
        indices->maxKnown = false;
        MoveEpoch();
    }
    const std::size_t offset = whole ? 0 : std::size_t(firstIndex) * (indices->wide ? 4 : 2);
    if (offset > indices->data.size())
        return nullptr;
    return reinterpret_cast<std::uint16_t*>(indices->data.data() + offset);
}

void Prim::Nop4() {}
void Prim::Nop6() {}

void Prim::ShareVertices(D3DPrim* other)
{
    auto* source = static_cast<Prim*>(other);
    if (!source || source == this)
        return;
    VertexArray* shared = source->vertices;
    if (shared)
        ++shared->references;
    DropArray(vertices);
    vertices = shared;
}

void Prim::ShareIndices(D3DPrim* other)
{
    auto* source = static_cast<Prim*>(other);
    if (!source || source == this)
        return;
    IndexArray* shared = source->indices;
    if (shared)
        ++shared->references;
    DropArray(indices);
    indices = shared;
}

void Prim::SetIndexRange(int first, int end)
{
    firstIndex = first;
    endIndex = end;
    MoveEpoch();
}

void Prim::SetVertexRange(int first, int end)
{
    firstVertex = first;
    endVertex = end;
    MoveEpoch();
}

int Prim::GetVertexCount(bool whole)
{
    if (view)
        return view->GetVertexCount(whole);
    if (memoryVertices)
        return memoryVertexCount;
    if (!vertices)
        return 0;
    if (endVertex != 0 && !whole)
        return endVertex - firstVertex;
    return vertices->count;
}

int Prim::GetIndexCount(bool whole)
{
    if (view)
        return view->GetIndexCount(whole);
    if (memoryVertices)
        return memoryIndexCount;
    if (!indices)
        return 0;
    if (endIndex != 0 && !whole)
        return endIndex - firstIndex;
    return indices->count;
}

int Prim::GetFirstIndex() { return view ? view->GetFirstIndex() : firstIndex; }
int Prim::GetFirstVertex() { return view ? view->GetFirstVertex() : firstVertex; }

void Prim::GetVertexFormat(VertexLayout* out)
{
    if (view) {
        view->GetVertexFormat(out);
        return;
    }
    if (memoryLayout.vertexSize > 0 && out)
        *out = memoryLayout;
    else if (vertices && out)
        *out = vertices->layout;
}

std::uint32_t Prim::GetFlags() { return flags; }
Device* Prim::GetDevice() { return Library().device; }
const char* Prim::GetLastError() { return errorText.Get(); }

void Prim::SetError(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    errorText.Format(format, args);
    va_end(args);
}

void Prim::ReleaseBuffers()
{
    MoveEpoch();
    if (vertices && vertices->buffer) {
        vertices->buffer->Release();
        vertices->buffer = nullptr;
    }
    if (indices && indices->buffer) {
        indices->buffer->Release();
        indices->buffer = nullptr;
    }
}

int Prim::RecreateBuffers()
{
    MoveEpoch();
    if (flags & PrimSystemMemory)
        return 0;
    if (vertices && !vertices->buffer && MakeVertexBuffer() < 0)
        return -1;
    if (indices && !indices->buffer && MakeIndexBuffer() < 0)
        return -1;
    return 0;
}

const Prim::DrawBlock* Prim::RefreshBlock()
{
    block.epoch = ArrayEpoch();
    block.drawable = false;
    block.flags = flags;
    block.buffers = gpu::BufferDraw{};
    DrawCall& call = block.call;
    call = DrawCall{};
    call.primitiveType = primitiveType;
    if (!vertices || vertices->stride <= 0)
        return nullptr;
    call.layout = &vertices->layout;
    call.layoutKey = vertices->formatKey;
    call.stride = vertices->stride;
    // Texture-coordinate sets present: bits 21-28 of the key.
    call.texCoordSets = __builtin_popcountll((vertices->formatKey >> (16 + VertexLayout::TexCoord0)) & 0xFF);
    call.vertices = vertices->data.data();
    call.firstVertex = firstVertex;
    call.vertexCount = VertexCountInRange();
    // Ranges come from the program: refuse any that reach outside the arrays.
    if (call.firstVertex < 0 || call.vertexCount <= 0 || call.firstVertex + call.vertexCount > vertices->count)
        return nullptr;
    const bool buffers = vertices->buffer && (!indices || indices->buffer);
    if (indices) {
        call.indexCount = IndexCountInRange();
        if (firstIndex < 0 || call.indexCount <= 0 || firstIndex + call.indexCount > indices->count)
            return nullptr;
        call.wideIndices = indices->wide;
        call.indices = indices->data.data() + std::size_t(firstIndex) * (indices->wide ? 4 : 2);
        if (!indices->maxKnown) {
            std::uint32_t largest = 0;
            for (int i = 0; i < indices->count; ++i) {
                std::uint32_t value;
                if (indices->wide) {
                    std::memcpy(&value, indices->data.data() + std::size_t(i) * 4, 4);
                } else {
                    std::uint16_t narrow;
                    std::memcpy(&narrow, indices->data.data() + std::size_t(i) * 2, 2);
                    value = narrow;
                }
                largest = std::max(largest, value);
            }
            indices->maxIndex = largest;
            indices->maxKnown = true;
        }
        // Buffer draws index the whole array; each index of a memory draw is checked as it goes.
        if (buffers && indices->maxIndex >= std::uint32_t(vertices->count))
            return nullptr;
    }
    if (buffers) {
        call.prim = this;
        call.vertexLimit = vertices->count;
        Upload();
        const int primitives = PrimitiveCount(call.primitiveType, indices ? call.indexCount : call.vertexCount);
        if (gpu::GraphicsDevice* device = Library().gpu)
            device->MakeBufferDraw(call.primitiveType, vertices->buffer, call.stride, indices ? indices->buffer : nullptr,
                                   call.firstVertex, call.vertexCount, firstIndex, primitives, block.buffers);
    } else {
        // Drawn from memory, a prim's indices count from the first vertex of its range.
        call.vertices += std::size_t(call.firstVertex) * std::size_t(call.stride);
        call.firstVertex = 0;
        call.vertexLimit = call.vertexCount;
    }
    block.drawable = true;
    return &block;
}

void Prim::Upload()
{
    void* target = nullptr;
    if (vertices && vertices->buffer && vertices->modified &&
        !gpu::Failed(vertices->buffer->Lock(0, 0, &target))) {
        std::memcpy(target, vertices->data.data(), vertices->data.size());
        vertices->buffer->Unlock();
        vertices->modified = false;
    }
    if (indices && indices->buffer && indices->modified && !gpu::Failed(indices->buffer->Lock(0, 0, &target))) {
        std::memcpy(target, indices->data.data(), indices->data.size());
        indices->buffer->Unlock();
        indices->modified = false;
    }
}
