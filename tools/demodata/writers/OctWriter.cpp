#include "tools/demodata/writers/OctWriter.h"

#include "tools/demodata/writers/LittleEndian.h"

#include <cstring>

void OctModel::AddFace(const std::vector<OctVertex>& corners, int material, int lightmap)
{
    OctFace face;
    face.firstVertex = std::int32_t(vertices.size());
    face.vertexCount = std::int32_t(corners.size());
    face.material = material;
    face.lightmap = lightmap;
    vertices.insert(vertices.end(), corners.begin(), corners.end());
    faces.push_back(face);
}

std::vector<std::uint8_t> WriteOctFile(const OctModel& model)
{
    std::vector<std::uint8_t> out;
    PutI32(out, std::int32_t(model.vertices.size()));
    PutI32(out, std::int32_t(model.faces.size()));
    PutI32(out, std::int32_t(model.materials.size()));
    PutI32(out, std::int32_t(model.lightmaps.size()));
    PutI32(out, std::int32_t(model.extras.size()));
    for (const OctVertex& v : model.vertices) {
        PutF32(out, v.uv[0]);
        PutF32(out, v.uv[1]);
        PutF32(out, v.lightmapUv[0]);
        PutF32(out, v.lightmapUv[1]);
        for (float c : v.position)
            PutF32(out, c);
    }
    for (const OctFace& f : model.faces) {
        PutI32(out, f.firstVertex);
        PutI32(out, f.vertexCount);
        PutI32(out, f.material);
        PutI32(out, f.lightmap);
        for (float value : f.unused)
            PutF32(out, value);
    }
    for (const std::string& name : model.materials) {
        PutI32(out, 0);
        char field[64] = {};
        std::memcpy(field, name.data(), name.size() < 63 ? name.size() : 63);
        out.insert(out.end(), field, field + sizeof(field));
    }
    for (const OctLightmap& page : model.lightmaps) {
        PutI32(out, 0);
        std::vector<std::uint8_t> pixels = page.pixels;
        pixels.resize(128 * 128 * 3, 0);
        out.insert(out.end(), pixels.begin(), pixels.end());
    }
    for (const OctExtra& e : model.extras) {
        for (float c : e.position)
            PutF32(out, c);
        for (float c : e.color)
            PutF32(out, c);
        PutF32(out, e.value);
    }
    for (float value : model.trailer)
        PutF32(out, value);
    return out;
}
