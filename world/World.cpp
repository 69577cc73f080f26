#include "world/World.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "engine/camera/Camera.h"
#include "engine/core/FormatText.h"
#include "engine/core/q3DError.h"
#include "engine/filesystem/PackFile.h"
#include "engine/material/Material.h"
#include "engine/material/q3DModelReader.h"
#include "engine/mesh/ModelMesh.h"
#include "engine/octree/OctreeMesh.h"
#include "engine/scene/TemporaryTree.h"
#include "platform/os/Path.h"
#include "renderer/Device.h"
#include "world/props/CollisionProps.h"
#include "world/props/PropClasses.h"
#include "world/environment/Sky.h"
#include "world/terrain/TerrainPatch.h"
#include "world/environment/WindEffect.h"

namespace {

World* currentWorld = nullptr;
// The detail objects' scatter table: a fixed multiplicative sequence, made by the compiler.
struct NoiseTable {
    float values[World::kNoiseSize];
};

constexpr NoiseTable MakeNoiseTable()
{
    NoiseTable table{};
    std::uint32_t seed = 1u << 20;
    for (float& entry : table.values) {
        seed *= 16807u;
        entry = float(seed % 64000u) * 0.000015625f;
    }
    return table;
}

constexpr NoiseTable kNoiseTable = MakeNoiseTable();

std::uint32_t OpaqueColour(float r, float g, float b)
{
    // Clamped as a float: a huge value or one that is not a number has no int to become.
    const auto channel = [](float v) { return v > 0.0f ? std::uint32_t(std::min(v, 1.0f) * 255.0f) : 0u; };
    return 0xFF000000u | channel(r) << 16 | channel(g) << 8 | channel(b);
}

} // namespace

std::uint8_t LodSwitch = 1;
std::uint8_t LodForce = 0;

World::World()
{
    visibleObjects = std::make_unique<VisibleObject[]>(kMaxVisibleObjects);
    RegisterWorldPropKeywords(*this);
    RegisterCollisionPropKeywords(*this);
    currentWorld = this;
}

World::~World()
{
    Unload();
    if (currentWorld == this)
        currentWorld = nullptr;
}

World* World::Current() { return currentWorld; }

namespace {
PropFactory swayProxFactory = nullptr;
}

void World::SetSwayProxFactory(PropFactory factory) { swayProxFactory = factory; }
PropFactory World::GetSwayProxFactory() { return swayProxFactory; }

const float* World::GetNoiseTable() { return kNoiseTable.values; }

void World::RegisterPropKeyword(const char* name, PropFactory factory)
{
    keywords.insert(keywords.begin(), {std::string(name).substr(0, 255), factory});
}

PropFactory World::FindPropKeyword(const char* name) const
{
    for (const auto& [keyword, factory] : keywords)
        if (strcasecmp(keyword.c_str(), name) == 0)
            return factory;
    return nullptr;
}

void World::Report(int percent, const char* text)
{
    if (progress)
        progress(percent, text);
}

std::string World::InBase(const char* path) const
{
    // The working folder never changes while loading: names are joined to the base folder, which
    // a name's leading separator only separates from (it never makes the name absolute).
    while (*path == '/' || *path == '\\')
        ++path;
    const char* base = map ? map->baseDirectory : ".";
    if (!base[0] || std::strcmp(base, ".") == 0 || std::strcmp(base, "./") == 0)
        return path;
    std::string joined = base;
    if (joined.back() != '/' && joined.back() != '\\')
        joined += '/';
    return joined + path;
}

void World::SetWind(const Vector3& direction, float strength)
{
    // The running level sets the weather's wind every frame: the same wind again must not restart
    // the blend and the sway, or the wind would never arrive and the sway never move.
    if (windSet && direction.x == lastWindDirection.x && direction.y == lastWindDirection.y &&
        direction.z == lastWindDirection.z && strength == lastWindStrength)
        return;
    windSet = true;
    lastWindDirection = direction;
    lastWindStrength = strength;
    oldWind = wind;
    const float factor = std::min(strength * 0.2f, 1.2f);
    targetWind = direction * factor;
    windTimer = 0.0f;
    swayAmplitude = std::max(0.004f * strength * strength, 0.2f);
    swayTimer = 0.0f;
    damping = 1.0f - 0.023f * strength;
    if (damping <= 0.0f)
        damping = 0.1f;
    else if (damping > 1.0f)
        damping = 1.0f;
}

void World::Load(MapDescription* newMap, Device* newDevice, Camera* newCamera)
{
    Unload();
    currentWorld = this;
    map = newMap;
    device = newDevice;
    camera = newCamera;
    cellSize = map->cellSize;
    heightScale = map->heightScale;
    densityCounter = 0;
    swayWatch = SwayWatch{};
    device->RegisterEffect(WindEffectFactory, "wind");
    windSet = false;
    SetWind(Vector3(1.0f, 0.0f, std::cos(kPi / 2.0f)), 1.0f);
    wind = targetWind;
    shadows = device->GetStencilBits() >= 8;
    shaderWater = device->GetPixelShaderVersion() >= 1.1f;

    width = map->width;
    height = map->height;

    // The sun.
    device->CreateLight(&sun);
    if (!sun)
        throw q3DError("Could not create sun: %s", device->GetLastError());
    if (sun->GetLastError() && sun->GetLastError()[0])
        throw q3DError("Could not create sun: %s", sun->GetLastError());
    sun->type = LightDirectional;
    sun->color = OpaqueColour(map->lighting[LightSunRed][0], map->lighting[LightSunGreen][0],
                              map->lighting[LightSunBlue][0]);
    {
        Matrix3 a, b;
        a.FromEulerAngles(0.0f, -kPi / 4.0f, 0.0f);
        b.FromEulerAngles(0.80994f, 0.0f, 0.0f);
        const Matrix3 product = a * b;
        sun->direction[0] = product(2, 0);
        sun->direction[1] = product(2, 1);
        sun->direction[2] = product(2, 2);
    }
    sun->Enable(true);
    sun->Set();

    LoadImageMaps();
    LoadTiles();
    LoadWaterDefinition();

    Report(14, "Creating patches");
    patchColumns = width / 16;
    patchRows = height / 16;
    patches.clear();
    for (int row = 0; row < patchRows; ++row)
        for (int column = 0; column < patchColumns; ++column) {
            patches.push_back(std::make_unique<qTerrainPatch>());
            patches.back()->Create(this, column * 16, row * 16, row * patchColumns + column);
        }
    LoadOcclusion();

    Report(15, "Loading Objects");
    libraryCapacity = std::size_t(map->GetLibraryCount()) + 1000;
    libraryObjects.reserve(libraryCapacity);
    groupVisible.assign(MapDescription::kMaxGroups, 1);
    float percent = 15.0f;
    for (int i = 0; i < map->GetLibraryCount(); ++i) {
        ImportObject(map->GetLibraryEntry(i), true);
        percent += 45.0f / float(map->GetLibraryCount());
        Report(int(percent), "Loading Objects");
    }
    if (diagnostics)
        device->Log("Done loading objects");

    LoadDetailDefinition();
    detailVertices.assign(std::size_t(kDetailVertices) * 32, 0);
    detailIndices.assign(kDetailIndices, 0);

    drawNode = new WorldDrawNode();
    Report(int(percent), "Placing Objects");
    // Placing may remove records of refused objects, so walk a copy of the list.
    std::vector<MapObjectRecord*> records;
    for (MapObjectRecord* record = map->firstRecord; record; record = record->next)
        records.push_back(record);
    for (MapObjectRecord* record : records) {
        PlaceObject(record);
        percent += 29.0f / float(records.size());
        Report(int(percent), "Placing Objects");
    }

    Report(90, "Initializing Sky");
    sky = std::make_unique<Sky>();
    sky->Load(device, map);
    SetTimeOfDay(0);

    LoadLightmaps();
    SetUpWater();

    visiblePatches.clear();
    // The waves move characters and objects in the water even when it cannot be drawn.
    CreateWaves();
    FillBumpMap();
    visibleCount = 0;
    waterTime = 0.0f;
    lightLimit = std::max(device->GetMaxActiveLights() - 1, 0);
    activeLights.reserve(lights.size() + 1000);
}

void World::LoadImageMaps()
{
    LoadHeightMap();
    LoadColorMap();
    LoadWaterMap();
    // The three maps describe one grid; a block of another size would be read past its end.
    if (!noHeightImage && !map->heightData.empty() && map->heightData.size() != std::size_t(width) * height * 3)
        throw q3DError("Height map holds %zu bytes, a %d x %d map needs %zu", map->heightData.size(), width, height,
                       std::size_t(width) * height * 3);
    if (tileMap == map->colorData.data() && map->colorData.size() != std::size_t(width) * height)
        throw q3DError("Color map holds %zu cells, a %d x %d map needs %zu", map->colorData.size(), width, height,
                       std::size_t(width) * height);
    if (width < 16 || height < 16)
        throw q3DError("The map is %d x %d cells; it needs at least 16 x 16", width, height);
}

void World::LoadHeightMap()
{
    Report(10, "Loading Height Map");
    noHeightImage = false;
    if (strcasecmp(map->heightMapName, "none") == 0) {
        width = height = 512;
        ownHeightMap.assign(std::size_t(513) * 513 * 3, 128);
        heightMap = ownHeightMap.data();
        noHeightImage = true;
    } else if (!map->heightData.empty()) {
        heightMap = map->heightData.data();
    } else {
        D3DBitmap* image = nullptr;
        device->CreateBitmap(&image);
        const std::string full = InBase(map->heightMapName);
        if (!image || image->Load(full.c_str(), 0, BitmapSurface | BitmapPrivate | BitmapAnySize) < 0) {
            std::string error = image ? image->GetLastError() : "no bitmap";
            if (image)
                image->Destroy();
            throw q3DError("Height map: %s", error.c_str());
        }
        const int w = image->GetWidth(), h = image->GetHeight();
        if (w % 4 != 0 || h % 4 != 0) {
            image->Destroy();
            throw q3DError("Height map width and height must be multiple of 4");
        }
        if (image->GetBytesPerPixel() != 3) {
            image->Destroy();
            throw q3DError("Height map must be a 24 bit file");
        }
        width = w;
        height = h;
        ownHeightMap.assign(std::size_t(w + 1) * (h + 1) * 3, 0);
        const auto* bits = static_cast<const std::uint8_t*>(image->Lock(false));
        const int pitch = image->GetPitch();
        if (bits)
            for (int y = 0; y < h; ++y)
                std::memcpy(&ownHeightMap[std::size_t(y) * w * 3], bits + std::size_t(y) * pitch, std::size_t(w) * 3);
        image->Unlock();
        image->Destroy();
        heightMap = ownHeightMap.data();
    }
}

void World::LoadColorMap()
{
    Report(10, "Loading Color Map");
    if (!map->colorData.empty() && !noHeightImage) {
        tileMap = map->colorData.data();
    } else if (noHeightImage) {
        ownTileMap.assign(std::size_t(width) * height, 0);
        tileMap = ownTileMap.data();
    } else {
        const std::string full = InBase(map->colorMapName);
        D3DBitmap* image = nullptr;
        device->CreateBitmap(&image);
        if (!image || image->Load(full.c_str(), 0, BitmapSurface | BitmapPrivate | BitmapAnySize) < 0) {
            std::string error = image ? image->GetLastError() : "no bitmap";
            if (image)
                image->Destroy();
            throw q3DError("Error loading %s: %s", full.c_str(), error.c_str());
        }
        const int w = image->GetWidth(), h = image->GetHeight();
        if (w % 4 != 0 || h % 4 != 0) {
            image->Destroy();
            throw q3DError("Color map size must be divisible by 4");
        }
        if (image->GetBytesPerPixel() != 2) {
            image->Destroy();
            throw q3DError("Color map must be a 16 bit file");
        }
        if (w != width || h != height) {
            image->Destroy();
            throw q3DError("Color map is %d x %d but the height map is %d x %d", w, h, width, height);
        }
        ownTileMap.assign(std::size_t(w) * h, 0);
        const auto* bits = static_cast<const std::uint8_t*>(image->Lock(false));
        const int pitch = image->GetPitch();
        if (bits)
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const std::uint8_t* p = bits + std::size_t(y) * pitch + std::size_t(x) * 2;
                    ownTileMap[std::size_t(y) * w + x] = std::uint16_t(p[0] | p[1] << 8);
                }
        image->Unlock();
        image->Destroy();
        tileMap = ownTileMap.data();
    }
}

void World::LoadWaterMap()
{
    Report(10, "Loading Water Map");
    const std::size_t waterSamples = std::size_t(width / 16) * height / 16;
    if (!map->waterData.empty() && !noHeightImage) {
        if (map->waterData.size() < waterSamples)
            throw q3DError("Water map holds %zu samples, the map needs %zu", map->waterData.size(), waterSamples);
        waterMap = map->waterData.data();
    } else if (noHeightImage || strcasecmp(map->waterPath, "none") == 0) {
        ownWaterMap.assign(waterSamples + 1, 0);
        waterMap = ownWaterMap.data();
    } else {
        const std::string full = InBase(map->waterPath);
        D3DBitmap* image = nullptr;
        device->CreateBitmap(&image);
        if (!image || image->Load(full.c_str(), 0, BitmapSurface | BitmapPrivate | BitmapAnySize) < 0) {
            if (image)
                image->Destroy();
            throw q3DError("Error loading %s", full.c_str());
        }
        const int w = image->GetWidth(), h = image->GetHeight();
        if (w != width / 4 || h != height / 4) {
            image->Destroy();
            throw q3DError("Water map must be 1/4 the size of the height map");
        }
        if (image->GetBytesPerPixel() != 2) {
            image->Destroy();
            throw q3DError("Water height map must be a 16 bit file");
        }
        // One sample a 16 x 16 cell block, laid out as the map's own block that the lookups read.
        const int columns = width / 16, rows = height / 16;
        ownWaterMap.assign(std::size_t(columns + 1) * (rows + 1), 0);
        const auto* bits = static_cast<const std::uint8_t*>(image->Lock(false));
        const int pitch = image->GetPitch();
        if (bits)
            for (int r = 0; r < rows; ++r)
                for (int c = 0; c < columns; ++c) {
                    const std::uint8_t* p = bits + std::size_t(r * 4) * pitch + std::size_t(c * 4) * 2;
                    ownWaterMap[std::size_t(r) * columns + c] = std::uint16_t(p[0] | p[1] << 8);
                }
        image->Unlock();
        image->Destroy();
        waterMap = ownWaterMap.data();
    }
}

void World::LoadTiles()
{
    Report(10, "Loading Terrain Tiles");
    tiles.clear();
    float percent = 10.0f;
    for (int i = 0; i < kMaxTiles; ++i) {
        char tga[600], dds[600];
        FormatText(tga, "%s%d.tga", map->tileDirectory, i);
        FormatText(dds, "%s%d.dds", map->tileDirectory, i);
        std::string path = InBase(tga);
        if (!PackFileCanOpen(path.c_str())) {
            path = InBase(dds);
            if (!PackFileCanOpen(path.c_str()))
                break;
        }
        D3DBitmap* bitmap = nullptr;
        device->CreateBitmap(&bitmap);
        if (!bitmap || bitmap->Load(path.c_str(), 0, 0) < 0) {
            std::string error = bitmap ? bitmap->GetLastError() : "no bitmap";
            if (bitmap)
                bitmap->Destroy();
            throw q3DError("Error loading tile %s: %s", path.c_str(), error.c_str());
        }
        auto* material = new Material();
        FormatText(material->name, "tile%d", i);
        material->texture[0] = bitmap;
        material->lightingMode = 0;
        const int format = bitmap->GetFormat();
        if (format == FormatA4R4G4B4 || format == FormatA1R5G5B5 || format == FormatA8R8G8B8 || format == FormatDXT3) {
            material->srcBlend = BlendSrcAlpha;
            material->destBlend = BlendInvSrcAlpha;
            material->cullFlags |= Material::kTwoSided;
            if (format == FormatA8R8G8B8)
                bitmap->Reformat(FormatA4R4G4B4);
        } else if (format != FormatDXT1) {
            bitmap->Reformat(FormatR5G6B5);
        }
        auto* fade = new Material();
        fade->Copy(*material);
        fade->SetBlendMode(13);
        tiles.push_back({material, fade});
        percent = std::min(percent + 1.0f / 64.0f, 14.0f);
        Report(int(percent), "Loading Terrain Tiles");
    }
    if (tiles.empty())
        throw q3DError("No terrain textures loaded, check tile directory in .map file");
    if (!defaultTile.material) {
        defaultTile.material = new Material();
        FormatText(defaultTile.material->name, "%s", "outside");
        defaultTile.fadeMaterial = new Material();
        defaultTile.fadeMaterial->SetBlendMode(13);
    }
}

void World::LoadWaterDefinition()
{
    waveHeightScale = 8.0f;
    waveAmplitude = 256.0f;
    waveChoppiness = 0.015f;
    waveDamping = 0.00005f;
    const float colour1[3] = {67.5f, 127.5f, 139.5f}, colour2[3] = {36.0f, 76.5f, 93.0f};
    for (int i = 0; i < 3; ++i) {
        waterColour1[i] = colour1[i] / 255.0f;
        waterColour2[i] = colour2[i] / 255.0f;
    }
    waterShaderA = 4.0f;
    waterShaderB = 10.0f;
    const std::string path = InBase((std::string(map->waterPath) + ".def").c_str());
    PackFileHandle file(PackFileOpen(path.c_str(), "rt"));
    if (!file)
        return;
    float* targets[12] = {&waveHeightScale, &waveAmplitude, &waveChoppiness, &waveDamping,
                          &waterColour1[0], &waterColour1[1], &waterColour1[2], &waterColour2[0],
                          &waterColour2[1], &waterColour2[2], &waterShaderA, &waterShaderB};
    char line[257];
    int value = 0;
    while (value < 12 && PackFileGets(line, sizeof(line), file.get())) {
        if (line[0] == '/')
            continue;
        float number = std::strtof(line, nullptr);
        if (!std::isfinite(number))
            number = 0.0f;
        *targets[value] = value >= 4 && value < 10 ? number / 255.0f : number;
        ++value;
    }
}

void World::LoadOcclusion()
{
    const platform::os::PathParts parts = platform::os::SplitPath(map->mapPath);
    const std::string path = InBase((parts.fname + ".ocl").c_str());
    PackFileHandle file(PackFileOpen(path.c_str(), "rb"));
    if (!file)
        return;
    const std::size_t count = std::size_t(patchColumns) * patchRows;
    std::vector<std::uint8_t> row(count);
    for (auto& patch : patches) {
        // A list cut short leaves the rest of the patches seeing everything.
        if (PackFileRead(row.data(), 1, count, file.get()) != count) {
            device->Log("%s ends early; the remaining patches see every patch", path.c_str());
            return;
        }
        patch->visibility = row;
    }
}

void World::LoadDetailDefinition()
{
    detailOn = false;
    detailTable.assign(tiles.size(), DetailRecord());
    detailMaterial = nullptr;
    char name[600];
    FormatText(name, "%sDetailObj.def", map->tileDirectory);
    const std::string path = InBase(name);
    PackFileHandle file(PackFileOpen(path.c_str(), "rt"));
    if (!file)
        return;
    char line[1025];
    const auto next = [&]() -> bool {
        if (!PackFileGets(line, sizeof(line), file.get()))
            return false;
        line[std::strcspn(line, "\r\n")] = '\0';
        return true;
    };
    if (!next())
        return;
    const float range = std::strtof(line, nullptr);
    if (std::isfinite(range) && range > 0.0f)
        detailRange = range;
    const int tileCount = int(tiles.size());
    for (;;) {
        char start[1025], end[1025], density[1025], group[1025];
        if (!next())
            break;
        std::strcpy(start, line);
        if (!next())
            break;
        std::strcpy(end, line);
        if (!next())
            break;
        std::strcpy(density, line);
        if (!next())
            break;
        std::strcpy(group, line);
        const int first = std::atoi(start), last = std::atoi(end);
        if (first < 0 || first >= tileCount) {
            device->Log("DetailObj.def: Tile start less than zero or higher than max tiles");
            continue;
        }
        if (last < 0 || last >= tileCount) {
            device->Log("DetailObj.def: Tile end less than zero or higher than max tiles");
            continue;
        }
        float values[3] = {0.0f, 0.9f, 1.1f};
        int read = std::sscanf(density, "%f %f %f", &values[0], &values[1], &values[2]);
        if (read < 1 || !(values[0] > 0.0f) || !std::isfinite(values[0])) {
            device->Log("DetailObj.def: Can't have density of zero");
            continue;
        }
        // Trim the blanks a hand-written group line may carry.
        char* groupName = group;
        while (*groupName == ' ' || *groupName == '\t')
            ++groupName;
        for (std::size_t n = std::strlen(groupName); n > 0 && (groupName[n - 1] == ' ' || groupName[n - 1] == '\t');)
            groupName[--n] = '\0';
        int groupIndex = -1;
        for (int g = 0; g < map->groupCount; ++g)
            if (strcasecmp(map->groupNames[g], groupName) == 0) {
                groupIndex = g;
                break;
            }
        if (groupIndex < 0) {
            device->Log("DetailObj.def: Can't find library %s", groupName);
            continue;
        }
        for (int tile = first; tile <= last; ++tile) {
            DetailRecord& record = detailTable[std::size_t(tile)];
            record.group = groupIndex;
            record.density = values[0];
            record.minScale = read >= 2 ? values[1] : 0.9f;
            record.maxScale = read >= 3 ? values[2] : 1.1f;
        }
    }
    for (DetailRecord& record : detailTable) {
        record.count = 0;
        if (record.density <= 0.0f)
            continue;
        for (int i = 0; i < int(libraryObjects.size()) && record.count < 8; ++i) {
            LibraryObject& object = libraryObjects[std::size_t(i)];
            if (object.entry->groupIndex != record.group || !object.mesh)
                continue;
            record.objects[record.count++] = i;
            if (!detailMaterial && object.mesh->GetPrimCount() > 0 && object.mesh->prims[0]->material) {
                detailMaterial = object.mesh->prims[0]->material;
                detailMaterial->lightingMode = 0;
            }
        }
    }
    detailOn = true;
}

int World::ImportObject(LibraryEntry* entry, bool keepDirectory)
{
    if (libraryObjects.size() >= libraryCapacity)
        throw q3DError("Can't import any more objects this session");
    LibraryObject object;
    object.entry = entry;
    for (const LibraryObject& earlier : libraryObjects)
        if (strcasecmp(earlier.entry->modelPath, entry->modelPath) == 0) {
            object.mesh = earlier.mesh;
            object.shared = true;
            libraryObjects.push_back(object);
            return int(libraryObjects.size()) - 1;
        }
    object.mesh = LoadModelMesh(entry->modelPath, !MapObjectHasExactWord(entry, "AMBONLY"));
    (void)keepDirectory; // the working folder is never changed
    libraryObjects.push_back(object);
    return int(libraryObjects.size()) - 1;
}

qMesh* World::LoadModelMesh(const char* modelPath, bool normals)
{
    const std::string directory = std::strcmp(map->objectDirectory, ".") == 0 ? "" : map->objectDirectory;
    // The object folder is where a model's textures are looked for. A model path names its file
    // from the base folder (an old map's paths are resolved against the map's folder when read);
    // a path that names no file there is taken as relative to the object folder.
    std::string path = InBase(modelPath);
    if (!directory.empty() && !PackFileCanOpen(path.c_str()))
        if (std::string inFolder = InBase((directory + modelPath).c_str()); PackFileCanOpen(inFolder.c_str()))
            path = std::move(inFolder);
    const char* dot = std::strrchr(modelPath, '.');
    if (diagnostics)
        device->Log("Loading %s...", path.c_str());
    if (dot && strcasecmp(dot, ".q3d") == 0) {
        TemporaryTree tree;
        q3DModelReader reader;
        const std::string textures = InBase(directory.c_str());
        std::vector<std::uint8_t> bytes;
        PackFileHandle probe(PackFileOpen(path.c_str(), "rb"));
        const bool large = probe && probe->uncompressedSize > 300000;
        probe.reset();
        if (large && PackFileReadAll(path.c_str(), bytes))
            reader.ReadMemory(device, bytes.data(), bytes.size(), path.c_str(), &tree.root, textures.c_str());
        else
            reader.ReadFile(device, path.c_str(), &tree.root, textures.c_str());
        // Every object of the file goes into one model: their prims move into one mesh.
        qMesh raw(device, 0);
        for (int i = tree.root.GetChildCount() - 1; i >= 0; --i)
            if (qMesh* part = static_cast<MeshNode*>(tree.root.GetChild(i))->GetMesh()) {
                raw.prims.insert(raw.prims.end(), part->prims.begin(), part->prims.end());
                part->prims.clear();
            }
        raw.Scale(0.1f);
        auto* mesh = new ModelMesh(raw);
        if (normals)
            mesh->ComputeNormals();
        mesh->ComputeBounds();
        return mesh;
    }
    if (dot && strcasecmp(dot, ".oct") == 0) {
        auto* mesh = new OctreeMesh(device, path.c_str(), InBase(directory.c_str()).c_str());
        mesh->ComputeBounds();
        return mesh;
    }
    throw q3DError("Unrecognized file type: %s", modelPath);
}

LibraryObject* World::GetLibraryObject(int index)
{
    return index >= 0 && index < int(libraryObjects.size()) ? &libraryObjects[std::size_t(index)] : nullptr;
}

MapObject* World::PlaceObject(MapObjectRecord* record)
{
    const float halfWidth = float(width) * cellSize / 2.0f, halfHeight = float(height) * cellSize / 2.0f;
    if (!(record->position.x >= -halfWidth && record->position.x < halfWidth) ||
        !(record->position.z >= -halfHeight && record->position.z < halfHeight))
        return nullptr;
    if (!GetLibraryObject(record->libraryIndex)) {
        device->Log("Object at %.2f, %.2f names library entry %d of %d; not placed", record->position.x,
                    record->position.z, record->libraryIndex, int(libraryObjects.size()));
        return nullptr;
    }
    MapObject* object = objectPool.Allocate();
    const auto discard = [this, object] {
        for (auto& patch : patches)
            patch->RemoveObj(object);
        object->Clear();
        objectPool.Free(object);
    };
    bool placed = false;
    try {
        placed = object->Attach(record, this) && InsertObject(object);
    } catch (...) {
        // A prop line that throws (a missing model or image) must not leave the props parsed
        // before it registered anywhere: they would outlive the world.
        discard();
        throw;
    }
    if (!placed) {
        discard();
        return nullptr;
    }
    object->next = objects;
    object->previous = nullptr;
    if (objects)
        objects->previous = object;
    objects = object;
    return object;
}

MapObject* World::AddObject(int libraryIndex, const Vector3& position, const Matrix3& rotation, float scale)
{
    Quaternion q;
    q.FromMatrix3(rotation);
    MapObjectRecord* record =
        map->AddObjectRecord(libraryIndex, position.x, position.y, position.z, q.x, q.y, q.z, q.w, scale);
    MapObject* object = PlaceObject(record);
    if (!object)
        map->RemoveObjectRecord(record);
    return object;
}

void World::Unload()
{
    for (auto& light : lights)
        light.light->Enable(false);
    while (objects) {
        MapObject* object = objects;
        objects = object->next;
        object->Clear();
        objectPool.Free(object);
    }
    objectPool.FreeAll();
    updateList.clear();
    visibleCount = 0;
    visiblePatches.clear();
    ReleaseWater();
    waveField.reset();
    if (sky) {
        sky->Release();
        sky.reset();
    }
    for (auto& lightmap : patchLightmaps)
        if (lightmap.texture)
            lightmap.texture->Destroy();
    patchLightmaps.clear();
    terrainLight.clear();
    if (lightFile) {
        PackFileClose(lightFile);
        lightFile = nullptr;
    }
    if (shadowLoader) {
        shadowLoader->Destroy();
        shadowLoader = nullptr;
    }
    if (drawNode) {
        drawNode->Detach();
        delete drawNode;
        drawNode = nullptr;
    }
    for (LibraryObject& object : libraryObjects)
        if (!object.shared)
            delete object.mesh;
    libraryObjects.clear();
    detailTable.clear();
    detailVertices.clear();
    detailIndices.clear();
    for (TerrainTile& tile : tiles) {
        DestroyMeshMaterial(tile.material);
        DestroyMeshMaterial(tile.fadeMaterial);
    }
    tiles.clear();
    DestroyMeshMaterial(defaultTile.material);
    DestroyMeshMaterial(defaultTile.fadeMaterial);
    defaultTile = TerrainTile();
    patches.clear();
    ownHeightMap.clear();
    ownTileMap.clear();
    ownWaterMap.clear();
    heightMap = nullptr;
    tileMap = nullptr;
    waterMap = nullptr;
    if (sun) {
        sun->Enable(false);
        sun->Destroy();
        sun = nullptr;
    }
    lights.clear();
    activeLights.clear();
    shaderWater = true;
    map = nullptr;
}

void World::SetTimeOfDay(int set)
{
    if (!map || set < 0 || set >= MapDescription::kSets)
        return;
    timeOfDay = set;
    const auto& t = map->lighting;
    device->SetAmbient(OpaqueColour(t[LightAmbientRed][set], t[LightAmbientGreen][set], t[LightAmbientBlue][set]));
    if (sun) {
        sun->color = OpaqueColour(t[LightSunRed][set], t[LightSunGreen][set], t[LightSunBlue][set]);
        sun->Set();
    }
    const std::uint32_t fogColour = OpaqueColour(t[LightFogRed][set], t[LightFogGreen][set], t[LightFogBlue][set]);
    if (t[LightFogStart][set] >= 1.0f) {
        device->SetFogEnable(false);
    } else {
        if (!fogOff)
            device->SetFogEnable(true);
        if (camera) {
            camera->SetFogStart(t[LightFogStart][set]);
            camera->SetFogEnd(1.0f);
        }
    }
    if (camera)
        camera->SetFogColor(fogColour);
    device->SetFogColor(fogColour);
    device->SetClearColor(fogColour);
    if (sky)
        sky->SetTimeOfDay(set, t[LightSkyValue][set]);
}
