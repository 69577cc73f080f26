#include "tools/demodata/writers/MapWriter.h"

#include "tools/demodata/writers/LittleEndian.h"

#include <cstring>

namespace {

void PutText(std::vector<std::uint8_t>& out, const std::string& text, std::size_t size = 255)
{
    for (std::size_t i = 0; i < size; ++i)
        out.push_back(i < text.size() && i + 1 < size ? std::uint8_t(text[i]) : 0);
}
void Put16Block(std::vector<std::uint8_t>& out, const std::vector<std::uint16_t>& block)
{
    for (std::uint16_t v : block) {
        out.push_back(std::uint8_t(v));
        out.push_back(std::uint8_t(v >> 8));
    }
}

} // namespace

MapFile::MapFile()
{
    for (auto& sky : skyModels)
        sky = "Maps/Sky/skydome.q3d";
    const float firstSet[11] = {0.5f, 0.2f, 0.7f, 1.0f, 0.8f, 0.8f, 0.8f, 1.0f, 1.0f, 1.0f, 1.0f};
    const float laterSets[11] = {0.5f, 0.8f, 0.8f, 1.0f, 0.4f, 0.4f, 0.6f, 0.8f, 0.8f, 1.0f, 0.0f};
    const float sky[5] = {1.0f, 0.1f, 0.3f, 0.7f, 0.65f};
    for (int table = 0; table < 11; ++table)
        for (int set = 0; set < 5; ++set)
            lighting[table][set] = table == 10 ? sky[set] : set == 0 ? firstSet[table] : laterSets[table];
    for (auto& slot : ambientSounds)
        for (auto& name : slot)
            name = "-";
}

void MapFile::SizeBlocks()
{
    heightData.assign(std::size_t(width) * height * 3, 0);
    colorData.assign(std::size_t(width) * height, 0);
    waterData.assign(std::size_t(width / 16) * height / 16, 0);
}

std::vector<std::uint8_t> WriteMapFile(const MapFile& map)
{
    std::vector<std::uint8_t> out;
    PutF32(out, map.version);
    PutText(out, map.title, 1024);
    PutU32(out, map.width);
    PutU32(out, map.height);
    PutText(out, map.heightMapName);
    out.insert(out.end(), map.heightData.begin(), map.heightData.end());
    PutText(out, map.colorMapName);
    Put16Block(out, map.colorData);
    PutText(out, map.waterPath);
    Put16Block(out, map.waterData);
    PutText(out, map.tileDirectory);
    PutText(out, map.objectDirectory);
    PutText(out, map.cloudTexture);
    PutF32(out, map.scalarA);
    PutF32(out, map.heightScale);
    for (float v : map.start)
        PutF32(out, v);
    for (float v : map.startRotation)
        PutF32(out, v);
    PutF32(out, map.viewDistance);
    PutF32(out, map.cellSize);
    PutU32(out, std::uint32_t(map.scalarI));
    PutU32(out, std::uint32_t(map.scalarJ));
    PutU32(out, std::uint32_t(map.scalarK));
    for (const auto& sky : map.skyModels)
        PutText(out, sky);
    for (const auto& table : map.lighting)
        for (float v : table)
            PutF32(out, v);
    for (const auto& slot : map.ambientSounds)
        for (const auto& name : slot)
            PutText(out, name);
    for (const auto* table : {&map.ambientParameters1, &map.ambientParameters2})
        for (const auto& slot : *table)
            for (float v : slot)
                PutF32(out, v);
    PutU32(out, std::uint32_t(map.groups.size()));
    for (const auto& group : map.groups)
        PutText(out, group);
    PutU32(out, std::uint32_t(map.entries.size()));
    for (const auto& entry : map.entries) {
        PutText(out, entry.modelPath);
        PutText(out, entry.objectName);
        for (const auto& text : entry.propTexts)
            PutText(out, text);
        out.insert(out.end(), 3, 0);
        PutU32(out, std::uint32_t(entry.group));
        PutU32(out, std::uint32_t(entry.value));
        PutU32(out, 0);
    }
    PutU32(out, std::uint32_t(map.placements.size()));
    for (const auto& placement : map.placements) {
        for (float v : placement.position)
            PutF32(out, v);
        for (float v : placement.rotation)
            PutF32(out, v);
        PutF32(out, placement.scale);
        PutU32(out, std::uint32_t(placement.library));
        PutU32(out, 0);
    }
    return out;
}

std::vector<std::uint8_t> WriteLightFile(const LightFile& light)
{
    std::vector<std::uint8_t> out;
    for (std::int32_t v : {light.width, light.height, light.patchColumns, light.patchRows, light.textureSize, 0, 0})
        PutU32(out, std::uint32_t(v));
    out.insert(out.end(), light.terrainLight.begin(), light.terrainLight.end());
    std::vector<std::int32_t> offsets;
    for (const auto& image : light.patchImages) {
        offsets.push_back(image.empty() ? -1 : std::int32_t(out.size()));
        out.insert(out.end(), image.begin(), image.end());
    }
    for (std::size_t i = 0; i < light.patchValues.size(); ++i) {
        PutU32(out, std::uint32_t(i < offsets.size() ? offsets[i] : -1));
        PutU32(out, std::uint32_t(light.patchValues[i]));
    }
    return out;
}
