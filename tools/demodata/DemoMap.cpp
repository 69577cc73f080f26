#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "tools/demodata/DemoData.h"
#include "tools/demodata/writers/MapWriter.h"
#include "tools/demodata/writers/Q3dWriter.h"
#include "tools/demodata/writers/TgaWriter.h"

namespace {

constexpr int kSide = 64;           // cells
constexpr float kCell = 10.0f;      // units a cell
constexpr float kHeightScale = 0.25f;

struct Vector3Like {
    float x, y, z;
};

// Corners from the map's edge that belong to its rim of rock.
constexpr int kRimWidth = 2;

int EdgeDistance(int c, int r)
{
    return std::min({c, r, kSide - 1 - c, kSide - 1 - r});
}

// Rolling hills with a bowl for the lake around cell (24, 40), ringed by a rim of rock whose inner
// face rises 18 units or more over one cell: a cliff nobody climbs, so nobody walks off the map.
int HeightSample(int c, int r)
{
    if (EdgeDistance(c, r) < kRimWidth) {
        // A ragged crest, highest on the outer corners.
        const float crest = 236.0f + 14.0f * std::sin(float(c) * 0.41f + 1.0f) * std::cos(float(r) * 0.37f);
        return std::clamp(int(crest) - 8 * EdgeDistance(c, r), 8, 255);
    }
    float h = 90.0f + 30.0f * std::sin(float(c) * 0.2f) * std::cos(float(r) * 0.15f) + 20.0f * std::sin(float(r) * 0.3f);
    const float d = std::hypot(float(c - 24), float(r - 40));
    if (d < 12.0f)
        h -= (1.0f - d / 12.0f) * 90.0f;
    return std::clamp(int(h), 8, 250);
}

Vector3Like Corner(int c, int r)
{
    return {float(c) * kCell - kSide * kCell / 2.0f, float(HeightSample(c, r)) * kHeightScale,
            kSide * kCell / 2.0f - float(r) * kCell};
}

TgaImage Pattern(std::uint32_t base, std::uint32_t fleck, int seed)
{
    TgaImage image(64, 64, base);
    std::uint32_t state = std::uint32_t(seed) * 2654435761u + 1u;
    for (int i = 0; i < 400; ++i) {
        state = state * 1664525u + 1013904223u;
        image.Fill(int(state >> 26), int((state >> 20) & 63), 2, 2, fleck);
    }
    return image;
}

Q3dMaterial Textured(const char* name, const char* texture)
{
    Q3dMaterial material;
    material.name = name;
    material.texture0 = texture;
    return material;
}

MapFilePlacement Place(int c, int r, float scale = 1.0f, int library = 0, float sink = 0.0f)
{
    const Vector3Like p = Corner(c, r);
    MapFilePlacement placement;
    placement.position[0] = p.x;
    placement.position[1] = p.y - sink;
    placement.position[2] = p.z;
    placement.scale = scale;
    placement.library = library;
    return placement;
}

} // namespace

std::array<float, 3> DemoMapCorner(int column, int row)
{
    const Vector3Like p = Corner(column, row);
    return {p.x, p.y, p.z};
}

bool DemoMapOnRim(int column, int row)
{
    return EdgeDistance(column, row) < kRimWidth;
}

// The demo map: 64 x 64 cells of hills with a lake, four terrain tiles, sky, a few objects with
// property keywords, a light file, detail objects and a water definition.
void GenerateDemoMap(const DemoDataWriter& out)
{
    // Terrain tiles: grass, sand, rock, road.
    out.writeFile("Maps/tWorld/0.tga", WriteTga(Pattern(0xFF3E7A32u, 0xFF2E6226u, 1), 24));
    out.writeFile("Maps/tWorld/1.tga", WriteTga(Pattern(0xFFC8B47Cu, 0xFFB09C68u, 2), 24));
    out.writeFile("Maps/tWorld/2.tga", WriteTga(Pattern(0xFF7A7672u, 0xFF5E5A56u, 3), 24));
    out.writeFile("Maps/tWorld/3.tga", WriteTga(Pattern(0xFF5A4A3Au, 0xFF4A3C2Eu, 4), 24));
    out.writeFile("Maps/tWorld/bark.tga", WriteTga(Pattern(0xFF5C4026u, 0xFF4A321Cu, 5), 24));
    out.writeFile("Maps/tWorld/leaves.tga", WriteTga(Pattern(0xFF2C6A22u, 0xFF3C8A30u, 6), 24));
    {
        // A soft round glow, white with a falling alpha.
        TgaImage glow(32, 32, 0x00FFFFFFu);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const float d = std::hypot(float(x) - 15.5f, float(y) - 15.5f) / 16.0f;
                glow.At(x, y) = std::uint32_t(std::clamp(1.0f - d, 0.0f, 1.0f) * 255.0f) << 24 | 0x00FFF0C0u;
            }
        out.writeFile("Maps/tWorld/glow.tga", WriteTga(glow, 32));
    }
    out.writeFile("Maps/tWorld/wall.tga", WriteTga(Pattern(0xFFB8A890u, 0xFFA09078u, 7), 24));

    // Models are read at a tenth of their size.
    Q3dObject tree;
    tree.name = "tree";
    tree.materials = {Textured("bark", "bark.tga"), Textured("leaves", "leaves.tga")};
    AddQ3dCylinder(tree, 4.0f, 3.0f, 40.0f, 8, 0);
    Q3dObject crown;
    AddQ3dCylinder(crown, 25.0f, 0.0f, 90.0f, 10, 1);
    for (Q3dTriangle& t : crown.triangles) {
        for (Q3dVertex& v : t.vertices)
            v.position[1] += 30.0f;
        tree.triangles.push_back(t);
    }
    out.writeFile("Maps/tWorld/tree.q3d", WriteQ3dModel({tree}));

    Q3dObject far;
    far.name = "treelow";
    far.materials = {Textured("leaves", "leaves.tga")};
    AddQ3dCylinder(far, 25.0f, 0.0f, 120.0f, 5, 0);
    out.writeFile("Maps/tWorld/treelow.q3d", WriteQ3dModel({far}));

    Q3dObject house;
    house.name = "house";
    house.materials = {Textured("wall", "wall.tga")};
    AddQ3dBox(house, 60.0f, 40.0f, 50.0f, 0);
    for (Q3dTriangle& t : house.triangles)
        for (Q3dVertex& v : t.vertices)
            v.position[1] += 40.0f;
    out.writeFile("Maps/tWorld/house.q3d", WriteQ3dModel({house}));

    Q3dObject lamp;
    lamp.name = "lamp";
    lamp.materials = {Textured("wall", "wall.tga")};
    AddQ3dCylinder(lamp, 2.0f, 2.0f, 50.0f, 6, 0);
    out.writeFile("Maps/tWorld/lamp.q3d", WriteQ3dModel({lamp}));

    Q3dObject windmill;
    windmill.name = "vane";
    windmill.materials = {Textured("wall", "wall.tga")};
    AddQ3dBox(windmill, 40.0f, 4.0f, 4.0f, 0);
    out.writeFile("Maps/tWorld/vane.q3d", WriteQ3dModel({windmill}));

    Q3dObject grass;
    grass.name = "grass";
    grass.materials = {Textured("grass", "leaves.tga")};
    AddQ3dCylinder(grass, 3.0f, 0.0f, 8.0f, 3, 0);
    out.writeFile("Maps/tWorld/grass.q3d", WriteQ3dModel({grass}));

    // Sky: a dome around the camera, a cloud layer and a star box; the sky draws them ten times
    // their size.
    out.writeFile("Maps/Sky/clouds.tga", WriteTga(Pattern(0x80FFFFFFu, 0xC0FFFFFFu, 8), 32));
    out.writeFile("Maps/Sky/sky.tga", WriteTga(TgaImage(16, 16, 0xFF80B0E0u), 24));
    Q3dObject dome;
    dome.name = "dome";
    dome.materials = {Textured("sky", "sky.tga")};
    dome.materials[0].flags = 1;
    AddQ3dCylinder(dome, 40.0f, 25.0f, 30.0f, 16, 0, 0xFF80B0E0u);
    for (Q3dTriangle& t : dome.triangles)
        for (Q3dVertex& v : t.vertices)
            v.position[1] -= 10.0f;
    out.writeFile("Maps/Sky/skydome.q3d", WriteQ3dModel({dome}));
    Q3dObject clouds;
    clouds.name = "clouds";
    clouds.materials = {Textured("clouds", "sky.tga")};
    clouds.materials[0].flags = 1;
    AddQ3dBox(clouds, 45.0f, 0.1f, 45.0f, 0);
    for (Q3dTriangle& t : clouds.triangles)
        for (Q3dVertex& v : t.vertices)
            v.position[1] += 2.5f;
    out.writeFile("Maps/Sky/clouds.q3d", WriteQ3dModel({clouds}));
    Q3dObject stars;
    stars.name = "stars";
    stars.materials = {Q3dMaterial{}};
    AddQ3dBox(stars, 45.0f, 45.0f, 45.0f, 0, 0xFF101020u);
    out.writeFile("Maps/Sky/starbox.q3d", WriteQ3dModel({stars}));

    // The water definition and the detail objects. The wave field's heights reach about 2, so a
    // wave height of 0.5 gives waves of about a unit over the lake's 10-unit cells.
    out.writeText("Maps/Water/water.def",
                  "// wave height, amplitude, choppiness, damping\n0.5\n256\n0.015\n0.00005\n"
                  "// colour 1 and 2 (0-255)\n60\n110\n140\n30\n70\n90\n// shader constants\n4\n10\n");
    out.writeText("Maps/tWorld/DetailObj.def", "60\n0\n0\n4 0.8 1.2\nGrass\n");

    MapFile map;
    map.title = "Demo Valley";
    map.width = map.height = kSide;
    map.SizeBlocks();
    for (int r = 0; r < kSide; ++r)
        for (int c = 0; c < kSide; ++c) {
            const int h = HeightSample(c, r);
            std::uint8_t* texel = &map.heightData[std::size_t(r * kSide + c) * 3];
            texel[0] = std::uint8_t(h);
            texel[1] = texel[2] = std::uint8_t(h);
            const float lake = std::hypot(float(c - 24), float(r - 40));
            std::uint16_t tile = 0;
            if (EdgeDistance(c, r) <= kRimWidth)
                tile = 2; // the rim and the cliff under it
            else if (c == 44 || c == 45)
                tile = 3;
            else if (lake < 14.0f)
                tile = 1;
            else if (h > 125)
                tile = 2;
            map.colorData[std::size_t(r * kSide + c)] = tile;
        }
    // The lake's block: cells 16-31, rows 32-47. The bowl is wider than the block, so the water
    // stands below the lowest ground along the block's edges (41 x the height scale) and the
    // square's sides stay hidden in the slopes.
    map.waterData[std::size_t(2 * (kSide / 16) + 1)] = 34;
    map.heightScale = kHeightScale;
    map.cellSize = kCell;
    map.viewDistance = 600.0f;
    map.start[0] = 0, map.start[1] = Corner(32, 32).y, map.start[2] = 0;
    map.lighting[0][0] = 0.6f; // fog from 60 % of the view distance
    map.groups = {"Trees", "Buildings", "Grass"};
    map.entries = {
        {"tree.q3d", "Tree", {"sway Y 1.5 -2 2", "lod treelow 150 1000", "takeshadow", "", ""}, 0, 0},
        {"treelow.q3d", "treelow", {}, 0, 0},
        // The house and the lamp are the mission's objectives: each fires its trigger when the
        // squad comes near.
        {"house.q3d", "House", {"drawdist 500", "takeshadow", "colmesh house.q3d", "nocollisionalpha wall", "trigger 1 0 40"}, 1, 0},
        {"lamp.q3d", "Lamp", {"light 60 1 0.8 0.5 FLICKER 200 400 70 100", "glow Maps/tWorld/glow.tga 0 5 0", "alwayscollide", "trigger 2 0 20", ""}, 1, 0},
        {"vane.q3d", "Vane", {"rotate Z 1.5", "nocollision", "", "", ""}, 1, 0},
        {"grass.q3d", "Grass", {"ambonly", "", "", "", ""}, 2, 0},
        // The guard post by the eastern guard holds the intelligence the squad must take, and the
        // exit zone in the west is where the mission ends once it is done.
        {"lamp.q3d", "GuardPost", {"trigger 3 3 Take the intelligence", "", "", "", ""}, 1, 0},
        {"lamp.q3d", "ExitZone", {"EXITZONE", "invisible", "nocollision", "", ""}, 1, 0},
    };
    for (const auto& [c, r] : {std::pair{10, 12}, {14, 18}, {20, 10}, {36, 22}, {50, 14}, {54, 50}, {8, 52}, {38, 54}})
        map.placements.push_back(Place(c, r, 1.0f, 0, 0.5f));
    map.placements.push_back(Place(48, 30, 1.0f, 2, 1.0f));
    map.placements.push_back(Place(47, 36, 1.0f, 3));
    MapFilePlacement vane = Place(50, 30, 1.0f, 4);
    vane.position[1] += 9.0f;
    map.placements.push_back(vane);
    map.placements.push_back(Place(56, 37, 1.0f, 6));
    map.placements.push_back(Place(12, 40, 4.0f, 7));
    const auto groundHeight = [](float x, float z) {
        return float(HeightSample(int(std::lround((x + kSide * kCell / 2.0f) / kCell)), int(std::lround((kSide * kCell / 2.0f - z) / kCell)))) * kHeightScale;
    };
    AddDemoEffectObjects(out, map, groundHeight);
    AddDemoPopulationObjects(out, map, groundHeight);
    AddDemoAirstrikeObjects(out, map, groundHeight);
    AddDemoVehicleObjects(out, map, groundHeight);
    out.writeFile("Maps/Demo/area.mpb", WriteMapFile(map));
    GenerateDemoWaterShaders(out, map.waterPath);

    // The light file: terrain light from the slope towards the sun, no patch images.
    LightFile light;
    light.width = light.height = kSide;
    light.patchColumns = light.patchRows = kSide / 16;
    light.textureSize = 64;
    light.terrainLight.resize(std::size_t(kSide) * kSide * 3);
    for (int r = 0; r < kSide; ++r)
        for (int c = 0; c < kSide; ++c) {
            const float slope = float(HeightSample(std::min(c + 1, kSide - 1), r) - HeightSample(c, r));
            const int v = std::clamp(200 - int(slope * 4.0f), 90, 255);
            std::uint8_t* texel = &light.terrainLight[std::size_t(r * kSide + c) * 3];
            texel[0] = std::uint8_t(v), texel[1] = std::uint8_t(v), texel[2] = std::uint8_t(std::min(v + 10, 255));
        }
    light.patchImages.assign(std::size_t(light.patchColumns * light.patchRows), {});
    light.patchValues.assign(std::size_t(light.patchColumns * light.patchRows), 0);
    out.writeFile("Maps/Demo/area.lmp", WriteLightFile(light));
}
