#include <cmath>
#include <string>
#include <vector>

#include "tools/demodata/DemoData.h"
#include "tools/demodata/writers/OctWriter.h"
#include "tools/demodata/writers/TgaWriter.h"

namespace {

// Positions in the file are eight times the engine's units.
constexpr float kFileScale = 8.0f;
constexpr int kCellsPerRow = 4; // lightmap pages are split into 4 x 4 cells, one a face
constexpr float kPi = 3.14159265f;

struct Point {
    float x, y, z;
};

Point operator+(Point a, Point b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Point operator*(Point a, float s) { return {a.x * s, a.y * s, a.z * s}; }
Point Cross(Point a, Point b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
float Dot(Point a, Point b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

class LevelBuilder {
public:
    explicit LevelBuilder(OctModel& model) : model(model) {}

    // A convex polygon seen from the side the normal points to; uvs repeat every tile units
    // along the two given axes, the lightmap uv spans the face's own cell.
    void Polygon(std::vector<Point> corners, Point normal, int material, Point uAxis, Point vAxis, float tile)
    {
        // Front faces wind so that (b - a) x (c - a) points at the viewer.
        const Point a = corners[0], b = corners[1], c = corners[2];
        const Point n = Cross(b + a * -1.0f, c + a * -1.0f);
        if (Dot(n, normal) < 0.0f)
            corners = std::vector<Point>(corners.rbegin(), corners.rend());
        const int cell = faceCount % (kCellsPerRow * kCellsPerRow);
        const int page = (faceCount / (kCellsPerRow * kCellsPerRow)) % int(model.lightmaps.size());
        ++faceCount;
        float minU = 1e9f, maxU = -1e9f, minV = 1e9f, maxV = -1e9f;
        for (const Point& p : corners) {
            minU = std::fmin(minU, Dot(p, uAxis));
            maxU = std::fmax(maxU, Dot(p, uAxis));
            minV = std::fmin(minV, Dot(p, vAxis));
            maxV = std::fmax(maxV, Dot(p, vAxis));
        }
        std::vector<OctVertex> vertices;
        for (const Point& p : corners) {
            OctVertex v;
            v.uv[0] = Dot(p, uAxis) / tile;
            v.uv[1] = -Dot(p, vAxis) / tile;
            const float su = maxU > minU ? (Dot(p, uAxis) - minU) / (maxU - minU) : 0.0f;
            const float sv = maxV > minV ? (maxV - Dot(p, vAxis)) / (maxV - minV) : 0.0f;
            // Half a texel in from the cell's edges so that filtering stays inside it.
            const float cellSize = 1.0f / kCellsPerRow, inset = 0.5f / 128.0f;
            v.lightmapUv[0] = (float(cell % kCellsPerRow) + su) * cellSize * (1 - 2 * inset) + inset;
            v.lightmapUv[1] = (float(cell / kCellsPerRow) + sv) * cellSize * (1 - 2 * inset) + inset;
            v.position[0] = p.x * kFileScale;
            v.position[1] = p.y * kFileScale;
            v.position[2] = p.z * kFileScale;
            vertices.push_back(v);
        }
        model.AddFace(vertices, material, page);
    }

    // An axis-aligned rectangle from corner over the edges u and v.
    void Rect(Point corner, Point u, Point v, Point normal, int material, Point uAxis, Point vAxis, float tile = 2.0f)
    {
        Polygon({corner, corner + u, corner + u + v, corner + v}, normal, material, uAxis, vAxis, tile);
    }

private:
    OctModel& model;
    int faceCount = 0;
};

// A lightmap page: every cell bright at its top, darker towards its bottom, with a warm tint.
OctLightmap Page(float strength)
{
    OctLightmap page;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const float inCell = float(y % 32) / 31.0f;
            const float light = strength * (1.0f - 0.5f * inCell);
            std::uint8_t* p = &page.pixels[std::size_t(y * 128 + x) * 3];
            p[0] = std::uint8_t(200.0f * light); // blue
            p[1] = std::uint8_t(230.0f * light); // green
            p[2] = std::uint8_t(250.0f * light); // red
        }
    return page;
}

TgaImage Concrete()
{
    TgaImage image(64, 64, 0xFF9A968Eu);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            if ((x * 7 + y * 13) % 17 == 0)
                image.At(x, y) = 0xFF86827Au;
    image.Fill(0, 31, 64, 2, 0xFF6E6A64u);
    return image;
}

// Bars with clear gaps between them: a translucent surface.
TgaImage Grate()
{
    TgaImage image(32, 32, 0x00000000u);
    for (int i = 0; i < 32; i += 8) {
        image.Fill(i, 0, 3, 32, 0xFF505A60u);
        image.Fill(0, i, 32, 3, 0xFF505A60u);
    }
    return image;
}

} // namespace

// A concrete bunker as an octree level mesh: outer and inner walls with a doorway, a grated
// window, a flat roof and a pentagonal plinth inside, lit by two lightmap pages.
void GenerateOctreeMeshes(const DemoDataWriter& out)
{
    const std::string folder = "GameData/Models/Structures/";
    out.writeFile(folder + "bunker_concrete.tga", WriteTga(Concrete(), 24));
    out.writeFile(folder + "bunker_grate.tga", WriteTga(Grate(), 32));

    OctModel model;
    model.materials = {"bunker_concrete", "bunker_grate"};
    model.lightmaps = {Page(1.0f), Page(0.7f)};
    LevelBuilder level(model);
    const int concrete = 0, grate = 1;
    const Point x{1, 0, 0}, y{0, 1, 0}, z{0, 0, 1};
    const Point minusX{-1, 0, 0}, minusY{0, -1, 0}, minusZ{0, 0, -1};
    constexpr float kHalfWidth = 4.0f, kHalfDepth = 3.0f, kHeight = 3.0f, kDoor = 0.75f, kDoorHeight = 2.0f;
    constexpr float kWall = 0.25f;

    // Outside: roof, back, sides and the front around the doorway.
    level.Rect({-kHalfWidth, kHeight, -kHalfDepth}, x * (2 * kHalfWidth), z * (2 * kHalfDepth), y, concrete, x, z);
    level.Rect({-kHalfWidth, 0, kHalfDepth}, x * (2 * kHalfWidth), y * kHeight, z, concrete, x, y);
    level.Rect({-kHalfWidth, 0, -kHalfDepth}, z * (2 * kHalfDepth), y * kHeight, minusX, concrete, z, y);
    level.Rect({kHalfWidth, 0, -kHalfDepth}, z * (2 * kHalfDepth), y * kHeight, x, concrete, z, y);
    level.Rect({-kHalfWidth, 0, -kHalfDepth}, x * (kHalfWidth - kDoor), y * kHeight, minusZ, concrete, x, y);
    level.Rect({kDoor, 0, -kHalfDepth}, x * (kHalfWidth - kDoor), y * kHeight, minusZ, concrete, x, y);
    level.Rect({-kDoor, kDoorHeight, -kHalfDepth}, x * (2 * kDoor), y * (kHeight - kDoorHeight), minusZ, concrete, x, y);

    // Inside, a wall's thickness in: floor, ceiling and the four walls facing in.
    const float ix = kHalfWidth - kWall, iz = kHalfDepth - kWall, top = kHeight - kWall;
    level.Rect({-ix, 0.01f, -iz}, x * (2 * ix), z * (2 * iz), y, concrete, x, z);
    level.Rect({-ix, top, -iz}, x * (2 * ix), z * (2 * iz), minusY, concrete, x, z);
    level.Rect({-ix, 0, iz}, x * (2 * ix), y * top, minusZ, concrete, x, y);
    level.Rect({-ix, 0, -iz}, z * (2 * iz), y * top, x, concrete, z, y);
    level.Rect({ix, 0, -iz}, z * (2 * iz), y * top, minusX, concrete, z, y);
    level.Rect({-ix, 0, -iz}, x * (ix - kDoor), y * top, z, concrete, x, y);
    level.Rect({kDoor, 0, -iz}, x * (ix - kDoor), y * top, z, concrete, x, y);
    level.Rect({-kDoor, kDoorHeight, -iz}, x * (2 * kDoor), y * (top - kDoorHeight), z, concrete, x, y);
    // The doorway's reveals and lintel.
    level.Rect({-kDoor, 0, -kHalfDepth}, z * kWall, y * kDoorHeight, x, concrete, z, y);
    level.Rect({kDoor, 0, -kHalfDepth}, z * kWall, y * kDoorHeight, minusX, concrete, z, y);
    level.Rect({-kDoor, kDoorHeight, -kHalfDepth}, x * (2 * kDoor), z * kWall, minusY, concrete, x, z);

    // A grate in the right wall's window, visible from both sides.
    level.Rect({kHalfWidth + 0.01f, 1.2f, -1.0f}, z * 2.0f, y * 1.0f, x, grate, z, y, 1.0f);
    level.Rect({ix - 0.01f, 1.2f, -1.0f}, z * 2.0f, y * 1.0f, minusX, grate, z, y, 1.0f);

    // A pentagonal plinth: a five-cornered top and its five sides.
    constexpr float kPlinthRadius = 0.8f, kPlinthHeight = 0.4f;
    const Point centre{0.0f, 0.0f, 1.0f};
    std::vector<Point> corners;
    for (int i = 0; i < 5; ++i) {
        const float angle = 2.0f * kPi * float(i) / 5.0f;
        corners.push_back(centre + Point{std::cos(angle) * kPlinthRadius, kPlinthHeight, std::sin(angle) * kPlinthRadius});
    }
    level.Polygon(corners, y, concrete, x, z, 2.0f);
    for (int i = 0; i < 5; ++i) {
        const Point a = corners[std::size_t(i)], b = corners[std::size_t((i + 1) % 5)];
        const Point outward = (a + b) * 0.5f + centre * -1.0f;
        const Point down{0, -kPlinthHeight, 0};
        level.Polygon({a, b, b + down, a + down}, outward, concrete, x, y, 2.0f);
    }

    model.extras.push_back(OctExtra{{0.0f, 2.5f * kFileScale, 0.0f}, {1.0f, 0.9f, 0.7f}, 40.0f});
    model.extras.push_back(OctExtra{{0.0f, 1.5f * kFileScale, -4.0f * kFileScale}, {0.6f, 0.7f, 1.0f}, 24.0f});
    model.trailer[0] = 0.0f;
    model.trailer[1] = kHeight * kFileScale;
    model.trailer[2] = 0.0f;
    out.writeFile(folder + "bunker.oct", WriteOctFile(model));
}
