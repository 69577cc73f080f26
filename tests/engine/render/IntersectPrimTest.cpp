#include <cstring>

#include "engine/core/HitResult.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "tests/renderer/RendererFixture.h"

namespace {

class IntersectPrimTest : public RendererTest {
protected:
    // A system-memory prim of positions only (12-byte vertices).
    D3DPrim* MakePrim(int type, const std::vector<Vector3>& points, const std::vector<std::uint16_t>& indices = {})
    {
        VertexLayout layout;
        layout.offsets[VertexLayout::Position] = 0;
        layout.vertexSize = 12;
        D3DPrim* prim = nullptr;
        device->CreatePrim(&prim);
        EXPECT_EQ(prim->Create(type, int(points.size()), int(indices.size()), &layout, PrimSystemMemory), 0);
        std::memcpy(prim->GetVertices(true, true), points.data(), points.size() * 12);
        if (!indices.empty())
            std::memcpy(prim->GetIndices(true, true), indices.data(), indices.size() * 2);
        prim->material = &material;
        return prim;
    }

    HitResult Ray(Vector3 origin, Vector3 direction)
    {
        HitResult hit;
        hit.origin = origin;
        hit.direction = direction;
        return hit;
    }

    Material material;
};

// Clockwise seen from -z, so its front faces a ray travelling along +z from z < 0.
const std::vector<Vector3> kFacing = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}};

} // namespace

TEST_F(IntersectPrimTest, HitsTheNearestFrontFace)
{
    std::vector<Vector3> points = kFacing;
    for (const Vector3& p : kFacing)
        points.push_back(p + Vector3(0, 0, 2));
    D3DPrim* prim = MakePrim(PrimTriangleList, points);
    HitResult hit = Ray({0.25f, 0.25f, -5}, {0, 0, 1});
    int i0 = -1, i1 = -1, i2 = -1;
    ASSERT_TRUE(hit.IntersectPrim(prim, nullptr, &i0, &i1, &i2));
    EXPECT_FLOAT_EQ(hit.distance, 5.0f);
    EXPECT_EQ(hit.hitObject, &material);
    EXPECT_EQ(hit.hitPoint, Vector3(0.25f, 0.25f, 0));
    EXPECT_EQ(i0, 0);
    EXPECT_EQ(i2, 2);
    EXPECT_EQ(hit.hitCount, 1);
    prim->Destroy();
}

TEST_F(IntersectPrimTest, BackFacesMissUnlessTwoSided)
{
    D3DPrim* prim = MakePrim(PrimTriangleList, kFacing);
    HitResult hit = Ray({0.25f, 0.25f, 5}, {0, 0, -1});
    EXPECT_FALSE(hit.IntersectPrim(prim, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(hit.distance, kNoHit);
    material.cullFlags = Material::kTwoSided;
    hit = Ray({0.25f, 0.25f, 5}, {0, 0, -1});
    int i0 = -1, i2 = -1;
    ASSERT_TRUE(hit.IntersectPrim(prim, nullptr, &i0, nullptr, &i2));
    EXPECT_FLOAT_EQ(hit.distance, 5.0f);
    // Reversed triangle: the normal points back at the ray, the corners swapped.
    EXPECT_GT(hit.normal.z, 0.0f);
    EXPECT_EQ(i0, 2);
    EXPECT_EQ(i2, 0);
    prim->Destroy();
}

TEST_F(IntersectPrimTest, FilterRefusesHitsAndFansAndIndicesAreWalked)
{
    D3DPrim* fan = MakePrim(PrimTriangleFan, {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}}, {0, 1, 2, 3});
    HitResult hit = Ray({0.75f, 0.25f, -1}, {0, 0, 1});
    int i1 = -1;
    ASSERT_TRUE(hit.IntersectPrim(fan, nullptr, nullptr, &i1, nullptr));
    EXPECT_EQ(i1, 2); // second triangle of the fan: (0, 2, 3)
    hit = Ray({0.75f, 0.25f, -1}, {0, 0, 1});
    const auto refuse = [](D3DPrim*, HitResult&, int*, int*, int*) { return false; };
    EXPECT_FALSE(hit.IntersectPrim(fan, refuse, nullptr, nullptr, nullptr));
    fan->Destroy();

    // Indices beyond the vertex array and incomplete triangles are skipped.
    D3DPrim* broken = MakePrim(PrimTriangleList, kFacing, {0, 1, 9, 0});
    hit = Ray({0.25f, 0.25f, -1}, {0, 0, 1});
    EXPECT_FALSE(hit.IntersectPrim(broken, nullptr, nullptr, nullptr, nullptr));
    broken->Destroy();

    D3DPrim* lines = MakePrim(PrimLineList, kFacing);
    hit = Ray({0.25f, 0.25f, -1}, {0, 0, 1});
    EXPECT_FALSE(hit.IntersectPrim(lines, nullptr, nullptr, nullptr, nullptr));
    lines->Destroy();
}
