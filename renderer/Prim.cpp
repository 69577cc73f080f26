#include "renderer/Prim.h"

#include <cstdarg>
#include <cstring>

#include "engine/core/FormatText.h"
#include "platform/gpu/GraphicsDevice.h"
#include "renderer/LibraryState.h"
#include "renderer/RenderDevice.h"

namespace gpu = platform::gpu;

namespace {

void DropVertexArray(Prim::VertexArray*& array)
{
    if (array && --array->references <= 0) {
        if (array->buffer)
            array->buffer->Release();
        delete array;
    }
    array = nullptr;
}

void DropIndexArray(Prim::IndexArray*& array)
{
    if (array && --array->references <= 0) {
        if (array->buffer)
            array->buffer->Release();
        delete array;
    }
    array = nullptr;
}

} // namespace

Prim::~Prim()
{
    delete[] errorText;
}

int Prim::MakeVertexBuffer()
{
    gpu::GraphicsDevice* device = Library().gpu;
    const gpu::Result result = device ? device->CreateBuffer(gpu::BufferKind::Vertex, vertices->data.size(),
                                                             &vertices->buffer)
                                      : gpu::ErrorInvalidCall;
    if (gpu::Failed(result)) {
        SetError("Can't create Vertex Buffer %s", gpu::ResultName(result));
        return -1;
    }
    vertices->modified = true;
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
    return 0;
}

int Prim::Create(int type, int vertexCount, int indexCount, const VertexLayout* layout, std::uint32_t newFlags)
{
    primitiveType = type;
    flags = newFlags;
    material = nullptr;
    DropVertexArray(vertices);
    DropIndexArray(indices);
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
    DropVertexArray(vertices);
    DropIndexArray(indices);
    material = nullptr;
    delete this;
}

void Prim::Release()
{
    Destroy();
}

void Prim::DropArrays()
{
    DropVertexArray(vertices);
    DropIndexArray(indices);
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
    if (write)
        vertices->modified = true;
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
    DropVertexArray(vertices);
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
    DropIndexArray(indices);
    indices = shared;
}

void Prim::SetIndexRange(int first, int end)
{
    firstIndex = first;
    endIndex = end;
}

void Prim::SetVertexRange(int first, int end)
{
    firstVertex = first;
    endVertex = end;
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
const char* Prim::GetLastError() { return errorText; }

void Prim::SetError(const char* format, ...)
{
    if (!errorText)
        errorText = new char[2048];
    errorText[0] = '\0';
    if (!format || std::strlen(format) > kMaxFormatLength)
        return;
    std::va_list args;
    va_start(args, format);
    vFormatText(errorText, 2048, format, args);
    va_end(args);
}

void Prim::ReleaseBuffers()
{
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
    if (flags & PrimSystemMemory)
        return 0;
    if (vertices && !vertices->buffer && MakeVertexBuffer() < 0)
        return -1;
    if (indices && !indices->buffer && MakeIndexBuffer() < 0)
        return -1;
    return 0;
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
