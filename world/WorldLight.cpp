#include <algorithm>
#include <cstring>

#include "engine/core/FormatText.h"
#include "engine/filesystem/PackFile.h"
#include "engine/mesh/MeshVertices.h"
#include "engine/mesh/qMesh.h"
#include "engine/octree/OctreeMesh.h"
#include "engine/material/Material.h"
#include "platform/os/Path.h"
#include "renderer/Device.h"
#include "world/props/PropClasses.h"
#include "world/World.h"

namespace {

bool ReadInt(PackFile* file, std::int32_t& value)
{
    std::uint8_t b[4];
    if (PackFileRead(b, 4, 1, file) != 1)
        return false;
    value = std::int32_t(std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 |
                         std::uint32_t(b[3]) << 24);
    return true;
}

// The nearest lightmap texel found by the pick under way (one light query at a time).
struct LightmapProbe {
    float best = kNoHit;
    std::uint32_t colour = 0;
    bool found = false;
};

LightmapProbe probe;

// Reads the lightmap under each triangle hit: its second texture coordinates interpolated at the
// hit, and that texel of the material's stage-1 bitmap. Never refuses a triangle.
bool ReadLightmapTexel(D3DPrim* prim, HitResult& hit, int* i0, int* i1, int* i2)
{
    if (!prim || !prim->material || !i0 || !i1 || !i2 || hit.distance >= probe.best)
        return true;
    D3DBitmap* lightmap = prim->material->texture[1];
    if (!lightmap)
        return true;
    MeshVertices vertices(prim, false);
    if (*i0 < 0 || *i1 < 0 || *i2 < 0 || *i0 >= vertices.Count() || *i1 >= vertices.Count() ||
        *i2 >= vertices.Count())
        return true;
    float a[2], b[2], c[2];
    vertices.TexCoord(1, *i0, a);
    vertices.TexCoord(1, *i1, b);
    vertices.TexCoord(1, *i2, c);
    const float weightA = 1.0f - hit.u - hit.v;
    const float s = a[0] * weightA + b[0] * hit.u + c[0] * hit.v;
    const float t = a[1] * weightA + b[1] * hit.u + c[1] * hit.v;
    const int width = lightmap->GetWidth(), height = lightmap->GetHeight();
    const int x = std::clamp(int(s * float(width)), 0, width - 1);
    const int y = std::clamp(int(t * float(height)), 0, height - 1);
    if (lightmap->GetFormat() != FormatR5G6B5)
        return true;
    const auto* bits = static_cast<const std::uint8_t*>(lightmap->Lock(false));
    if (!bits)
        return true;
    const std::uint8_t* p = bits + std::size_t(y) * lightmap->GetPitch() + std::size_t(x) * 2;
    const std::uint32_t texel = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8;
    lightmap->Unlock();
    const std::uint32_t r = (texel >> 11) & 0x1F, g = (texel >> 5) & 0x3F, bl = texel & 0x1F;
    probe.colour = 0xFF000000u | ((r << 3) | (r >> 2)) << 16 | ((g << 2) | (g >> 4)) << 8 | ((bl << 3) | (bl >> 2));
    probe.best = hit.distance;
    probe.found = true;
    return true;
}

} // namespace

void World::LoadLightmaps()
{
    for (auto& lightmap : patchLightmaps)
        if (lightmap.texture)
            lightmap.texture->Destroy();
    patchLightmaps.clear();
    terrainLight.clear();
    lightmapsLoaded = 0;
    if (lightFile) {
        PackFileClose(lightFile);
        lightFile = nullptr;
    }
    if (shadowLoader) {
        shadowLoader->Destroy();
        shadowLoader = nullptr;
    }
    const platform::os::PathParts parts = platform::os::SplitPath(map->mapPath);
    const std::string path = InBase((parts.drive + parts.dir + parts.fname + ".lmp").c_str());
    PackFile* file = PackFileOpen(path.c_str(), "rb");
    if (!file)
        return;
    std::int32_t header[7];
    for (std::int32_t& value : header)
        if (!ReadInt(file, value)) {
            device->Log("%s: the header is cut short; no light map", path.c_str());
            PackFileClose(file);
            return;
        }
    const std::int32_t size = header[4];
    if (header[0] != width || header[1] != height || header[2] != patchColumns || header[3] != patchRows) {
        PackFileClose(file);
        return;
    }
    // The texture size decides how many bytes each patch image takes; it must be a sane square.
    const std::uint64_t fileSize = file->uncompressedSize;
    const std::uint64_t patchCount = std::uint64_t(patchColumns) * patchRows;
    const std::uint64_t lightBytes = std::uint64_t(width) * height * 3;
    if (size < 4 || size > 1024 || (size & (size - 1)) != 0 || 28 + lightBytes + patchCount * 8 > fileSize) {
        device->Log("%s: texture size %d does not fit the file; no light map", path.c_str(), size);
        PackFileClose(file);
        return;
    }
    terrainLight.resize(lightBytes);
    if (PackFileRead(terrainLight.data(), 1, terrainLight.size(), file) != terrainLight.size() ||
        PackFileSeek(file, long(fileSize - patchCount * 8), 0) != 0) {
        device->Log("%s: the light block is cut short; no light map", path.c_str());
        terrainLight.clear();
        PackFileClose(file);
        return;
    }
    const std::uint64_t imageBytes = std::uint64_t(size) * size / 2;
    patchLightmaps.assign(patchCount, PatchLightmap());
    for (PatchLightmap& lightmap : patchLightmaps) {
        if (!ReadInt(file, lightmap.offset) || !ReadInt(file, lightmap.value)) {
            lightmap = PatchLightmap();
            continue;
        }
        // An image that would reach past the patch records is not there.
        if (lightmap.offset != -1 &&
            (lightmap.offset < 28 || std::uint64_t(lightmap.offset) + imageBytes > fileSize - patchCount * 8))
            lightmap.offset = -1;
    }
    lightTextureSize = size;
    lightFile = file;
    lightFileSize = fileSize;
    device->CreateBitmap(&shadowLoader);
    if (shadowLoader && shadowLoader->Create("shadowLoader", size, size, FormatDXT1, BitmapScratch) < 0) {
        shadowLoader->Destroy();
        shadowLoader = nullptr;
    }
}

D3DBitmap* World::GetPatchLightmap(int patchIndex)
{
    if (!lightFile || patchIndex < 0 || patchIndex >= int(patchLightmaps.size()))
        return nullptr;
    PatchLightmap& lightmap = patchLightmaps[std::size_t(patchIndex)];
    if (lightmap.offset == -1)
        return nullptr;
    lightmap.lastUse = ++lightmapClock;
    if (lightmap.texture)
        return lightmap.texture;
    const bool compressed = device->IsTextureFormatSupported(FormatDXT1, false);
    const int textureBytes = compressed ? lightTextureSize * lightTextureSize / 2 : lightTextureSize * lightTextureSize * 2;
    if (lightmapCacheLimit == 0)
        lightmapCacheLimit = std::max(8000000 / textureBytes, 1);
    if (lightmapsLoaded >= lightmapCacheLimit) {
        PatchLightmap* oldest = nullptr;
        for (PatchLightmap& other : patchLightmaps)
            if (other.texture && (!oldest || other.lastUse < oldest->lastUse))
                oldest = &other;
        if (oldest) {
            oldest->texture->Destroy();
            oldest->texture = nullptr;
            --lightmapsLoaded;
        }
    }
    D3DBitmap* texture = nullptr;
    device->CreateBitmap(&texture);
    char name[32];
    FormatText(name, "patch%d", patchIndex);
    if (!texture || texture->Create(name, lightTextureSize, lightTextureSize, compressed ? FormatDXT1 : FormatR5G6B5,
                                    BitmapPrivate | BitmapClampU | BitmapClampV | BitmapOneLevel) < 0) {
        if (texture)
            texture->Destroy();
        return nullptr;
    }
    std::vector<std::uint8_t> image(std::size_t(lightTextureSize) * lightTextureSize / 2);
    if (PackFileSeek(lightFile, lightmap.offset, 0) != 0 ||
        PackFileRead(image.data(), 1, image.size(), lightFile) != image.size()) {
        texture->Destroy();
        lightmap.offset = -1;
        return nullptr;
    }
    D3DBitmap* target = compressed ? texture : shadowLoader;
    if (target) {
        if (void* bits = target->Lock(true)) {
            std::memcpy(bits, image.data(), image.size());
            target->Unlock();
        }
        if (!compressed)
            shadowLoader->CopyTo(0, 0, texture);
    }
    lightmap.texture = texture;
    ++lightmapsLoaded;
    return texture;
}

int World::GetPatchLightmapValue(int patchIndex) const
{
    if (!lightFile || patchIndex < 0 || patchIndex >= int(patchLightmaps.size()))
        return -1;
    return patchLightmaps[std::size_t(patchIndex)].value;
}

bool World::GetTerrainLight(const Vector3& point, std::uint32_t* colour) const
{
    if (terrainLight.empty())
        return false;
    int column = 0, row = 0;
    WorldToCell(point.x, point.z, column, row);
    // Points off the map have no light of their own.
    if (column < 0 || row < 0 || column >= width || row >= height)
        return false;
    const std::uint8_t* texel = &terrainLight[(std::size_t(row) * width + column) * 3];
    if (colour)
        *colour = 0xFF000000u | std::uint32_t(texel[0]) << 16 | std::uint32_t(texel[1]) << 8 | texel[2];
    return true;
}

bool World::GetLightAt(const Vector3& point, std::uint32_t* colour)
{
    PickResult below;
    const float o = GetObjectBelow(point, &below, nullptr);
    const float t = GetTerrainHeightSmooth(point);
    if (o == kNoHit && t == kNoHit)
        return false;
    const float terrain = t == kNoHit ? kNoHitNegative : t;
    if (o != kNoHit && o > terrain && below.object) {
        // Lightmapped models (octree meshes) answer with their lightmap under the point; others
        // through an indoor shade marker.
        const LibraryObject* library = below.object->GetLibraryEntry();
        if (library && dynamic_cast<OctreeMesh*>(library->mesh)) {
            Matrix4 transform;
            below.object->GetTransform(transform);
            Matrix4 inverse = transform;
            if (inverse.Invert()) {
                HitResult ray;
                ray.Clear();
                ray.origin = inverse.TransformPoint(point + Vector3(0.0f, 0.5f, 0.0f));
                ray.direction = inverse.TransformDirection(Vector3(0.0f, -1.0f, 0.0f)).Normalize();
                probe = LightmapProbe();
                library->mesh->IntersectRay(ray, ReadLightmapTexel);
                if (probe.found) {
                    if (colour)
                        *colour = probe.colour;
                    return true;
                }
            }
        }
        if (below.object->noGround)
            if (const auto* shade = static_cast<IndoorShadeProp*>(below.object->FindProp(IndoorShadePropFactory));
                shade && shade->lightValue >= 0) {
                if (colour)
                    *colour = std::uint32_t(shade->lightValue);
                return true;
            }
        return false;
    }
    return GetTerrainLight(point, colour);
}
