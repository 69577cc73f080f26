#include "engine/octree/OctreeMesh.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>

#include "engine/core/q3DError.h"
#include "engine/filesystem/PackFile.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "engine/material/q3DModelReader.h"
#include "engine/mesh/MeshVertices.h"
#include "engine/octree/OctFile.h"
#include "platform/os/Path.h"
#include "renderer/Device.h"

namespace {

bool IsBlendedFormat(int format)
{
    switch (format) {
    case FormatA1R5G5B5: case FormatA4R4G4B4: case FormatA8: case FormatDXT3: case FormatDXT5:
        return true;
    default:
        return false;
    }
}

void DestroyBitmaps(std::vector<D3DBitmap*>& bitmaps)
{
    for (D3DBitmap*& bitmap : bitmaps)
        if (bitmap) {
            bitmap->Destroy();
            bitmap = nullptr;
        }
}

} // namespace

OctreeMesh::OctreeMesh(Device* device, const char* path, const char* textureDirectory)
{
    if (!path)
        throw q3DError("Error while loading %s", "(null)");
    std::vector<std::uint8_t> bytes;
    if (!PackFileReadAll(path, bytes))
        throw q3DError("Error while loading %s", path);
    const OctFile file = ReadOctFile(bytes.data(), bytes.size(), path);
    if (!device)
        throw q3DError("Error while loading %s", path);
    ownDevice = device;

    extras.reserve(file.extras.size());
    for (const OctFile::Extra& e : file.extras) {
        auto channel = [](float c) { return std::uint32_t(std::int32_t(c * 255.0f)) & 0xFFu; };
        extras.push_back(Extra{Vector3(e.position[0], e.position[1], e.position[2]),
                               0xFF000000u + (channel(e.color[0]) << 16) + (channel(e.color[1]) << 8) +
                                   channel(e.color[2]),
                               e.value});
    }
    for (int i = 0; i < 3; ++i)
        trailer[i] = file.trailer[i] * 0.125f;

    // Everything made below belongs to this object only once it is complete; until then a throw
    // must free what was made.
    std::vector<D3DBitmap*> textures, lightmaps;
    try {
        const platform::os::PathParts parts = platform::os::SplitPath(path);
        std::vector<std::string> directories;
        if (textureDirectory)
            directories.emplace_back(textureDirectory);
        directories.push_back(parts.drive + parts.dir);
        directories.emplace_back(q3DModelReader::GetSharedTextureDirectory());

        std::string texturePath;
        for (const OctFile::MaterialRecord& record : file.materials) {
            for (const std::string& directory : directories) {
                texturePath = directory + record.textureName + ".tga";
                if (PackFileCanOpen(texturePath.c_str()))
                    break;
                texturePath = directory + record.textureName + ".dds";
                if (PackFileCanOpen(texturePath.c_str()))
                    break;
            }
            D3DBitmap* bitmap = nullptr;
            device->CreateBitmap(&bitmap);
            if (!bitmap)
                throw q3DError("Error loading texture: %s: %s", texturePath.c_str(), "no bitmap");
            textures.push_back(bitmap);
            if (bitmap->Load(texturePath.c_str(), 0, 0) < 0)
                throw q3DError("Error loading texture: %s: %s", texturePath.c_str(), bitmap->GetLastError());
            const int format = bitmap->GetFormat();
            int target = format;
            if (format == FormatA8R8G8B8)
                target = FormatA4R4G4B4;
            else if (format != FormatR5G6B5 && format != FormatX1R5G5B5 && format != FormatX4R4G4B4 &&
                     format != FormatP8 && format != FormatDXT1)
                target = FormatR5G6B5;
            if (target != format && bitmap->Reformat(target) < 0)
                throw q3DError("Error reformatting texture %s : %s", texturePath.c_str(), bitmap->GetLastError());
        }

        for (std::size_t page = 0; page < file.lightmaps.size(); ++page) {
            D3DBitmap* scratch = nullptr;
            device->CreateRenderTargetBitmap(&scratch);
            if (!scratch)
                throw q3DError("Error creating lightmap bitmap %s: %s", texturePath.c_str(), "no bitmap");
            struct ScratchGuard {
                D3DBitmap* bitmap;
                ~ScratchGuard() { bitmap->Destroy(); }
            } guard{scratch};
            if (scratch->Create("tempbmp", OctFile::kLightmapSize, OctFile::kLightmapSize, FormatR8G8B8,
                                BitmapOneLevel) < 0)
                throw q3DError("Error creating lightmap bitmap %s: %s", texturePath.c_str(), scratch->GetLastError());
            auto* target = static_cast<std::uint8_t*>(scratch->Lock(true));
            if (!target)
                throw q3DError("Error creating lightmap bitmap %s: %s", texturePath.c_str(), scratch->GetLastError());
            const std::size_t row = std::size_t(OctFile::kLightmapSize) * 3;
            const int pitch = scratch->GetPitch();
            const std::size_t stride = pitch >= int(row) ? std::size_t(pitch) : row;
            for (int y = 0; y < OctFile::kLightmapSize; ++y)
                std::memcpy(target + std::size_t(y) * stride, file.lightmaps[page].pixels.data() + std::size_t(y) * row,
                            row);
            scratch->Unlock();

            char name[1024];
            std::snprintf(name, sizeof(name), "%slightmap%d", path, int(page));
            D3DBitmap* lightmap = nullptr;
            device->CreateBitmap(&lightmap);
            if (!lightmap)
                throw q3DError("Error creating lightmap %s: %s", name, "no bitmap");
            lightmaps.push_back(lightmap);
            if (lightmap->CreateTwoStage(name, scratch, FormatR5G6B5, BitmapOneLevel | BitmapClampU | BitmapClampV) < 0)
                throw q3DError("Error creating lightmap %s: %s", name, lightmap->GetLastError());
        }

        // One material per (texture, lightmap) pair, numbered in order of first use.
        std::map<std::pair<int, int>, int> pairIndex;
        faceMaterial.resize(file.faces.size());
        faceFirstVertex.resize(file.faces.size());
        faceVertexCount.resize(file.faces.size());
        for (std::size_t f = 0; f < file.faces.size(); ++f) {
            const OctFile::Face& face = file.faces[f];
            const auto key = std::make_pair(int(face.material), int(face.lightmap));
            auto found = pairIndex.find(key);
            if (found == pairIndex.end()) {
                auto* material = new Material();
                pairMaterials.push_back(material);
                material->lightingMode = 2;
                material->colorOp[0] = TexOpModulate;
                D3DBitmap* texture = textures[std::size_t(face.material)];
                material->texture[0] = texture->Clone();
                material->texture[1] = lightmaps[std::size_t(face.lightmap)]->Clone();
                std::snprintf(material->name, sizeof(material->name), "%s",
                              texture->GetName() ? texture->GetName() : "");
                if (IsBlendedFormat(texture->GetFormat()))
                    material->SetBlendMode(13);
                found = pairIndex.emplace(key, int(pairMaterials.size()) - 1).first;
            }
            faceMaterial[f] = found->second;
            faceFirstVertex[f] = face.firstVertex;
            faceVertexCount[f] = face.vertexCount;
        }
        DestroyBitmaps(textures);
        DestroyBitmaps(lightmaps);

        const std::vector<std::int32_t> keepFaceMaterial = faceMaterial;
        const std::vector<std::int32_t> keepFirst = faceFirstVertex, keepCount = faceVertexCount;
        Init(device, int(file.faces.size()));
        faceMaterial = keepFaceMaterial;
        faceFirstVertex = keepFirst;
        faceVertexCount = keepCount;
        materialIndexCount.assign(pairMaterials.size(), 0);

        VertexLayout layout;
        layout.InitLitTextured();
        device->CreatePrim(&vertexPrim);
        if (!vertexPrim || vertexPrim->Create(PrimTriangleList, int(file.vertices.size()), 0, &layout, 0) < 0)
            throw q3DError("Error while loading %s", path);
        if (!file.vertices.empty()) {
            auto* out = static_cast<LitVertex*>(vertexPrim->GetVertices(true, true));
            for (std::size_t i = 0; i < file.vertices.size(); ++i) {
                const OctFile::Vertex& v = file.vertices[i];
                out[i] = LitVertex{{v.position[0] * 0.125f, v.position[1] * 0.125f, v.position[2] * 0.125f},
                                   {0, 0, 0},
                                   0xFFFFFFFFu,
                                   {v.uv[0], v.uv[1]},
                                   {v.lightmapUv[0], v.lightmapUv[1]}};
            }
            vertexPrim->Nop4();
        }

        for (std::size_t f = 0; f < file.faces.size(); ++f) {
            const int first = faceFirstVertex[f], n = faceVertexCount[f];
            const int indexCount = 3 * (n - 2);
            D3DPrim* prim = nullptr;
            device->CreatePrim(&prim);
            prims[f] = prim;
            if (!prim || prim->Create(PrimTriangleList, 0, indexCount, &layout, PrimSystemMemory) < 0)
                throw q3DError("Error while loading %s", path);
            // Indices are absolute in the shared vertex array, so the face prim picks and draws
            // on its own as well as in the material batches.
            if (indexCount > 0) {
                std::uint16_t* indices = prim->GetIndices(true, true);
                for (int j = 0; j < n - 2; ++j) {
                    indices[3 * j] = std::uint16_t(first);
                    indices[3 * j + 1] = std::uint16_t(first + j + 1);
                    indices[3 * j + 2] = std::uint16_t(first + j + 2);
                }
                prim->Nop6();
            }
            prim->SetVertexRange(first, first + n);
            prim->ShareVertices(vertexPrim);
            prim->material = pairMaterials[std::size_t(faceMaterial[f])];
            materialIndexCount[std::size_t(faceMaterial[f])] += indexCount;
        }

        materialPrims.assign(pairMaterials.size(), nullptr);
        for (std::size_t m = 0; m < pairMaterials.size(); ++m) {
            Material* material = pairMaterials[m];
            const int count = materialIndexCount[m];
            if (count < 1) {
                // Only edge faces use it: nothing of it is ever drawn.
                for (D3DPrim* prim : prims)
                    if (prim && prim->material == material)
                        prim->material = nullptr;
                DestroyMeshMaterial(material);
                pairMaterials[m] = nullptr;
                continue;
            }
            D3DPrim* prim = nullptr;
            device->CreatePrim(&prim);
            materialPrims[m] = prim;
            if (!prim || prim->Create(PrimTriangleList, 0, count, &layout, 0) < 0)
                throw q3DError("Error while loading %s", path);
            prim->ShareVertices(vertexPrim);
            prim->material = material;
        }
        materialCapacity = materialIndexCount;
        materialIndices.assign(materialPrims.size(), nullptr);
        materialIndexCount.assign(materialPrims.size(), 0);
    } catch (...) {
        DestroyBitmaps(textures);
        DestroyBitmaps(lightmaps);
        ReleaseOwn();
        throw;
    }

    faceDrawn.assign(file.faces.size(), 0);
    facePicked.assign(file.faces.size(), 0);
    // The shared vertex array holds every position once.
    bounds = BoundingBox();
    radius = 0.0f;
    for (const OctFile::Vertex& v : file.vertices) {
        const Vector3 p(v.position[0] * 0.125f, v.position[1] * 0.125f, v.position[2] * 0.125f);
        bounds.AddPoint(p);
        radius = std::max(radius, p.Length());
    }
}

OctreeMesh::~OctreeMesh()
{
    ReleaseOwn();
}

void OctreeMesh::ReleaseOwn()
{
    root.reset();
    // The face prims only borrow the pair materials.
    for (D3DPrim* face : prims)
        if (face)
            face->material = nullptr;
    for (D3DPrim* prim : materialPrims)
        if (prim) {
            prim->material = nullptr;
            prim->Release();
        }
    materialPrims.clear();
    for (Material* material : pairMaterials)
        DestroyMeshMaterial(material);
    pairMaterials.clear();
    if (vertexPrim) {
        vertexPrim->Release();
        vertexPrim = nullptr;
    }
    faceDrawn.clear();
    facePicked.clear();
    extras.clear();
    faceFirstVertex.clear();
    faceVertexCount.clear();
    faceMaterial.clear();
    materialIndices.clear();
    materialIndexCount.clear();
    materialCapacity.clear();
    qMesh::Release();
}

void OctreeMesh::Init(Device* newDevice, int primCount)
{
    qMesh::Init(newDevice, primCount);
    const std::size_t count = primCount > 0 ? std::size_t(primCount) : 0;
    faceDrawn.assign(count, 0);
    facePicked.assign(count, 0);
    welded = 2;
    noOctree = 0;
    showNodes = 0;
    showBox = 0;
}

bool OctreeMesh::Subdivide(Node& node, const std::vector<std::int32_t>& candidates, int depth,
                           const std::vector<Vector3>& positions)
{
    for (std::int32_t f : candidates) {
        const int first = faceFirstVertex[std::size_t(f)], n = faceVertexCount[std::size_t(f)];
        if (n <= 2)
            continue;
        for (int j = 0; j < n - 2; ++j)
            if (node.box.OverlapsTriangle(positions[std::size_t(first)], positions[std::size_t(first + j + 1)],
                                          positions[std::size_t(first + j + 2)])) {
                node.faces.push_back(f);
                break;
            }
    }
    if (node.faces.empty())
        return false;
    if (node.faces.size() < 11 || depth > 2) {
        node.leaf = true;
        return true;
    }
    const int nextDepth = node.faces.size() == candidates.size() ? depth + 1 : depth;
    const Vector3 mid = node.box.GetCentre();
    for (int i = 0; i < 8; ++i) {
        auto child = std::make_unique<Node>();
        const bool highX = i & 2, highY = i & 4, highZ = i & 1;
        child->box.min = Vector3(highX ? mid.x : node.box.min.x, highY ? mid.y : node.box.min.y,
                                 highZ ? mid.z : node.box.min.z);
        child->box.max = Vector3(highX ? node.box.max.x : mid.x, highY ? node.box.max.y : mid.y,
                                 highZ ? node.box.max.z : mid.z);
        if (Subdivide(*child, node.faces, nextDepth, positions))
            node.children[i] = std::move(child);
    }
    return true;
}

void OctreeMesh::BuildOctree()
{
    root.reset();
    if (!vertexPrim)
        return;
    std::vector<Vector3> positions;
    {
        MeshVertices vertices(vertexPrim, false);
        positions.reserve(std::size_t(vertices.Count()));
        for (int i = 0; i < vertices.Count(); ++i)
            positions.push_back(vertices.Position(i));
    }
    float half = 0.0f;
    for (int axis = 0; axis < 3; ++axis)
        half = std::max({half, std::fabs(bounds.min[axis]), std::fabs(bounds.max[axis])});
    root = std::make_unique<Node>();
    root->box = BoundingBox(Vector3(-half, -half, -half), Vector3(half, half, half));
    root->leaf = false;
    for (int f = 0; f < GetFaceCount(); ++f)
        root->faces.push_back(f);
    const Vector3 mid = root->box.GetCentre();
    for (int i = 0; i < 8; ++i) {
        auto child = std::make_unique<Node>();
        const bool highX = i & 2, highY = i & 4, highZ = i & 1;
        child->box.min = Vector3(highX ? mid.x : -half, highY ? mid.y : -half, highZ ? mid.z : -half);
        child->box.max = Vector3(highX ? half : mid.x, highY ? half : mid.y, highZ ? half : mid.z);
        if (Subdivide(*child, root->faces, 0, positions))
            root->children[i] = std::move(child);
    }
}
