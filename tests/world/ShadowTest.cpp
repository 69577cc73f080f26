#include <cstdlib>
#include <filesystem>

#include "engine/core/q3DError.h"
#include "engine/material/Material.h"
#include "engine/mesh/qMesh.h"
#include "tests/support/FramePixels.h"
#include "tests/world/WorldFixture.h"
#include "world/shadows/ShadowProp.h"
#include "world/shadows/ShadowQuad.h"
#include "world/shadows/ShadowVolume.h"

namespace {

// The six faces of the cube [-1, 1]^3, each as four corners in clockwise order seen from outside.
const int kFaces[6][4][3] = {
    {{-1, 1, -1}, {-1, 1, 1}, {1, 1, 1}, {1, 1, -1}},     // top
    {{-1, -1, -1}, {1, -1, -1}, {1, -1, 1}, {-1, -1, 1}}, // bottom
    {{1, -1, -1}, {1, 1, -1}, {1, 1, 1}, {1, -1, 1}},     // +x
    {{-1, -1, 1}, {-1, 1, 1}, {-1, 1, -1}, {-1, -1, -1}}, // -x
    {{1, -1, 1}, {1, 1, 1}, {-1, 1, 1}, {-1, -1, 1}},     // +z
    {{-1, -1, -1}, {-1, 1, -1}, {1, 1, -1}, {1, -1, -1}}, // -z
};

Vector3 Corner(const int c[3]) { return Vector3(float(c[0]), float(c[1]), float(c[2])); }

// One prim with eight shared corners, indexed.
ShadowMesh SharedCube(int faces = 6)
{
    ShadowMesh mesh;
    ShadowMesh::Prim& prim = mesh.prims.emplace_back();
    for (int i = 0; i < 8; ++i)
        prim.positions.push_back(Vector3(i & 1 ? 1.0f : -1.0f, i & 2 ? 1.0f : -1.0f, i & 4 ? 1.0f : -1.0f));
    prim.normals.assign(8, Vector3());
    auto index = [](const int c[3]) { return (c[0] > 0 ? 1 : 0) | (c[1] > 0 ? 2 : 0) | (c[2] > 0 ? 4 : 0); };
    for (int f = 0; f < faces; ++f)
        for (const int k : {0, 1, 2, 0, 2, 3})
            prim.corners.push_back(index(kFaces[f][k]));
    mesh.vertexCount = 8;
    mesh.indexCount = int(prim.corners.size());
    return mesh;
}

// Every face its own prim with its own four vertices (split normals), moved by up to 0.004.
ShadowMesh SplitCube()
{
    ShadowMesh mesh;
    for (int f = 0; f < 6; ++f) {
        ShadowMesh::Prim& prim = mesh.prims.emplace_back();
        for (int k = 0; k < 4; ++k)
            prim.positions.push_back(Corner(kFaces[f][k]) + Vector3(0.004f * float(f % 2), 0.0f, 0.003f));
        prim.normals.assign(4, Vector3());
        prim.corners = {0, 1, 2, 0, 2, 3};
        mesh.vertexCount += 4;
        mesh.indexCount += 6;
    }
    return mesh;
}

TEST(ShadowEdgesTest, ClosedSplitOpenAndTranslucentMeshes)
{
    std::vector<ShadowEdge> edges, open;
    EXPECT_FALSE(ShadowEdges::Build(SharedCube(), edges, open));
    EXPECT_EQ(edges.size(), 18u); // 12 box edges and 6 face diagonals
    EXPECT_TRUE(open.empty());
    for (const ShadowEdge& edge : edges)
        EXPECT_GE(edge.second.prim, 0);

    const ShadowMesh split = SplitCube();
    EXPECT_FALSE(ShadowEdges::Build(split, edges, open));
    EXPECT_EQ(edges.size(), 18u);
    EXPECT_TRUE(ShadowEdges::Contains(split, edges, Vector3(1, 1, 1), Vector3(1, 1, -1)));
    EXPECT_TRUE(ShadowEdges::Contains(split, edges, Vector3(1, 1, -1), Vector3(1, 1, 1)));
    EXPECT_FALSE(ShadowEdges::Contains(split, edges, Vector3(1, 1, 1), Vector3(-1, -1, -1)));

    // Without its -z face the cube is open along that face's four edges.
    const ShadowMesh box = SharedCube(5);
    EXPECT_TRUE(ShadowEdges::Build(box, edges, open));
    EXPECT_EQ(edges.size(), 17u);
    EXPECT_EQ(open.size(), 4u);
    for (const ShadowEdge& edge : open)
        EXPECT_EQ(edge.second.prim, -1);

    ShadowMesh glass = SharedCube();
    glass.prims[0].opaque = false;
    EXPECT_FALSE(ShadowEdges::Build(glass, edges, open));
    EXPECT_TRUE(edges.empty());
}

TEST(ShadowVolumeTest, SilhouetteQuadsFaceIntoTheVolumeAndCapTheDarkSide)
{
    for (const ShadowMesh& mesh : {SharedCube(), SplitCube()}) {
        std::vector<ShadowEdge> edges, open;
        ShadowEdges::Build(mesh, edges, open);
        ShadowVolume volume;
        // Lit from above, +x and +z: top, +x and +z are lit, the other three dark.
        const Vector3 light(0.3f, 1.0f, 0.2f);
        ShadowVolume::Build(mesh, edges, light.x, light.y, light.z, volume);
        EXPECT_EQ(volume.sideVertexCount, 6 * 4);
        EXPECT_EQ(volume.sideIndexCount, 6 * 6);
        EXPECT_EQ(volume.capIndexCount, 6 * 3);
        EXPECT_EQ(volume.vertexCount, 6 * 4 + 6 * 3);
        for (int q = 0; q < volume.sideIndexCount; q += 6) {
            const auto at = [&](int i) {
                const float* p = volume.vertices[volume.sideIndices[std::size_t(q + i)]].position;
                return Vector3(p[0], p[1], p[2]);
            };
            // Near the box the quad is on the silhouette; far out it runs away from the light.
            const Vector3 near = at(0), far = at(2);
            EXPECT_NEAR(near.x * near.x, 1.0f, 0.02f);
            const Vector3 run = far - near;
            EXPECT_NEAR(run.x, -300.0f, 0.01f);
            EXPECT_NEAR(run.y, -1000.0f, 0.01f);
            for (int t = 0; t < 6; t += 3) {
                const Vector3 n = Cross(at(t + 1) - at(t), at(t + 2) - at(t));
                const Vector3 middle = (at(t) + at(t + 1)) * 0.5f;
                EXPECT_LT(n.Dot(middle), 0.0f) << "the quad faces out of the volume";
            }
            EXPECT_EQ(volume.vertices[volume.sideIndices[std::size_t(q)]].colour, 0x5f000000u);
        }
        for (int i = 0; i < volume.capIndexCount; i += 3) {
            const auto at = [&](int k) {
                const float* p = volume.vertices[std::size_t(volume.sideVertexCount + volume.capIndices[std::size_t(i + k)])].position;
                return Vector3(p[0], p[1], p[2]);
            };
            EXPECT_LT(Cross(at(1) - at(0), at(2) - at(0)).Dot(light), 0.0f);
            EXPECT_EQ(volume.vertices[std::size_t(volume.sideVertexCount + volume.capIndices[std::size_t(i)])].colour,
                      0xFFFF0000u);
        }
    }
}

TEST(ShadowVolumeTest, OpenEdgesCastNothingAndABuildReusesItsArrays)
{
    const ShadowMesh box = SharedCube(5);
    std::vector<ShadowEdge> edges, open;
    ShadowEdges::Build(box, edges, open);
    ShadowVolume volume;
    // Lit from -z: the missing face's rim would be the silhouette, but open edges have no quads.
    ShadowVolume::Build(box, edges, 0.0f, 0.0f, -1.0f, volume);
    EXPECT_EQ(volume.sideIndexCount, 0);
    EXPECT_EQ(volume.capIndexCount, 6); // the +z face
    const std::size_t capacity = volume.vertices.size();
    ShadowVolume::Build(box, edges, 0.3f, 1.0f, 0.2f, volume);
    EXPECT_EQ(volume.vertices.size(), capacity);
}

class ShadowTest : public WorldTest {
protected:
    // A flat 32 x 32 map; entry 0 the 4-unit box, entry 1 the same with "dynshadow".
    MapFile FlatMap()
    {
        MapFile map = FlatTerrain();
        map.entries.push_back({"box.q3d", "caster", {"dynshadow", "", "", "", ""}, 0, 0});
        return map;
    }

    void BeginTerrain()
    {
        device->SetClearColor(0xFF000000u);
        device->BeginFrame(true, true);
        device->SetFogEnable(false);
        camera->UpdateTransform(0.0f);
        world->CollectVisible();
        world->RenderTerrain();
    }

    std::vector<std::uint32_t> DrawFrame()
    {
        BeginTerrain();
        world->RenderObjects();
        world->RenderStencilShadows();
        device->EndFrame(true, true);
        return ReadFrame(device);
    }

    static int Brightness(std::uint32_t c) { return int((c >> 16) & 0xFF) + int((c >> 8) & 0xFF) + int(c & 0xFF); }
};

TEST_F(ShadowTest, TheVolumeDarkensTheGroundBehindTheBox)
{
    MapFile file = FlatMap();
    file.placements = {At(0, 8, 0, 1)};
    Load(file);
    ASSERT_TRUE(world->shadows) << "the device has no 8-bit stencil";
    world->sun->direction[0] = 0.2f, world->sun->direction[1] = -1.0f, world->sun->direction[2] = 0.3f;
    world->sun->Set();
    LookFrom(Vector3(0, 40, -30), Vector3(0, 0, 0));
    std::vector<std::uint32_t> frame;
    for (int i = 0; i < 2; ++i)
        frame = DrawFrame();
    MapObject* object = world->GetFirstObject();
    auto* prop = static_cast<DynShadowProp*>(object->FindProp(DynShadowPropFactory));
    ASSERT_NE(prop, nullptr);
    EXPECT_FALSE(prop->open);
    EXPECT_GT(prop->volume.sideIndexCount, 0);
    EXPECT_TRUE(world->shadowVolumes.empty());
    // The ground where the box's centre casts its shadow against the ground well beside it.
    Vector3 below, beside;
    const Vector3 groundBelow(1.6f, 0.01f, 2.4f), groundBeside(14, 0.01f, 0);
    device->ProjectPoint(&below, &groundBelow);
    device->ProjectPoint(&beside, &groundBeside);
    const auto pixel = [&](const Vector3& p) { return frame[std::size_t(int(p.y)) * 160 + std::size_t(int(p.x))]; };
    ASSERT_TRUE(below.x > 0 && below.x < 160 && below.y > 0 && below.y < 120);
    ASSERT_TRUE(beside.x > 0 && beside.x < 160 && beside.y > 0 && beside.y < 120);
    EXPECT_LT(Brightness(pixel(below)), Brightness(pixel(beside)) * 8 / 10)
        << std::hex << pixel(below) << " " << pixel(beside);

    ExpectGoldenFrame(frame, "shadow-volume.tga");
}

TEST_F(ShadowTest, VolumesRebuildOnTurnsOnlyAndThe257thOfAFrameIsDropped)
{
    MapFile file = FlatMap();
    file.placements = {At(0, 8, 0, 1)};
    Load(file);
    LookFrom(Vector3(0, 40, -30), Vector3(0, 0, 0));
    MapObject* object = world->GetFirstObject();
    auto* prop = static_cast<DynShadowProp*>(object->FindProp(DynShadowPropFactory));
    ASSERT_NE(prop, nullptr);
    prop->PostDraw(object, 0.0f);
    ASSERT_EQ(world->shadowVolumes.size(), 1u);
    prop->volume.sideIndexCount = -7; // marks the volume: a move must not rebuild it
    object->record->position.x += 5.0f;
    prop->PostDraw(object, 0.0f);
    EXPECT_EQ(prop->volume.sideIndexCount, -7);
    EXPECT_FLOAT_EQ(prop->volume.transform(3, 0), object->GetPosition().x);
    Matrix3 turn;
    turn.FromAxisAngle(0.5f, Vector3(0, 1, 0));
    object->SetRotation(turn);
    prop->PostDraw(object, 0.0f);
    EXPECT_GT(prop->volume.sideIndexCount, 0);

    world->shadowVolumes.clear();
    std::vector<ShadowVolume> volumes(257);
    for (int i = 0; i < 256; ++i)
        EXPECT_TRUE(world->AddShadowVolume(&volumes[std::size_t(i)]));
    EXPECT_FALSE(world->AddShadowVolume(&volumes[256]));
    EXPECT_EQ(world->shadowVolumes.size(), 256u);
    world->RenderStencilShadows();
    EXPECT_TRUE(world->shadowVolumes.empty());
    // A prop taken off its object takes its volume out of the frame's list.
    prop->PostDraw(object, 0.0f);
    object->Clear();
    EXPECT_TRUE(world->shadowVolumes.empty());
}

TEST_F(ShadowTest, ParseTakesADistanceAndAnotherEntrysMesh)
{
    MapFile file = FlatMap();
    file.entries.push_back({"box2.q3d", "small", {}, 0, 0});
    file.placements = {At(0, 8, 0, 0)};
    Load(file);
    MapObject* object = world->GetFirstObject();
    ASSERT_TRUE(object->AddProp("dynshadow 50 small"));
    auto* prop = static_cast<DynShadowProp*>(object->FindProp(DynShadowPropFactory));
    ASSERT_NE(prop, nullptr);
    EXPECT_FLOAT_EQ(prop->maximumDistance, 50.0f);
    EXPECT_EQ(prop->caster, world->GetLibraryObject(2)->mesh);
    // Farther than its distance from the camera: nothing is cast.
    LookFrom(Vector3(0, 100, -100), Vector3(0, 0, 0));
    prop->PostDraw(object, 0.0f);
    EXPECT_TRUE(world->shadowVolumes.empty());
    ASSERT_TRUE(object->AddProp("dynshadow 10 nosuchthing"));
    int found = 0;
    for (int i = 0; i < MapObject::kPropSlots; ++i)
        found += object->props[i] && object->props[i]->kind == DynShadowPropFactory;
    EXPECT_EQ(found, 1);
    bool logged = false;
    for (const std::string& line : ReadLines("q3D.log"))
        logged |= line.find("Couldn't find object nosuchthing") != std::string::npos;
    EXPECT_TRUE(logged);
}

TEST_F(ShadowTest, BlobShadowQuadDrawsItsTextureOnTheGround)
{
    WriteFile("dark.tga", WriteTga(TgaImage(16, 16, 0xFF000000u), 32));
    Load(FlatMap());
    qShadow shadow;
    shadow.Create(device, "dark.tga");
    ASSERT_NE(shadow.GetMesh(), nullptr);
    D3DPrim* prim = shadow.GetMesh()->prims[0];
    ASSERT_NE(prim, nullptr);
    EXPECT_STREQ(prim->material->name, "ShadowMat");
    EXPECT_EQ(prim->primitiveType, PrimTriangleFan);
    shadow.scale = Vector3(20, 1, 20);
    shadow.position = Vector3(0, 0.0f, 0);
    shadow.UpdateTransform(0.0f);
    LookFrom(Vector3(0, 30, -20), Vector3(0, 0, 0));
    BeginTerrain();
    EXPECT_TRUE(shadow.Draw(device));
    device->EndFrame(true, true);
    const std::vector<std::uint32_t> frame = ReadFrame(device);
    Vector3 centre;
    const Vector3 ground(0, 0, 0);
    device->ProjectPoint(&centre, &ground);
    const std::uint32_t c = frame[std::size_t(int(centre.y)) * 160 + std::size_t(int(centre.x))];
    EXPECT_TRUE(Near(c, 0x000000, 12)) << std::hex << c;
    EXPECT_FALSE(Near(frame[5 * 160 + 5], 0x000000, 12));

    qShadow missing;
    try {
        missing.Create(device, "nothere.tga");
        ADD_FAILURE() << "no error";
    } catch (const q3DError& error) {
        EXPECT_STREQ(error.GetText(), "Can't load shadow texture nothere.tga");
    }
}

} // namespace
