#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The binary map description file (".mpb", versions 116 to 119) as the world's reader reads it:
// little-endian fields, fixed 255-byte texts, 1800-byte library entries, 40-byte placements.
struct MapFileEntry {
    std::string modelPath;
    std::string objectName;
    std::array<std::string, 5> propTexts;
    std::int32_t group = 0;
    std::int32_t value = 0;
};

struct MapFilePlacement {
    float position[3] = {0, 0, 0};
    float rotation[4] = {0, 0, 0, 1}; // x, y, z, w
    float scale = 1.0f;
    std::int32_t library = 0;
};

struct MapFile {
    MapFile(); // the reader's defaults, with empty data blocks

    float version = 119.0f;
    std::string title = "Unnamed";
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::string heightMapName = "height.tga";
    std::vector<std::uint8_t> heightData; // width x height x 3
    std::string colorMapName = "color.tga";
    std::vector<std::uint16_t> colorData; // width x height
    std::string waterPath = "Maps/Water/water";
    std::vector<std::uint16_t> waterData; // (width / 16) x height / 16
    std::string tileDirectory = "Maps/tWorld/";
    std::string objectDirectory = "Maps/tWorld/";
    std::string cloudTexture = "Maps/Sky/clouds.tga";
    float scalarA = 4.0f;
    float heightScale = 1.0f;
    float start[3] = {0, 0, 0};
    float startRotation[3] = {0, 0, 0};
    float viewDistance = 1000.0f;
    float cellSize = 15.0f;
    std::int32_t scalarI = 1, scalarJ = 70, scalarK = 100;
    std::array<std::string, 5> skyModels;
    float lighting[11][5] = {};
    std::string ambientSounds[5][5];
    float ambientParameters1[5][5] = {};
    float ambientParameters2[5][5] = {};
    std::vector<std::string> groups;
    std::vector<MapFileEntry> entries;
    std::vector<MapFilePlacement> placements;

    // Blocks of the right sizes for width and height: flat height 0, tile 0, water 0.
    void SizeBlocks();
};

// The file's bytes; data blocks are written as they stand (tests shorten them on purpose).
std::vector<std::uint8_t> WriteMapFile(const MapFile& map);

// A light file (".lmp"): the 28-byte header, the terrain light block, the patch lightmap images
// and the 8-byte patch records at the end.
struct LightFile {
    std::int32_t width = 0, height = 0, patchColumns = 0, patchRows = 0, textureSize = 0;
    std::vector<std::uint8_t> terrainLight;             // width x height x 3
    std::vector<std::vector<std::uint8_t>> patchImages; // textureSize^2 / 2 bytes each, or empty = none
    std::vector<std::int32_t> patchValues;              // one a patch
};
std::vector<std::uint8_t> WriteLightFile(const LightFile& light);
