#include "tests/engine/animation/AnimationFixture.h"

namespace {

std::string LoadError(Device* device, const std::string& path)
{
    AnimatedModel model;
    try {
        model.Load(device, path.c_str(), nullptr);
    } catch (const q3DError& e) {
        return e.GetText();
    }
    return "";
}

std::string AnimationError(const std::string& path)
{
    AnimatedModel model;
    try {
        model.LoadAnimation(path.c_str());
    } catch (const q3DError& e) {
        return e.GetText();
    }
    return "";
}

} // namespace

TEST_F(AnimatedModelTest, BadFilesRaiseTheLoadersTexts)
{
    const std::vector<std::uint8_t> soldier = ReadFile(DataPath(kSoldier));
    ASSERT_GT(soldier.size(), 100u);
    std::vector<std::uint8_t> truncated(soldier.begin(), soldier.begin() + std::ptrdiff_t(soldier.size() / 2));
    std::vector<std::uint8_t> badJson = PackGlb("{\"asset\": {\"version\": \"2.0\"", {});
    std::vector<std::uint8_t> noModel = PackGlb(R"({"asset":{"version":"2.0"}})", {});
    GltfScene missingTexture = ChainModel("nowhere.tga");
    // Two scenes are two models.
    std::vector<std::uint8_t> twoScenes = PackGlb(
        R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"name":"first","nodes":[0]},{"name":"second","nodes":[1]}],)"
        R"("nodes":[{"name":"a"},{"name":"b"}]})",
        {});

    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::string expected; // %s = the path
    };
    const Case cases[] = {
        {"empty.gr2", {}, "Can't load %s"},
        {"text.gr2", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '\n'}, "Can't load %s"},
        {"truncated.gr2", truncated, "Can't get info for file %s"},
        {"badjson.gr2", badJson, "Can't get info for file %s"},
        {"nomodel.gr2", noModel, "%s has no models"},
        {"two.gr2", twoScenes, "%s has more than one model: first, second"},
        {"untextured.gr2", WriteGlb(missingTexture), "%s: Can't load texture nowhere.tga: "},
    };
    for (const Case& c : cases) {
        WriteFile(c.name, c.bytes);
        std::string expected = c.expected;
        expected.replace(expected.find("%s"), 2, c.name);
        const std::string error = LoadError(device, c.name);
        EXPECT_EQ(error.substr(0, expected.size()), expected) << c.name << ": " << error;
        EXPECT_EQ(GrannyFileCache::EntryCount(), 0) << c.name;
    }
    EXPECT_EQ(LoadError(device, "missing.gr2"), "Can't load missing.gr2");
    EXPECT_EQ(AnimationError("missing.gr2"), "Can't load missing.gr2");
    EXPECT_EQ(AnimationError("truncated.gr2"), "Can't get info for file truncated.gr2");
}

TEST_F(AnimatedModelTest, AGroupSpanningMoreThanSixteenBitIndicesIsRefused)
{
    GltfScene scene = ChainModel();
    GltfScene::Primitive& box = scene.meshes[0].primitives[0];
    // Pad the vertex list so one triangle reaches vertex 70000.
    while (box.positions.size() / 3 < 70001) {
        box.positions.insert(box.positions.end(), {0.0f, 20.0f, 0.0f});
        box.normals.insert(box.normals.end(), {0.0f, 1.0f, 0.0f});
        box.uvs.insert(box.uvs.end(), {0.0f, 0.0f});
        box.joints.insert(box.joints.end(), {2, 0, 0, 0});
        box.weights.insert(box.weights.end(), {1.0f, 0.0f, 0.0f, 0.0f});
    }
    box.indices.insert(box.indices.end(), {0, 1, 70000});
    Write("wide.gr2", scene);
    EXPECT_EQ(LoadError(device, "wide.gr2"), "Can't load wide.gr2");
}

TEST_F(AnimatedModelTest, DamagedCopiesOfTheSoldierLoadOrRaiseButNeverCrash)
{
    const std::vector<std::uint8_t> soldier = ReadFile(DataPath(kSoldier));
    ASSERT_GT(soldier.size(), 1000u);
    int loaded = 0, refused = 0;
    // Deterministic damage: bytes overwritten at spread positions, from the header into the data.
    for (std::size_t step = 0; step < 160; ++step) {
        std::vector<std::uint8_t> bytes = soldier;
        const std::size_t at = (step * 7919u) % bytes.size();
        const std::uint8_t values[] = {0x00, 0xFF, 0x7F, 0x80, '9', '"', '-'};
        for (std::size_t k = 0; k < 4 && at + k < bytes.size(); ++k)
            bytes[at + k] = values[(step + k) % 7];
        WriteFile("damaged.gr2", bytes);
        AnimatedModel model;
        try {
            model.Load(device, "damaged.gr2", nullptr);
            model.UpdateTransform(0.1f);
            HitResult hit;
            hit.origin = Vector3(0, 3, 10);
            hit.direction = Vector3(0, 0, -1);
            model.IntersectRay(hit);
            model.frustumCull = false;
            device->BeginFrame(true, true);
            model.Draw(device);
            device->EndFrame(true, true);
            ++loaded;
        } catch (const q3DError& e) {
            ++refused;
            EXPECT_NE(std::string(e.GetText()), "");
        }
        model.Release();
        EXPECT_EQ(GrannyFileCache::EntryCount(), 0);
    }
    EXPECT_GT(refused, 0);
    EXPECT_EQ(loaded + refused, 160);
}
