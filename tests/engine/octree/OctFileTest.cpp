#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/octree/OctFile.h"
#include "engine/octree/OctreeMesh.h"
#include "tests/engine/octree/OctreeFixture.h"
#include "tests/support/ErrorText.h"

namespace {

void Poke32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + std::size_t(i)] = std::uint8_t(value >> (8 * i));
}

// A small model: one triangle and one pentagon over two materials and two lightmaps.
OctModel Small()
{
    OctModel model;
    model.materials = {"stone", "brick"};
    model.lightmaps = {OctLightmap{}, OctLightmap{}};
    model.AddFace(Corners({{0, 0, 0}, {0, 1, 0}, {1, 0, 0}}), 0, 0);
    model.AddFace(Corners({{0, 0, 2}, {0, 1, 2}, {1, 1.5f, 2}, {2, 1, 2}, {2, 0, 2}}), 1, 1);
    model.extras.push_back(OctExtra{{1, 2, 3}, {1, 0.5f, 0.25f}, 9});
    model.trailer[0] = 4, model.trailer[1] = 5, model.trailer[2] = 6;
    return model;
}

constexpr std::size_t kHeader = 20;
constexpr std::size_t kVertices = kHeader;     // 8 vertices of 28 bytes
constexpr std::size_t kFaces = kVertices + 8 * 28; // 2 faces of 32 bytes
constexpr std::size_t kMaterials = kFaces + 2 * 32;

} // namespace

TEST(OctFile, ReadsEveryFieldOfTheLayout)
{
    const std::vector<std::uint8_t> bytes = WriteOctFile(Small());
    ASSERT_EQ(bytes.size(), 20u + 8 * 28 + 2 * 32 + 2 * 68 + 2 * 49156 + 28 + 12);
    const OctFile file = ReadOctFile(bytes.data(), bytes.size(), "small.oct");
    ASSERT_EQ(file.vertices.size(), 8u);
    ASSERT_EQ(file.faces.size(), 2u);
    EXPECT_EQ(file.faces[1].firstVertex, 3);
    EXPECT_EQ(file.faces[1].vertexCount, 5);
    EXPECT_EQ(file.faces[1].material, 1);
    EXPECT_EQ(file.faces[1].lightmap, 1);
    EXPECT_EQ(file.vertices[5].position[1], 12.0f);
    EXPECT_EQ(file.materials[1].textureName, "brick");
    EXPECT_EQ(file.lightmaps[1].pixels.size(), 49152u);
    ASSERT_EQ(file.extras.size(), 1u);
    EXPECT_EQ(file.extras[0].color[1], 0.5f);
    EXPECT_EQ(file.extras[0].value, 9.0f);
    EXPECT_EQ(file.trailer[2], 6.0f);
}

// Each test in its own folder (the renderer fixture's), since files are written.
class OctFileOnDisk : public RendererTest {};

TEST_F(OctFileOnDisk, RefusesEveryCountAndIndexThatTheFileDoesNotHold)
{
    const std::vector<std::uint8_t> good = WriteOctFile(Small());
    struct Case {
        const char* name;
        std::size_t at;
        std::uint32_t value;
        const char* message;
    };
    const char* loading = "Error while loading hostile.oct";
    const char* tooMany = "hostile.oct has more than 65535 vertices";
    const Case cases[] = {
        {"negative vertex count", 0, 0xFFFFFFFFu, loading},
        {"65536 vertices", 0, 65536, tooMany},
        {"largest vertex count", 0, 0x7FFFFFFFu, tooMany},
        {"vertex count past the data", 0, 9, loading},
        {"negative face count", 4, 0x80000000u, loading},
        {"huge face count", 4, 0x7FFFFFFFu, loading},
        {"face count past the data", 4, 3, loading},
        {"negative material count", 8, 0xFFFFFFFFu, loading},
        {"huge material count", 8, 0x7FFFFFFFu, loading},
        {"negative lightmap count", 12, 0xFFFFFFFFu, loading},
        {"huge lightmap count", 12, 0x01000000u, loading},
        {"negative extra count", 16, 0xFFFFFFFFu, loading},
        {"huge extra count", 16, 0x7FFFFFFFu, loading},
        {"negative first vertex", kFaces, 0xFFFFFFFFu, loading},
        {"first vertex past the end", kFaces, 8, loading},
        {"corners past the end", kFaces + 32, 4, loading},
        {"face of one corner", kFaces + 4, 1, loading},
        {"face of no corner", kFaces + 4, 0, loading},
        {"negative corner count", kFaces + 4, 0xFFFFFFFDu, loading},
        {"huge corner count", kFaces + 4, 0x7FFFFFFFu, loading},
        {"material index = count", kFaces + 8, 2, loading},
        {"negative material index", kFaces + 8, 0xFFFFFFFFu, loading},
        {"lightmap index = count", kFaces + 12, 2, loading},
        {"negative lightmap index", kFaces + 32 + 12, 0xFFFFFFFFu, loading},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> bytes = good;
        Poke32(bytes, c.at, c.value);
        EXPECT_EQ(ErrorText([&] { ReadOctFile(bytes.data(), bytes.size(), "hostile.oct"); }), c.message);
        // The mesh refuses it with the same text before it makes anything.
        WriteBytes("hostile.oct", bytes);
        EXPECT_EQ(ErrorText([&] { OctreeMesh(nullptr, "hostile.oct", nullptr); }), c.message);
    }
    EXPECT_EQ(ErrorText([&] { OctreeMesh(nullptr, "missing.oct", nullptr); }), "Error while loading missing.oct");
}

TEST(OctFile, AFileCutShortAnywhereIsRefused)
{
    const std::vector<std::uint8_t> good = WriteOctFile(Small());
    for (std::size_t size = 0; size < good.size(); ++size)
        ASSERT_EQ(ErrorText([&] { ReadOctFile(good.data(), size, "cut.oct"); }), "Error while loading cut.oct")
            << size;
    // Bytes after the trailer are left alone.
    std::vector<std::uint8_t> longer = good;
    longer.resize(good.size() + 100, 0xAB);
    EXPECT_EQ(ReadOctFile(longer.data(), longer.size(), "long.oct").faces.size(), 2u);
}

TEST(OctFile, TextureNamesAreCutAtSixtyFourBytes)
{
    std::vector<std::uint8_t> bytes = WriteOctFile(Small());
    std::memset(&bytes[kMaterials + 4], 'x', 64); // no terminator in the field
    const OctFile file = ReadOctFile(bytes.data(), bytes.size(), "names.oct");
    EXPECT_EQ(file.materials[0].textureName, std::string(64, 'x'));
    EXPECT_EQ(file.materials[1].textureName, "brick");
}

TEST(OctFile, SixtyFiveThousandFiveHundredAndThirtyFiveVerticesAreTheLimit)
{
    OctModel model;
    model.materials = {"stone"};
    model.lightmaps = {OctLightmap{}};
    model.vertices.resize(65535);
    model.AddFace(Corners({{0, 0, 0}, {0, 1, 0}, {1, 0, 0}}), 0, 0); // three more vertices
    model.vertices.resize(65535);
    model.faces[0].firstVertex = 0;
    std::vector<std::uint8_t> bytes = WriteOctFile(model);
    EXPECT_EQ(ReadOctFile(bytes.data(), bytes.size(), "big.oct").vertices.size(), 65535u);
    model.vertices.resize(65536);
    bytes = WriteOctFile(model);
    EXPECT_EQ(ErrorText([&] { ReadOctFile(bytes.data(), bytes.size(), "bigger.oct"); }),
              "bigger.oct has more than 65535 vertices");
}

TEST(OctFile, FacesSharingVerticesCannotAddUpToAnEndlessMesh)
{
    OctModel model;
    model.materials = {"stone"};
    model.lightmaps = {OctLightmap{}};
    model.vertices.resize(65535);
    OctFace whole;
    whole.vertexCount = 65535;
    model.faces.assign(16, whole); // 16 x 65533 fan triangles over the same vertices
    std::vector<std::uint8_t> bytes = WriteOctFile(model);
    EXPECT_EQ(ReadOctFile(bytes.data(), bytes.size(), "shared.oct").faces.size(), 16u);
    model.faces.push_back(whole);
    bytes = WriteOctFile(model);
    EXPECT_EQ(ErrorText([&] { ReadOctFile(bytes.data(), bytes.size(), "endless.oct"); }),
              "Error while loading endless.oct");
}
