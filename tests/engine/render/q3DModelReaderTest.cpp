#include <cmath>
#include <cstring>

#include "engine/core/q3DError.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "engine/material/q3DModelReader.h"
#include "engine/mesh/MeshNode.h"
#include "engine/mesh/qMesh.h"
#include "tests/renderer/RendererFixture.h"
#include "tools/demodata/writers/Q3dWriter.h"
#include "tools/demodata/writers/TgaWriter.h"

namespace {

Q3dVertex V(float x, float y, float z, std::uint32_t color = 0xFF102030u)
{
    Q3dVertex v;
    v.position[0] = x;
    v.position[1] = y;
    v.position[2] = z;
    v.color = color;
    v.uv0[0] = x + 0.25f;
    v.uv0[1] = y + 0.5f;
    v.uv1[0] = 0.75f;
    v.uv1[1] = 0.125f;
    return v;
}

// Two objects; "used" and the shared texture appear in both, "unused" in none of the triangles.
std::vector<Q3dObject> SampleModel()
{
    Q3dObject first;
    first.name = "hull";
    first.properties = "collide solid";
    first.position[0] = 1;
    first.position[1] = 2;
    first.position[2] = 3;
    first.scale[1] = 2;
    first.rotation[1] = 0.5f;
    Q3dMaterial used;
    used.name = "used";
    used.texture0 = "skin.tga";
    used.color = 0xFF808080u;
    used.flags = 1;
    used.srcBlend = 5;
    used.destBlend = 6;
    used.stage1Op = 13;
    Q3dMaterial unused;
    unused.name = "unused";
    first.materials = {unused, used};
    first.triangles.push_back(Q3dTriangle{{V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)}, 1});
    first.triangles.push_back(Q3dTriangle{{V(0, 0, 1), V(1, 0, 1), V(0, 1, 1)}, 1});

    Q3dObject second;
    second.name = "turret";
    Q3dMaterial again;
    again.name = "again";
    again.texture0 = "skin.tga";
    second.materials = {again};
    second.triangles.push_back(Q3dTriangle{{V(5, 0, 0), V(6, 0, 0), V(5, 1, 0)}, 0});
    return {first, second};
}

class Q3dReaderTest : public RendererTest {
protected:
    void SetUp() override
    {
        RendererTest::SetUp();
        OpenWindowed();
        std::filesystem::create_directories("Models");
        WriteFile("Models/skin.tga", WriteTga(TgaImage(4, 4, 0xFF336699u), 24));
    }

    void TearDown() override
    {
        DeleteChildren();
        delete parent;
        parent = nullptr;
        RendererTest::TearDown();
    }

    std::string ReadError(const std::vector<std::uint8_t>& bytes)
    {
        q3DModelReader reader;
        try {
            reader.ReadMemory(device, bytes.data(), bytes.size(), "Models/bad.q3d", parent, nullptr);
        } catch (const q3DError& error) {
            return error.GetText();
        }
        return "";
    }

    void DeleteChildren()
    {
        while (parent->GetChildCount() > 0)
            delete parent->GetChild(0);
    }

    SceneNode* parent = new SceneNode();
};

} // namespace

TEST_F(Q3dReaderTest, ReadsObjectsMaterialsAndTriangles)
{
    WriteFile("Models/ship.q3d", WriteQ3dModel(SampleModel()));
    q3DModelReader reader;
    reader.ReadFile(device, "models\\SHIP.q3d", parent, nullptr);
    EXPECT_EQ(reader.objectCount, 2u);
    ASSERT_EQ(parent->GetChildCount(), 2);
    // Every object is a mesh node with a mesh of one prim per triangle and the mesh's bounds.
    auto* hull = dynamic_cast<MeshNode*>(parent->FindChild("HULL"));
    auto* turret = dynamic_cast<MeshNode*>(parent->FindChild("turret"));
    ASSERT_NE(hull, nullptr);
    ASSERT_NE(turret, nullptr);
    ASSERT_NE(hull->GetMesh(), nullptr);
    ASSERT_NE(turret->GetMesh(), nullptr);
    EXPECT_EQ(hull->GetMesh()->GetBoundingBox().min, Vector3(0, 0, 0));
    EXPECT_EQ(hull->GetMesh()->GetBoundingBox().max, Vector3(1, 1, 1));
    EXPECT_FLOAT_EQ(hull->GetMesh()->GetRadius(), std::sqrt(2.0f));
    EXPECT_EQ(turret->GetMesh()->GetBoundingBox().min, Vector3(5, 0, 0));
    EXPECT_EQ(turret->GetMesh()->GetBoundingBox().max, Vector3(6, 1, 0));
    EXPECT_EQ(turret->GetMesh()->GetRadius(), 6.0f);
    ASSERT_NE(hull->properties, nullptr);
    EXPECT_STREQ(hull->properties, "collide solid");
    EXPECT_EQ(turret->properties, nullptr);
    EXPECT_EQ(hull->position, Vector3(1, 2, 3));
    EXPECT_EQ(hull->scale, Vector3(1, 2, 1));
    EXPECT_EQ(hull->rotation.m[1], 0.5f);

    ASSERT_EQ(hull->GetMesh()->GetPrimCount(), 2);
    D3DPrim* prim = hull->GetMesh()->prims[0];
    EXPECT_EQ(prim->primitiveType, PrimTriangleList);
    EXPECT_EQ(prim->GetVertexCount(true), 3);
    EXPECT_EQ(prim->GetIndexCount(true), 0);
    VertexLayout layout;
    prim->GetVertexFormat(&layout);
    EXPECT_EQ(layout, VertexLayout().InitLitTextured());
    const auto* bytes = static_cast<const std::uint8_t*>(prim->GetVertices(false, true));
    float values[11];
    std::memcpy(values, bytes + 44, sizeof(values)); // second vertex
    EXPECT_EQ(values[0], 1.0f);
    EXPECT_EQ(values[1], 0.0f);
    EXPECT_EQ(values[2], 0.0f);
    std::uint32_t color;
    std::memcpy(&color, bytes + 44 + 24, 4);
    EXPECT_EQ(color, 0xFF102030u);
    EXPECT_EQ(values[7], 1.25f);  // uv0.u
    EXPECT_EQ(values[8], 0.5f);   // uv0.v
    EXPECT_EQ(values[9], 0.75f);  // uv1.u
    EXPECT_EQ(values[10], 0.125f);

    const Material* material = prim->material;
    ASSERT_NE(material, nullptr);
    EXPECT_STREQ(material->name, "used");
    EXPECT_EQ(material->color, 0xFF808080u);
    EXPECT_EQ(material->lightingMode, 2);
    EXPECT_EQ(material->cullFlags & Material::kTwoSided, Material::kTwoSided);
    EXPECT_EQ(material->srcBlend, BlendSrcAlpha);
    EXPECT_EQ(material->colorOp[0], 13);
    EXPECT_EQ(hull->GetMesh()->prims[1]->material, material);
    ASSERT_NE(material->texture[0], nullptr);
    EXPECT_STREQ(material->texture[0]->GetName(), "models/skin.tga");
    // 24-bit images are kept as R5G6B5.
    EXPECT_EQ(material->texture[0]->GetFormat(), FormatR5G6B5);

    // The turret names the same texture: a clone of the first bitmap, sharing its image.
    const Material* other = turret->GetMesh()->prims[0]->material;
    ASSERT_NE(other->texture[0], nullptr);
    EXPECT_NE(other->texture[0], material->texture[0]);
    EXPECT_STREQ(other->texture[0]->GetName(), material->texture[0]->GetName());
    DeleteChildren();
}

TEST_F(Q3dReaderTest, AlphaTextureForcesAlphaBlending)
{
    WriteFile("Models/glass.tga", WriteTga(TgaImage(4, 4, 0x80FFFFFFu), 32));
    Q3dObject object;
    object.name = "window";
    Q3dMaterial glass;
    glass.texture0 = "glass.tga";
    object.materials = {glass};
    object.triangles.push_back(Q3dTriangle{{V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)}, 0});
    WriteFile("Models/window.q3d", WriteQ3dModel({object}));
    q3DModelReader reader;
    reader.ReadFile(device, "Models/window.q3d", parent, nullptr);
    auto* node = dynamic_cast<MeshNode*>(parent->GetChild(0));
    ASSERT_NE(node, nullptr);
    ASSERT_NE(node->GetMesh(), nullptr);
    const Material* material = node->GetMesh()->prims[0]->material;
    EXPECT_EQ(material->texture[0]->GetFormat(), FormatA4R4G4B4);
    EXPECT_EQ(material->srcBlend, BlendSrcAlpha);
    EXPECT_EQ(material->destBlend, BlendInvSrcAlpha);
    DeleteChildren();
}

TEST_F(Q3dReaderTest, VersionAndMissingFileMessages)
{
    std::vector<std::uint8_t> bytes = WriteQ3dModel(SampleModel());
    const float wrong = 1.2f;
    std::memcpy(bytes.data(), &wrong, 4);
    EXPECT_EQ(ReadError(bytes), "Incorrect q3D version: Models/bad.q3d, 1.200 expected 1.100");
    q3DModelReader reader;
    try {
        reader.ReadFile(device, "Models/none.q3d", parent, nullptr);
        FAIL();
    } catch (const q3DError& error) {
        EXPECT_STREQ(error.GetText(), "Can't find file Models/none.q3d");
    }
}

TEST_F(Q3dReaderTest, MissingTextureNamesThePathTried)
{
    Q3dObject object;
    object.name = "x";
    Q3dMaterial m;
    m.texture0 = "nothere.tga";
    object.materials = {m};
    const std::string error = ReadError(WriteQ3dModel({object}));
    EXPECT_EQ(error.rfind("Error loading texture Models/nothere.tga : ", 0), 0u) << error;
}

TEST_F(Q3dReaderTest, HostileFilesAreRefusedWithAnError)
{
    const std::vector<std::uint8_t> good = WriteQ3dModel(SampleModel());
    // Every cut of a valid file is refused by the length checks, not by whatever fails later.
    EXPECT_EQ(ReadError({}), "Incorrect q3D version: Models/bad.q3d, 0.000 expected 1.100");
    for (std::size_t cut = 4; cut < good.size(); cut += 37) {
        const std::vector<std::uint8_t> truncated(good.begin(), good.begin() + std::ptrdiff_t(cut));
        const std::string error = ReadError(truncated);
        EXPECT_EQ(error.rfind("Corrupt q3D file Models/bad.q3d: ", 0), 0u) << "cut at " << cut << ": " << error;
        DeleteChildren();
    }
    struct Case {
        const char* what;
        std::size_t offset;
        std::uint32_t value;
        const char* expected;
    };
    const std::size_t objectStart = 8;
    const std::size_t propertyLength = objectStart + 256;
    const std::size_t afterProperties = propertyLength + 4 + 13;
    const std::size_t materialCount = afterProperties + 9 * 4 + 3 * 4 + 3 * 4;
    const std::size_t triangleCount = materialCount + 4 + 2 * 792;
    const std::size_t firstIndex = triangleCount + 4 + 108;
    const Case cases[] = {
        {"object count", 4, 0xFFFFFFFFu, "Corrupt q3D file Models/bad.q3d: 4294967295 objects cannot fit"},
        {"property length", propertyLength, 0x7FFFFFFFu, "Corrupt q3D file Models/bad.q3d: a property text runs past"},
        {"material count", materialCount, 0x10000000u, "Corrupt q3D file Models/bad.q3d: 268435456 materials cannot"},
        {"triangle count", triangleCount, 0x00FFFFFFu, "Corrupt q3D file Models/bad.q3d: 16777215 triangles cannot"},
        {"material index", firstIndex, 2u, "Corrupt q3D file Models/bad.q3d: triangle 0 uses material 2 of 2"},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes = good;
        for (int i = 0; i < 4; ++i)
            bytes[c.offset + std::size_t(i)] = std::uint8_t(c.value >> (8 * i));
        const std::string error = ReadError(bytes);
        EXPECT_EQ(error.rfind(c.expected, 0), 0u) << c.what << ": " << error;
        DeleteChildren();
    }

    // A bad second triangle: the node keeps its mesh with the first one, nothing is rolled back.
    std::vector<std::uint8_t> bytes = good;
    bytes[firstIndex + 112] = 7;
    EXPECT_EQ(ReadError(bytes).rfind("Corrupt q3D file Models/bad.q3d: triangle 1 uses material 7 of 2", 0), 0u);
    auto* hull = dynamic_cast<MeshNode*>(parent->FindChild("hull"));
    ASSERT_NE(hull, nullptr);
    ASSERT_NE(hull->GetMesh(), nullptr);
    ASSERT_EQ(hull->GetMesh()->GetPrimCount(), 1);
    EXPECT_STREQ(hull->GetMesh()->prims[0]->material->name, "used");
    DeleteChildren();
}

TEST_F(Q3dReaderTest, NamesWithoutTerminatorAreCut)
{
    Q3dObject object;
    object.name = std::string(300, 'n');
    std::vector<std::uint8_t> bytes = WriteQ3dModel({object});
    bytes[8 + 255] = 'n'; // no terminator inside the 256-byte field
    q3DModelReader reader;
    reader.ReadMemory(device, bytes.data(), bytes.size(), "Models/long.q3d", parent, nullptr);
    ASSERT_EQ(parent->GetChildCount(), 1);
    EXPECT_EQ(std::strlen(parent->GetChild(0)->GetName()), 255u);
    DeleteChildren();
}

TEST_F(Q3dReaderTest, TriangleRecordIs112BytesWithReservedVertexBytes)
{
    Q3dObject object;
    object.name = "t";
    object.materials.resize(1);
    object.triangles.push_back(Q3dTriangle{{V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)}, 0});
    std::vector<std::uint8_t> one = WriteQ3dModel({object});
    object.triangles.push_back(object.triangles[0]);
    const std::vector<std::uint8_t> two = WriteQ3dModel({object});
    EXPECT_EQ(two.size() - one.size(), 112u);
    // The reserved bytes of each vertex are ignored when read.
    const std::size_t triangle = one.size() - 112;
    for (int v = 0; v < 3; ++v)
        for (int b = 32; b < 36; ++b)
            one[triangle + std::size_t(v) * 36 + std::size_t(b)] = 0xEE;
    q3DModelReader reader;
    reader.ReadMemory(device, one.data(), one.size(), "Models/t.q3d", parent, nullptr);
    auto* node = dynamic_cast<MeshNode*>(parent->GetChild(0));
    ASSERT_NE(node, nullptr);
    ASSERT_NE(node->GetMesh(), nullptr);
    ASSERT_EQ(node->GetMesh()->GetPrimCount(), 1);
    float y;
    std::memcpy(&y, static_cast<const std::uint8_t*>(node->GetMesh()->prims[0]->GetVertices(false, true)) + 88 + 4, 4);
    EXPECT_EQ(y, 1.0f);
    DeleteChildren();
}

TEST_F(Q3dReaderTest, DemoModelsLoad)
{
    // The build generates the demo data before the tests run; its absence is a failure.
    const std::string data = BEXAL_DATA_DIR;
    ASSERT_TRUE(std::filesystem::exists(data + "/GameData/Models/Props/tent.q3d")) << "no demo data in " << data;
    std::filesystem::current_path(data);
    q3DModelReader reader;
    reader.ReadFile(device, "GameData/Models/Props/tent.q3d", parent, nullptr);
    std::filesystem::current_path(folder);
    ASSERT_EQ(parent->GetChildCount(), 2);
    // A cylinder wall of 8 sides with both caps, and a cone roof with its bottom cap.
    struct Expected {
        const char* name;
        int triangles;
        float top;
        const char* properties;
    };
    for (const Expected& e : {Expected{"wall", 32, 1.0f, nullptr}, Expected{"roof", 16, 1.2f, "collide"}}) {
        auto* node = dynamic_cast<MeshNode*>(parent->FindChild(e.name));
        ASSERT_NE(node, nullptr) << e.name;
        ASSERT_NE(node->GetMesh(), nullptr) << e.name;
        EXPECT_EQ(node->GetMesh()->GetPrimCount(), e.triangles) << e.name;
        EXPECT_FLOAT_EQ(node->GetMesh()->GetBoundingBox().min.y, 0.0f) << e.name;
        EXPECT_FLOAT_EQ(node->GetMesh()->GetBoundingBox().max.y, e.top) << e.name;
        if (e.properties)
            EXPECT_STREQ(node->properties, e.properties);
        else
            EXPECT_EQ(node->properties, nullptr);
    }
    DeleteChildren();
}
