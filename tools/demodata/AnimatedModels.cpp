#include "tools/demodata/DemoData.h"

#include "tools/demodata/writers/GlbWriter.h"
#include "tools/demodata/writers/KeyPoseAnimation.h"
#include "tools/demodata/writers/TgaWriter.h"

#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

// The soldier and a rigid prop as ".gr2" (glTF binary) files. They are authored in glTF's basis at
// ten glTF units per engine unit, facing glTF -z: the engine's conversion (scale 0.1, z mirrored)
// turns that into a figure six units (feet) tall facing the engine's +z, its right side at +x.

namespace {

constexpr double kDegrees = 3.14159265358979323846 / 180.0;

// ---------------------------------------------------------------------------------------------
// Skeleton: the Biped bone names the character code looks up. Offsets are from the parent joint;
// every rest rotation is the identity, so a bone's world position is the sum along its chain.

struct BoneDef {
    const char* name;
    int parent;
    float x, y, z;
};

constexpr std::array<BoneDef, 29> kBones{{
    {"Bip01", -1, 0.0f, 32.0f, 0.0f},           // 0
    {"Bip01 Pelvis", 0, 0.0f, 0.0f, 0.0f},      // 1
    {"Bip01 Spine", 1, 0.0f, 3.0f, 0.0f},       // 2
    {"Bip01 Spine1", 2, 0.0f, 5.0f, 0.0f},      // 3
    {"Bip01 Spine2", 3, 0.0f, 5.0f, 0.0f},      // 4
    {"Bip01 Spine3", 4, 0.0f, 4.0f, 0.0f},      // 5  (y 49)
    {"Bip01 Neck", 5, 0.0f, 4.0f, 0.0f},        // 6  (y 53)
    {"Bip01 Head", 6, 0.0f, 2.0f, 0.0f},        // 7  (y 55)
    {"v-hat", 7, 0.0f, 6.0f, 0.0f},             // 8  (y 61)
    {"Bip01 L Clavicle", 5, -1.5f, 3.0f, 0.0f}, // 9
    {"Bip01 L UpperArm", 9, -4.0f, 0.0f, 0.0f}, // 10 (x -5.5, y 52)
    {"Bip01 L Forearm", 10, 0.0f, -10.0f, 0.0f},
    {"Bip01 L Hand", 11, 0.0f, -9.0f, 0.0f},
    {"Bip01 L Finger01", 12, 0.0f, -3.0f, -0.5f},
    {"Bip01 L Finger11", 12, 0.0f, -3.0f, 0.5f},
    {"Bip01 R Clavicle", 5, 1.5f, 3.0f, 0.0f},  // 15
    {"Bip01 R UpperArm", 15, 4.0f, 0.0f, 0.0f},
    {"Bip01 R Forearm", 16, 0.0f, -10.0f, 0.0f},
    {"Bip01 R Hand", 17, 0.0f, -9.0f, 0.0f},
    {"Bip01 R Finger01", 18, 0.0f, -3.0f, -0.5f},
    {"Bip01 R Finger11", 18, 0.0f, -3.0f, 0.5f},
    {"Bip01 L Thigh", 1, -3.0f, 0.0f, 0.0f},    // 21
    {"Bip01 L Calf", 21, 0.0f, -15.0f, 0.0f},
    {"Bip01 L Foot", 22, 0.0f, -14.0f, 0.0f},
    {"Bip01 L Toe0", 23, 0.0f, -3.0f, -4.0f},
    {"Bip01 R Thigh", 1, 3.0f, 0.0f, 0.0f},     // 25
    {"Bip01 R Calf", 25, 0.0f, -15.0f, 0.0f},
    {"Bip01 R Foot", 26, 0.0f, -14.0f, 0.0f},
    {"Bip01 R Toe0", 27, 0.0f, -3.0f, -4.0f},
}};

int BoneIndex(std::string_view name)
{
    for (std::size_t i = 0; i < kBones.size(); ++i) {
        if (name == kBones[i].name)
            return static_cast<int>(i);
    }
    return -1;
}

std::array<float, 3> BoneWorld(int bone)
{
    std::array<float, 3> p{0, 0, 0};
    for (int b = bone; b >= 0; b = kBones[static_cast<std::size_t>(b)].parent) {
        p[0] += kBones[static_cast<std::size_t>(b)].x;
        p[1] += kBones[static_cast<std::size_t>(b)].y;
        p[2] += kBones[static_cast<std::size_t>(b)].z;
    }
    return p;
}

void AddSkeletonNodes(GltfScene& scene)
{
    for (const BoneDef& b : kBones) {
        GltfScene::Node node;
        node.name = b.name;
        node.parent = b.parent;
        node.translation[0] = b.x;
        node.translation[1] = b.y;
        node.translation[2] = b.z;
        scene.nodes.push_back(node);
    }
}

// ---------------------------------------------------------------------------------------------
// Body: one box per part, bound to its bone. Limb and spine boxes share the vertices of their end
// at the joint with the parent bone, so joints bend smoothly.

enum class Shared { None, Top, Bottom };

struct BoxDef {
    const char* bone;
    float min[3];
    float max[3];
    Shared shared;
    bool detail; // left out of the coarser level of detail
};

constexpr std::array<BoxDef, 24> kBody{{
    {"Bip01 Pelvis", {-4.5f, 29.0f, -2.5f}, {4.5f, 35.0f, 2.5f}, Shared::None, false},
    {"Bip01 Spine1", {-4.5f, 35.0f, -2.5f}, {4.5f, 40.0f, 2.5f}, Shared::Bottom, false},
    {"Bip01 Spine2", {-5.0f, 40.0f, -3.0f}, {5.0f, 45.0f, 3.0f}, Shared::Bottom, false},
    {"Bip01 Spine3", {-5.5f, 45.0f, -3.0f}, {5.5f, 52.5f, 3.0f}, Shared::Bottom, false},
    {"Bip01 Neck", {-1.5f, 52.5f, -1.5f}, {1.5f, 55.0f, 1.5f}, Shared::Bottom, false}, // joins head to chest
    {"Bip01 Head", {-2.5f, 55.0f, -3.0f}, {2.5f, 61.0f, 2.5f}, Shared::None, false},
    {"v-hat", {-3.0f, 60.0f, -3.5f}, {3.0f, 61.5f, 3.0f}, Shared::None, true},
    {"Bip01 L UpperArm", {-7.0f, 42.0f, -1.5f}, {-4.0f, 53.0f, 1.5f}, Shared::Top, false},
    {"Bip01 L Forearm", {-6.75f, 33.0f, -1.25f}, {-4.25f, 42.0f, 1.25f}, Shared::Top, false},
    {"Bip01 L Hand", {-6.5f, 30.0f, -1.5f}, {-4.5f, 33.0f, 1.0f}, Shared::None, true},
    {"Bip01 L Finger01", {-6.25f, 28.0f, -1.5f}, {-4.75f, 30.0f, -0.25f}, Shared::None, true},
    {"Bip01 L Finger11", {-6.25f, 28.0f, 0.0f}, {-4.75f, 30.0f, 1.0f}, Shared::None, true},
    {"Bip01 R UpperArm", {4.0f, 42.0f, -1.5f}, {7.0f, 53.0f, 1.5f}, Shared::Top, false},
    {"Bip01 R Forearm", {4.25f, 33.0f, -1.25f}, {6.75f, 42.0f, 1.25f}, Shared::Top, false},
    {"Bip01 R Hand", {4.5f, 30.0f, -1.5f}, {6.5f, 33.0f, 1.0f}, Shared::None, true},
    {"Bip01 R Finger01", {4.75f, 28.0f, -1.5f}, {6.25f, 30.0f, -0.25f}, Shared::None, true},
    {"Bip01 R Finger11", {4.75f, 28.0f, 0.0f}, {6.25f, 30.0f, 1.0f}, Shared::None, true},
    {"Bip01 L Thigh", {-4.75f, 17.0f, -2.0f}, {-1.25f, 32.0f, 2.0f}, Shared::Top, false},
    {"Bip01 L Calf", {-4.5f, 3.0f, -1.75f}, {-1.5f, 17.0f, 1.75f}, Shared::Top, false},
    {"Bip01 L Foot", {-4.5f, 0.0f, -4.0f}, {-1.5f, 3.0f, 2.0f}, Shared::None, false},
    {"Bip01 R Thigh", {1.25f, 17.0f, -2.0f}, {4.75f, 32.0f, 2.0f}, Shared::Top, false},
    {"Bip01 R Calf", {1.5f, 3.0f, -1.75f}, {4.5f, 17.0f, 1.75f}, Shared::Top, false},
    {"Bip01 R Foot", {1.5f, 0.0f, -4.0f}, {4.5f, 3.0f, 2.0f}, Shared::None, false},
    {"Bip01 L Toe0", {-4.25f, 0.0f, -6.0f}, {-1.75f, 1.5f, -4.0f}, Shared::None, true},
}};

// Appends a box with its own four vertices per face (flat normals). Triangles wind clockwise as
// seen from outside once the engine has mirrored z, i.e. counter-clockwise in glTF.
void AddBox(GltfScene::Primitive& p, const float* mn, const float* mx, int bone, int sharedBone, Shared shared)
{
    struct Face {
        float normal[3];
        int corners[4]; // corner bits: 1 = max x, 2 = max y, 4 = max z; counter-clockwise from outside
    };
    static constexpr Face kFaces[6] = {
        {{1, 0, 0}, {1, 3, 7, 5}},  {{-1, 0, 0}, {4, 6, 2, 0}}, {{0, 1, 0}, {2, 6, 7, 3}},
        {{0, -1, 0}, {0, 1, 5, 4}}, {{0, 0, 1}, {4, 5, 7, 6}},  {{0, 0, -1}, {0, 2, 3, 1}},
    };
    static constexpr float kUv[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
    for (const Face& face : kFaces) {
        const std::uint32_t base = static_cast<std::uint32_t>(p.positions.size() / 3);
        for (int k = 0; k < 4; ++k) {
            const int c = face.corners[k];
            p.positions.push_back((c & 1) ? mx[0] : mn[0]);
            p.positions.push_back((c & 2) ? mx[1] : mn[1]);
            p.positions.push_back((c & 4) ? mx[2] : mn[2]);
            p.normals.insert(p.normals.end(), face.normal, face.normal + 3);
            p.uvs.push_back(kUv[k][0]);
            p.uvs.push_back(kUv[k][1]);
            const bool atShared = (shared == Shared::Top && (c & 2)) || (shared == Shared::Bottom && !(c & 2));
            p.joints.push_back(static_cast<std::uint8_t>(bone));
            p.joints.push_back(static_cast<std::uint8_t>(atShared ? sharedBone : 0));
            p.joints.push_back(0);
            p.joints.push_back(0);
            p.weights.push_back(atShared ? 0.6f : 1.0f);
            p.weights.push_back(atShared ? 0.4f : 0.0f);
            p.weights.push_back(0.0f);
            p.weights.push_back(0.0f);
        }
        for (std::uint32_t i : {0u, 1u, 2u, 0u, 2u, 3u})
            p.indices.push_back(base + i);
    }
}

GltfScene SoldierModel(bool coarse)
{
    GltfScene scene;
    scene.sceneName = coarse ? "us01_LOD2" : "us01_LOD1";
    AddSkeletonNodes(scene);
    GltfScene::Skin skin;
    skin.name = "us01";
    for (std::size_t b = 0; b < kBones.size(); ++b) {
        skin.joints.push_back(static_cast<int>(b));
        const std::array<float, 3> p = BoneWorld(static_cast<int>(b));
        const float inverse[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -p[0], -p[1], -p[2], 1};
        skin.inverseBindMatrices.insert(skin.inverseBindMatrices.end(), inverse, inverse + 16);
    }
    scene.skins.push_back(skin);
    scene.images.push_back("us01.tga");
    scene.materials.push_back({"us01", 0});

    GltfScene::Primitive body;
    body.material = 0;
    for (const BoxDef& box : kBody) {
        if (coarse && box.detail)
            continue;
        const int bone = BoneIndex(box.bone);
        AddBox(body, box.min, box.max, bone, kBones[static_cast<std::size_t>(bone)].parent, box.shared);
    }
    // The right toe mirrors the left one.
    if (!coarse) {
        const float mn[3] = {1.75f, 0.0f, -6.0f};
        const float mx[3] = {4.25f, 1.5f, -4.0f};
        AddBox(body, mn, mx, BoneIndex("Bip01 R Toe0"), -1, Shared::None);
    }
    scene.meshes.push_back({"us01_body", {body}});
    // The mesh hangs from a node of its own outside the skeleton's chain, as exporters do.
    GltfScene::Node holder;
    holder.name = "us01_mesh";
    holder.mesh = 0;
    holder.skin = 0;
    scene.nodes.push_back(holder);
    return scene;
}

// ---------------------------------------------------------------------------------------------
// Animations: rotation keys about one axis per bone, plus an optional root translation.

using Pose = KeyPose;

// One animation file: the skeleton and a channel per bone that any key pose moves; a bone absent
// from a key pose is at rest in it. Upper-body animations leave the legs and root alone.
GltfScene AnimationScene(const std::string& name, const std::vector<float>& times, const std::vector<Pose>& poses,
                         bool moveRoot)
{
    GltfScene scene;
    scene.sceneName = name;
    AddSkeletonNodes(scene);
    const float rootRest[3] = {kBones[0].x, kBones[0].y, kBones[0].z};
    scene.animations.push_back(KeyPoseAnimation(name, times, poses, [](const std::string& bone) { return BoneIndex(bone); },
                                                moveRoot ? rootRest : nullptr));
    return scene;
}

// A step of a walk or run: legs swing by the stride angle, arms against them.
Pose Stride(float legs, float knee, float arms, float lean, float drop)
{
    return Pose{{{"Bip01 L Thigh", legs, 0},
                 {"Bip01 R Thigh", -legs, 0},
                 {"Bip01 L Calf", legs > 0 ? 0.0f : -knee, 0},
                 {"Bip01 R Calf", legs > 0 ? -knee : 0.0f, 0},
                 {"Bip01 L UpperArm", -arms, 0},
                 {"Bip01 R UpperArm", arms, 0},
                 {"Bip01 L Forearm", 15, 0},
                 {"Bip01 R Forearm", 15, 0},
                 {"Bip01 Spine1", lean, 0}},
                drop};
}

Pose Aim(float kick, float leftHandDrop, float rightArmBack)
{
    return Pose{{{"Bip01 Spine2", 0, 0},
                 {"Bip01 Spine3", -kick, 0},
                 {"Bip01 R UpperArm", 80.0f - rightArmBack, -10},
                 {"Bip01 R Forearm", 10.0f + rightArmBack * 0.5f, 0},
                 {"Bip01 L UpperArm", 70.0f - leftHandDrop, 25},
                 {"Bip01 L Forearm", 30.0f - leftHandDrop * 0.5f, 0},
                 {"Bip01 Head", kick * 0.5f, 0}},
                0.0f};
}

Pose Crouch()
{
    return Pose{{{"Bip01 L Thigh", 80, 0},
                 {"Bip01 R Thigh", 80, 0},
                 {"Bip01 L Calf", -110, 0},
                 {"Bip01 R Calf", -110, 0},
                 {"Bip01 L Foot", 30, 0},
                 {"Bip01 R Foot", 30, 0},
                 {"Bip01 Spine1", 15, 0}},
                14.2f};
}

void WriteAnimation(const DemoDataWriter& out, const std::string& path, const GltfScene& scene)
{
    out.writeFile(path, WriteGlb(scene));
}

void GenerateSoldier(const DemoDataWriter& out)
{
    out.writeFile("GameData/Models/us01_LOD1.gr2", WriteGlb(SoldierModel(false)));
    out.writeFile("GameData/Models/us01_LOD2.gr2", WriteGlb(SoldierModel(true)));

    // Olive drab with darker blotches and a lighter band for the face.
    TgaImage skin(64, 64, 0xFF5A6332u);
    for (int y = 0; y < 64; y += 16) {
        for (int x = (y / 16) % 2 * 8; x < 64; x += 16)
            skin.Fill(x, y, 8, 8, 0xFF3E4424u);
    }
    skin.Fill(0, 0, 64, 4, 0xFFC8A078u);
    out.writeFile("GameData/Models/us01.tga", WriteTga(skin, 24));

    const std::string lower = "GameData/Models/LowerBody/";
    const std::string upper = "GameData/Models/UpperBody/Rifle/";
    const Pose rest{};

    const Pose breatheIn{{{"Bip01 Spine1", -2, 0}, {"Bip01 L UpperArm", 0, 3}, {"Bip01 R UpperArm", 0, -3}}, 0.0f};
    WriteAnimation(out, lower + "idle01.gr2", AnimationScene("idle01", {0.0f, 1.0f, 2.0f}, {rest, breatheIn, rest}, true));
    WriteAnimation(out, lower + "squad_screen_01.gr2",
                   AnimationScene("squad_screen_01", {0.0f, 1.5f, 3.0f}, {rest, breatheIn, rest}, true));

    WriteAnimation(out, lower + "walk01.gr2",
                   AnimationScene("walk01", {0.0f, 0.25f, 0.5f, 0.75f, 1.0f},
                                  {Stride(25, 30, 15, 3, 0.0f), Stride(0, 0, 0, 3, -0.8f), Stride(-25, 30, -15, 3, 0.0f),
                                   Stride(0, 0, 0, 3, -0.8f), Stride(25, 30, 15, 3, 0.0f)},
                                  true));
    WriteAnimation(out, lower + "run01.gr2",
                   AnimationScene("run01", {0.0f, 0.15f, 0.3f, 0.45f, 0.6f},
                                  {Stride(45, 70, 35, 12, 1.0f), Stride(0, 20, 0, 12, -1.0f), Stride(-45, 70, -35, 12, 1.0f),
                                   Stride(0, 20, 0, 12, -1.0f), Stride(45, 70, 35, 12, 1.0f)},
                                  true));
    WriteAnimation(out, lower + "crouch01.gr2",
                   AnimationScene("crouch01", {0.0f, 1.0f}, {Crouch(), Crouch()}, true));
    // Face down, head raised, arms reaching ahead.
    const Pose prone{{{"Bip01", -90, 0},
                      {"Bip01 L Thigh", 0, -10},
                      {"Bip01 R Thigh", 0, 10},
                      {"Bip01 Head", 60, 0},
                      {"Bip01 L UpperArm", 165, 15},
                      {"Bip01 R UpperArm", 165, -15},
                      {"Bip01 L Forearm", 15, 0},
                      {"Bip01 R Forearm", 15, 0}},
                     28.0f};
    WriteAnimation(out, lower + "prone01.gr2", AnimationScene("prone01", {0.0f, 1.0f}, {prone, prone}, true));
    const Pose fallen{{{"Bip01", 90, 0}, {"Bip01 L UpperArm", 0, -60}, {"Bip01 R UpperArm", 0, 60}}, 28.0f};
    const Pose falling{{{"Bip01", 40, 0}, {"Bip01 L Thigh", 30, 0}, {"Bip01 R Thigh", 30, 0}, {"Bip01 L Calf", -50, 0},
                        {"Bip01 R Calf", -50, 0}}, 10.0f};
    WriteAnimation(out, "GameData/Models/LowerBody/Deaths/death01.gr2",
                   AnimationScene("death01", {0.0f, 0.6f, 1.2f}, {rest, falling, fallen}, true));

    WriteAnimation(out, upper + "aim01.gr2", AnimationScene("aim01", {0.0f, 1.0f}, {Aim(0, 0, 0), Aim(0, 0, 0)}, false));
    WriteAnimation(out, upper + "fire01.gr2",
                   AnimationScene("fire01", {0.0f, 0.05f, 0.3f}, {Aim(0, 0, 0), Aim(6, 0, 0), Aim(0, 0, 0)}, false));
    WriteAnimation(out, upper + "reload01.gr2",
                   AnimationScene("reload01", {0.0f, 0.6f, 1.4f, 2.0f},
                                  {Aim(0, 0, 0), Aim(0, 50, 0), Aim(0, 50, 0), Aim(0, 0, 0)}, false));
    WriteAnimation(out, upper + "throw01.gr2",
                   AnimationScene("throw01", {0.0f, 0.5f, 0.8f, 1.2f},
                                  {Aim(0, 0, 0), Aim(-10, 40, 200), Aim(10, 40, 20), Aim(0, 0, 0)}, false));
}

// ---------------------------------------------------------------------------------------------
// A rigid prop of several meshes: a radar with a base, a turning mast and a dish, one file holding
// the model and its "spin" animation.

GltfScene::Primitive RigidBox(const float* mn, const float* mx, int material)
{
    GltfScene::Primitive p;
    AddBox(p, mn, mx, 0, 0, Shared::None);
    p.joints.clear();
    p.weights.clear();
    p.material = material;
    return p;
}

void GenerateRadar(const DemoDataWriter& out)
{
    GltfScene scene;
    scene.sceneName = "radar";
    scene.images = {"radar.tga"};
    scene.materials = {{"radar_metal", 0}, {"radar_paint", -1}};
    GltfScene::Node base;
    base.name = "base";
    base.mesh = 0;
    GltfScene::Node mast;
    mast.name = "mast";
    mast.parent = 0;
    mast.translation[1] = 10.0f;
    mast.mesh = 1;
    GltfScene::Node dish;
    dish.name = "dish";
    dish.parent = 1;
    dish.translation[1] = 20.0f;
    dish.translation[2] = -2.0f;
    dish.rotation[0] = static_cast<float>(std::sin(-20.0 * kDegrees * 0.5));
    dish.rotation[3] = static_cast<float>(std::cos(-20.0 * kDegrees * 0.5));
    dish.mesh = 2;
    scene.nodes = {base, mast, dish};

    // Vertices in each node's own space.
    const float baseMin[3] = {-8, 0, -8}, baseMax[3] = {8, 10, 8};
    const float mastMin[3] = {-1, 0, -1}, mastMax[3] = {1, 20, 1};
    const float dishMin[3] = {-10, -6, -1}, dishMax[3] = {10, 6, 0};
    const float hubMin[3] = {-1.5f, -1.5f, -3}, hubMax[3] = {1.5f, 1.5f, -1};
    scene.meshes.push_back({"radar_base", {RigidBox(baseMin, baseMax, 1)}});
    scene.meshes.push_back({"radar_mast", {RigidBox(mastMin, mastMax, 1)}});
    scene.meshes.push_back({"radar_dish", {RigidBox(dishMin, dishMax, 0), RigidBox(hubMin, hubMax, 1)}});

    GltfScene::Animation spin;
    spin.name = "spin";
    GltfScene::Channel turn;
    turn.node = 1;
    turn.path = "rotation";
    for (int k = 0; k <= 4; ++k) {
        turn.times.push_back(static_cast<float>(k));
        const double half = -90.0 * k * kDegrees * 0.5;
        const float q[4] = {0.0f, static_cast<float>(std::sin(half)), 0.0f, static_cast<float>(std::cos(half))};
        turn.values.insert(turn.values.end(), q, q + 4);
    }
    spin.channels.push_back(turn);
    scene.animations.push_back(spin);
    out.writeFile("GameData/Models/Props/radar.gr2", WriteGlb(scene));

    TgaImage metal(32, 32, 0xFF8C9096u);
    for (int y = 0; y < 32; y += 4)
        metal.Fill(0, y, 32, 1, 0xFF6E7276u);
    out.writeFile("GameData/Models/Props/radar.tga", WriteTga(metal, 24));
}

} // namespace

void GenerateAnimatedModels(const DemoDataWriter& out)
{
    GenerateSoldier(out);
    GenerateRadar(out);
}
