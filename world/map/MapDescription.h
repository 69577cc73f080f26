#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/core/Quaternion.h"
#include "engine/core/Vector.h"
#include "world/map/NodePool.h"

// One object model of a map's library: 1800 bytes in the file.
struct LibraryEntry {
    static constexpr int kTextSize = 255;
    static constexpr int kPropTexts = 5;
    static constexpr int kFileSize = 1800;

    char modelPath[kTextSize] = {};
    char objectName[kTextSize] = {};
    char propText[kPropTexts][kTextSize] = {}; // one keyword line each; empty = none
    std::int32_t groupIndex = 0;
    std::int32_t libraryValue = 0; // kept for the mission code
};

// One placed object: 40 bytes in the file.
struct MapObjectRecord {
    static constexpr int kFileSize = 40;

    Vector3 position;
    Quaternion rotation;
    float scale = 1.0f;
    std::int32_t libraryIndex = 0; // 0..32767
    MapObjectRecord* next = nullptr;
};

// The lighting tables of a map, indexed [table][set].
enum LightingTable {
    LightFogStart = 0,
    LightFogRed = 1,
    LightFogGreen = 2,
    LightFogBlue = 3,
    LightAmbientRed = 4,
    LightAmbientGreen = 5,
    LightAmbientBlue = 6,
    LightSunRed = 7,
    LightSunGreen = 8,
    LightSunBlue = 9,
    LightSkyValue = 10,
    LightTableCount = 11,
};

// File access of the map reader; defaults are the pack-file system's.
using MapOpenCallback = void* (*)(const char* path);
using MapCloseCallback = void (*)(void* handle);
using MapReadCallback = bool (*)(void* handle, void* destination, std::size_t size); // one whole item

// Everything a map description file (version 116 to 119) holds, plus the objects added since.
struct MapDescriptionData {
    static constexpr int kPathSize = 255;
    static constexpr int kTitleSize = 1024;
    static constexpr int kSets = 5;
    static constexpr int kSoundSlots = 5;
    static constexpr int kMaxGroups = 128;

    char baseDirectory[kPathSize] = ".";
    char title[kTitleSize] = "Unnamed";
    char tileDirectory[kPathSize] = "Maps/tWorld/";
    char objectDirectory[kPathSize] = "Maps/tWorld/";
    char cloudTexture[kPathSize] = "Maps/Sky/clouds.tga";
    // The thirteen scalars, in file order.
    float scalarA = 4.0f;
    float heightScale = 1.0f;
    Vector3 startPosition;
    Vector3 startRotation;
    float viewDistance = 1000.0f;
    float cellSize = 15.0f;
    std::int32_t scalarI = 1;
    std::int32_t scalarJ = 70;
    std::int32_t scalarK = 100;
    char skyModels[kSets][kPathSize] = {};
    float lighting[LightTableCount][kSets] = {};
    char ambientSounds[kSoundSlots][kSets][kPathSize] = {};
    float ambientParameters1[kSoundSlots][kSets] = {};
    float ambientParameters2[kSoundSlots][kSets] = {};
    std::int32_t width = 0;  // cells in x
    std::int32_t height = 0; // cells in z
    char heightMapName[kPathSize] = "height.tga";
    std::vector<std::uint8_t> heightData; // width x height x 3, empty when absent
    char colorMapName[kPathSize] = "color.tga";
    std::vector<std::uint16_t> colorData; // width x height tile indices
    char waterPath[kPathSize] = "Maps/Water/water";
    std::vector<std::uint16_t> waterData; // ((width / 16) x height / 16) samples
    char groupNames[kMaxGroups][kPathSize] = {};
    std::int32_t groupCount = 0;
    std::vector<std::unique_ptr<LibraryEntry>> library;
    std::unique_ptr<NodePool<MapObjectRecord>> recordPool;
    MapObjectRecord* firstRecord = nullptr;
    MapObjectRecord* lastRecord = nullptr;
    std::int32_t recordCount = 0;
    char mapPath[kPathSize] = "area.mpb";
    float version = 119.0f;
};

// A map description file read into memory. The mission code owns it; the World is built from it
// and never outlives it.
class MapDescription : public MapDescriptionData {
public:
    MapDescription();
    ~MapDescription();
    MapDescription(const MapDescription&) = delete;
    MapDescription& operator=(const MapDescription&) = delete;

    // With freeMaps the three data blocks go too; then every default is restored.
    void Reset(bool freeMaps = true);
    // A null argument selects the default.
    void SetFileCallbacks(MapOpenCallback open, MapCloseCallback close, MapReadCallback read);
    static bool IsSupportedVersion(float version);

    // False when the file can't be opened, has another version, ends early or holds counts or
    // indices that don't fit; the description is then unchanged and GetLastError says why.
    bool Load(const char* path);
    const char* GetLastError() const { return lastError; }

    LibraryEntry* AddLibraryEntry(const char* modelPath, const char* objectName, const char* groupName);
    LibraryEntry* GetLibraryEntry(int index) const
    {
        return index >= 0 && index < int(library.size()) ? library[std::size_t(index)].get() : nullptr;
    }
    int GetLibraryCount() const { return int(library.size()); }

    MapObjectRecord* AddObjectRecord(int libraryIndex, float x, float y, float z, float qx, float qy, float qz,
                                     float qw, float scale);
    // A record not in the list is ignored.
    void RemoveObjectRecord(MapObjectRecord* record);

    // The water data layout: samples per block row and block rows.
    int GetWaterColumns() const { return width / 16; }

private:
    class Reader; // the file's little-endian fields
    bool ReadContents(void* file, float fileVersion);
    // The steps of ReadContents, in the file's order; each false with the error stored.
    bool ReadTerrain(Reader& in, float fileVersion);
    bool ReadScalars(Reader& in);
    bool ReadEnvironment(Reader& in);
    bool ReadLibrary(Reader& in);
    bool ReadPlacements(Reader& in);
    // Old maps' paths resolved from the map's folder; every name checked to stay in the data
    // folder and stripped of leading separators.
    bool SettlePaths(const char* mapDirectory, float fileVersion);
    bool Ends(const char* what); // the file ends early: always false
    void RestoreDefaults();

    MapOpenCallback openFile;
    MapCloseCallback closeFile;
    MapReadCallback readFile;
    char lastError[512] = {};
};

// Joins a base folder and a relative path, taking "../" steps and "./" off the front of the
// relative part (260-byte result).
void ResolveRelativePath(char* destination, const char* base, const char* relative);
// The path made relative to a folder, with "..\" once per folder left in it after the common part.
void MakeRelativePath(char* destination, std::size_t size, const char* path, const char* directory);
