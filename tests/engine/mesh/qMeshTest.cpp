#include <cmath>
#include <cstring>

#include "engine/mesh/ModelMesh.h"
#include "tests/engine/mesh/MeshFixture.h"
#include "tests/engine/mesh/RecordingDevice.h"
#include "tests/support/ErrorText.h"

namespace {

class qMeshTest : public MeshTestBase {
protected:
    // A mesh that owns the given prims.
    qMesh* MeshOf(std::vector<D3DPrim*> prims)
    {
        auto* mesh = new qMesh(device, 0);
        mesh->prims = std::move(prims);
        return mesh;
    }
};

} // namespace

TEST_F(qMeshTest, BoundsCoverEveryVertexAndRadiusIsTheFarthestFromTheOrigin)
{
    auto* material = new Material();
    std::unique_ptr<qMesh> mesh(MeshOf({
        MakePrim({{{1, 2, 3}}, {{-4, 0, 1}}, {{0, -1, 0}}}, material),
        MakePrim({{{0, 0, 6}}, {{2, 2, 2}}, {{0, 5, -2}}}, material),
    }));
    mesh->ComputeBounds();
    ExpectNear(mesh->GetBoundingBox().min, Vector3(-4, -1, -2));
    ExpectNear(mesh->GetBoundingBox().max, Vector3(2, 5, 6));
    EXPECT_FLOAT_EQ(mesh->GetRadius(), 6.0f);

    qMesh empty(device, 0);
    empty.ComputeBounds();
    EXPECT_TRUE(empty.GetBoundingBox().IsEmpty());
    EXPECT_EQ(empty.GetBoundingBox().min.x, 3.4e38f);
    EXPECT_EQ(empty.GetRadius(), 0.0f);
}

TEST_F(qMeshTest, NormalsAreSmoothedAcrossPrimsByExactPosition)
{
    auto* material = new Material();
    // Two faces meeting at the edge (0,0,0)-(0,1,0): one facing -z, one facing -x; and a
    // collinear prim whose lone far vertex has no other face.
    std::unique_ptr<qMesh> mesh(MeshOf({
        MakePrim({{{0, 0, 0}}, {{0, 1, 0}}, {{1, 0, 0}}}, material),
        MakePrim({{{0, 0, 0}}, {{0, 0, 1}}, {{0, 1, 0}}}, material),
        MakePrim({{{5, 5, 5}}, {{6, 6, 6}}, {{7, 7, 7}}}, material),
    }));
    mesh->ComputeNormals();
    const float d = 1.0f / std::sqrt(2.0f);
    const std::vector<Vector3> first = Normals(mesh->prims[0]);
    const std::vector<Vector3> second = Normals(mesh->prims[1]);
    ExpectNear(first[0], Vector3(-d, 0, -d));
    ExpectNear(second[0], Vector3(-d, 0, -d));
    ExpectNear(first[1], Vector3(-d, 0, -d));
    ExpectNear(second[2], Vector3(-d, 0, -d));
    ExpectNear(first[2], Vector3(0, 0, -1));
    ExpectNear(second[1], Vector3(-1, 0, 0));
    for (const Vector3& n : Normals(mesh->prims[2]))
        EXPECT_EQ(n, Vector3());
}

TEST_F(qMeshTest, WeldingMergesVerticesEqualInPositionAndBothUvSets)
{
    struct Case {
        const char* name;
        TestVertex secondA, secondB; // the second triangle's copies of the shared edge
        int vertices;
    };
    const Case cases[] = {
        {"identical edge", {{1, 0, 0}, 1, 0}, {{0, 1, 0}, 0, 1}, 4},
        {"within 0.001", {{1.0005f, 0, 0}, 1, 0}, {{0, 1, 0.0004f}, 0, 1.0003f}, 4},
        {"different uvs", {{1, 0, 0}, 0.5f, 0}, {{0, 1, 0}, 0, 0.5f}, 6},
        {"apart by 0.002", {{1.002f, 0, 0}, 1, 0}, {{0, 1, 0}, 0, 1}, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto* material = new Material();
        std::strcpy(material->name, "skin");
        qMesh* source = MeshOf({
            MakePrim({{{0, 0, 0}, 0, 0}, {{0, 1, 0}, 0, 1}, {{1, 0, 0}, 1, 0}}, material),
            MakePrim({c.secondA, c.secondB, {{1, 1, 0}, 1, 1}}, material),
        });
        source->ComputeBounds();
        ModelMesh welded(*source);
        ASSERT_EQ(welded.GetPrimCount(), 1);
        D3DPrim* prim = welded.prims[0];
        EXPECT_EQ(prim->GetVertexCount(true), c.vertices);
        EXPECT_EQ(prim->GetIndexCount(true), 6);
        EXPECT_EQ(welded.welded, 1);
        EXPECT_EQ(welded.GetRadius(), source->GetRadius());
        // The welded prim has a copy of the material, not the source's.
        ASSERT_NE(prim->material, nullptr);
        EXPECT_NE(prim->material, material);
        EXPECT_STREQ(prim->material->name, "skin");
        // Every corner still names its own position.
        MeshIndices indices(prim, false);
        MeshVertices vertices(prim, false);
        EXPECT_EQ(vertices.Position(indices[2]), Vector3(1, 0, 0));
        EXPECT_EQ(vertices.Position(indices[5]), Vector3(1, 1, 0));
        delete source;
    }
}

TEST_F(qMeshTest, WeldingMakesOnePrimPerMaterialInFirstUseOrder)
{
    auto* red = new Material();
    auto* blue = new Material();
    std::strcpy(red->name, "red");
    std::strcpy(blue->name, "blue");
    std::unique_ptr<qMesh> source(MeshOf({
        MakePrim({{{0, 0, 0}}, {{0, 1, 0}}, {{1, 0, 0}}}, red),
        MakePrim({{{0, 0, 1}}, {{0, 1, 1}}, {{1, 0, 1}}}, blue),
        MakePrim({{{0, 0, 2}}, {{0, 1, 2}}, {{1, 0, 2}}}, red),
    }));
    ModelMesh welded(*source);
    ASSERT_EQ(welded.GetPrimCount(), 2);
    EXPECT_STREQ(welded.prims[0]->material->name, "red");
    EXPECT_EQ(welded.prims[0]->GetIndexCount(true), 6);
    EXPECT_STREQ(welded.prims[1]->material->name, "blue");
    EXPECT_EQ(welded.prims[1]->GetIndexCount(true), 3);
}

TEST_F(qMeshTest, WeldingRefusesMoreVerticesThanSixteenBitIndicesReach)
{
    // One system-memory prim of distinct triangles: 21845 of them need exactly 65535 vertices.
    for (const int triangles : {21845, 21846}) {
        std::vector<TestVertex> vertices;
        for (int t = 0; t < triangles; ++t) {
            const float x = float(t);
            vertices.push_back({{x, 0, 0}});
            vertices.push_back({{x, 1, 0}});
            vertices.push_back({{x + 0.5f, 0, 0}});
        }
        std::unique_ptr<qMesh> source(MeshOf({MakePrim(vertices, new Material(), {}, PrimSystemMemory)}));
        const std::string error = ErrorText([&] { ModelMesh welded(*source); });
        if (triangles == 21845)
            EXPECT_EQ(error, "");
        else
            EXPECT_NE(error.find("Can't create prim:"), std::string::npos) << error;
    }
}

TEST_F(qMeshTest, ModelMeshNormalsFallBackToTheFaceWhereSmoothingCancels)
{
    // Two faces back to back at the same positions: their sum is zero, so each corner takes its
    // own face's normal. The plain qMesh rule keeps zero there.
    auto* material = new Material();
    std::unique_ptr<qMesh> source(MeshOf({MakePrim(
        {{{0, 0, 0}}, {{0, 1, 0}}, {{1, 0, 0}}, {{1, 0, 0}}, {{0, 1, 0}}, {{0, 0, 0}}}, material, {0, 1, 2, 3, 4, 5})}));
    ModelMesh copy(*source, true);
    copy.ComputeNormals();
    const std::vector<Vector3> normals = Normals(copy.prims[0]);
    for (int i = 0; i < 3; ++i)
        ExpectNear(normals[std::size_t(i)], Vector3(0, 0, -1));
    for (int i = 3; i < 6; ++i)
        ExpectNear(normals[std::size_t(i)], Vector3(0, 0, 1));

    qMesh plain(device, 0);
    plain.CopyFrom(*source);
    plain.ComputeNormals();
    // One triangle per prim: only the first face counts, at every vertex on its positions.
    for (const Vector3& n : Normals(plain.prims[0]))
        ExpectNear(n, Vector3(0, 0, -1));
}

TEST_F(qMeshTest, CopyFromIsDeepAndKeepsSharedMaterialsShared)
{
    auto* shared = new Material();
    std::strcpy(shared->name, "shared");
    D3DBitmap* texture = device->CreateBitmap(&shared->texture[0]);
    ASSERT_EQ(texture->Create("copytex", 4, 4, FormatA8R8G8B8, 0), 1);
    std::unique_ptr<qMesh> source(MeshOf({
        MakePrim({{{0, 0, 0}}, {{0, 1, 0}}, {{1, 0, 0}}}, shared),
        MakePrim({{{0, 0, 1}}, {{0, 1, 1}}, {{1, 0, 1}}, {{2, 2, 2}}}, shared, {0, 1, 2, 1, 3, 2}),
    }));
    source->ComputeBounds();
    qMesh copy(device, 0);
    copy.CopyFrom(*source);
    ASSERT_EQ(copy.GetPrimCount(), 2);
    EXPECT_NE(copy.prims[0], source->prims[0]);
    EXPECT_EQ(copy.prims[0]->material, copy.prims[1]->material);
    EXPECT_NE(copy.prims[0]->material, shared);
    EXPECT_STREQ(copy.prims[0]->material->name, "shared");
    EXPECT_NE(copy.prims[0]->material->texture[0], nullptr);
    EXPECT_NE(copy.prims[0]->material->texture[0], texture);
    EXPECT_EQ(Positions(copy.prims[1]), Positions(source->prims[1]));
    EXPECT_EQ(copy.prims[1]->GetIndexCount(true), 6);
    EXPECT_EQ(copy.GetRadius(), source->GetRadius());
    EXPECT_EQ(copy.GetMaterials().size(), 1u);

    // Changing the copy leaves the source alone; releasing the source leaves the copy whole.
    copy.Scale(2.0f);
    EXPECT_EQ(Positions(source->prims[0])[1], Vector3(0, 1, 0));
    source.reset();
    EXPECT_EQ(Positions(copy.prims[0])[1], Vector3(0, 2, 0));
}

TEST_F(qMeshTest, SphereHasTheAskedTrianglesOnTheUnitSphere)
{
    for (const int subdivisions : {1, 3, 6}) {
        qMesh sphere;
        sphere.CreateSphere(device, subdivisions);
        ASSERT_EQ(sphere.GetPrimCount(), 1);
        const int triangles = 8 * (1 << (2 * (subdivisions - 1)));
        EXPECT_EQ(sphere.prims[0]->GetVertexCount(true), 3 * triangles);
        MeshVertices vertices(sphere.prims[0], false);
        float largestU = -1.0f;
        for (int i = 0; i < vertices.Count(); ++i) {
            EXPECT_NEAR(vertices.Position(i).Length(), 1.0f, 1e-5f);
            EXPECT_EQ(vertices.Normal(i), vertices.Position(i));
            float uv[2];
            vertices.TexCoord(0, i, uv);
            EXPECT_GE(uv[1], 0.05f - 1e-5f);
            EXPECT_LE(uv[1], 0.95f + 1e-5f);
            largestU = std::max(largestU, uv[0]);
        }
        EXPECT_NEAR(largestU, 0.95f, 1e-5f);
        // Seen from outside every face is a front face: a ray from afar hits the facets just
        // inside the unit sphere.
        sphere.ComputeBounds();
        HitResult hit;
        hit.origin = Vector3(0.1f, 0.05f, -5);
        hit.direction = Vector3(0, 0, 1);
        EXPECT_TRUE(sphere.IntersectRay(hit, nullptr));
        EXPECT_GE(hit.distance, 4.0f - 1e-4f);
        EXPECT_LE(hit.distance, 4.15f + 1e-4f);
    }
    qMesh sphere;
    for (const int refused : {0, 7})
        EXPECT_EQ(ErrorText([&] { sphere.CreateSphere(device, refused); }),
                  "Invalid number of subdivisions in qMesh::CreateSphere");
}

TEST_F(qMeshTest, PickTakesTheNearestTriangleAndReportsItsMaterial)
{
    auto* nearMaterial = new Material();
    auto* farMaterial = new Material();
    // Two squares facing -z (towards the ray) at z = 5 and z = 3, listed far first.
    std::unique_ptr<qMesh> mesh(MeshOf({
        MakePrim({{{-1, -1, 5}}, {{-1, 1, 5}}, {{1, -1, 5}}}, farMaterial),
        MakePrim({{{-1, -1, 3}}, {{-1, 1, 3}}, {{1, -1, 3}}}, nearMaterial),
    }));
    mesh->ComputeBounds();

    HitResult hit;
    hit.origin = Vector3(-0.5f, -0.5f, 0);
    hit.direction = Vector3(0, 0, 1);
    ASSERT_TRUE(mesh->IntersectRay(hit, nullptr));
    EXPECT_FLOAT_EQ(hit.distance, 3.0f);
    ExpectNear(hit.hitPoint, Vector3(-0.5f, -0.5f, 3));
    EXPECT_EQ(hit.hitObject, nearMaterial);
    ExpectNear(hit.normal, Vector3(0, 0, -4));
    EXPECT_EQ(hit.hitCount, 2); // the far one was nearer than nothing first

    // A record that already holds something nearer is not changed.
    HitResult nearer;
    nearer.origin = hit.origin;
    nearer.direction = hit.direction;
    nearer.distance = 2.0f;
    EXPECT_FALSE(mesh->IntersectRay(nearer, nullptr));
    EXPECT_EQ(nearer.distance, 2.0f);
    EXPECT_EQ(nearer.hitCount, 0);

    // Missing the bounding sphere touches nothing.
    HitResult miss;
    miss.origin = Vector3(50, 0, 0);
    miss.direction = Vector3(0, 0, 1);
    EXPECT_FALSE(mesh->IntersectRay(miss, nullptr));
    EXPECT_EQ(miss.distance, 3.4e38f);
    EXPECT_EQ(miss.hitPoint, Vector3());
    EXPECT_EQ(miss.hitCount, 0);
}

TEST_F(qMeshTest, MaterialsAreListedOnceAndSortingGroupsThem)
{
    auto* a = new Material();
    auto* b = new Material();
    std::unique_ptr<qMesh> mesh(MeshOf({
        MakePrim({{{0, 0, 0}}, {{0, 1, 0}}, {{1, 0, 0}}}, a),
        MakePrim({{{0, 0, 0}}, {{0, 1, 0}}, {{1, 0, 0}}}, b),
        MakePrim({{{0, 0, 0}}, {{0, 1, 0}}, {{1, 0, 0}}}, a),
    }));
    EXPECT_EQ(mesh->GetMaterials(), (std::vector<Material*>{a, b}));
    mesh->SortPrims();
    EXPECT_TRUE(mesh->prims[0]->material == mesh->prims[1]->material ||
                mesh->prims[1]->material == mesh->prims[2]->material);
    mesh->SetVertexColor(0x80112233u);
    MeshVertices vertices(mesh->prims[2], false);
    EXPECT_EQ(vertices.Diffuse(1), 0x80112233u);
}

TEST_F(qMeshTest, DebugLinesAreWhiteLineListsDrawnWithoutFog)
{
    RecordingDevice recorder(device);
    auto* material = new Material();
    std::unique_ptr<qMesh> mesh(MeshOf({MakePrim({{{0, 0, 0}}, {{0, 1, 0}}, {{1, 0, 0}}}, material)}));
    mesh->ComputeBounds();
    mesh->ComputeNormals();
    recorder.SetFogEnable(true);
    recorder.SetMaterial(material);

    struct Case {
        const char* name;
        std::uint8_t box, face, vertex;
        int lineVertices;
    };
    const Case cases[] = {
        {"none", 0, 0, 0, 0},
        {"box", 1, 0, 0, 24},
        {"face normal", 0, 1, 0, 2},
        {"vertex normals", 0, 0, 1, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        recorder.userDraws.clear();
        recorder.primDraws.clear();
        mesh->showBox = c.box;
        mesh->showFaceNormals = c.face;
        mesh->showVertexNormals = c.vertex;
        mesh->Draw(&recorder);
        EXPECT_EQ(recorder.primDraws.size(), 1u);
        if (c.lineVertices == 0) {
            EXPECT_TRUE(recorder.userDraws.empty());
            continue;
        }
        ASSERT_EQ(recorder.userDraws.size(), 1u);
        const RecordingDevice::UserDraw& lines = recorder.userDraws[0];
        EXPECT_EQ(lines.primitiveType, PrimLineList);
        EXPECT_EQ(lines.vertexCount, c.lineVertices);
        EXPECT_EQ(lines.Word(0, lines.layout.offsets[VertexLayout::Diffuse]), 0xFFFFFFFFu);
        EXPECT_FALSE(lines.fog);
        EXPECT_TRUE(recorder.GetFogEnable());
        EXPECT_EQ(recorder.GetMaterial(), nullptr);
    }
    // The face normal starts at the centre and is the unnormalised cross product.
    mesh->showBox = mesh->showVertexNormals = 0;
    mesh->showFaceNormals = 1;
    recorder.userDraws.clear();
    mesh->Draw(&recorder);
    const RecordingDevice::UserDraw& lines = recorder.userDraws[0];
    ExpectNear(Vector3(lines.Float(0, 0), lines.Float(0, 4), lines.Float(0, 8)), Vector3(1.0f / 3, 1.0f / 3, 0));
    ExpectNear(Vector3(lines.Float(1, 0), lines.Float(1, 4), lines.Float(1, 8)), Vector3(1.0f / 3, 1.0f / 3, -1));
}
