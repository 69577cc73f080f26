#include <cmath>
#include <cstring>
#include <functional>
#include <memory>

#include "engine/camera/Camera.h"
#include "engine/core/q3DError.h"
#include "engine/mesh/MeshNode.h"
#include "engine/mesh/ModelMesh.h"
#include "tests/engine/mesh/MeshFixture.h"
#include "tests/engine/mesh/RecordingDevice.h"
#include "tools/demodata/writers/Q3dWriter.h"

namespace {

std::string DemoModel(const char* name)
{
    return std::string(BEXAL_DATA_DIR) + "/GameData/Models/Props/" + name;
}

std::string LoadError(const std::function<void()>& action)
{
    try {
        action();
    } catch (const q3DError& e) {
        return e.GetText();
    }
    return "";
}

class MeshNodeTest : public MeshTestBase {
protected:
    // A node holding one triangle, facing -z, in its local x-y plane: (0,0,0), (0,1,0), (1,0,0).
    std::unique_ptr<MeshNode> TriangleNode()
    {
        auto node = std::make_unique<MeshNode>();
        auto* mesh = new qMesh(device, 0);
        mesh->prims.push_back(MakePrim({{{0, 0, 0}}, {{0, 1, 0}}, {{1, 0, 0}}}, new Material()));
        mesh->ComputeBounds();
        node->SetMesh(mesh);
        return node;
    }
};

} // namespace

TEST_F(MeshNodeTest, LoadTakesTheObjectInChildOrderWithItsNameTransformAndProperties)
{
    // The tent's file lists "wall" then "roof"; index 0 is the object the reader added last.
    MeshNode roof;
    roof.Load(device, DemoModel("tent.q3d").c_str(), nullptr, 0);
    EXPECT_STREQ(roof.GetName(), "roof");
    ASSERT_NE(roof.properties, nullptr);
    EXPECT_STREQ(roof.properties, "collide");
    EXPECT_EQ(roof.position, Vector3(0, 1, 0));
    ASSERT_NE(roof.GetMesh(), nullptr);
    EXPECT_EQ(roof.GetMesh()->welded, 1);
    EXPECT_EQ(roof.GetParent(), nullptr);
    EXPECT_EQ(roof.GetChildCount(), 0);

    MeshNode wall;
    wall.Load(device, DemoModel("tent.q3d").c_str(), nullptr, 1);
    EXPECT_STREQ(wall.GetName(), "wall");
    EXPECT_EQ(wall.properties, nullptr);
}

TEST_F(MeshNodeTest, LoadedBoxIsWeldedIntoOneIndexedPrimWithItsBounds)
{
    MeshNode crate;
    crate.Load(device, DemoModel("crate.q3d").c_str(), nullptr, 0);
    qMesh* mesh = crate.GetMesh();
    ASSERT_EQ(mesh->GetPrimCount(), 1);
    // Corners shared by faces weld where their uvs agree too.
    EXPECT_LT(mesh->prims[0]->GetVertexCount(true), 36);
    EXPECT_EQ(mesh->prims[0]->GetIndexCount(true), 36);
    ExpectNear(mesh->GetBoundingBox().min, Vector3(-0.5f, -0.5f, -0.5f));
    ExpectNear(mesh->GetBoundingBox().max, Vector3(0.5f, 0.5f, 0.5f));
    EXPECT_NEAR(mesh->GetRadius(), std::sqrt(0.75f), 1e-5f);
    const Material* material = mesh->prims[0]->material;
    ASSERT_NE(material, nullptr);
    EXPECT_STREQ(material->name, "crate");
    ASSERT_NE(material->texture[0], nullptr);
    EXPECT_EQ(material->texture[0]->GetWidth(), 64);
    // The welded, indexed prim answers picks: the crate stands on y = 0 with its -z face at -0.5.
    crate.UpdateTransform(0.0f);
    HitResult hit;
    hit.origin = Vector3(0.1f, 0.6f, -5);
    hit.direction = Vector3(0, 0, 1);
    ASSERT_TRUE(crate.IntersectRay(hit, nullptr));
    ExpectNear(hit.hitPoint, Vector3(0.1f, 0.6f, -0.5f));
    EXPECT_NEAR(hit.distance, 4.5f, 1e-5f);
    EXPECT_EQ(hit.hitObject, material);
    // Normals are the caller's to compute; a welded box then has face normals at its corners'
    // summed directions.
    mesh->ComputeNormals();
    for (const Vector3& n : Normals(mesh->prims[0]))
        EXPECT_NEAR(n.Length(), 1.0f, 1e-5f);
}

TEST_F(MeshNodeTest, LoadRefusesObjectsThatAreNotInTheFileAndBadFiles)
{
    MeshNode node;
    struct Case {
        const char* name;
        std::function<void()> load;
        const char* expected;
    };
    WriteFile("short.q3d", WriteQ3dModel({}));
    std::vector<std::uint8_t> truncated = ReadFile(DemoModel("crate.q3d"));
    truncated.resize(truncated.size() - 50);
    WriteFile("truncated.q3d", truncated);
    WriteFile("crate.tga", ReadFile(DemoModel("crate.tga")));
    std::vector<std::uint8_t> hugeCount = ReadFile(DemoModel("crate.q3d"));
    hugeCount[4] = hugeCount[5] = hugeCount[6] = hugeCount[7] = 0xFF;
    WriteFile("hugecount.q3d", hugeCount);
    const Case cases[] = {
        {"past the last object", [&] { node.Load(device, DemoModel("tent.q3d").c_str(), nullptr, 2); },
         "Can't load object 2 of"},
        {"negative index", [&] { node.Load(device, DemoModel("tent.q3d").c_str(), nullptr, -1); },
         "Can't load object -1 of"},
        {"no objects", [&] { node.Load(device, "short.q3d", nullptr, 0); }, "Can't load object 0 of short.q3d"},
        {"missing file", [&] { node.Load(device, "nothere.q3d", nullptr, 0); }, "Can't find file nothere.q3d"},
        {"truncated", [&] { node.Load(device, "truncated.q3d", nullptr, 0); }, "Corrupt q3D file truncated.q3d"},
        {"object count", [&] { node.Load(device, "hugecount.q3d", nullptr, 0); }, "Corrupt q3D file hugecount.q3d"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string error = LoadError(c.load);
        EXPECT_EQ(error.rfind(c.expected, 0), 0u) << error;
        EXPECT_EQ(node.GetMesh(), nullptr);
    }
}

TEST_F(MeshNodeTest, DrawIsCulledByTheCameraAndTurnsClippingOffWhenWhollyInside)
{
    RecordingDevice recorder(device);
    Camera camera(&recorder); // at the origin looking along +z
    camera.UpdateTransform(0.0f);
    std::unique_ptr<MeshNode> node = TriangleNode();

    struct Case {
        const char* name;
        Vector3 position;
        bool cull;
        bool drawn;
        std::vector<bool> clipping;
    };
    const Case cases[] = {
        {"in front", {0, 0, 10}, true, true, {false, true}},
        {"behind", {0, 0, -10}, true, false, {}},
        {"behind, not culled", {0, 0, -10}, false, true, {}},
        // The left plane is at x = -10 tan(35 degrees) = -7.0 for z = 10.
        {"across the left plane", {-7.5f, 0, 10}, true, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        recorder.primDraws.clear();
        recorder.clippingCalls.clear();
        node->position = c.position;
        node->frustumCull = c.cull;
        node->UpdateTransform(0.0f);
        EXPECT_EQ(node->Draw(&recorder), c.drawn);
        EXPECT_EQ(recorder.primDraws.size(), c.drawn ? 1u : 0u);
        EXPECT_EQ(recorder.clippingCalls, c.clipping);
        if (c.drawn) {
            EXPECT_EQ(recorder.primDraws[0].world, node->world);
            EXPECT_EQ(recorder.primDraws[0].clipping, c.clipping.empty());
        }
        EXPECT_TRUE(recorder.GetClipping());
    }

    MeshNode empty;
    EXPECT_FALSE(empty.Draw(&recorder));
}

TEST_F(MeshNodeTest, RayPicksMatchTheTransformedTrianglesInWorldUnits)
{
    std::unique_ptr<MeshNode> node = TriangleNode();
    struct Case {
        const char* name;
        Matrix3 rotation;
        Vector3 position, scale, origin, direction;
        bool hits;
        Vector3 point;
    };
    Matrix3 quarterTurn;
    quarterTurn.FromAxisAngle(kPi / 2.0f, Vector3(0, 1, 0));
    const Case cases[] = {
        // Unscaled: a quarter turn about y and a move; the ray is aimed at the moved triangle's
        // centre from 10 units in front of it (origin and direction filled in below).
        {"rotated and moved", quarterTurn, {10, 0, 0}, {1, 1, 1}, {}, {}, true, {}},
        // Scaled by 4 along x: the world triangle spans x 0..4. The ray meets it at (3, 0.1, 0),
        // which the transposed matrix would have sent to local x 4.5, outside the triangle.
        {"scaled", Matrix3(), {0, 0, 0}, {4, 1, 1}, {2, 0.1f, -5}, {1, 0, 5}, true, {3, 0.1f, 0}},
        {"uniformly scaled", Matrix3(), {0, 0, 0}, {3, 3, 3}, {1, 1, -6}, {0, 0, 1}, true, {1, 1, 0}},
        {"miss", Matrix3(), {0, 0, 0}, {1, 1, 1}, {2, 2, -5}, {0, 0, 1}, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        node->rotation = c.rotation;
        node->position = c.position;
        node->scale = c.scale;
        node->UpdateTransform(0.0f);
        // The same triangle moved into the world.
        const Vector3 a = node->world.TransformPoint(Vector3(0, 0, 0));
        const Vector3 b = node->world.TransformPoint(Vector3(0, 1, 0));
        const Vector3 cc = node->world.TransformPoint(Vector3(1, 0, 0));
        HitResult hit;
        hit.origin = c.origin;
        hit.direction = c.direction;
        if (c.direction == Vector3()) {
            Vector3 facing = TriangleNormal(a, b, cc);
            facing.Normalize();
            hit.origin = (a + b + cc) * (1.0f / 3.0f) + facing * 10.0f;
            hit.direction = -facing;
        }
        hit.direction.Normalize();
        ASSERT_EQ(node->IntersectRay(hit, nullptr), c.hits);
        if (!c.hits) {
            EXPECT_EQ(hit.distance, 3.4e38f);
            continue;
        }
        HitResult direct;
        direct.origin = hit.origin;
        direct.direction = hit.direction;
        ASSERT_TRUE(TriangleIntersectRay(direct, a, b, cc, nullptr));
        ExpectNear(hit.hitPoint, direct.hitPoint, 1e-4f);
        EXPECT_NEAR(hit.distance, direct.distance, 1e-4f);
        if (c.point != Vector3())
            ExpectNear(hit.hitPoint, c.point, 1e-4f);
        if (c.direction == Vector3()) {
            EXPECT_NEAR(hit.distance, 10.0f, 1e-4f);
        }
        EXPECT_EQ(hit.hitCount, 1);
        EXPECT_NE(hit.hitObject, nullptr);
        // The normal faces back along the ray.
        EXPECT_LT(hit.normal.Dot(hit.direction), 0.0f);
    }
}

TEST_F(MeshNodeTest, ReleaseEmptiesTheNodeAndLeavesTheParent)
{
    SceneNode parent;
    std::unique_ptr<MeshNode> node = TriangleNode();
    node->SetParent(&parent);
    node->properties = new char[4]{'a', 'b', 'c', '\0'};
    node->Release();
    EXPECT_EQ(node->GetMesh(), nullptr);
    EXPECT_EQ(node->properties, nullptr);
    EXPECT_EQ(node->GetParent(), nullptr);
    EXPECT_EQ(parent.GetChildCount(), 0);
}
