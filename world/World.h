#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/Geometry.h"
#include "engine/core/HitResult.h"
#include "engine/material/Material.h"
#include "engine/mesh/MeshNode.h"
#include "engine/scene/SceneNode.h"
#include "world/environment/DecalManager.h"
#include "world/imposters/ImposterAtlas.h"
#include "world/map/MapDescription.h"
#include "world/map/MapObject.h"
#include "world/map/NodePool.h"
#include "world/PickResult.h"
#include "world/props/Prop.h"
#include "world/terrain/TerrainPatchShared.h"
#include "world/terrain/WaveField.h"

class Camera;
class Device;
class D3DBitmap;
class D3DLight;
class qMesh;
class qTerrainPatch;
struct ShadowVolume;
class Sky;
struct PackFile;

// The node every map object draws through; it borrows the object's mesh for the draw.
class WorldDrawNode : public MeshNode {
public:
    ~WorldDrawNode() override { mesh = nullptr; }
    void UseMesh(qMesh* borrowed) { mesh = borrowed; }
};

// One terrain tile: its plain material and the alpha-blended copy for distance fading.
struct TerrainTile {
    Material* material = nullptr;
    Material* fadeMaterial = nullptr;
};

// One imported model of the map's library.
struct LibraryObject {
    LibraryEntry* entry = nullptr;
    qMesh* mesh = nullptr;  // owned unless shared
    bool shared = false;    // uses an earlier object's model
    void* userData[5] = {}; // per-entry records of props that share state between objects
};

// Detail objects of one terrain tile, from "DetailObj.def".
struct DetailRecord {
    std::int32_t group = -1;
    float density = 0.0f;
    float minScale = 0.9f;
    float maxScale = 1.1f;
    std::int32_t count = 0;
    std::int32_t objects[8] = {};
};

// The loaded map: terrain, water, sky, placed objects and their props. One at a time, reached
// through World::Current.
struct TerrainCellHit;

class World : public SceneNode {
public:
    static constexpr int kMaxTiles = 32768;
    static constexpr int kMaxVisibleObjects = 8192;
    static constexpr int kMaxPickMemory = 65536;
    static constexpr int kNoiseSize = 16348;
    static constexpr int kDetailVertices = 6000;
    static constexpr int kDetailIndices = 9000;

    using ProgressCallback = void (*)(int percent, const char* text);

    World();
    ~World() override;

    static World* Current();
    // The program registers the swayprox factory at start-up; worlds made afterwards know it.
    static void SetSwayProxFactory(PropFactory factory);
    static PropFactory GetSwayProxFactory();

    // Builds the world from a loaded map; throws q3DError.
    void Load(MapDescription* map, Device* device, Camera* camera);
    void Unload();
    void SetProgressCallback(ProgressCallback callback) { progress = callback; }
    void SetTimeOfDay(int set);
    void SetWind(const Vector3& direction, float strength);

    // The keyword registry of object properties, searched from the newest record.
    void RegisterPropKeyword(const char* name, PropFactory factory);
    PropFactory FindPropKeyword(const char* name) const;

    // Objects.
    int ImportObject(LibraryEntry* entry, bool keepDirectory);
    // A ".q3d" (read at a tenth of its size, welded) or ".oct" model of the object folder; throws
    // q3DError.
    qMesh* LoadModelMesh(const char* modelPath, bool normals = true);
    MapObject* PlaceObject(MapObjectRecord* record);
    MapObject* AddObject(int libraryIndex, const Vector3& position, const Matrix3& rotation, float scale);
    bool InsertObject(MapObject* object);
    void RemoveObject(MapObject* object);
    int GetObjectPatchReach(const MapObject* object, float* radius) const;
    void GatherObjectsInRadius(const Vector3& point, float radius, std::vector<MapObject*>& list);
    LibraryObject* GetLibraryObject(int index);
    int GetLibraryObjectCount() const { return int(libraryObjects.size()); }
    MapObject* GetFirstObject() const { return objects; }
    void RemoveFromUpdateList(MapObject* object);
    void AddToUpdateList(MapObject* object);

    // Terrain queries.
    void WorldToCell(float x, float z, int& column, int& row) const;
    float GetCornerHeight(int column, int row) const;
    Vector3 GetCornerPosition(int column, int row) const;
    float GetTerrainHeightSmooth(const Vector3& point, PickResult* result = nullptr) const;
    float GetWaterHeight(const Vector3& point) const;
    float GetGroundBelow(const Vector3& point, PickResult* result, PickFilterCallback filter);
    int GetWaterSample(int blockColumn, int blockRow) const;
    int GetCellTileIndex(int column, int row) const;
    const TerrainTile& GetCellTile(int column, int row) const;
    // The tile a cell is drawn with: a tile index past the loaded tiles draws tile 0 (logged once).
    int GetDrawnTileIndex(int column, int row);
    void GetCellTriangles(int column, int row, Vector3 triangle1[3], Vector3 triangle2[3]) const;
    float GetDetailDensity(const Vector3& point) const;
    float GetWaveHeight(const Vector3& point) const;

    // Picks.
    bool Pick(HitResult& ray, PickResult* out, float maxDistance, PickFilterCallback filter,
              MapObject* ignore = nullptr);
    bool PickTerrain(HitResult& ray, PickResult* out, float maxDistance, PickFilterCallback filter);
    bool PickObjects(HitResult& ray, PickResult* out, float maxDistance, PickFilterCallback filter,
                     MapObject* ignore = nullptr);
    bool PickFromScreen(float x, float y, PickResult* out);
    float GetObjectBelow(const Vector3& point, PickResult* out, PickFilterCallback filter,
                         const MapObject* masked = nullptr);
    float GetFloorHeight(const Vector3& point, PickFilterCallback filter);
    float GetFloorHeightEx(const Vector3& point, PickResult* out, PickFilterCallback filter);

    // Frame.
    void Update(float dt) override;
    void CollectVisible();
    void AddVisibleObject(MapObject* object);
    void RenderTerrain();
    void RenderObjects();
    void DrawObject(MapObject* object);
    bool RenderWater();
    // The patch's 33 x 33 water grid at the wave field's present state, 44 bytes a vertex (position,
    // normal, colour, two texture coordinate pairs), into the caller's 1089-vertex buffer.
    void FillWaterGrid(const qTerrainPatch& patch, std::uint8_t* vertices) const;
    // Draws and empties this frame's shadow volumes (ShadowPass.cpp).
    void RenderStencilShadows();
    // False when the frame already holds kMaxShadowVolumes: that volume is not drawn.
    bool AddShadowVolume(const ShadowVolume* volume);
    void RemoveShadowVolume(const ShadowVolume* volume);

    // Lights and light maps.
    void AddLight(D3DLight* light, int libraryIndex);
    void RemoveLight(D3DLight* light);
    void LoadLightmaps();
    D3DBitmap* GetPatchLightmap(int patchIndex);
    int GetPatchLightmapValue(int patchIndex) const;
    bool GetTerrainLight(const Vector3& point, std::uint32_t* colour) const;
    bool HasLightMap() const { return !terrainLight.empty(); }
    bool GetLightAt(const Vector3& point, std::uint32_t* colour);

    // Detail objects.
    void BuildCellDetailObjects(int column, int row, int tile);
    bool DetailRangeAccepts(const BoundingBox& box) const;

    static const float* GetNoiseTable();

    // State read by patches, props and tests.
    MapDescription* map = nullptr;
    Device* device = nullptr;
    Camera* camera = nullptr;
    int width = 0, height = 0; // cells
    float cellSize = 15.0f;
    float heightScale = 1.0f;
    bool noHeightImage = false;
    std::vector<std::uint8_t> ownHeightMap; // when not the map's block
    const std::uint8_t* heightMap = nullptr; // 3 bytes a cell corner, width a row
    std::vector<std::uint16_t> ownTileMap;
    const std::uint16_t* tileMap = nullptr; // width a row
    std::vector<std::uint16_t> ownWaterMap;
    const std::uint16_t* waterMap = nullptr; // width / 16 a row, height / 16 rows
    std::vector<TerrainTile> tiles;
    TerrainTile defaultTile;
    TerrainPatchShared patchShared; // before the patches, which use it until they go
    std::vector<std::unique_ptr<qTerrainPatch>> patches;
    int patchColumns = 0, patchRows = 0;
    std::vector<LibraryObject> libraryObjects;
    std::size_t libraryCapacity = 0;
    MapObject* objects = nullptr; // the world's object list
    NodePool<MapObject> objectPool;
    std::vector<MapObject*> updateList;
    std::vector<std::uint8_t> groupVisible; // one a group: drawn and picked
    bool drawAll = false;
    bool frozen = false;
    bool loadError = false;
    bool fogOff = false;
    bool diagnostics = false;
    bool objectsOff = false;
    bool skyOff = false;
    bool shadows = true;
    bool shaderWater = true;
    bool waterOn = true;
    bool waterBlending = true;
    bool distanceFade = false;
    float fadeFraction = 0.8f;
    bool detailOn = false;
    bool terrainOn = true;
    bool lightMapMode = true;
    bool lightMapOff = false;
    bool noClamp = false;
    bool wireGrid = false;
    int timeOfDay = 0;
    // The level's draw-distance mode read by the drawdist property: 0 hides, 1 hides beyond the
    // distance, any other value shows.
    int drawDistanceMode = 1;
    std::uint8_t objectDensityLevel = 255;

    // Water definition ("%s.def").
    float waveHeightScale = 8.0f, waveAmplitude = 256.0f, waveChoppiness = 0.015f, waveDamping = 0.00005f;
    float waterColour1[3] = {0.2647f, 0.5f, 0.5471f};
    float waterColour2[3] = {0.1412f, 0.3f, 0.3647f};
    float waterShaderA = 4.0f, waterShaderB = 10.0f;
    float waterTextureRepeat = 10.0f;
    float waterTime = 0.0f;
    bool waterVisibleThisFrame = false;
    Material* waterMaterial = nullptr;
    D3DBitmap* waterBitmaps[4] = {}; // bump map, colour texture
    std::unique_ptr<WaveField> waveField;
    std::vector<std::uint8_t> waterGridVertices; // the 33 x 33 grid of the patch being drawn

    // Sway and wind.
    float swayPhase = 0.0f, swayAmplitude = 0.2f, swayDirection = 1.0f, swayTimer = 0.0f, damping = 1.0f;
    Vector3 wind, oldWind, targetWind;
    float windTimer = 1.0f;
    // The last wind asked for (see SetWind).
    bool windSet = false;
    Vector3 lastWindDirection;
    float lastWindStrength = 0.0f;
    int swayCounter = 0;
    // Density props read since the map began: every machine keeps the same objects.
    int densityCounter = 0;
    // The point whose movement starts nearby swayprox props swaying (null: none), with where it
    // was when the last frame looked.
    struct SwayWatch {
        const Vector3* point = nullptr;
        Vector3 last;
        int lastFrame = -1;
        bool moving = false;
    };
    SwayWatch swayWatch;

    // Sun and sky.
    D3DLight* sun = nullptr;
    std::unique_ptr<Sky> sky;

    // Visibility.
    struct VisibleObject {
        MapObject* object;
        float distanceSquared;
    };
    std::vector<qTerrainPatch*> visiblePatches;
    std::unique_ptr<VisibleObject[]> visibleObjects;
    int visibleCount = 0;
    bool visibleOverflowLogged = false;
    int drawnObjectCount = 0;
    // Imposters: the frame whose pictures were last refreshed, and how many were drawn since the
    // last update near the camera.
    int imposterRefreshFrame = -1;
    int impostersDrawn = 0;
    ImposterAtlas imposters;
    WorldDrawNode* drawNode = nullptr; // the shared node each object draws through
    struct WorldLight {
        D3DLight* light;
        int libraryIndex;
        float distanceSquared;
    };
    std::vector<WorldLight> lights;
    std::vector<WorldLight*> activeLights;
    int lightLimit = 7;

    // Light file ("%s%s%s.lmp").
    std::int32_t lightTextureSize = 0;
    std::vector<std::uint8_t> terrainLight; // width x height x 3
    struct PatchLightmap {
        std::int32_t offset = -1;
        std::int32_t value = -1;
        D3DBitmap* texture = nullptr;
        std::uint64_t lastUse = 0;
    };
    std::vector<PatchLightmap> patchLightmaps;
    PackFile* lightFile = nullptr;
    std::uint64_t lightFileSize = 0;
    D3DBitmap* shadowLoader = nullptr;
    int lightmapCacheLimit = 0;
    int lightmapsLoaded = 0;
    std::uint64_t lightmapClock = 0;

    // Detail objects.
    float detailRange = 50.0f;
    std::vector<DetailRecord> detailTable;
    Material* detailMaterial = nullptr;
    std::vector<std::uint8_t> detailVertices; // kDetailVertices x 32 bytes
    std::vector<std::uint16_t> detailIndices;
    int detailVertexCount = 0, detailIndexCount = 0;

    // Bullet holes and scorch marks on this world's surfaces.
    DecalManager decals;

    // Shadow volumes of this frame.
    static constexpr int kMaxShadowVolumes = 256;
    std::vector<const ShadowVolume*> shadowVolumes;
    // The shadow pass's materials: the volumes count into the stencil, the screen quad darkens
    // where a count is left; and the lines of open shadow meshes the editor shows.
    Material shadowCounting, shadowDarken, openEdgeLines;

    // Occlusion, picks.
    std::vector<std::uint8_t> pickMemory; // one mark per pooled object ordinal
    std::vector<MapObject*> pickTested;

    // A name read from the map or its property lines, joined to the base folder: a leading
    // separator never makes it absolute.
    std::string InBase(const char* path) const;

private:
    // The height, colour (tile) and water maps: the map's blocks, or images named by the map.
    void LoadImageMaps();
    void LoadHeightMap();
    void LoadColorMap();
    void LoadWaterMap();
    void LoadTiles();
    void LoadWaterDefinition();
    void LoadOcclusion();
    void LoadDetailDefinition();
    void SetUpWater();
    void ReleaseWater();
    void SetWaterShaderConstants();
    void CreateWaves();
    void AdvanceWaves();
    void FillBumpMap();
    float GetFloorHeightEx(const Vector3& point, PickResult* out, PickFilterCallback filter, bool triangles);
    float ResolvePickDistance(float maxDistance) const;
    bool MarchTerrain(const HitResult& ray, float maxDistance, PickFilterCallback filter, TerrainCellHit& best) const;
    bool PickObjectsWithin(const HitResult& ray, PickResult& result, float maxDistance, PickFilterCallback filter,
                           MapObject* ignore, float cutoff);
    void Report(int percent, const char* text);
    bool CircleOverlapsRect(float x, float z, float radius, float minX, float minZ, float maxX,
                            float maxZ) const;

    std::vector<std::pair<std::string, PropFactory>> keywords;
    ProgressCallback progress = nullptr;
    bool tileWarningLogged = false;
    friend class qTerrainPatch;
};

// Axis-aligned boxes overlap unless some axis separates them; touching boxes overlap.
bool BoxesOverlap(const BoundingBox& a, const BoundingBox& b);

// Where a world-space ray meets a map object's mesh, picked in the object's space as its node
// draws it: the world-space point and unit normal and the material hit.
struct ObjectMeshHit {
    Vector3 point;
    Vector3 normal;
    Material* material = nullptr;
};
// With a filter and a device, the device's world transform is the object's while the filter runs:
// filters see the hit in the object's own space and place it in the world through that transform.
bool PickObjectMesh(const MapObject& object, qMesh& mesh, const Vector3& origin, const Vector3& direction,
                    PickFilterCallback filter, ObjectMeshHit& hit, Device* device = nullptr);

// Object-property switches shared by the props (the item code turns the LOD switch off while a
// scope is up).
extern std::uint8_t LodSwitch;
extern std::uint8_t LodForce;
