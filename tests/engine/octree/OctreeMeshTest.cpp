#include <cmath>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/camera/Camera.h"
#include "engine/material/Material.h"
#include "engine/material/q3DModelReader.h"
#include "engine/mesh/MeshNode.h"
#include "engine/octree/OctreeMesh.h"
#include "tests/engine/mesh/RecordingFixture.h"
#include "tests/engine/octree/OctreeFixture.h"
#include "tests/support/ErrorText.h"

namespace {

class OctreeMeshTest : public RecordingTest {
protected:
    std::unique_ptr<OctreeMesh> Load(const OctModel& model, const char* path = "level.oct")
    {
        WriteStoneAndBrick();
        WriteFile(path, WriteOctFile(model));
        return std::make_unique<OctreeMesh>(recorder.get(), path, nullptr);
    }

    static int IndexCount(D3DPrim* prim) { return prim ? prim->GetIndexCount(true) : 0; }

    // Leaves in walk order with their depth below the root.
    static void Leaves(const OctreeMesh::Node& node, int depth, std::vector<std::pair<const OctreeMesh::Node*, int>>& out)
    {
        if (node.leaf)
            out.emplace_back(&node, depth);
        for (const auto& child : node.children)
            if (child)
                Leaves(*child, depth + 1, out);
    }
};

} // namespace

TEST_F(OctreeMeshTest, BuildsOneMaterialPerTextureAndLightmapPairAndFanIndices)
{
    OctModel model;
    model.materials = {"stone", "brick"};
    model.lightmaps = {OctLightmap{}, OctLightmap{}};
    model.AddFace(Corners({{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1.5f, 0.5f, 0}, {1, 0, 0}}), 0, 0); // pair A
    model.AddFace(Corners({{0, 0, 1}, {0, 1, 1}, {1, 0, 1}}), 0, 1);                              // pair B
    model.AddFace(Corners({{0, 0, 2}, {0, 1, 2}, {1, 0, 2}}), 0, 0);                              // pair A
    model.AddFace(Corners({{0, 0, 3}, {0, 1, 3}, {1, 0, 3}, {1, -1, 3}}), 1, 0);                  // pair C
    model.extras.push_back(OctExtra{{8, 16, 24}, {1.0f, 0.5f, 0.25f}, 7.0f});
    model.trailer[0] = 8, model.trailer[1] = 16, model.trailer[2] = 24;
    auto mesh = Load(model);

    ASSERT_EQ(mesh->GetFaceCount(), 4);
    ASSERT_EQ(mesh->GetMaterialCount(), 3);
    // The same texture with another lightmap is another material; the same pair shares one.
    EXPECT_EQ(mesh->prims[0]->material, mesh->prims[2]->material);
    EXPECT_NE(mesh->prims[0]->material, mesh->prims[1]->material);
    EXPECT_EQ(IndexCount(mesh->GetMaterialPrim(0)), 9 + 3);
    EXPECT_EQ(IndexCount(mesh->GetMaterialPrim(1)), 3);
    EXPECT_EQ(IndexCount(mesh->GetMaterialPrim(2)), 6);
    // A five-cornered face is a fan of three triangles over its own vertices.
    ASSERT_EQ(IndexCount(mesh->prims[0]), 9);
    const std::uint16_t* fan = mesh->prims[0]->GetIndices(false, true);
    EXPECT_EQ(std::vector<std::uint16_t>(fan, fan + 9), (std::vector<std::uint16_t>{0, 1, 2, 0, 2, 3, 0, 3, 4}));
    mesh->prims[0]->Nop6();
    EXPECT_EQ(mesh->prims[1]->GetFirstVertex(), 5);
    EXPECT_EQ(mesh->prims[1]->GetVertexCount(false), 3);

    const Material* a = mesh->GetMaterialPrim(0)->material;
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->lightingMode, 2);
    EXPECT_EQ(a->colorOp[0], TexOpModulate);
    ASSERT_NE(a->texture[0], nullptr);
    ASSERT_NE(a->texture[1], nullptr);
    EXPECT_NE(std::string(a->texture[0]->GetName()).find("stone"), std::string::npos);
    EXPECT_NE(std::string(a->texture[1]->GetName()).find("level.octlightmap0"), std::string::npos);
    EXPECT_EQ(a->srcBlend, BlendOne);

    // Positions come in at an eighth; extras and the trailer are kept.
    ExpectNear(mesh->GetBoundingBox().min, Vector3(0, -1, 0));
    ExpectNear(mesh->GetBoundingBox().max, Vector3(1.5f, 1, 3));
    ASSERT_EQ(mesh->GetExtras().size(), 1u);
    EXPECT_EQ(mesh->GetExtras()[0].color, 0xFFFF7F3Fu);
    ExpectNear(mesh->GetExtras()[0].position, Vector3(8, 16, 24));
    EXPECT_EQ(mesh->GetTrailer()[1], 2.0f);
}

TEST_F(OctreeMeshTest, TexturesAreSoughtInTheExtraFolderThenBesideTheFileThenTheSharedFolder)
{
    std::filesystem::create_directories("extra");
    std::filesystem::create_directories("level");
    std::filesystem::create_directories("shared");
    WriteStoneAndBrick("shared/");
    WriteBytes("level/stone.tga", WriteTga(TgaImage(8, 8, 0xFF112233u), 24));
    WriteBytes("extra/stone.tga", WriteTga(TgaImage(8, 8, 0xFF445566u), 24));
    OctModel model = FloorAndWall(2);
    WriteFile("level/room.oct", WriteOctFile(model));
    q3DModelReader::SetSharedTextureDirectory("shared/");
    {
        OctreeMesh mesh(recorder.get(), "level/room.oct", "extra/");
        EXPECT_NE(std::string(mesh.prims[0]->material->texture[0]->GetName()).find("extra/stone"), std::string::npos);
        // brick is only in the shared folder.
        const Material* brick = mesh.prims[2]->material;
        EXPECT_NE(std::string(brick->texture[0]->GetName()).find("shared/brick"), std::string::npos);
    }
    {
        OctreeMesh mesh(recorder.get(), "level/room.oct", nullptr);
        EXPECT_NE(std::string(mesh.prims[0]->material->texture[0]->GetName()).find("level/stone"), std::string::npos);
    }
    q3DModelReader::SetSharedTextureDirectory("");
    // Found nowhere: the path last formed is the one reported.
    const std::string error = ErrorText([&] { OctreeMesh(recorder.get(), "level/room.oct", nullptr); });
    EXPECT_EQ(error.rfind("Error loading texture: brick.dds: ", 0), 0u) << error;
}

TEST_F(OctreeMeshTest, AnAlphaTextureMakesItsMaterialsBlend)
{
    WriteStoneAndBrick();
    WriteFile("brick.tga", WriteTga(TgaImage(16, 16, 0x80A04030u), 32));
    WriteFile("level.oct", WriteOctFile(FloorAndWall(2)));
    OctreeMesh mesh(recorder.get(), "level.oct", nullptr);
    EXPECT_EQ(mesh.prims[2]->material->srcBlend, BlendSrcAlpha);
    EXPECT_EQ(mesh.prims[2]->material->destBlend, BlendInvSrcAlpha);
    EXPECT_EQ(mesh.prims[0]->material->srcBlend, BlendOne);
}

TEST_F(OctreeMeshTest, TheOctreeKeepsSmallNodesAsLeavesAndEveryFaceInALeaf)
{
    {
        // Ten faces or fewer: the root's children are leaves at once.
        auto mesh = Load(FloorAndWall(2)); // 4 floor quads and 6 wall quads
        mesh->BuildOctree();
        const OctreeMesh::Node* root = mesh->GetRoot();
        ASSERT_NE(root, nullptr);
        EXPECT_FALSE(root->leaf);
        EXPECT_EQ(root->faces.size(), 10u);
        for (const auto& child : root->children)
            if (child) {
                EXPECT_TRUE(child->leaf);
                EXPECT_FALSE(child->faces.empty());
            }
        // The root is the cube around the origin that holds the bounds.
        ExpectNear(root->box.min, Vector3(-3, -3, -3));
        ExpectNear(root->box.max, Vector3(3, 3, 3));
    }
    auto mesh = Load(FloorAndWall(16));
    mesh->BuildOctree();
    std::vector<std::pair<const OctreeMesh::Node*, int>> leaves;
    Leaves(*mesh->GetRoot(), 0, leaves);
    std::set<int> covered;
    for (const auto& [leaf, depth] : leaves) {
        EXPECT_FALSE(leaf->faces.empty());
        // More than ten faces only once the depth count has passed 2.
        if (leaf->faces.size() > 10) {
            EXPECT_GT(depth, 3);
        }
        for (int face : leaf->faces)
            covered.insert(face);
    }
    EXPECT_EQ(int(covered.size()), mesh->GetFaceCount());
}

TEST_F(OctreeMeshTest, PicksMatchABruteForceSearchOverTheSameTriangles)
{
    const OctModel model = FloorAndWall(12);
    const std::vector<TestTriangle> triangles = Triangles(model);
    auto withTree = Load(model);
    withTree->BuildOctree();
    auto without = Load(model, "level2.oct");

    std::uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1664525u + 1013904223u;
        return float(seed >> 8) / float(1 << 24);
    };
    int hits = 0;
    for (int i = 0; i < 400; ++i) {
        const Vector3 origin(next() * 16 - 8, next() * 6 + 0.5f, next() * 16 - 12);
        Vector3 direction(next() * 2 - 1, next() * 2 - 1.5f, next() * 2 - 0.5f);
        direction.Normalize();
        int face = -1;
        const HitResult expected = BruteForcePick(triangles, origin, direction, &face);
        for (OctreeMesh* mesh : {withTree.get(), without.get()}) {
            SCOPED_TRACE(mesh == withTree.get() ? "octree" : "every face");
            HitResult hit;
            hit.origin = origin;
            hit.direction = direction;
            const bool found = mesh->IntersectRay(hit, nullptr);
            ASSERT_EQ(found, face >= 0) << i;
            if (!found) {
                EXPECT_EQ(hit.distance, 3.4e38f);
                continue;
            }
            EXPECT_NEAR(hit.distance, expected.distance, 1e-4f) << i;
            ExpectNear(hit.hitPoint, expected.hitPoint, 1e-3f);
            EXPECT_EQ(hit.hitObject, mesh->prims[std::size_t(face)]->material);
        }
        hits += face >= 0;
    }
    EXPECT_GT(hits, 100);
}

TEST_F(OctreeMeshTest, AMissLeavesTheHitFieldsButNotTheDistance)
{
    auto mesh = Load(FloorAndWall(4));
    mesh->BuildOctree();
    HitResult hit;
    hit.origin = Vector3(0, 1, 0);
    hit.direction = Vector3(0, 1, 0); // up, away from the floor and along the wall
    hit.hitPoint = Vector3(7, 8, 9);
    hit.hitCount = 5;
    hit.distance = 2.0f;
    int marker = 0;
    hit.hitObject = &marker;
    EXPECT_FALSE(mesh->IntersectRay(hit, nullptr));
    EXPECT_EQ(hit.distance, 3.4e38f);
    EXPECT_EQ(hit.hitPoint, Vector3(7, 8, 9));
    EXPECT_EQ(hit.hitCount, 5);
    EXPECT_EQ(hit.hitObject, &marker);
}

TEST_F(OctreeMeshTest, AFilterCanRefuseTheNearestFace)
{
    auto mesh = Load(FloorAndWall(4));
    mesh->BuildOctree();
    static D3DPrim* refused;
    refused = mesh->prims[std::size_t(1 * 4 + 2)]; // the floor quad under (-1, 0, 0) .. (0, 0, 1)
    auto filter = [](D3DPrim* prim, HitResult&, int*, int*, int*) { return prim != refused; };
    HitResult hit;
    hit.origin = Vector3(-0.5f, 1, 0.5f);
    hit.direction = Vector3(0, -1, 0);
    EXPECT_TRUE(mesh->IntersectRay(hit, nullptr));
    EXPECT_NEAR(hit.distance, 1.0f, 1e-5f);
    HitResult filtered;
    filtered.origin = hit.origin;
    filtered.direction = hit.direction;
    EXPECT_FALSE(mesh->IntersectRay(filtered, filter));
}

TEST_F(OctreeMeshTest, ThroughAMeshNodeAPickIsInWorldSpace)
{
    const OctModel model = FloorAndWall(4);
    MeshNode node;
    node.SetMesh(Load(model).release());
    static_cast<OctreeMesh*>(node.GetMesh())->BuildOctree();
    node.position = Vector3(100, 5, 0);
    node.UpdateTransform(0.0f);
    HitResult hit;
    hit.origin = Vector3(100.5f, 8, 0.5f);
    hit.direction = Vector3(0, -1, 0);
    ASSERT_TRUE(node.IntersectRay(hit, nullptr));
    EXPECT_NEAR(hit.distance, 3.0f, 1e-4f);
    ExpectNear(hit.hitPoint, Vector3(100.5f, 5, 0.5f));

    // Stretched along x, an oblique ray still meets the floor where the world plane is.
    node.scale = Vector3(2, 1, 1);
    node.UpdateTransform(0.0f);
    HitResult oblique;
    oblique.origin = Vector3(100, 8, 0.5f);
    oblique.direction = Vector3(0.6f, -0.8f, 0);
    ASSERT_TRUE(node.IntersectRay(oblique, nullptr));
    ExpectNear(oblique.hitPoint, Vector3(102.25f, 5, 0.5f), 1e-3f);
    EXPECT_NEAR(oblique.distance, 3.75f, 1e-3f);
}

TEST_F(OctreeMeshTest, DrawsOpaqueFacesInOneBatchPerMaterialAndTranslucentOnesAlone)
{
    WriteStoneAndBrick();
    WriteFile("brick.tga", WriteTga(TgaImage(16, 16, 0x80A04030u), 32));
    WriteFile("level.oct", WriteOctFile(FloorAndWall(4)));
    MeshNode node;
    node.SetMesh(new OctreeMesh(recorder.get(), "level.oct", nullptr));
    auto* mesh = static_cast<OctreeMesh*>(node.GetMesh());
    mesh->BuildOctree();
    node.UpdateTransform(0.0f);
    Camera camera(recorder.get());
    camera.position = Vector3(0, 1, -20);
    camera.UpdateTransform(0.0f);

    // Clipping off (as the mesh node sets it for a wholly visible mesh): every face, no culling,
    // one draw per material, blended faces too.
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    recorder->SetWorldTransform(&node.world);
    recorder->SetClipping(false);
    mesh->Draw(recorder.get());
    recorder->SetClipping(true);
    ASSERT_EQ(device->EndFrame(true, true), 0);
    EXPECT_EQ(device->GetTriangleCount(), (16 + 12) * 2);
    ASSERT_EQ(int(recorder->primDraws.size()), mesh->GetMaterialCount());
    for (int m = 0; m < mesh->GetMaterialCount(); ++m)
        EXPECT_EQ(recorder->primDraws[std::size_t(m)].prim, mesh->GetMaterialPrim(m));

    // Close enough for the mesh to cross the view, so the node leaves clipping on and the octree
    // culls: the brick (blended) faces in view are drawn one by one as their own prims, each once.
    camera.position = Vector3(0, 1, -3);
    camera.UpdateTransform(0.0f);
    recorder->primDraws.clear();
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    EXPECT_TRUE(node.Draw(recorder.get()));
    ASSERT_EQ(device->EndFrame(true, true), 0);
    std::set<D3DPrim*> faces;
    int batches = 0;
    for (const auto& draw : recorder->primDraws) {
        EXPECT_TRUE(draw.clipping);
        for (int m = 0; m < mesh->GetMaterialCount(); ++m)
            batches += draw.prim == mesh->GetMaterialPrim(m);
        for (int f = 0; f < mesh->GetFaceCount(); ++f)
            if (draw.prim == mesh->prims[std::size_t(f)]) {
                EXPECT_TRUE(faces.insert(draw.prim).second);
                EXPECT_EQ(draw.prim->material->srcBlend, BlendSrcAlpha);
            }
    }
    EXPECT_GT(faces.size(), 0u);
    EXPECT_LE(batches, 2); // the two stone (opaque) materials
}

TEST_F(OctreeMeshTest, OnlyFacesNearTheViewAreSubmittedThroughTheOctree)
{
    auto mesh = Load(FloorAndWall(16));
    mesh->BuildOctree();
    Camera camera(recorder.get());
    // Low over one corner of the floor, looking along it and away from the rest.
    camera.position = Vector3(-7.5f, 0.5f, -7.5f);
    camera.rotation.m[0] = -1, camera.rotation.m[8] = -1;
    camera.SetFar(4.0f);
    camera.UpdateTransform(0.0f);
    const Matrix4 identity;
    auto trianglesDrawn = [&] {
        EXPECT_EQ(device->BeginFrame(true, true), 0);
        recorder->SetWorldTransform(&identity);
        mesh->Draw(recorder.get());
        EXPECT_EQ(device->EndFrame(true, true), 0);
        return device->GetTriangleCount();
    };
    const int culled = trianglesDrawn();
    EXPECT_GT(culled, 0);
    EXPECT_LT(culled, (16 * 16 + 48) * 2 / 4);
    // With the octree switched off the same view submits everything.
    mesh->noOctree = 1;
    EXPECT_EQ(trianglesDrawn(), (16 * 16 + 48) * 2);
}

TEST_F(OctreeMeshTest, TheDemoBunkerDrawsItsLitConcreteInView)
{
    const std::string path = std::string(BEXAL_DATA_DIR) + "/GameData/Models/Structures/bunker.oct";
    MeshNode node;
    node.SetMesh(new OctreeMesh(device, path.c_str(), nullptr));
    auto* mesh = static_cast<OctreeMesh*>(node.GetMesh());
    mesh->BuildOctree();
    EXPECT_GE(mesh->GetFaceCount(), 20);
    node.UpdateTransform(0.0f);
    Camera camera(device);
    camera.position = Vector3(0, 1.5f, -12);
    camera.UpdateTransform(0.0f);
    device->SetAmbient(0xFFFFFFFFu);
    device->SetClearColor(0xFF000000u);
    ASSERT_EQ(device->BeginFrame(true, true), 0);
    EXPECT_TRUE(node.Draw(device));
    ASSERT_EQ(device->EndFrame(true, true), 0);

    D3DBitmap* back = device->GetBackBuffer();
    const auto* bits = static_cast<const std::uint8_t*>(back->Lock(false));
    ASSERT_NE(bits, nullptr);
    auto at = [&](int x, int y) {
        std::uint32_t p;
        std::memcpy(&p, bits + std::size_t(y) * std::size_t(back->GetPitch()) + std::size_t(x) * 4, 4);
        return p & 0xFFFFFFu;
    };
    // The front wall beside the doorway is grey concrete under a warm lightmap; the doorway
    // shows the dim inside; the sky above the roof stays clear.
    const std::uint32_t wall = at(kWidth / 2 - 80, kHeight / 2);
    const std::uint32_t corner = at(2, 2);
    back->Unlock();
    const int red = int((wall >> 16) & 0xFF), green = int((wall >> 8) & 0xFF), blue = int(wall & 0xFF);
    EXPECT_GT(red, 40) << std::hex << wall;
    EXPECT_GE(red, blue) << std::hex << wall;
    EXPECT_GT(green, 30) << std::hex << wall;
    EXPECT_EQ(corner, 0u);
}
