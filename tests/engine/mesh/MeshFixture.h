#pragma once

#include <array>
#include <vector>

#include "engine/core/Vector.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "engine/mesh/MeshVertices.h"
#include "engine/mesh/qMesh.h"
#include "tests/renderer/RendererFixture.h"

// One mesh vertex as tests write it.
struct TestVertex {
    Vector3 position;
    float u = 0.0f, v = 0.0f;
};

class MeshTestBase : public RendererTest {
protected:
    void SetUp() override
    {
        RendererTest::SetUp();
        OpenWindowed();
    }

    // A triangle-list prim in the lit-textured layout, optionally indexed, with the material.
    D3DPrim* MakePrim(const std::vector<TestVertex>& vertices, Material* material,
                      const std::vector<std::uint16_t>& indices = {}, std::uint32_t flags = 0)
    {
        D3DPrim* prim = nullptr;
        device->CreatePrim(&prim);
        VertexLayout layout;
        layout.InitLitTextured();
        EXPECT_EQ(prim->Create(PrimTriangleList, int(vertices.size()), int(indices.size()), &layout, flags), 0);
        {
            MeshVertices access(prim, true);
            for (int i = 0; i < int(vertices.size()); ++i) {
                access.SetPosition(i, vertices[std::size_t(i)].position);
                access.SetTexCoord(0, i, vertices[std::size_t(i)].u, vertices[std::size_t(i)].v);
                access.SetDiffuse(i, 0xFF808080u);
            }
        }
        if (!indices.empty()) {
            std::uint16_t* target = prim->GetIndices(true, true);
            std::copy(indices.begin(), indices.end(), target);
            prim->Nop6();
        }
        prim->material = material;
        return prim;
    }

    static std::vector<Vector3> Positions(D3DPrim* prim)
    {
        MeshVertices access(prim, false);
        std::vector<Vector3> out;
        for (int i = 0; i < access.Count(); ++i)
            out.push_back(access.Position(i));
        return out;
    }

    static std::vector<Vector3> Normals(D3DPrim* prim)
    {
        MeshVertices access(prim, false);
        std::vector<Vector3> out;
        for (int i = 0; i < access.Count(); ++i)
            out.push_back(access.Normal(i));
        return out;
    }
};

inline void ExpectNear(const Vector3& a, const Vector3& b, float tolerance = 1e-5f)
{
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}
