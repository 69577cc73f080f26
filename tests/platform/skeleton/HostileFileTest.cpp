#include "platform/skeleton/BasisConversion.h"
#include "platform/skeleton/FileReader.h"
#include "tests/platform/skeleton/SkeletonFixtures.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

using namespace platform::skeleton;

namespace {

void PutFloats(std::vector<std::uint8_t>& bin, std::initializer_list<float> values)
{
    for (float v : values) {
        std::uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        for (int i = 0; i < 4; ++i)
            bin.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
    }
}

// A skinned triangle whose JSON is assembled from parts each case may replace. The binary chunk:
// positions at 0 (36 bytes), joints at 36 (12 bytes), weights at 48 (48 bytes), indices at 96
// (6 bytes + 2 padding), key times at 104 (8 bytes), rotation keys at 112 (32 bytes).
struct Document {
    std::string nodes = R"([{"name":"root","children":[1]},{"name":"bone"},{"name":"skin","mesh":0,"skin":0}])";
    std::string scenes = R"([{"nodes":[0,2]}])";
    std::string meshes =
        R"([{"primitives":[{"attributes":{"POSITION":0,"JOINTS_0":1,"WEIGHTS_0":2},"indices":3}]}])";
    std::string skins = R"([{"joints":[0,1]}])";
    std::string animations =
        R"([{"samplers":[{"input":4,"output":5}],"channels":[{"sampler":0,"target":{"node":1,"path":"rotation"}}]}])";
    std::string accessors = R"([{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3"},)"
                            R"({"bufferView":1,"componentType":5121,"count":3,"type":"VEC4"},)"
                            R"({"bufferView":2,"componentType":5126,"count":3,"type":"VEC4"},)"
                            R"({"bufferView":3,"componentType":5123,"count":3,"type":"SCALAR"},)"
                            R"({"bufferView":4,"componentType":5126,"count":2,"type":"SCALAR"},)"
                            R"({"bufferView":5,"componentType":5126,"count":2,"type":"VEC4"}])";
    std::string bufferViews = R"([{"buffer":0,"byteOffset":0,"byteLength":36},)"
                              R"({"buffer":0,"byteOffset":36,"byteLength":12},)"
                              R"({"buffer":0,"byteOffset":48,"byteLength":48},)"
                              R"({"buffer":0,"byteOffset":96,"byteLength":6},)"
                              R"({"buffer":0,"byteOffset":104,"byteLength":8},)"
                              R"({"buffer":0,"byteOffset":112,"byteLength":32}])";
    std::string buffers = R"([{"byteLength":144}])";
    std::string extra;
    std::vector<std::uint8_t> bin;

    Document()
    {
        PutFloats(bin, {0, 0, 0, 1, 0, 0, 0, 1, 0});
        for (std::uint8_t j : {0, 1, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0})
            bin.push_back(j);
        PutFloats(bin, {0.5f, 0.5f, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0});
        for (std::uint8_t i : {0, 0, 1, 0, 2, 0, 0, 0})
            bin.push_back(i);
        PutFloats(bin, {0.0f, 1.0f});
        PutFloats(bin, {0, 0, 0, 1, 0, 0, 0.70710677f, 0.70710677f});
    }

    std::vector<std::uint8_t> Bytes() const
    {
        const std::string json = R"({"asset":{"version":"2.0"},"scene":0,"scenes":)" + scenes + R"(,"nodes":)" + nodes +
                                 R"(,"meshes":)" + meshes + R"(,"skins":)" + skins + R"(,"animations":)" + animations +
                                 R"(,"accessors":)" + accessors + R"(,"bufferViews":)" + bufferViews +
                                 R"(,"buffers":)" + buffers + extra + "}";
        return PackGlb(json, bin);
    }
};

void Replace(std::string& text, const std::string& from, const std::string& to)
{
    const std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
}

void Store32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Gives the skin inverse bind matrices: count matrices read from the start of the binary chunk.
void AddBindMatrices(Document& d, int count)
{
    Replace(d.accessors, R"("type":"VEC4"}])",
            R"("type":"VEC4"},{"bufferView":6,"componentType":5126,"count":)" + std::to_string(count) +
                R"(,"type":"MAT4"}])");
    Replace(d.bufferViews, R"("byteLength":32}])",
            R"("byteLength":32},{"buffer":0,"byteOffset":0,"byteLength":)" + std::to_string(64 * count) + "}]");
    Replace(d.skins, "[0,1]}", R"([0,1],"inverseBindMatrices":6})");
}

std::unique_ptr<File> ReadWithError(const std::vector<std::uint8_t>& bytes, std::string& error)
{
    std::unique_ptr<File> file = ReadFile(bytes, error);
    if (file)
        TransformFile(*file, EngineBasisConversion());
    return file;
}

} // namespace

TEST(SkeletonHostileFiles, TheBaseDocumentLoads)
{
    std::string error;
    std::unique_ptr<File> file = ReadWithError(Document().Bytes(), error);
    ASSERT_TRUE(file) << error;
    EXPECT_EQ(file->meshes[0].VertexCount(), 3);
    EXPECT_EQ(file->skeletons[0].BoneCount(), 3);
    EXPECT_FLOAT_EQ(file->animations[0].duration, 1.0f);
}

TEST(SkeletonHostileFiles, EachFaultGivesAMessageAndNoFile)
{
    struct Case {
        const char* name;
        std::function<void(Document&)> edit;
        const char* message; // part of the expected message
    };
    const Case cases[] = {
        {"accessor index out of range", [](Document& d) { Replace(d.meshes, R"("POSITION":0)", R"("POSITION":9)"); }, "accessor index out of range"},
        {"negative accessor index", [](Document& d) { Replace(d.meshes, R"("indices":3)", R"("indices":-5)"); }, "accessor"},
        {"view past its buffer", [](Document& d) { Replace(d.bufferViews, R"("byteOffset":112,"byteLength":32)", R"("byteOffset":120,"byteLength":32)"); }, "past its buffer"},
        {"huge view offset", [](Document& d) { Replace(d.bufferViews, R"("byteOffset":36,)", R"("byteOffset":18446744073709551000,)"); }, "buffer view reaches past its buffer"},
        {"accessor count past its view", [](Document& d) { Replace(d.accessors, R"("count":3,"type":"VEC3")", R"("count":4,"type":"VEC3")"); }, "past its buffer view"},
        {"huge accessor count", [](Document& d) { Replace(d.accessors, R"("count":3,"type":"VEC3")", R"("count":4611686018427387904,"type":"VEC3")"); }, "past its buffer view"},
        {"accessor offset past its view", [](Document& d) { Replace(d.accessors, R"("bufferView":0,)", R"("bufferView":0,"byteOffset":40,)"); }, "past its buffer view"},
        {"stride smaller than an element", [](Document& d) { Replace(d.bufferViews, R"("byteOffset":0,"byteLength":36)", R"("byteOffset":0,"byteLength":36,"byteStride":4)"); }, "stride is smaller than an element"},
        {"view names no buffer", [](Document& d) { Replace(d.bufferViews, R"({"buffer":0,"byteOffset":0)", R"({"buffer":3,"byteOffset":0)"); }, "buffer view has no valid buffer"},
        {"buffer longer than the chunk", [](Document& d) { Replace(d.buffers, "144", "4000"); }, "Invalid `byteLength'"},
        {"external buffer", [](Document& d) { Replace(d.buffers, R"({"byteLength":144})", R"({"byteLength":144,"uri":"../../etc/passwd"})"); }, "FS callback"},
        {"sparse accessor", [](Document& d) { Replace(d.accessors, R"("count":3,"type":"VEC3")", R"("count":3,"type":"VEC3","sparse":{"count":1,"indices":{"bufferView":3,"componentType":5123},"values":{"bufferView":0}})"); }, "sparse"},
        {"positions of the wrong type", [](Document& d) { Replace(d.accessors, R"("count":3,"type":"VEC3")", R"("count":3,"type":"VEC2")"); }, "wrong type"},
        {"index out of range", [](Document& d) { d.bin[100] = 7; }, "index is out of range"},
        {"joint out of range", [](Document& d) { d.bin[36 + 4] = 9; }, "joint out of range"},
        {"weight not a number", [](Document& d) { const float nan = std::nanf(""); std::memcpy(&d.bin[48], &nan, 4); }, "not a finite number"},
        {"negative weight", [](Document& d) { const float w = -1.0f; std::memcpy(&d.bin[52], &w, 4); }, "negative weight"},
        {"vertex without weight", [](Document& d) { std::memset(&d.bin[48], 0, 16); }, "no weight"},
        {"skinned mesh without weights", [](Document& d) { Replace(d.meshes, R"(,"WEIGHTS_0":2)", ""); }, "no joints or weights"},
        {"index count not a multiple of three", [](Document& d) { Replace(d.accessors, R"("count":3,"type":"SCALAR")", R"("count":2,"type":"SCALAR")"); }, "multiple of 3"},
        {"line primitive", [](Document& d) { Replace(d.meshes, R"("indices":3)", R"("indices":3,"mode":1)"); }, "triangle lists"},
        {"child out of range", [](Document& d) { Replace(d.nodes, R"("children":[1])", R"("children":[17])"); }, "child index out of range"},
        {"node that is its own child", [](Document& d) { Replace(d.nodes, R"("children":[1])", R"("children":[0])"); }, "more than one parent"},
        {"two parents", [](Document& d) { Replace(d.nodes, R"({"name":"bone"})", R"({"name":"bone","children":[1]})"); }, "more than one parent"},
        {"loop of nodes", [](Document& d) { Replace(d.nodes, R"({"name":"bone"})", R"({"name":"bone","children":[0]})"); }, "loop"},
        {"scene names a node twice", [](Document& d) { Replace(d.scenes, "[0,2]", "[0,2,1]"); }, "twice"},
        {"scene node out of range", [](Document& d) { Replace(d.scenes, "[0,2]", "[0,2,40]"); }, "out of range"},
        {"mesh out of range", [](Document& d) { Replace(d.nodes, R"("mesh":0)", R"("mesh":4)"); }, "mesh out of range"},
        {"skin out of range", [](Document& d) { Replace(d.nodes, R"("skin":0)", R"("skin":2)"); }, "skin out of range"},
        {"skin joint out of range", [](Document& d) { Replace(d.skins, "[0,1]", "[0,-1]"); }, "joint out of range"},
        {"skin without joints", [](Document& d) { Replace(d.skins, "[0,1]", "[]"); }, "has no joints"},
        {"bind matrices of the wrong type", [](Document& d) { Replace(d.skins, "[0,1]}", R"([0,1],"inverseBindMatrices":0})"); }, "inverse bind matrices of skin \"\": accessor has the wrong type"},
        {"too few bind matrices", [](Document& d) { AddBindMatrices(d, 1); }, "fewer inverse bind matrices than joints"},
        {"rotation of three numbers", [](Document& d) { Replace(d.nodes, R"({"name":"bone"})", R"({"name":"bone","rotation":[0,0,1]})"); }, "rotation does not have 4"},
        {"zero rotation", [](Document& d) { Replace(d.nodes, R"({"name":"bone"})", R"({"name":"bone","rotation":[0,0,0,0]})"); }, "not usable"},
        {"singular matrix", [](Document& d) { Replace(d.nodes, R"({"name":"bone"})", R"({"name":"bone","matrix":[0,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1]})"); }, "zero scale"},
        {"channel sampler out of range", [](Document& d) { Replace(d.animations, R"("sampler":0)", R"("sampler":3)"); }, "sampler out of range"},
        {"channel node out of range", [](Document& d) { Replace(d.animations, R"("node":1)", R"("node":99)"); }, "node out of range"},
        {"unknown channel path", [](Document& d) { Replace(d.animations, R"("path":"rotation")", R"("path":"colour")"); }, "unknown path"},
        {"cubic-spline keys", [](Document& d) { Replace(d.animations, R"("output":5})", R"("output":5,"interpolation":"CUBICSPLINE"})"); }, "not supported"},
        {"key times that fall", [](Document& d) { const float t = -1.0f; std::memcpy(&d.bin[108], &t, 4); }, "do not rise"},
        {"key values fewer than times", [](Document& d) { Replace(d.accessors, R"("count":2,"type":"VEC4")", R"("count":1,"type":"VEC4")"); }, "differs"},
        {"zero rotation key", [](Document& d) { std::memset(&d.bin[112], 0, 16); }, "not a rotation"},
        {"material out of range", [](Document& d) { Replace(d.meshes, R"("indices":3)", R"("indices":3,"material":2)"); }, "material index out of range"},
        {"texture out of range", [](Document& d) { d.extra = R"(,"materials":[{"pbrMetallicRoughness":{"baseColorTexture":{"index":3}}}])"; }, "texture out of range"},
        {"JSON that is not JSON", [](Document& d) { d.nodes = "[{"; }, "parse error"},
        {"nodes that are not objects", [](Document& d) { d.nodes = "[1,2,3]"; }, "`nodes' does not contain"},
    };
    for (const Case& c : cases) {
        Document document;
        c.edit(document);
        std::string error;
        std::unique_ptr<File> file = ReadWithError(document.Bytes(), error);
        EXPECT_FALSE(file) << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.name << ": " << error;
    }
}

TEST(SkeletonHostileFiles, BrokenContainersAreRefused)
{
    const std::vector<std::uint8_t> good = Document().Bytes();
    const std::size_t jsonLength = good[12] | (good[13] << 8) | (good[14] << 16);
    const std::size_t binHeader = 20 + jsonLength;
    struct Case {
        const char* name;
        std::function<void(std::vector<std::uint8_t>&)> edit;
    };
    const Case cases[] = {
        {"empty", [](std::vector<std::uint8_t>& b) { b.clear(); }},
        {"bad magic", [](std::vector<std::uint8_t>& b) { b[0] = 'x'; }},
        {"version 1", [](std::vector<std::uint8_t>& b) { Store32(b, 4, 1); }},
        {"length beyond the data", [](std::vector<std::uint8_t>& b) { Store32(b, 8, static_cast<std::uint32_t>(b.size() + 4)); }},
        {"length too small", [](std::vector<std::uint8_t>& b) { Store32(b, 8, 12); }},
        {"JSON chunk beyond the file", [](std::vector<std::uint8_t>& b) { Store32(b, 12, 0xFFFFFFF0u); }},
        {"JSON chunk empty", [](std::vector<std::uint8_t>& b) { Store32(b, 12, 0); }},
        {"JSON chunk of the wrong type", [](std::vector<std::uint8_t>& b) { b[16] = 'X'; }},
        {"binary chunk beyond the file", [binHeader](std::vector<std::uint8_t>& b) { Store32(b, binHeader, 0x7FFFFFF0u); }},
        {"binary chunk reaching 8 bytes past", [binHeader](std::vector<std::uint8_t>& b) { Store32(b, binHeader, static_cast<std::uint32_t>(b.size() - binHeader)); }},
        {"binary chunk of the wrong type", [binHeader](std::vector<std::uint8_t>& b) { b[binHeader + 4] = 'X'; }},
        {"binary chunk header cut off", [binHeader](std::vector<std::uint8_t>& b) { b.resize(binHeader + 4); Store32(b, 8, static_cast<std::uint32_t>(b.size())); }},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes = good;
        c.edit(bytes);
        std::string error;
        EXPECT_FALSE(ReadWithError(bytes, error)) << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
    }
    // Every truncation of a valid file is refused or read, never a crash.
    for (std::size_t length = 0; length < good.size(); ++length) {
        std::string error;
        std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_FALSE(ReadWithError(cut, error)) << length;
    }
}

TEST(SkeletonHostileFiles, TooManyBonesAreRefused)
{
    GltfScene scene;
    for (int i = 0; i <= kMaxBones; ++i) {
        GltfScene::Node node;
        node.name = "b" + std::to_string(i);
        node.parent = i - 1;
        scene.nodes.push_back(node);
    }
    std::string error;
    EXPECT_FALSE(ReadWithError(WriteGlb(scene), error));
    EXPECT_NE(error.find("more than 256 bones"), std::string::npos) << error;
    scene.nodes.pop_back();
    EXPECT_TRUE(ReadWithError(WriteGlb(scene), error)) << error;

    // A chain of 100 000 nodes is checked in one pass and refused, not walked bone by bone.
    std::string nodes = "[";
    for (int i = 0; i < 100000; ++i)
        nodes += (i ? ",{\"children\":[" : "{\"children\":[") + std::to_string(i + 1) + "]}";
    nodes += ",{}]";
    EXPECT_FALSE(ReadWithError(PackGlb(R"({"asset":{"version":"2.0"},"nodes":)" + nodes + "}", {}), error));
    EXPECT_NE(error.find("more than 256 bones"), std::string::npos) << error;
}

// One large accessor named by many meshes would multiply into more memory than any model needs.
TEST(SkeletonHostileFiles, RepeatedLargeAccessorsAreRefused)
{
    const std::size_t vertices = 3u << 18; // 2.4 M values per read
    std::vector<std::uint8_t> bin(vertices * 12, 0);
    std::string json = R"({"asset":{"version":"2.0"},"nodes":[{"mesh":0}],"meshes":[{"primitives":[)";
    json += R"({"attributes":{"POSITION":0}},{"attributes":{"POSITION":0}}]}],)";
    json += R"("accessors":[{"bufferView":0,"componentType":5126,"count":)" + std::to_string(vertices) +
            R"(,"type":"VEC3"}],"bufferViews":[{"buffer":0,"byteLength":)" + std::to_string(bin.size()) +
            R"(}],"buffers":[{"byteLength":)" + std::to_string(bin.size()) + "}]}";
    std::string error;
    EXPECT_FALSE(ReadWithError(PackGlb(json, bin), error));
    EXPECT_NE(error.find("more data than a model may"), std::string::npos) << error;
}

// Random damage to the soldier's bytes: each result is a file or a message, never a crash.
TEST(SkeletonHostileFiles, DamagedSoldierNeverCrashes)
{
    const std::vector<std::uint8_t> soldier = skeleton_test::DataFile("GameData/Models/us01_LOD1.gr2");
    ASSERT_FALSE(soldier.empty());
    std::uint32_t state = 12345;
    auto next = [&state]() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    int refused = 0;
    for (int round = 0; round < 400; ++round) {
        std::vector<std::uint8_t> bytes = soldier;
        const int flips = 1 + static_cast<int>(next() % 8);
        for (int f = 0; f < flips; ++f)
            bytes[next() % bytes.size()] = static_cast<std::uint8_t>(next());
        std::string error;
        std::unique_ptr<File> file = ReadWithError(bytes, error);
        if (!file) {
            EXPECT_FALSE(error.empty());
            ++refused;
        }
    }
    EXPECT_GT(refused, 0);
}
