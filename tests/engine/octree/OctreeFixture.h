#pragma once

#include <cmath>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "engine/core/Geometry.h"
#include "tests/renderer/RendererFixture.h"
#include "tools/demodata/writers/OctWriter.h"
#include "tools/demodata/writers/TgaWriter.h"

// A face as the tests build it: corners in engine units (the file holds eight times them).
inline std::vector<OctVertex> Corners(std::initializer_list<Vector3> points)
{
    std::vector<OctVertex> corners;
    for (const Vector3& p : points) {
        OctVertex v;
        v.position[0] = p.x * 8.0f;
        v.position[1] = p.y * 8.0f;
        v.position[2] = p.z * 8.0f;
        v.uv[0] = p.x;
        v.uv[1] = p.z;
        v.lightmapUv[0] = 0.5f;
        v.lightmapUv[1] = 0.5f;
        corners.push_back(v);
    }
    return corners;
}

// A floor of n x n unit quads facing up around the origin, alternating two textures and two
// lightmaps by column and row, with a wall of quads facing -z behind it.
inline OctModel FloorAndWall(int n)
{
    OctModel model;
    model.materials = {"stone", "brick"};
    model.lightmaps = {OctLightmap{}, OctLightmap{}};
    const float half = float(n) / 2.0f;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const float x = float(i) - half, z = float(j) - half;
            model.AddFace(Corners({{x, 0, z}, {x, 0, z + 1}, {x + 1, 0, z + 1}, {x + 1, 0, z}}), i % 2, j % 2);
        }
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < 3; ++k) {
            const float x = float(i) - half, y = float(k);
            model.AddFace(Corners({{x, y, half}, {x, y + 1, half}, {x + 1, y + 1, half}, {x + 1, y, half}}), 1, 0);
        }
    model.extras.push_back(OctExtra{{8, 16, 24}, {1.0f, 0.5f, 0.25f}, 7.0f});
    model.trailer[0] = 8, model.trailer[1] = 16, model.trailer[2] = 24;
    return model;
}

// Textures the models above name, in the current folder.
inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline void WriteStoneAndBrick(const std::string& folder = "")
{
    WriteBytes(folder + "stone.tga", WriteTga(TgaImage(16, 16, 0xFF808080u), 24));
    WriteBytes(folder + "brick.tga", WriteTga(TgaImage(16, 16, 0xFFA04030u), 24));
}

inline void ExpectNear(const Vector3& a, const Vector3& b, float tolerance = 1e-4f)
{
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

// The model's triangles in engine units, for brute-force picks.
struct TestTriangle {
    Vector3 a, b, c;
    int face;
};

inline std::vector<TestTriangle> Triangles(const OctModel& model)
{
    std::vector<TestTriangle> triangles;
    auto at = [&](int i) {
        const OctVertex& v = model.vertices[std::size_t(i)];
        return Vector3(v.position[0] * 0.125f, v.position[1] * 0.125f, v.position[2] * 0.125f);
    };
    for (std::size_t f = 0; f < model.faces.size(); ++f) {
        const OctFace& face = model.faces[f];
        for (int j = 0; j + 2 < face.vertexCount; ++j)
            triangles.push_back(TestTriangle{at(face.firstVertex), at(face.firstVertex + j + 1),
                                             at(face.firstVertex + j + 2), int(f)});
    }
    return triangles;
}

// Nearest front-face hit over all triangles; distance 3.4e38 when none.
inline HitResult BruteForcePick(const std::vector<TestTriangle>& triangles, const Vector3& origin,
                                const Vector3& direction, int* face)
{
    HitResult best;
    best.origin = origin;
    best.direction = direction;
    *face = -1;
    for (const TestTriangle& t : triangles) {
        HitResult work = best;
        const Vector3 n = TriangleNormal(t.a, t.b, t.c);
        if (TriangleIntersectRay(work, t.a, t.b, t.c, &n) && work.distance < best.distance) {
            best.distance = work.distance;
            best.hitPoint = work.hitPoint;
            *face = t.face;
        }
    }
    return best;
}
