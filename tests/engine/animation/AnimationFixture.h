#pragma once

#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/animation/AnimatedModel.h"
#include "engine/animation/GrannyFileEntry.h"
#include "engine/core/q3DError.h"
#include "tests/renderer/RendererFixture.h"
#include "tools/demodata/writers/GlbWriter.h"

inline std::string DataPath(const std::string& relative)
{
    return std::string(BEXAL_DATA_DIR) + "/" + relative;
}

inline const std::string kSoldier = "GameData/Models/us01_LOD1.gr2";
inline const std::string kRadar = "GameData/Models/Props/radar.gr2";

// Quaternion (x, y, z, w) of a turn by degrees about a unit axis.
inline void AxisAngle(float x, float y, float z, float degrees, float* q)
{
    const double half = degrees * 3.14159265358979323846 / 360.0;
    q[0] = float(x * std::sin(half));
    q[1] = float(y * std::sin(half));
    q[2] = float(z * std::sin(half));
    q[3] = float(std::cos(half));
}

// Three bones "a", "b", "c", each ten glTF units (one engine unit) above its parent, and a box
// skinned to bone "c" so the model has something to draw and bound. At rest c sits at engine
// (0, 2, 0).
inline GltfScene ChainModel(const std::string& image = "")
{
    GltfScene scene;
    scene.sceneName = "chain";
    for (int i = 0; i < 3; ++i) {
        GltfScene::Node node;
        node.name = std::string(1, char('a' + i));
        node.parent = i - 1;
        node.translation[1] = i == 0 ? 0.0f : 10.0f;
        scene.nodes.push_back(node);
    }
    GltfScene::Skin skin;
    skin.name = "chain";
    skin.joints = {0, 1, 2};
    for (int j = 0; j < 3; ++j) {
        const float inverse[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -10.0f * float(j), 0, 1};
        skin.inverseBindMatrices.insert(skin.inverseBindMatrices.end(), inverse, inverse + 16);
    }
    scene.skins.push_back(skin);
    if (!image.empty()) {
        scene.images.push_back(image);
        scene.materials.push_back({"skin", 0});
    }
    GltfScene::Primitive box;
    box.material = image.empty() ? -1 : 0;
    // A unit cube (glTF units) around c, all bound to c (joint 2).
    for (int corner = 0; corner < 8; ++corner) {
        box.positions.push_back((corner & 1) ? 1.0f : -1.0f);
        box.positions.push_back(20.0f + ((corner & 2) ? 1.0f : -1.0f));
        box.positions.push_back((corner & 4) ? 1.0f : -1.0f);
        box.normals.insert(box.normals.end(), {0.0f, 1.0f, 0.0f});
        box.uvs.insert(box.uvs.end(), {0.5f, 0.5f});
        box.joints.insert(box.joints.end(), {2, 0, 0, 0});
        box.weights.insert(box.weights.end(), {1.0f, 0.0f, 0.0f, 0.0f});
    }
    box.indices = {0, 1, 3, 0, 3, 2, 4, 6, 7, 4, 7, 5, 0, 4, 5, 0, 5, 1,
                   2, 3, 7, 2, 7, 6, 0, 2, 6, 0, 6, 4, 1, 5, 7, 1, 7, 3};
    scene.meshes.push_back({"chain_box", {box}});
    GltfScene::Node holder;
    holder.name = "chain_mesh";
    holder.mesh = 0;
    holder.skin = 0;
    scene.nodes.push_back(holder);
    return scene;
}

// An animation of the chain holding bone "b" turned by degrees about glTF z (x towards y) for
// the given length in seconds.
inline GltfScene ChainTurn(float degrees, float length)
{
    GltfScene scene = ChainModel();
    scene.meshes.clear();
    scene.skins.clear();
    scene.nodes.pop_back();
    scene.sceneName = "turn";
    GltfScene::Animation animation;
    animation.name = "turn";
    GltfScene::Channel channel;
    channel.node = 1;
    channel.path = "rotation";
    channel.times = {0.0f, length};
    float q[4];
    AxisAngle(0, 0, 1, degrees, q);
    channel.values.insert(channel.values.end(), q, q + 4);
    channel.values.insert(channel.values.end(), q, q + 4);
    animation.channels.push_back(channel);
    scene.animations.push_back(animation);
    return scene;
}

// Each test runs in a folder of its own with a device on a small window; files it writes land
// in that folder.
class AnimatedModelTest : public RendererTest {
protected:
    void SetUp() override
    {
        RendererTest::SetUp();
        OpenWindowed(160, 120);
    }

    void TearDown() override
    {
        EXPECT_EQ(AnimatedModel::GetLoadCount(), 0) << "a node was left loaded";
        RendererTest::TearDown();
    }

    static std::string Write(const std::string& name, const GltfScene& scene)
    {
        WriteFile(name, WriteGlb(scene));
        return name;
    }

    static void ExpectNear(const Vector3& actual, const Vector3& expected, float tolerance = 1e-4f)
    {
        EXPECT_NEAR(actual.x, expected.x, tolerance);
        EXPECT_NEAR(actual.y, expected.y, tolerance);
        EXPECT_NEAR(actual.z, expected.z, tolerance);
    }
};
