#include "engine/octree/OctFile.h"

#include <cstring>

#include "engine/core/LittleEndianReader.h"
#include "engine/core/q3DError.h"

namespace {

constexpr std::size_t kHeaderSize = 5 * 4;
constexpr std::size_t kVertexSize = 28;
constexpr std::size_t kFaceSize = 32;
constexpr std::size_t kMaterialSize = 4 + OctFile::kNameSize;
constexpr std::size_t kLightmapRecordSize = 4 + OctFile::kLightmapBytes;
constexpr std::size_t kExtraSize = 28;
constexpr std::size_t kTrailerSize = 12;

// The file's fields; a read past the end refuses the whole file.
class Fields {
public:
    Fields(const std::uint8_t* data, std::size_t size, const char* path) : in(data, size), path(path) {}

    const std::uint8_t* Take(std::size_t count) { return Checked(in.Block(count)); }
    std::int32_t I32() { return Checked(in.I32()); }
    std::uint32_t U32() { return Checked(in.U32()); }
    float F32() { return Checked(in.F32()); }

private:
    template <class T>
    T Checked(T value) const
    {
        if (in.Failed())
            throw q3DError("Error while loading %s", path);
        return value;
    }

    LittleEndianReader in;
    const char* path;
};

} // namespace

OctFile ReadOctFile(const std::uint8_t* data, std::size_t size, const char* path)
{
    Fields in(data, size, path);
    const std::int32_t vertexCount = in.I32();
    const std::int32_t faceCount = in.I32();
    const std::int32_t materialCount = in.I32();
    const std::int32_t lightmapCount = in.I32();
    const std::int32_t extraCount = in.I32();
    if (vertexCount >= 65536)
        throw q3DError("%s has more than 65535 vertices", path);
    if (vertexCount < 0 || faceCount < 0 || materialCount < 0 || lightmapCount < 0 || extraCount < 0)
        throw q3DError("Error while loading %s", path);
    // The counts must describe exactly what the file can hold before anything is allocated.
    const std::uint64_t needed = kHeaderSize + std::uint64_t(vertexCount) * kVertexSize +
                                 std::uint64_t(faceCount) * kFaceSize + std::uint64_t(materialCount) * kMaterialSize +
                                 std::uint64_t(lightmapCount) * kLightmapRecordSize +
                                 std::uint64_t(extraCount) * kExtraSize + kTrailerSize;
    if (needed > size)
        throw q3DError("Error while loading %s", path);

    OctFile file;
    file.vertices.resize(std::size_t(vertexCount));
    for (OctFile::Vertex& v : file.vertices) {
        v.uv[0] = in.F32();
        v.uv[1] = in.F32();
        v.lightmapUv[0] = in.F32();
        v.lightmapUv[1] = in.F32();
        for (float& c : v.position)
            c = in.F32();
    }
    file.faces.resize(std::size_t(faceCount));
    std::uint64_t triangles = 0;
    for (OctFile::Face& f : file.faces) {
        f.firstVertex = in.I32();
        f.vertexCount = in.I32();
        f.material = in.I32();
        f.lightmap = in.I32();
        for (float& value : f.unused)
            value = in.F32();
        // A face is a fan of at least one edge over vertices that exist, with a texture and a
        // lightmap that the file holds.
        if (f.firstVertex < 0 || f.vertexCount < 2 || f.firstVertex > vertexCount - f.vertexCount ||
            f.material < 0 || f.material >= materialCount || f.lightmap < 0 || f.lightmap >= lightmapCount)
            throw q3DError("Error while loading %s", path);
        // Faces may share vertices, so the vertex limit alone does not bound the triangles.
        triangles += std::uint64_t(f.vertexCount - 2);
        if (triangles > OctFile::kMaxTriangles)
            throw q3DError("Error while loading %s", path);
    }
    file.materials.resize(std::size_t(materialCount));
    for (OctFile::MaterialRecord& m : file.materials) {
        m.unused = in.I32();
        const auto* name = reinterpret_cast<const char*>(in.Take(OctFile::kNameSize));
        m.textureName.assign(name, strnlen(name, OctFile::kNameSize));
    }
    file.lightmaps.resize(std::size_t(lightmapCount));
    for (OctFile::Lightmap& l : file.lightmaps) {
        l.unused = in.I32();
        const std::uint8_t* pixels = in.Take(OctFile::kLightmapBytes);
        l.pixels.assign(pixels, pixels + OctFile::kLightmapBytes);
    }
    file.extras.resize(std::size_t(extraCount));
    for (OctFile::Extra& e : file.extras) {
        for (float& c : e.position)
            c = in.F32();
        for (float& c : e.color)
            c = in.F32();
        e.value = in.F32();
    }
    for (float& value : file.trailer)
        value = in.F32();
    return file;
}
