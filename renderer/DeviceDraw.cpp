// Materials, textures and drawing: immediate draws of prims and caller memory, the sort queue
// of translucent triangles, the front-buffer copy and the text overlay.
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstring>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb/stb_easy_font.h>
#pragma GCC diagnostic pop

#include "engine/core/FormatText.h"
#include "platform/gpu/GraphicsDevice.h"
#include "renderer/Bitmap.h"
#include "renderer/LibraryState.h"
#include "renderer/Prim.h"
#include "renderer/RenderDevice.h"
#include "renderer/TextureRecord.h"

namespace gpu = platform::gpu;

namespace {

constexpr int kPoolStride = 44;

void ChannelsOf(std::uint32_t color, float out[4], float alpha)
{
    out[0] = float((color >> 16) & 0xFF) / 255.0f;
    out[1] = float((color >> 8) & 0xFF) / 255.0f;
    out[2] = float(color & 0xFF) / 255.0f;
    out[3] = alpha;
}

// The values SetMaterial reads; two materials with the same ones set the same state.
bool SameValues(const Material& a, const Material& b)
{
    return std::memcmp(a.texture, b.texture, sizeof(a.texture)) == 0 &&
           std::memcmp(a.texCoordIndex, b.texCoordIndex, sizeof(a.texCoordIndex)) == 0 &&
           std::memcmp(a.colorOp, b.colorOp, sizeof(a.colorOp)) == 0 && a.color == b.color &&
           a.srcBlend == b.srcBlend && a.destBlend == b.destBlend && a.lightingMode == b.lightingMode &&
           a.cullFlags == b.cullFlags && a.specularPower == b.specularPower && a.specularColor == b.specularColor;
}

} // namespace

// ---- Material and textures ----

void RenderDevice::SetTexture(D3DBitmap* bitmap, int stage)
{
    if (stage < 0 || stage >= 4 || !gpu)
        return;
    auto* own = static_cast<Bitmap*>(bitmap);
    TextureRecord* record = own ? own->GetRecord() : nullptr;
    gpu::Texture* image = record ? record->texture : nullptr;
    if (record && !image && record->surface)
        image = record->surface->GetColorTexture();
    const std::uint32_t flags = own ? own->GetFlags() : 0;
    StageBinding& binding = stageTextures[stage];
    if (binding.bitmap == bitmap && binding.image == image && binding.flags == flags &&
        gpu->GetTexture(stage) == image)
        return;
    gpu->SetTexture(stage, image);
    binding = StageBinding{bitmap, image, flags};
    if (own) {
        gpu->SetSamplerState(stage, gpu::SamplerState::AddressU, (flags & BitmapClampU) ? gpu::AddressClamp : gpu::AddressWrap);
        gpu->SetSamplerState(stage, gpu::SamplerState::AddressV, (flags & BitmapClampV) ? gpu::AddressClamp : gpu::AddressWrap);
    }
}

void RenderDevice::SetBlend(std::int32_t source, std::int32_t destination)
{
    gpu->SetRenderState(gpu::RsSrcBlend, std::uint32_t(source));
    gpu->SetRenderState(gpu::RsDestBlend, std::uint32_t(destination));
    appliedSrcBlend = source;
    appliedDestBlend = destination;
}

void RenderDevice::SetMaterial(const Material* material)
{
    if (!gpu)
        return;
    using gpu::StageState;
    if (!material) {
        currentMaterial = nullptr;
        materialApplied = false;
        gpu->SetRenderState(gpu::RsCullMode, 3);
        gpu->SetRenderState(gpu::RsLighting, 1);
        gpu->SetRenderState(gpu::RsShadeMode, 2);
        SetBlend(BlendOne, BlendZero);
        gpu->SetRenderState(gpu::RsSpecularEnable, 0);
        gpu->SetTextureStageState(0, StageState::ColorOp, TexOpDisable);
        gpu->SetTextureStageState(0, StageState::AlphaOp, TexOpDisable);
        gpu->SetTextureStageState(1, StageState::ColorOp, TexOpDisable);
        for (int stage = 0; stage < maxTextureStages; ++stage)
            SetTexture(nullptr, stage);
        return;
    }
    for (int stage = 1; stage < 4; ++stage)
        gpu->SetTextureStageState(stage, StageState::ColorOp,
                                  std::uint32_t(material->texture[stage] ? material->colorOp[stage - 1] : TexOpDisable));
    const bool current = materialApplied && currentMaterial == material && SameValues(appliedMaterial, *material);
    if (!(current && appliedSrcBlend == material->srcBlend && appliedDestBlend == material->destBlend) ||
        material->changed)
        SetBlend(material->srcBlend, material->destBlend);
    if (current && !material->changed)
        return;
    for (int stage = 0; stage < 4; ++stage)
        gpu->SetTextureStageState(stage, StageState::TexCoordIndex,
                                  effectTexCoordIndex[stage] >= 0 ? std::uint32_t(effectTexCoordIndex[stage])
                                                                  : std::uint32_t(material->texCoordIndex[stage]));
    gpu::MaterialParameters parameters;
    ChannelsOf(material->color, parameters.diffuse, float(material->color >> 24) / 255.0f);
    ChannelsOf(material->color, parameters.ambient, float(material->color >> 24) / 255.0f);
    ChannelsOf(material->specularColor, parameters.specular, 1.0f);
    parameters.power = material->specularPower;
    gpu->SetMaterial(parameters);
    const_cast<Material*>(material)->changed = 0;
    gpu->SetRenderState(gpu::RsSpecularEnable, material->specularPower > 0.0f ? 1 : 0);
    const std::int32_t cull = material->cullFlags;
    gpu->SetRenderState(gpu::RsCullMode, (cull & Material::kTwoSided) ? 1 : (cull & Material::kCullClockwise) ? 2 : 3);
    switch (material->lightingMode) {
    case 0:
        gpu->SetRenderState(gpu::RsLighting, 0);
        gpu->SetRenderState(gpu::RsShadeMode, 2);
        gpu->SetTextureStageState(0, StageState::AlphaArg2, gpu::ArgDiffuse);
        break;
    case 1:
        gpu->SetRenderState(gpu::RsLighting, 1);
        gpu->SetRenderState(gpu::RsShadeMode, 1);
        gpu->SetTextureStageState(0, StageState::AlphaArg2, gpu::ArgCurrent);
        break;
    default:
        gpu->SetRenderState(gpu::RsLighting, 1);
        gpu->SetRenderState(gpu::RsShadeMode, 2);
        gpu->SetTextureStageState(0, StageState::AlphaArg2, gpu::ArgCurrent);
        break;
    }
    currentMaterial = const_cast<Material*>(material);
    appliedMaterial = *material;
    materialApplied = true;
}

void RenderDevice::SetEffectTexCoordIndex(int stage, std::uint32_t value)
{
    if (stage < 0 || stage >= 4 || !gpu)
        return;
    effectTexCoordIndex[stage] = value;
    gpu->SetTextureStageState(stage, gpu::StageState::TexCoordIndex, value);
}

void RenderDevice::ClearEffectTexCoordIndex(int stage, std::uint32_t value)
{
    if (stage < 0 || stage >= 4 || !gpu)
        return;
    effectTexCoordIndex[stage] = -1;
    gpu->SetTextureStageState(stage, gpu::StageState::TexCoordIndex, value);
}

void RenderDevice::BindMaterialTextures(const Material* material)
{
    for (int stage = 0; stage < maxTextureStages; ++stage)
        SetTexture(material ? material->texture[stage] : nullptr, stage);
}

void RenderDevice::SetStageZeroOps(bool textured)
{
    const std::uint32_t op = textured ? TexOpModulate : TexOpDisable;
    gpu->SetTextureStageState(0, gpu::StageState::ColorOp, op);
    gpu->SetTextureStageState(0, gpu::StageState::AlphaOp, op);
}

void RenderDevice::SetVertexFormat(const VertexLayout& layout, std::uint64_t key)
{
    if (lastLayoutValid && key == lastLayoutKey)
        return;
    gpu::VertexFormat format;
    const bool position = layout.Has(VertexLayout::Position);
    const bool transformed = layout.Has(VertexLayout::TransformedPosition);
    format.position = position ? (transformed ? gpu::VertexFormat::Position::XyzWeight : gpu::VertexFormat::Position::Xyz)
                               : (transformed ? gpu::VertexFormat::Position::Transformed
                                              : gpu::VertexFormat::Position::None);
    format.normal = layout.Has(VertexLayout::Normal);
    format.diffuse = layout.Has(VertexLayout::Diffuse);
    format.specular = layout.Has(VertexLayout::Specular);
    format.texSets = layout.TexCoordSetCount();
    for (int set = 0; set < VertexLayout::kTexCoordSets; ++set) {
        const int size = layout.texCoordSizes[set];
        format.texFloats[set] = std::uint8_t(size == 4 ? 1 : size == 12 ? 3 : size == 16 ? 4 : 2);
    }
    gpu->SetVertexFormat(format);
    lastLayoutValid = true;
    lastLayoutKey = key;
}

// ---- Effects around a draw ----

void RenderDevice::ApplyEffects(Material* material, D3DBitmap* kept[2], bool apply)
{
    if (apply) {
        kept[0] = material->texture[0];
        kept[1] = material->texture[1];
        for (Effect* effect : effects)
            effect->Apply(this, descriptor);
        for (int stage = 0; stage < 2; ++stage)
            if (kept[stage])
                kept[stage]->ApplyEffects(true, descriptor);
    } else {
        material->texture[0] = kept[0];
        material->texture[1] = kept[1];
        for (Effect* effect : effects)
            effect->Restore(this, descriptor);
        for (int stage = 0; stage < 2; ++stage)
            if (kept[stage])
                kept[stage]->ApplyEffects(false, descriptor);
    }
}

// ---- Immediate drawing ----

bool RenderDevice::GoesToQueue(const DrawCall& call, const Material* material, std::uint32_t primFlags) const
{
    if (!material || call.primitiveType != PrimTriangleList)
        return false;
    if (queueAll)
        return true;
    return !(material->srcBlend == BlendOne && material->destBlend == BlendZero) && sortQueueEnabled &&
           !(material->cullFlags & Material::kAlphaTested) && !(primFlags & PrimNeverSorted) &&
           !call.layout->Has(VertexLayout::TransformedPosition);
}

bool RenderDevice::DrawNow(const DrawCall& call, Material* material)
{
    SetVertexFormat(*call.layout, call.layoutKey);
    SetStageZeroOps(call.texCoordSets > 0);
    D3DBitmap* kept[2] = {};
    if (material)
        ApplyEffects(material, kept, true);
    const int primitives = PrimitiveCount(call.primitiveType, call.indices ? call.indexCount : call.vertexCount);
    SetMaterial(material);
    if (material)
        BindMaterialTextures(material);
    gpu::Result result = gpu::ErrorInvalidCall;
    if (primitives > 0) {
        const int stride = call.stride;
        if (call.prim) {
            // Effects may have written the prim's arrays: then its draw is worked out again,
            // which uploads them.
            const Prim::DrawBlock* block = call.prim->CurrentBlock();
            result = block && block->call.prim ? gpu->DrawBuffers(block->buffers) : gpu::ErrorInvalidCall;
        } else if (call.indices && call.wideIndices) {
            result = gpu->DrawIndexedPrimitiveUp(call.primitiveType, call.firstVertex, call.vertexCount, primitives,
                                                 static_cast<const std::uint32_t*>(call.indices), call.vertices, stride);
        } else if (call.indices) {
            result = gpu->DrawIndexedPrimitiveUp(call.primitiveType, call.firstVertex, call.vertexCount, primitives,
                                                 static_cast<const std::uint16_t*>(call.indices), call.vertices, stride);
        } else {
            result = gpu->DrawPrimitiveUp(call.primitiveType, primitives,
                                          call.vertices + std::size_t(call.firstVertex) * std::size_t(stride), stride);
        }
        if (!gpu::Failed(result))
            triangleCount += primitives;
    }
    if (material)
        ApplyEffects(material, kept, false);
    return !gpu::Failed(result);
}

bool RenderDevice::DrawPrim(D3DPrim* base)
{
    if (!rendering || !base || !gpu)
        return false;
    auto* prim = static_cast<Prim*>(base);
    ++drawCount;
    const Prim::DrawBlock* block = prim->CurrentBlock();
    if (!block)
        return false;
    const DrawCall call = block->call;

    Material* own = prim->material;
    Material* material = overrideMaterial ? overrideMaterial : own;
    auto* described = static_cast<Prim*>(descriptor);
    described->DescribePrim(prim);
    descriptor->material = material;
    descriptor->primitiveType = call.primitiveType;
    bool drawn = false;
    if (GoesToQueue(call, material, block->flags)) {
        drawn = Enqueue(call, material, false);
        if (!drawn)
            drawn = DrawNow(call, material);
    } else {
        drawn = DrawNow(call, material);
    }
    described->ClearDescription();
    descriptor->material = own;
    return drawn;
}

void RenderDevice::DrawUserPrimitives(int primitiveType, const void* vertices, int vertexCount,
                                      const VertexLayout* layout, const std::uint16_t* indices, int indexCount,
                                      Material* material)
{
    if (!rendering || !gpu || !vertices || !layout || layout->vertexSize <= 0 || vertexCount <= 0)
        return;
    if (indices && indexCount <= 0)
        return;
    DrawCall call;
    call.primitiveType = primitiveType;
    call.vertices = static_cast<const std::uint8_t*>(vertices);
    call.vertexCount = vertexCount;
    call.layout = layout;
    call.layoutKey = Prim::FormatKey(*layout);
    call.stride = layout->vertexSize;
    call.texCoordSets = layout->TexCoordSetCount();
    call.indices = indices;
    call.indexCount = indices ? indexCount : 0;
    call.vertexLimit = vertexCount;
    if (indices)
        for (int i = 0; i < indexCount; ++i)
            if (indices[i] >= vertexCount)
                return;
    Material* used = overrideMaterial ? overrideMaterial : material;
    Material* previous = descriptor->material;
    auto* described = static_cast<Prim*>(descriptor);
    described->DescribeMemory(const_cast<void*>(vertices), vertexCount, layout,
                              const_cast<std::uint16_t*>(indices), call.indexCount);
    descriptor->material = used;
    descriptor->primitiveType = primitiveType;
    if (!GoesToQueue(call, used, 0) || !Enqueue(call, used, true))
        DrawNow(call, used);
    described->ClearDescription();
    descriptor->material = previous;
}

// ---- The sort queue ----

Vector3 RenderDevice::EyePosition() const
{
    // Without a camera the eye is the origin; with one it is where the view matrix puts it.
    if (!camera)
        return Vector3(0.0f, 0.0f, 0.0f);
    Matrix4 inverse = view;
    if (!inverse.Invert())
        return Vector3(0.0f, 0.0f, 0.0f);
    return inverse.GetTranslation();
}

void RenderDevice::LogQueueOverflow(int triangles, int vertices)
{
    if (queueOverflowLogged)
        return;
    queueOverflowLogged = true;
    Log("Sort queue full: a draw of %d triangles and %d vertices dropped (the queue holds %d triangles and %d "
        "vertices a frame)",
        triangles, vertices, kMaxQueuedTriangles, kVertexPoolSize);
}

bool RenderDevice::Enqueue(const DrawCall& call, Material* material, bool makeCurrent)
{
    const int used = call.indices ? call.indexCount : call.vertexCount;
    const int triangles = used / 3;
    if (queueCount + triangles > kMaxQueuedTriangles) {
        LogQueueOverflow(triangles, call.vertexCount);
        return true; // dropped whole
    }
    D3DBitmap* kept[2] = {};
    ApplyEffects(material, kept, true);
    if (makeCurrent)
        SetMaterial(material);
    // An effect that made the material opaque or alpha-tested wants it drawn at once.
    if ((material->srcBlend == BlendOne && material->destBlend == BlendZero) ||
        (material->cullFlags & Material::kAlphaTested)) {
        ApplyEffects(material, kept, false);
        return false;
    }
    // Indices of either width; the pool itself is indexed with 16 bits.
    auto indexAt = [&call](int i) -> std::int64_t {
        return call.wideIndices ? static_cast<const std::uint32_t*>(call.indices)[i]
                                : static_cast<const std::uint16_t*>(call.indices)[i];
    };
    std::int64_t smallest = call.firstVertex, largest = std::int64_t(call.firstVertex) + call.vertexCount - 1;
    if (call.indices) {
        smallest = 0xFFFFFFFF;
        largest = 0;
        for (int i = 0; i < call.indexCount; ++i) {
            smallest = std::min(smallest, indexAt(i));
            largest = std::max(largest, indexAt(i));
        }
    }
    if (largest < smallest || largest >= call.vertexLimit) {
        ApplyEffects(material, kept, false);
        return true;
    }
    const int count = int(largest - smallest + 1);
    if (poolFill + count >= kVertexPoolSize) {
        LogQueueOverflow(triangles, count);
        ApplyEffects(material, kept, false);
        return true;
    }

    const VertexLayout& layout = *call.layout;
    VertexLayout standard;
    standard.InitLitTextured();
    const int stride = layout.vertexSize;
    std::uint8_t* out = pool.data() + std::size_t(poolFill) * kPoolStride;
    const std::uint8_t* in = call.vertices + std::size_t(smallest) * std::size_t(stride);
    if (layout == standard) {
        std::memcpy(out, in, std::size_t(count) * kPoolStride);
    } else {
        std::memset(out, 0, std::size_t(count) * kPoolStride);
        for (int v = 0; v < count; ++v) {
            std::uint8_t* to = out + std::size_t(v) * kPoolStride;
            const std::uint8_t* from = in + std::size_t(v) * std::size_t(stride);
            const int elements[3][2] = {{VertexLayout::Position, 12}, {VertexLayout::Normal, 12}, {VertexLayout::Diffuse, 4}};
            for (const auto& element : elements)
                if (layout.Has(element[0]) && standard.Has(element[0]))
                    std::memcpy(to + standard.offsets[element[0]], from + layout.offsets[element[0]], std::size_t(element[1]));
            for (int set = 0; set < 2; ++set) {
                const int e = VertexLayout::TexCoord0 + set;
                if (layout.Has(e))
                    std::memcpy(to + standard.offsets[e], from + layout.offsets[e],
                                std::size_t(std::min(layout.texCoordSizes[set], 8)));
            }
        }
    }
    for (int v = 0; v < count; ++v) {
        std::uint8_t* to = out + std::size_t(v) * kPoolStride;
        Vector3 position, normal;
        std::memcpy(&position, to, 12);
        std::memcpy(&normal, to + 12, 12);
        position = world.TransformPoint(position);
        normal = world.TransformDirection(normal);
        std::memcpy(to, &position, 12);
        std::memcpy(to + 12, &normal, 12);
    }

    const Vector3 eye = EyePosition();
    const bool fog = GetFogEnable();
    for (int t = 0; t < triangles; ++t) {
        QueuedTriangle triangle;
        triangle.material = material;
        for (int corner = 0; corner < 3; ++corner) {
            const std::int64_t index = call.indices ? indexAt(t * 3 + corner) : call.firstVertex + t * 3 + corner;
            triangle.index[corner] = std::uint16_t(poolFill + index - smallest);
        }
        if (sortDepth == 3.4e38f) {
            Vector3 first;
            std::memcpy(&first, pool.data() + std::size_t(triangle.index[0]) * kPoolStride, 12);
            const float dx = first.x - eye.x, dy = first.y - eye.y, dz = first.z - eye.z;
            triangle.depth = std::sqrt(dx * dx + dy * dy + dz * dz);
        } else {
            triangle.depth = sortDepth;
            sortDepth -= 0.0001f;
        }
        triangle.fog = fog;
        triangle.filter = filter;
        triangle.srcBlend = material->srcBlend;
        triangle.destBlend = material->destBlend;
        queue.push_back(triangle);
        ++queueCount;
        ++sortedTriangleCount;
        ++triangleCount;
    }
    poolFill += count;
    ApplyEffects(material, kept, false);
    return true;
}

void RenderDevice::FlushSortQueue()
{
    if (!gpu || queue.empty()) {
        queueCount = 0;
        queue.clear();
        poolFill = 0;
        return;
    }
    std::stable_sort(queue.begin(), queue.end(),
                     [](const QueuedTriangle& a, const QueuedTriangle& b) { return a.depth > b.depth; });
    const bool keptFog = GetFogEnable();
    const int keptFilter = filter;
    SetZWrite(false);
    VertexLayout pretransformed;
    pretransformed.Reset();
    pretransformed.offsets[VertexLayout::TransformedPosition] = 0;
    pretransformed.offsets[VertexLayout::Diffuse] = 16;
    pretransformed.offsets[VertexLayout::TexCoord0] = 20;
    pretransformed.offsets[VertexLayout::TexCoord0 + 1] = 28;
    pretransformed.vertexSize = 36;
    static_cast<Prim*>(descriptor)->DescribeMemory(nullptr, 0, &pretransformed, nullptr, 0);
    descriptor->primitiveType = PrimTriangleList;
    const Matrix4 identity;
    SetWorldTransform(&identity);
    VertexLayout standard;
    standard.InitLitTextured();
    SetVertexFormat(standard, Prim::FormatKey(standard));

    void* target = nullptr;
    if (!gpu::Failed(queueVertices->Lock(0, std::size_t(poolFill) * kPoolStride, &target))) {
        std::memcpy(target, pool.data(), std::size_t(poolFill) * kPoolStride);
        queueVertices->Unlock();
    }
    gpu->SetStreamSource(queueVertices, kPoolStride);
    const std::size_t indexBytes = queue.size() * 3 * sizeof(std::uint16_t);
    if (indexBytes <= queueIndices->GetSize() && !gpu::Failed(queueIndices->Lock(0, indexBytes, &target))) {
        auto* out = static_cast<std::uint16_t*>(target);
        for (const QueuedTriangle& t : queue) {
            *out++ = t.index[0];
            *out++ = t.index[1];
            *out++ = t.index[2];
        }
        queueIndices->Unlock();
    }
    gpu->SetIndices(queueIndices);

    EnableLights(false);
    const std::uint32_t keptAmbient = ambientColor;
    auto brighter = [](std::uint32_t c, int shift) { return std::uint32_t(std::min(255u, ((c >> shift) & 0xFF) + 60u)) << shift; };
    SetAmbient(0xFF000000u | brighter(keptAmbient, 16) | brighter(keptAmbient, 8) | brighter(keptAmbient, 0));

    std::size_t start = 0;
    while (start < queue.size()) {
        const QueuedTriangle& head = queue[start];
        std::size_t end = start + 1;
        int smallest = std::min({head.index[0], head.index[1], head.index[2]});
        int largest = std::max({head.index[0], head.index[1], head.index[2]});
        while (end < queue.size() && queue[end].material == head.material && queue[end].fog == head.fog &&
               queue[end].filter == head.filter && queue[end].srcBlend == head.srcBlend &&
               queue[end].destBlend == head.destBlend) {
            smallest = std::min({smallest, int(queue[end].index[0]), int(queue[end].index[1]), int(queue[end].index[2])});
            largest = std::max({largest, int(queue[end].index[0]), int(queue[end].index[1]), int(queue[end].index[2])});
            ++end;
        }
        Material* material = head.material;
        const bool zOn = alphaTest && (material->cullFlags & Material::kAlphaTested);
        if (zOn)
            SetZWrite(true);
        SetStageZeroOps(material->texture[0] != nullptr);
        descriptor->material = material;
        D3DBitmap* kept[2] = {};
        ApplyEffects(material, kept, true);
        SetMaterial(material);
        BindMaterialTextures(material);
        SetFogEnable(head.fog);
        SetFilter(head.filter, 2);
        SetBlend(head.srcBlend, head.destBlend);
        gpu->DrawIndexedPrimitive(PrimTriangleList, 0, smallest, largest - smallest + 1, int(start) * 3,
                                  int(end - start));
        ApplyEffects(material, kept, false);
        if (zOn)
            SetZWrite(false);
        start = end;
    }

    if (currentMaterial)
        SetBlend(currentMaterial->srcBlend, currentMaterial->destBlend);
    SetZWrite(true);
    SetFogEnable(keptFog);
    SetFilter(keptFilter, 2);
    poolFill = 0;
    static_cast<Prim*>(descriptor)->ClearDescription();
    descriptor->material = nullptr;
    SetAmbient(keptAmbient);
    EnableLights(true);
    queue.clear();
    queueCount = 0;
}

// ---- Front buffer and text ----

int RenderDevice::CopyFrontBuffer(D3DBitmap* destination)
{
    auto* bitmap = static_cast<Bitmap*>(destination);
    if (!gpu || !bitmap || !bitmap->GetRecord()) {
        SetError("Error creating surface to copy into (%s)", gpu::ResultName(gpu::ErrorInvalidCall));
        return -1;
    }
    // The copy is as large as the front buffer really is, so all of it is stretched.
    int width = 0, height = 0;
    gpu->ReadFrontBuffer(nullptr, width, height);
    gpu::Surface* copy = nullptr;
    gpu::Result result = gpu->CreateSurface(std::max(1, width), std::max(1, height), FormatA8R8G8B8,
                                            gpu::Pool::SystemMemory, false, &copy);
    if (gpu::Failed(result)) {
        SetError("Error creating surface to copy into (%s)", gpu::ResultName(result));
        return -1;
    }
    gpu::LockedRect locked;
    result = copy->Lock(locked, false);
    if (!gpu::Failed(result)) {
        std::vector<std::uint32_t> pixels(std::size_t(width) * std::size_t(height));
        result = gpu->ReadFrontBuffer(pixels.data(), width, height);
        for (int row = 0; row < height && !gpu::Failed(result); ++row)
            std::memcpy(locked.bits + std::size_t(row) * std::size_t(locked.pitch),
                        pixels.data() + std::size_t(row) * std::size_t(width), std::size_t(width) * 4);
        copy->Unlock();
    }
    if (gpu::Failed(result)) {
        copy->Release();
        SetError("Error copying frontbuffer to temp surface (%s)", gpu::ResultName(result));
        return -1;
    }
    return bitmap->CopyFromBackBuffer(copy) ? 1 : -1;
}

void RenderDevice::DrawText(int x, int y, const char* format, ...)
{
    if (!gpu)
        return;
    char text[2048];
    std::va_list args;
    va_start(args, format);
    const bool formatted = FormatBounded(text, sizeof(text), format, args);
    va_end(args);
    if (!formatted)
        return;

    // The built-in font gives quads of 16-byte vertices (x, y, z, colour); it stops when the
    // buffer is full.
    std::vector<char> quads(std::min<std::size_t>(std::strlen(text) * 1024 + 1024, std::size_t(1) << 20));
    unsigned char white[4] = {255, 255, 255, 255};
    const int quadCount = stb_easy_font_print(float(x), float(y), text, white, quads.data(), int(quads.size()));
    if (quadCount <= 0)
        return;
    struct ScreenVertex {
        float x, y, z, rhw;
        std::uint32_t color;
    };
    std::vector<ScreenVertex> vertices;
    vertices.reserve(std::size_t(quadCount) * 6);
    for (int q = 0; q < quadCount; ++q) {
        const float* corner[4];
        for (int c = 0; c < 4; ++c)
            corner[c] = reinterpret_cast<const float*>(quads.data() + (q * 4 + c) * 16);
        for (int c : {0, 1, 2, 0, 2, 3})
            vertices.push_back(ScreenVertex{corner[c][0], corner[c][1], 0.0f, 1.0f, 0xFFFFFFFFu});
    }
    // Text is written over the picture as it stands, whatever the draw states.
    using gpu::StageState;
    const int saved[] = {gpu::RsZEnable, gpu::RsAlphaBlendEnable, gpu::RsAlphaTestEnable, gpu::RsStencilEnable,
                         gpu::RsCullMode, gpu::RsFillMode, gpu::RsFogEnable};
    std::uint32_t values[std::size(saved)];
    for (std::size_t i = 0; i < std::size(saved); ++i)
        values[i] = gpu->GetRenderState(saved[i]);
    const std::uint32_t colorOp = gpu->GetTextureStageState(0, StageState::ColorOp);
    const std::uint32_t alphaOp = gpu->GetTextureStageState(0, StageState::AlphaOp);
    gpu->SetRenderState(gpu::RsZEnable, 0);
    gpu->SetRenderState(gpu::RsAlphaBlendEnable, 0);
    gpu->SetRenderState(gpu::RsAlphaTestEnable, 0);
    gpu->SetRenderState(gpu::RsStencilEnable, 0);
    gpu->SetRenderState(gpu::RsCullMode, 1);
    gpu->SetRenderState(gpu::RsFillMode, 3);
    gpu->SetRenderState(gpu::RsFogEnable, 0);
    gpu->SetTextureStageState(0, StageState::ColorOp, TexOpDisable);
    gpu->SetTextureStageState(0, StageState::AlphaOp, TexOpDisable);
    gpu::VertexFormat screen;
    screen.position = gpu::VertexFormat::Position::Transformed;
    screen.diffuse = true;
    gpu->SetVertexFormat(screen);
    lastLayoutValid = false;
    gpu->DrawPrimitiveUp(PrimTriangleList, int(vertices.size() / 3), vertices.data(), int(sizeof(ScreenVertex)));
    for (std::size_t i = 0; i < std::size(saved); ++i)
        gpu->SetRenderState(saved[i], values[i]);
    gpu->SetTextureStageState(0, StageState::ColorOp, colorOp);
    gpu->SetTextureStageState(0, StageState::AlphaOp, alphaOp);
}
