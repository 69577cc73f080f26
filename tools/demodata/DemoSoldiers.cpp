#include "tools/demodata/DemoData.h"

#include "tools/demodata/writers/GlbWriter.h"
#include "tools/demodata/writers/KeyPoseAnimation.h"
#include "tools/demodata/writers/TgaWriter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

// What the characters load beyond the first soldier: a soldier body at three levels of detail with
// a face that blinks and bares its teeth, the animation names ("animinfo.txt") and options of the
// lower- and upper-body folders, the movement speeds, the foot shadow, and the animations a
// character on the map plays (turning, wading, swimming, the aim poses, the upper-body sets).
//
// Bodies are authored like the first soldier: glTF units, ten to an engine unit, facing glTF -z.

namespace {

constexpr double kPi = 3.14159265358979323846;

// The biped: each bone with its parent and its joint's position in the rest pose (glTF units).
struct Joint {
    const char* name;
    int parent;
    float x, y, z;     // world rest position
    float halfWidth;   // half the thickness of the limb box from this joint to its child
    int level;         // coarsest level of detail that still draws it: 1 finest, 3 coarsest; the
                       // chain from the hips to the head is drawn at every level, or the coarser
                       // bodies would show head and arms floating above the hips
};

constexpr std::array<Joint, 29> kJoints{{
    {"Bip01", -1, 0, 32, 0, 0, 0},
    {"Bip01 Pelvis", 0, 0, 32, 0, 4.5f, 3},
    {"Bip01 Spine", 1, 0, 35, 0, 4.5f, 3},
    {"Bip01 Spine1", 2, 0, 40, 0, 4.8f, 3},
    {"Bip01 Spine2", 3, 0, 45, 0, 5.2f, 3},
    {"Bip01 Spine3", 4, 0, 49, 0, 5.5f, 3},
    {"Bip01 Neck", 5, 0, 53, 0, 1.5f, 3},
    {"Bip01 Head", 6, 0, 55, 0, 2.8f, 3},
    {"v-hat", 7, 0, 61, 0, 3.2f, 1},
    {"Bip01 L Clavicle", 5, -1.5f, 52, 0, 1.5f, 1},
    {"Bip01 L UpperArm", 9, -5.5f, 52, 0, 1.6f, 3},
    {"Bip01 L Forearm", 10, -5.5f, 42, 0, 1.3f, 3},
    {"Bip01 L Hand", 11, -5.5f, 33, 0, 1.1f, 2},
    {"Bip01 L Finger01", 12, -5.5f, 30, -0.5f, 0.5f, 1},
    {"Bip01 L Finger11", 12, -5.5f, 30, 0.5f, 0.5f, 1},
    {"Bip01 R Clavicle", 5, 1.5f, 52, 0, 1.5f, 1},
    {"Bip01 R UpperArm", 15, 5.5f, 52, 0, 1.6f, 3},
    {"Bip01 R Forearm", 16, 5.5f, 42, 0, 1.3f, 3},
    {"Bip01 R Hand", 17, 5.5f, 33, 0, 1.1f, 2},
    {"Bip01 R Finger01", 18, 5.5f, 30, -0.5f, 0.5f, 1},
    {"Bip01 R Finger11", 18, 5.5f, 30, 0.5f, 0.5f, 1},
    {"Bip01 L Thigh", 1, -3, 32, 0, 1.9f, 3},
    {"Bip01 L Calf", 21, -3, 17, 0, 1.7f, 3},
    {"Bip01 L Foot", 22, -3, 3, 0, 1.5f, 2},
    {"Bip01 L Toe0", 23, -3, 0, -4, 1.2f, 1},
    {"Bip01 R Thigh", 1, 3, 32, 0, 1.9f, 3},
    {"Bip01 R Calf", 25, 3, 17, 0, 1.7f, 3},
    {"Bip01 R Foot", 26, 3, 3, 0, 1.5f, 2},
    {"Bip01 R Toe0", 27, 3, 0, -4, 1.2f, 1},
}};

int JointIndex(const std::string& name)
{
    for (std::size_t i = 0; i < kJoints.size(); ++i) {
        if (name == kJoints[i].name)
            return int(i);
    }
    return -1;
}

void AddSkeleton(GltfScene& scene)
{
    for (const Joint& j : kJoints) {
        GltfScene::Node node;
        node.name = j.name;
        node.parent = j.parent;
        const Joint* parent = j.parent >= 0 ? &kJoints[std::size_t(j.parent)] : nullptr;
        node.translation[0] = j.x - (parent ? parent->x : 0.0f);
        node.translation[1] = j.y - (parent ? parent->y : 0.0f);
        node.translation[2] = j.z - (parent ? parent->z : 0.0f);
        scene.nodes.push_back(node);
    }
}

// An axis-aligned box with flat faces, bound wholly to one joint.
void AddBox(GltfScene::Primitive& p, const float* mn, const float* mx, int joint)
{
    static constexpr float kNormals[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    static constexpr int kCorners[6][4] = {{1, 3, 7, 5}, {4, 6, 2, 0}, {2, 6, 7, 3},
                                           {0, 1, 5, 4}, {4, 5, 7, 6}, {0, 2, 3, 1}};
    static constexpr float kUv[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
    for (int f = 0; f < 6; ++f) {
        const auto base = std::uint32_t(p.positions.size() / 3);
        for (int k = 0; k < 4; ++k) {
            const int c = kCorners[f][k];
            p.positions.insert(p.positions.end(), {(c & 1) ? mx[0] : mn[0], (c & 2) ? mx[1] : mn[1], (c & 4) ? mx[2] : mn[2]});
            p.normals.insert(p.normals.end(), kNormals[f], kNormals[f] + 3);
            p.uvs.insert(p.uvs.end(), {kUv[k][0], kUv[k][1]});
            p.joints.insert(p.joints.end(), {std::uint8_t(joint), 0, 0, 0});
            p.weights.insert(p.weights.end(), {1.0f, 0.0f, 0.0f, 0.0f});
        }
        for (std::uint32_t i : {0u, 1u, 2u, 0u, 2u, 3u})
            p.indices.push_back(base + i);
    }
}

// One level of detail: a box per joint from its joint towards its first child (or a small cube at
// a leaf), the head in the face material. The names (scene, skin, textures, meshes) start with the
// body's name.
GltfScene SoldierLevel(int level, const std::string& name)
{
    GltfScene scene;
    scene.sceneName = name + "_LOD" + std::to_string(level);
    AddSkeleton(scene);
    GltfScene::Skin skin;
    skin.name = name;
    for (std::size_t j = 0; j < kJoints.size(); ++j) {
        skin.joints.push_back(int(j));
        const float inverse[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -kJoints[j].x, -kJoints[j].y, -kJoints[j].z, 1};
        skin.inverseBindMatrices.insert(skin.inverseBindMatrices.end(), inverse, inverse + 16);
    }
    scene.skins.push_back(skin);
    scene.images = {name + ".tga", name + "_face.tga"};
    scene.materials = {{name + "_body", 0}, {name + "_face", 1}};

    GltfScene::Primitive body, face;
    body.material = 0;
    face.material = 1;
    for (std::size_t j = 1; j < kJoints.size(); ++j) {
        const Joint& joint = kJoints[j];
        if (joint.level < level)
            continue;
        const Joint* child = nullptr;
        for (const Joint& other : kJoints) {
            if (other.parent == int(j)) {
                child = &other;
                break;
            }
        }
        const float w = joint.halfWidth;
        float mn[3] = {joint.x - w, joint.y - w, joint.z - w};
        float mx[3] = {joint.x + w, joint.y + w, joint.z + w};
        if (child && std::string(joint.name) != "Bip01 Head") {
            mn[0] = std::min(joint.x, child->x) - w, mx[0] = std::max(joint.x, child->x) + w;
            mn[1] = std::min(joint.y, child->y), mx[1] = std::max(joint.y, child->y);
            mn[2] = std::min(joint.z, child->z) - w, mx[2] = std::max(joint.z, child->z) + w;
        }
        if (std::string(joint.name) == "v-hat") {
            mn[1] = joint.y, mx[1] = joint.y + 1.5f; // a cap on the head
        }
        if (std::string(joint.name) == "Bip01 Head") {
            mn[1] = joint.y, mx[1] = joint.y + 6.0f;
            AddBox(face, mn, mx, int(j));
        } else {
            AddBox(body, mn, mx, int(j));
        }
    }
    scene.meshes.push_back({name + "_body", {body}});
    scene.meshes.push_back({name + "_head", {face}});
    for (int m = 0; m < 2; ++m) {
        GltfScene::Node holder;
        holder.name = name + (m == 0 ? "_body_mesh" : "_head_mesh");
        holder.mesh = m;
        holder.skin = 0;
        scene.nodes.push_back(holder);
    }
    return scene;
}

using Pose = KeyPose;

// Keys at the given times, one pose each; every joint a pose names gets a rotation channel.
std::vector<std::uint8_t> Animation(const std::string& name, const std::vector<float>& times,
                                    const std::vector<Pose>& poses, bool moveRoot)
{
    GltfScene scene;
    scene.sceneName = name;
    AddSkeleton(scene);
    const float rootRest[3] = {0.0f, kJoints[0].y, 0.0f};
    scene.animations.push_back(KeyPoseAnimation(name, times, poses, JointIndex, moveRoot ? rootRest : nullptr));
    return WriteGlb(scene);
}

// The body postures a hit or a death plays in, each a row after the one before (standing first),
// with the prefix of their file names.
constexpr const char* kPosturePrefixes[3] = {"", "crouch_", "prone_"};

// Crouched on both knees, and flat on the ground face down with the head raised.
Pose Knelt()
{
    return Pose{{{"Bip01 L Thigh", 80, 0}, {"Bip01 R Thigh", 80, 0}, {"Bip01 L Calf", -110, 0}, {"Bip01 R Calf", -110, 0}},
                14.2f};
}

Pose Flat()
{
    return Pose{{{"Bip01", -90, 0}, {"Bip01 Head", 60, 0}, {"Bip01 L UpperArm", 165, 15}, {"Bip01 R UpperArm", 165, -15}},
                28.0f};
}

// The body regions of the hit reactions and deaths: the standing row of each (crouching and prone
// follow it), and how the struck part gives. The torso's death is the first soldier's.
struct HitRegion {
    const char* name;
    int hitRow;
    int deathRow; // -1: the row already names a file
    Pose struck;
};

const std::vector<HitRegion>& HitRegions()
{
    static const std::vector<HitRegion> regions = {
        {"torso", 65, -1, {{{"Bip01 Spine1", 20, 0}, {"Bip01 Spine3", 10, 0}, {"Bip01 Head", 10, 0}}, 1.0f}},
        {"larm", 68, 86, {{{"Bip01 L UpperArm", -30, -25}, {"Bip01 L Forearm", 40, 0}, {"Bip01 Spine2", 0, -10}}, 0.0f}},
        {"rarm", 71, 89, {{{"Bip01 R UpperArm", -30, 25}, {"Bip01 R Forearm", 40, 0}, {"Bip01 Spine2", 0, 10}}, 0.0f}},
        {"lleg", 74, 92, {{{"Bip01 L Thigh", 30, 0}, {"Bip01 L Calf", -60, 0}, {"Bip01 Spine1", 0, -10}}, 4.0f}},
        {"rleg", 77, 95, {{{"Bip01 R Thigh", 30, 0}, {"Bip01 R Calf", -60, 0}, {"Bip01 Spine1", 0, 10}}, 4.0f}},
        {"head", 80, 98, {{{"Bip01 Head", -35, 0}, {"Bip01 Neck", -15, 0}, {"Bip01 Spine3", -10, 0}}, 0.0f}},
    };
    return regions;
}

std::string HitName(const HitRegion& region, int posture)
{
    return std::string(kPosturePrefixes[posture]) + region.name + "hit";
}

std::string DeathName(const HitRegion& region, int posture)
{
    return std::string(kPosturePrefixes[posture]) + region.name + "death";
}

// The base pose with the turns of the other added on (a joint both name turns by both); the root
// drops by both, unless lying, where the ground holds it.
Pose Combine(const Pose& base, const Pose& other, bool lying)
{
    Pose combined = base;
    for (const KeyPose::Turn& turn : other.turns) {
        bool merged = false;
        for (KeyPose::Turn& mine : combined.turns)
            if (std::string(mine.joint) == turn.joint) {
                mine.aboutX += turn.aboutX;
                mine.aboutZ += turn.aboutZ;
                merged = true;
            }
        if (!merged)
            combined.turns.push_back(turn);
    }
    if (!lying)
        combined.rootDrop += other.rootDrop;
    return combined;
}

// The 102 rows of the animation table. Names the first soldier's files already carry (idle, walk,
// run, crouch, prone, aim, fire, reload, throw, Deaths/death) are reused as they are.
std::string AnimationNames()
{
    std::array<std::string, 102> names;
    for (std::size_t i = 0; i < names.size(); ++i) {
        char fallback[32];
        std::snprintf(fallback, sizeof fallback, "anim%03zu", i);
        names[i] = fallback;
    }
    const std::pair<int, const char*> known[] = {
        {0, "idle"},          {1, "walk"},         {2, "idle_alert"},    {3, "idle_look"},
        {4, "tread"},         {5, "swim"},         {6, "Deaths/death"},  {7, "stunned"},
        {12, "aim"},          {13, "aimup"},       {14, "aimdown"},      {18, "fire"},
        {19, "reload"},       {20, "reload"},      {21, "idle"},         {22, "walk"},
        {23, "run"},          {24, "walkback"},    {25, "strafeleft"},   {26, "straferight"},
        {27, "strafeleft"},   {28, "straferight"}, {29, "turnleft"},     {30, "turnright"},
        {31, "kneel"},        {34, "run"},         {35, "liedown"},      {36, "crouch"},
        {37, "crouchwalk"},   {38, "crouchwalk"},  {39, "crouchwalk"},   {44, "turnleft"},
        {45, "turnright"},    {46, "rise"},        {47, "crouch"},       {48, "crouchwalk"},
        {49, "crouchwalk"},   {50, "liedown"},     {51, "prone"},        {52, "crawl"},
        {53, "crawl"},        {54, "crawl"},       {59, "turnleft"},     {60, "turnright"},
        {63, "rise"},         {64, "rise"},        {83, "Deaths/death"}, {84, "Deaths/death"},
        {85, "Deaths/death"}, {101, "Deaths/burn"},
        // What the running game plays beyond the first soldier's files: pulling an alarm, taking
        // aim at a near or a far target, looking around (and the hits and deaths below).
        {8, "pullalarm"},     {9, "snapaim"},      {10, "lookaround"},   {11, "scan"},
        // Sideways crouched (walking and running alike) and prone (a crawl), the prone ready
        // pose and the prone shot.
        {40, "crouchstrafeleft"}, {41, "crouchstraferight"}, {42, "crouchstrafeleft"}, {43, "crouchstraferight"},
        {55, "crawl"},        {56, "crawl"},       {57, "crawl"},        {58, "crawl"},
        {61, "prone"},        {62, "fire"},
    };
    for (const auto& [index, name] : known)
        names[std::size_t(index)] = name;
    for (const HitRegion& region : HitRegions())
        for (int posture = 0; posture < 3; ++posture) {
            names[std::size_t(region.hitRow + posture)] = "Pains/" + HitName(region, posture);
            if (region.deathRow >= 0)
                names[std::size_t(region.deathRow + posture)] = "Deaths/" + DeathName(region, posture);
        }
    std::string text = "// Animation table: one name a line, in row order\r\n";
    for (const std::string& name : names)
        text += name + ",\r\n";
    return text;
}

Pose Stride(float legs, float knee, float arms)
{
    return Pose{{{"Bip01 L Thigh", legs, 0}, {"Bip01 R Thigh", -legs, 0}, {"Bip01 L Calf", legs > 0 ? 0 : -knee, 0},
                 {"Bip01 R Calf", legs > 0 ? -knee : 0, 0}, {"Bip01 L UpperArm", -arms, 0},
                 {"Bip01 R UpperArm", arms, 0}},
                0.0f};
}

Pose Aim(float pitch)
{
    return Pose{{{"Bip01 Spine3", -pitch * 0.5f, 0},
                 {"Bip01 R UpperArm", 80.0f + pitch, -10},
                 {"Bip01 L UpperArm", 70.0f + pitch, 25},
                 {"Bip01 R Forearm", 10, 0},
                 {"Bip01 L Forearm", 30, 0}},
                0.0f};
}

void WriteAnimations(const DemoDataWriter& out)
{
    const std::string lower = "GameData/Models/LowerBody/";
    const std::string rifle = "GameData/Models/UpperBody/Rifle/";
    const std::string unarmed = "GameData/Models/UpperBody/Unarmed/";
    const Pose rest{};
    // Two variations of the alert idle to switch between.
    const Pose lookLeft{{{"Bip01 Head", 0, 0}, {"Bip01 Neck", 0, 20}}, 0.0f};
    const Pose lookRight{{{"Bip01 Head", 0, 0}, {"Bip01 Neck", 0, -20}}, 0.0f};
    out.writeFile(lower + "idle_alert01.gr2", Animation("idle_alert01", {0, 1, 2}, {rest, lookLeft, rest}, true));
    out.writeFile(lower + "idle_alert02.gr2", Animation("idle_alert02", {0, 1, 2}, {rest, lookRight, rest}, true));
    out.writeFile(lower + "walkback01.gr2",
                  Animation("walkback01", {0, 0.5f, 1}, {Stride(-20, 20, 10), Stride(20, 20, -10), Stride(-20, 20, 10)}, true));
    for (const char* side : {"strafeleft", "straferight"}) {
        const float z = side[6] == 'l' ? 15.0f : -15.0f;
        const Pose open{{{"Bip01 L Thigh", 0, z}, {"Bip01 R Thigh", 0, z}}, 0.0f};
        out.writeFile(lower + side + "01.gr2", Animation(std::string(side) + "01", {0, 0.4f, 0.8f}, {rest, open, rest}, true));
    }
    for (const char* side : {"turnleft", "turnright"}) {
        const float step = side[4] == 'l' ? 20.0f : -20.0f;
        const Pose turned{{{"Bip01 L Thigh", step, 0}, {"Bip01 R Thigh", -step, 0}}, 0.0f};
        out.writeFile(lower + side + "01.gr2", Animation(std::string(side) + "01", {0, 0.3f, 0.6f}, {rest, turned, rest}, true));
    }
    const Pose knelt = Knelt();
    const Pose kneltStep{{{"Bip01 L Thigh", 95, 0}, {"Bip01 R Thigh", 65, 0}, {"Bip01 L Calf", -110, 0}, {"Bip01 R Calf", -100, 0}},
                         14.2f};
    out.writeFile(lower + "crouchwalk01.gr2", Animation("crouchwalk01", {0, 0.5f, 1}, {knelt, kneltStep, knelt}, true));
    for (const char* side : {"crouchstrafeleft", "crouchstraferight"}) {
        const float z = side[12] == 'l' ? 15.0f : -15.0f;
        const Pose open = Combine(knelt, Pose{{{"Bip01 L Thigh", 0, z}, {"Bip01 R Thigh", 0, z}}, 0.0f}, false);
        out.writeFile(lower + side + "01.gr2", Animation(std::string(side) + "01", {0, 0.4f, 0.8f}, {knelt, open, knelt}, true));
    }
    // The posture steps, each played once (animoptions below).
    out.writeFile(lower + "kneel01.gr2", Animation("kneel01", {0, 0.4f}, {rest, knelt}, true));
    out.writeFile(lower + "rise01.gr2", Animation("rise01", {0, 0.4f}, {knelt, rest}, true));
    const Pose flat = Flat();
    const Pose reach{{{"Bip01", -90, 0}, {"Bip01 Head", 60, 0}, {"Bip01 L UpperArm", 150, 15}, {"Bip01 R UpperArm", 175, -15},
                      {"Bip01 L Thigh", 20, 0}},
                     28.0f};
    out.writeFile(lower + "crawl01.gr2", Animation("crawl01", {0, 0.6f, 1.2f}, {flat, reach, flat}, true));
    out.writeFile(lower + "liedown01.gr2", Animation("liedown01", {0, 0.5f}, {knelt, flat}, true));
    const Pose float1{{{"Bip01 L UpperArm", 0, -70}, {"Bip01 R UpperArm", 0, 70}, {"Bip01 L Thigh", 10, 0}}, 0.0f};
    const Pose float2{{{"Bip01 L UpperArm", 0, -50}, {"Bip01 R UpperArm", 0, 50}, {"Bip01 R Thigh", 10, 0}}, 0.0f};
    out.writeFile(lower + "tread01.gr2", Animation("tread01", {0, 0.8f, 1.6f}, {float1, float2, float1}, true));
    const Pose stroke1{{{"Bip01", -70, 0}, {"Bip01 L UpperArm", 170, 0}, {"Bip01 R UpperArm", 20, 0}}, 20.0f};
    const Pose stroke2{{{"Bip01", -70, 0}, {"Bip01 L UpperArm", 20, 0}, {"Bip01 R UpperArm", 170, 0}}, 20.0f};
    out.writeFile(lower + "swim01.gr2", Animation("swim01", {0, 0.7f, 1.4f}, {stroke1, stroke2, stroke1}, true));
    const Pose slump{{{"Bip01 Spine1", 30, 0}, {"Bip01 Head", 30, 0}, {"Bip01 L Thigh", 40, 0}, {"Bip01 R Thigh", 40, 0},
                      {"Bip01 L Calf", -60, 0}, {"Bip01 R Calf", -60, 0}},
                     8.0f};
    out.writeFile(lower + "stunned01.gr2", Animation("stunned01", {0, 1}, {slump, slump}, true));
    const Pose writhe{{{"Bip01", 60, 0}, {"Bip01 L UpperArm", 120, 0}, {"Bip01 R UpperArm", 120, 0}}, 14.0f};
    const Pose down{{{"Bip01", 90, 0}}, 28.0f};
    out.writeFile(lower + "Deaths/burn01.gr2", Animation("burn01", {0, 1, 2}, {rest, writhe, down}, true));

    // Pulling the alarm: the right arm reaches up to the handle and hauls it down.
    const Pose reachUp{{{"Bip01 R UpperArm", 160, -10}, {"Bip01 R Forearm", 20, 0}, {"Bip01 Head", -15, 0}}, 0.0f};
    const Pose haul{{{"Bip01 R UpperArm", 70, -10}, {"Bip01 R Forearm", 60, 0}, {"Bip01 Spine1", 15, 0}}, 2.0f};
    out.writeFile(lower + "pullalarm01.gr2", Animation("pullalarm01", {0, 0.4f, 0.8f}, {rest, reachUp, haul}, true));
    // Taking aim: a quick brace at a near target, a slow lean and sweep of the head at a far one.
    const Pose brace{{{"Bip01 L Thigh", 20, 0}, {"Bip01 L Calf", -25, 0}, {"Bip01 Spine1", 10, 0}}, 1.5f};
    out.writeFile(lower + "snapaim01.gr2", Animation("snapaim01", {0, 0.2f, 0.8f}, {rest, brace, brace}, true));
    const Pose leanLeft{{{"Bip01 Spine1", 10, 0}, {"Bip01 Neck", 0, 15}}, 0.5f};
    const Pose leanRight{{{"Bip01 Spine1", 10, 0}, {"Bip01 Neck", 0, -15}}, 0.5f};
    out.writeFile(lower + "scan01.gr2", Animation("scan01", {0, 1, 2}, {leanLeft, leanRight, leanLeft}, true));
    const Pose turnLeft{{{"Bip01 Spine2", 0, 0}, {"Bip01 Neck", 0, 45}}, 0.0f};
    const Pose turnRight{{{"Bip01 Spine2", 0, 0}, {"Bip01 Neck", 0, -45}}, 0.0f};
    out.writeFile(lower + "lookaround01.gr2",
                  Animation("lookaround01", {0, 0.8f, 1.6f, 2.4f}, {rest, turnLeft, turnRight, rest}, true));

    // Hits and deaths by the region hit, in each posture: the struck part gives; a fatal hit folds
    // a standing or crouching body to the ground (backwards from the head, forwards otherwise) and
    // lets a lying one sink flat. Each plays once.
    std::string onceOptions;
    const Pose bases[3] = {rest, knelt, flat};
    for (const HitRegion& region : HitRegions())
        for (int posture = 0; posture < 3; ++posture) {
            const bool lying = posture == 2;
            const Pose& base = bases[posture];
            const Pose struck = Combine(base, region.struck, lying);
            const std::string hit = HitName(region, posture) + "01";
            out.writeFile(lower + "Pains/" + hit + ".gr2", Animation(hit, {0, 0.15f, 0.6f}, {base, struck, base}, true));
            onceOptions += hit + ".gr2 1\r\n";
            if (region.deathRow < 0)
                continue;
            const bool backwards = std::string(region.name) == "head";
            const Pose fallen = lying ? Pose{{{"Bip01", -90, 0}, {"Bip01 L UpperArm", 0, -60}, {"Bip01 R UpperArm", 0, 60}}, 28.0f}
                                      : Pose{{{"Bip01", backwards ? 90.0f : -90.0f, 0},
                                              {"Bip01 L UpperArm", 0, -60},
                                              {"Bip01 R UpperArm", 0, 60}},
                                             28.0f};
            Pose falling = lying ? struck : Combine(struck, Pose{{{"Bip01", backwards ? 40.0f : -40.0f, 0}}, 0.0f}, false);
            falling.rootDrop = std::max(falling.rootDrop, lying ? 28.0f : 16.0f);
            const std::string death = DeathName(region, posture) + "01";
            out.writeFile(lower + "Deaths/" + death + ".gr2",
                          Animation(death, {0, 0.2f, 0.7f, 1.2f}, {base, struck, falling, fallen}, true));
            onceOptions += death + ".gr2 1\r\n";
        }

    // The aim poses of the rifle set (the level one is the first soldier's), and the unarmed set.
    out.writeFile(rifle + "aimup01.gr2", Animation("aimup01", {0, 1}, {Aim(-45), Aim(-45)}, false));
    out.writeFile(rifle + "aimdown01.gr2", Animation("aimdown01", {0, 1}, {Aim(45), Aim(45)}, false));
    const Pose hang{{{"Bip01 L UpperArm", 0, 5}, {"Bip01 R UpperArm", 0, -5}}, 0.0f};
    for (const char* name : {"aim", "aimup", "aimdown"})
        out.writeFile(unarmed + name + "01.gr2", Animation(std::string(name) + "01", {0, 1}, {hang, hang}, false));

    // Options: the alert idle's first variation loops twice before it may switch; the death and
    // the posture steps play once. The shared file gives the walk its speed.
    out.writeText(rifle + "animoptions.txt", "fire01.gr2 1\r\nreload01.gr2 1\r\nthrow01.gr2 1\r\n");
    out.writeText(unarmed + "animoptions.txt", "aim01.gr2 0\r\n");
    out.writeText(lower + "animoptions.txt",
                  "idle_alert01.gr2 2\r\nidle_alert02.gr2 3\r\ndeath01.gr2 1\r\nburn01.gr2 1\r\nwalk01.gr2 0 1.0\r\n"
                  "kneel01.gr2 1\r\nrise01.gr2 1\r\nliedown01.gr2 1\r\n" +
                      onceOptions);
}

// The movement table: per line the step length of each foot and a speed; lines stand for the
// animations 27, 25, 42, 40, 28, 26, 43, 41, 23, 1, 22, 38, 37, 57, 58, 24, 39, 5, 5 and five spares.
std::string MoveSpeeds()
{
    const float lines[24][3] = {
        {0.9f, 0.9f, 14.0f}, {0.7f, 0.7f, 9.0f}, {0.6f, 0.6f, 5.0f}, {0.5f, 0.5f, 4.0f},  {0.9f, 0.9f, 14.0f},
        {0.7f, 0.7f, 9.0f},  {0.6f, 0.6f, 5.0f}, {0.5f, 0.5f, 4.0f}, {0.45f, 0.45f, 20.0f}, {0.5f, 0.5f, 10.0f},
        {0.5f, 0.5f, 10.0f}, {0.5f, 0.5f, 6.0f}, {0.5f, 0.5f, 5.0f}, {0.8f, 0.8f, 2.0f},  {0.8f, 0.8f, 2.0f},
        {0.5f, 0.5f, 7.0f},  {0.5f, 0.5f, 5.0f}, {0.0f, 0.0f, 6.0f}, {0.0f, 0.0f, 6.0f},  {0, 0, 0},
        {0, 0, 0},           {0, 0, 0},          {0, 0, 0},          {0, 0, 0},
    };
    std::string text;
    char line[64];
    for (const auto& l : lines) {
        std::snprintf(line, sizeof line, "%g %g %g\r\n", double(l[0]), double(l[1]), double(l[2]));
        text += line;
    }
    return text;
}

// A soft dark ellipse under each foot.
void WriteFootShadow(const DemoDataWriter& out)
{
    TgaImage shadow(32, 32, 0x00000000u);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const float dx = (float(x) - 15.5f) / 10.0f, dy = (float(y) - 15.5f) / 15.0f;
            const float d = std::sqrt(dx * dx + dy * dy);
            const float alpha = d >= 1.0f ? 0.0f : (1.0f - d) * 0.8f;
            shadow.At(x, y) = std::uint32_t(alpha * 255.0f) << 24;
        }
    }
    out.writeFile("GameData/fx/footshadow.tga", WriteTga(shadow, 32));
}

} // namespace

void WriteDemoSoldierBody(const DemoDataWriter& out, const std::string& folder, const std::string& name,
                          std::uint32_t uniform, std::uint32_t patch)
{
    TgaImage body(64, 64, uniform);
    for (int y = 0; y < 64; y += 8)
        body.Fill((y / 8 % 2) * 4, y, 4, 4, patch);
    out.writeFile(folder + name + ".tga", WriteTga(body, 24));
    // The face: skin with two eyes and a mouth; the blink closes the eyes, the teeth open the mouth.
    const auto face = [](bool blink, bool teeth) {
        TgaImage image(32, 32, 0xFFC8A078u);
        image.Fill(8, 10, 5, blink ? 1 : 4, blink ? 0xFF805838u : 0xFF202020u);
        image.Fill(19, 10, 5, blink ? 1 : 4, blink ? 0xFF805838u : 0xFF202020u);
        image.Fill(10, 22, 12, teeth ? 4 : 2, teeth ? 0xFFF0F0F0u : 0xFF703030u);
        return image;
    };
    out.writeFile(folder + name + "_face.tga", WriteTga(face(false, false), 24));
    out.writeFile(folder + name + "_face_blink.tga", WriteTga(face(true, false), 24));
    out.writeFile(folder + name + "_face_teeth.tga", WriteTga(face(false, true), 24));
    for (int level = 1; level <= 3; ++level)
        out.writeFile(folder + name + "_LOD" + std::to_string(level) + ".gr2", WriteGlb(SoldierLevel(level, name)));
}

void GenerateDemoSoldiers(const DemoDataWriter& out)
{
    out.writeText("GameData/Models/animinfo.txt", AnimationNames());
    out.writeText("GameData/Models/movespeeds.txt", MoveSpeeds());
    WriteAnimations(out);
    WriteDemoSoldierBody(out, "GameData/Models/Soldiers/", "soldier", 0xFF4F5A30u, 0xFF3A4222u);
    WriteFootShadow(out);
}
