#include "engine/material/q3DModelReader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/core/FormatText.h"
#include "engine/core/LittleEndianReader.h"
#include "engine/core/q3DError.h"
#include "engine/filesystem/PackFile.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "engine/mesh/MeshNode.h"
#include "engine/mesh/qMesh.h"
#include "platform/os/Path.h"
#include "renderer/Device.h"

namespace {

constexpr float kVersion = 1.1f;
constexpr std::size_t kStringSize = 256;
constexpr std::size_t kMaterialRecordSize = 3 * kStringSize + 6 * 4;     // 792
constexpr std::size_t kVertexRecordSize = 36;                             // last 4 bytes reserved
constexpr std::size_t kTriangleRecordSize = 3 * kVertexRecordSize + 4;    // 112
constexpr std::size_t kSmallestObject = kStringSize + 4 + 9 * 4 + 3 * 4 + 3 * 4 + 4 + 4;

char sharedTextureDirectory[256] = "";

// Little-endian fields of a model file, refusing every read past its end with the field's name.
class FieldReader {
public:
    FieldReader(const std::uint8_t* data, std::size_t size, const char* name) : in(data, size), name(name) {}

    std::size_t Remaining() const { return in.Remaining(); }

    void Need(std::size_t count, const char* what) const
    {
        if (count > Remaining())
            Refuse(what);
    }
    std::uint32_t U32(const char* what) { return Checked(in.U32(), what); }
    float F32(const char* what) { return Checked(in.F32(), what); }
    // A fixed 256-byte string, always terminated in the copy.
    void String(char (&out)[kStringSize], const char* what)
    {
        in.Text(out, kStringSize);
        Checked(0, what);
    }
    const std::uint8_t* Take(std::size_t count, const char* what) { return Checked(in.Block(count), what); }

private:
    [[noreturn]] void Refuse(const char* what) const
    {
        throw q3DError("Corrupt q3D file %s: %s runs past the end of the file", name, what);
    }
    template <class T>
    T Checked(T value, const char* what) const
    {
        if (in.Failed())
            Refuse(what);
        return value;
    }

    LittleEndianReader in;
    const char* name;
};

bool HasAlphaFormat(int format)
{
    switch (format) {
    case FormatA8R8G8B8: case FormatA1R5G5B5: case FormatA4R4G4B4: case FormatA8: case FormatDXT3: case FormatDXT5:
        return true;
    default:
        return false;
    }
}

void DestroyMaterial(Material* material)
{
    for (D3DBitmap*& texture : material->texture)
        if (texture) {
            texture->Destroy();
            texture = nullptr;
        }
    delete material;
}

} // namespace

q3DModelReader::~q3DModelReader()
{
    FinishMaterials();
}

void q3DModelReader::SetSharedTextureDirectory(const char* directory)
{
    std::snprintf(sharedTextureDirectory, sizeof(sharedTextureDirectory), "%s", directory ? directory : "");
}

const char* q3DModelReader::GetSharedTextureDirectory()
{
    return sharedTextureDirectory;
}

void q3DModelReader::ReadFile(Device* device, const char* path, SceneNode* parent, const char* textureDirectory)
{
    if (!path)
        throw q3DError("Can't find file %s", "(null)");
    PackFileSetArchiveExtension(".qa");
    std::vector<std::uint8_t> data;
    if (!PackFileReadAll(path, data))
        throw q3DError("Can't find file %s", path);
    Parse(device, data.data(), data.size(), path, parent, textureDirectory);
}

void q3DModelReader::ReadMemory(Device* device, const void* data, std::size_t size, const char* name,
                                SceneNode* parent, const char* textureDirectory)
{
    Parse(device, static_cast<const std::uint8_t*>(data), data ? size : 0, name ? name : "", parent,
          textureDirectory);
}

void q3DModelReader::FinishMaterials()
{
    while (!materials.IsEmpty()) {
        auto* entry = static_cast<MaterialEntry*>(materials.GetHead()->item);
        // Used materials belong to the meshes whose prims took them.
        if (entry->useCount == 0)
            DestroyMaterial(entry->material);
        materials.Remove(entry);
        delete entry;
    }
}

void q3DModelReader::ResolveTexture(Device* device, const char* textureName, const std::vector<std::string>& directories,
                                    Material* material, int stage)
{
    std::string path;
    bool found = false;
    for (const std::string& directory : directories) {
        path = directory + textureName;
        if (PackFileCanOpen(path.c_str())) {
            found = true;
            break;
        }
        const platform::os::PathParts parts = platform::os::SplitPath(path);
        if (PackFileCanOpen((parts.drive + parts.dir + parts.fname + ".dds").c_str())) {
            found = true;
            break;
        }
    }
    (void)found; // a missing texture fails in the load below with the bitmap's own message
    for (char& c : path)
        if (c == '\\')
            c = '/';

    for (void* item : materials) {
        const Material* other = static_cast<MaterialEntry*>(item)->material;
        for (int s = 0; s < 2; ++s) {
            D3DBitmap* texture = other->texture[s];
            if (texture && texture->GetName() && std::strcmp(texture->GetName(), path.c_str()) == 0) {
                material->texture[stage] = texture->Clone();
                return;
            }
        }
    }
    D3DBitmap* bitmap = device->CreateBitmap(&material->texture[stage]);
    if (!bitmap)
        throw q3DError("Error loading texture %s : %s", path.c_str(), "out of memory");
    if (bitmap->Load(path.c_str(), 0, 0) != 1)
        throw q3DError("Error loading texture %s : %s", path.c_str(),
                       bitmap->GetLastError() ? bitmap->GetLastError() : "");
    const int format = bitmap->GetFormat();
    int wanted = format;
    if (format == FormatA8R8G8B8)
        wanted = FormatA4R4G4B4;
    else if (!((format >= FormatR5G6B5 && format <= FormatA4R4G4B4) || format == FormatP8 || format == FormatA8 ||
               (format >= FormatDXT1 && format <= FormatDXT5)))
        wanted = FormatR5G6B5;
    if (wanted != format && bitmap->Reformat(wanted) != 1)
        throw q3DError("Error reformatting texture %s : %s", path.c_str(),
                       bitmap->GetLastError() ? bitmap->GetLastError() : "");
}

void q3DModelReader::Parse(Device* device, const std::uint8_t* data, std::size_t size, const char* name,
                           SceneNode* parent, const char* textureDirectory)
{
    FinishMaterials();
    std::vector<std::string> directories;
    auto addDirectory = [&](const std::string& directory) { directories.push_back(directory.substr(0, 255)); };
    if (textureDirectory)
        addDirectory(textureDirectory);
    addDirectory(sharedTextureDirectory);
    const platform::os::PathParts parts = platform::os::SplitPath(name);
    addDirectory(parts.drive + parts.dir);

    FieldReader in(data, size, name);
    if (in.Remaining() < 4) {
        throw q3DError("Incorrect q3D version: %s, %.3f expected %.3f", name, 0.0, double(kVersion));
    }
    const float version = in.F32("the version");
    if (version != kVersion)
        throw q3DError("Incorrect q3D version: %s, %.3f expected %.3f", name, double(version), double(kVersion));
    objectCount = in.U32("the object count");
    if (objectCount > in.Remaining() / kSmallestObject)
        throw q3DError("Corrupt q3D file %s: %u objects cannot fit in %zu bytes", name, objectCount, in.Remaining());

    try {
        VertexLayout layout;
        layout.InitLitTextured();
        for (std::uint32_t object = 0; object < objectCount; ++object) {
            auto* node = new MeshNode();
            node->SetParent(parent);
            char text[kStringSize];
            in.String(text, "an object name");
            node->SetName(text);
            const std::uint32_t propertyLength = in.U32("a property length");
            const std::uint8_t* propertyText = in.Take(propertyLength, "a property text");
            if (propertyLength > 0) {
                delete[] node->properties;
                node->properties = new char[propertyLength + 1];
                std::memcpy(node->properties, propertyText, propertyLength);
                node->properties[propertyLength] = '\0';
            }
            for (float& m : node->rotation.m)
                m = in.F32("a rotation");
            node->position.x = in.F32("a position");
            node->position.y = in.F32("a position");
            node->position.z = in.F32("a position");
            node->scale.x = in.F32("a scale");
            node->scale.y = in.F32("a scale");
            node->scale.z = in.F32("a scale");

            const std::uint32_t materialCount = in.U32("a material count");
            if (materialCount > in.Remaining() / kMaterialRecordSize)
                throw q3DError("Corrupt q3D file %s: %u materials cannot fit in the file", name, materialCount);
            std::vector<Material*> objectMaterials;
            std::vector<MaterialEntry*> objectEntries;
            for (std::uint32_t m = 0; m < materialCount; ++m) {
                Material* material = new Material();
                MaterialEntry* entry = new MaterialEntry{material, 0};
                materials.AddHead(entry);
                objectMaterials.push_back(material);
                objectEntries.push_back(entry);
                char texture0[kStringSize], texture1[kStringSize];
                in.String(text, "a material name");
                std::memcpy(material->name, text, kStringSize);
                in.String(texture0, "a texture name");
                in.String(texture1, "a texture name");
                if (texture0[0])
                    ResolveTexture(device, texture0, directories, material, 0);
                if (texture1[0])
                    ResolveTexture(device, texture1, directories, material, 1);
                material->color = in.U32("a material colour");
                in.U32("a lighting value"); // lighting is always lit and Gouraud-shaded
                material->lightingMode = 2;
                const std::uint32_t materialFlags = in.U32("material flags");
                if (materialFlags & 1)
                    material->cullFlags |= Material::kTwoSided;
                material->srcBlend = std::int32_t(in.U32("a blend factor"));
                material->destBlend = std::int32_t(in.U32("a blend factor"));
                if (material->texture[0] && HasAlphaFormat(material->texture[0]->GetFormat())) {
                    material->srcBlend = BlendSrcAlpha;
                    material->destBlend = BlendInvSrcAlpha;
                }
                material->colorOp[0] = std::int32_t(in.U32("a stage operation"));
            }

            const std::uint32_t triangleCount = in.U32("a triangle count");
            if (triangleCount > in.Remaining() / kTriangleRecordSize)
                throw q3DError("Corrupt q3D file %s: %u triangles cannot fit in the file", name, triangleCount);
            // The mesh is the node's before the first prim, so that the prims made before an
            // error stay with the node.
            auto* mesh = new qMesh(device, 0);
            mesh->prims.reserve(triangleCount);
            node->SetMesh(mesh);
            for (std::uint32_t t = 0; t < triangleCount; ++t) {
                const std::uint8_t* record = in.Take(kTriangleRecordSize, "a triangle");
                const std::uint32_t materialIndex = std::uint32_t(record[108]) | std::uint32_t(record[109]) << 8 |
                                std::uint32_t(record[110]) << 16 | std::uint32_t(record[111]) << 24;
                if (materialIndex >= materialCount) {
                    throw q3DError("Corrupt q3D file %s: triangle %u uses material %u of %u", name, t, materialIndex,
                                   materialCount);
                }
                // One triangle each, welded into indexed prims by whoever draws the model, so
                // they stay in memory: a device buffer per triangle costs more than its drawing.
                D3DPrim* prim = nullptr;
                device->CreatePrim(&prim);
                if (!prim || prim->Create(PrimTriangleList, 3, 0, &layout, PrimSystemMemory) != 0) {
                    const std::string reason = prim && prim->GetLastError() ? prim->GetLastError() : "out of memory";
                    if (prim)
                        prim->Destroy();
                    throw q3DError("Can't create the triangles of %s: %s", name, reason.c_str());
                }
                auto* vertices = static_cast<std::uint8_t*>(prim->GetVertices(true, true));
                for (int v = 0; v < 3; ++v) {
                    const std::uint8_t* source = record + v * kVertexRecordSize;
                    std::uint8_t* target = vertices + v * layout.vertexSize;
                    std::memset(target, 0, std::size_t(layout.vertexSize));
                    std::memcpy(target + layout.offsets[VertexLayout::Position], source, 12);
                    std::memcpy(target + layout.offsets[VertexLayout::Diffuse], source + 12, 4);
                    std::memcpy(target + layout.offsets[VertexLayout::TexCoord0], source + 16, 8);
                    std::memcpy(target + layout.offsets[VertexLayout::TexCoord0 + 1], source + 24, 8);
                    // The last 4 bytes of the vertex record are reserved.
                }
                prim->Nop4();
                prim->material = objectMaterials[materialIndex];
                ++objectEntries[materialIndex]->useCount;
                mesh->prims.push_back(prim);
            }
            mesh->ComputeBounds();
        }
    } catch (...) {
        // Materials no triangle took go now; the others belong to the prims already built.
        FinishMaterials();
        throw;
    }
    FinishMaterials();
}
