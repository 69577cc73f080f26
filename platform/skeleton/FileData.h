#pragma once

#include "platform/skeleton/Transform.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform::skeleton {

// The most bones a skeleton or a skinned mesh may have: the engine keeps bone numbers in bytes.
constexpr int kMaxBones = 256;

struct Bone {
    std::string name;
    int parent = -1;      // always an earlier bone; -1 for a root
    Transform rest;       // local rest placement
    Matrix4 inverseWorld; // model space -> bone space in the bind pose
};

// Bones ordered parents first, so one pass from the front builds world matrices.
struct Skeleton {
    std::string name;
    std::vector<Bone> bones;

    int BoneCount() const { return static_cast<int>(bones.size()); }
    // Index of the first bone with the name, letter case ignored; -1 when absent.
    int FindBone(std::string_view boneName) const;
};

// A texture the file refers to, by the file name it gives (images are never embedded for us).
struct Texture {
    std::string fileName;
};

struct Material {
    std::string name;
    int colourTexture = -1; // index into File::textures, -1 for none
};

// Triangles [firstTriangle, firstTriangle + triangleCount) of a mesh's index list.
struct TriangleGroup {
    int material = -1; // index into File::materials, -1 for none
    int firstTriangle = 0;
    int triangleCount = 0;
};

// The source layout of every mesh: up to four bone influences, strongest first, weights summing
// to 1; bones[] index the mesh's own bone list. A rigid mesh uses bone 0 with weight 1.
struct MeshVertex {
    Vector3 position;
    Vector3 normal;
    float u = 0.0f;
    float v = 0.0f;
    std::uint8_t bones[4] = {0, 0, 0, 0};
    float weights[4] = {1.0f, 0.0f, 0.0f, 0.0f};
};

// The 32-byte vertex the engine draws: position, normal, one texture coordinate.
struct DeformedVertex {
    float position[3];
    float normal[3];
    float uv[2];
};
static_assert(sizeof(DeformedVertex) == 32, "the engine's vertex layout is 32 bytes");

// A triangle group's indices rebased to its lowest vertex, in the 16-bit form the engine draws.
struct GroupIndices {
    std::uint32_t lowestVertex = 0;
    std::uint32_t vertexCount = 0; // highest - lowest + 1
    std::vector<std::uint16_t> indices;
};

// One bone a mesh is bound to, with the box of its vertices in that bone's space.
struct MeshBone {
    std::string name;
    Vector3 boxMin;
    Vector3 boxMax;
};

// Vertices are in the model's bind-pose space, for rigid meshes too; a rigid mesh follows its one
// bone and is drawn with that bone's composite matrix.
struct Mesh {
    std::string name;
    bool rigid = false;
    std::vector<MeshVertex> vertices;
    std::vector<std::uint32_t> indices; // three per triangle, each below vertices.size()
    std::vector<TriangleGroup> groups;
    std::vector<MeshBone> bones;        // at least one, at most kMaxBones

    int VertexCount() const { return static_cast<int>(vertices.size()); }
    int TriangleCount() const { return static_cast<int>(indices.size() / 3); }
    // The vertices in the drawing layout, unposed; false when the destination is too small.
    bool CopyVertices(std::span<DeformedVertex> destination) const;
    // Each vertex's strongest bone (an index into bones); false when the destination is too small.
    bool CopyBoneIndices(std::span<std::uint8_t> destination) const;
    // False when the group lies outside the index list or spans more than 65536 vertices.
    bool CopyGroupIndices(const TriangleGroup& group, GroupIndices& out) const;
};

struct Model {
    std::string name;
    int skeleton = -1;       // index into File::skeletons
    std::vector<int> meshes; // indices into File::meshes
};

// Keys of one property of one bone; values hold three (translation, scale) or four (rotation,
// x y z w) floats per key. Times rise strictly.
struct Curve {
    enum class Interpolation { Linear, Step };
    Interpolation interpolation = Interpolation::Linear;
    std::vector<float> times;
    std::vector<float> values;

    bool Empty() const { return times.empty(); }
};

// A bone's animation, matched to skeletons by bone name; an empty curve keeps the value the
// animation file's own node has (constant).
struct BoneTrack {
    std::string boneName;
    Transform constant;
    Curve translation;
    Curve rotation;
    Curve scale;

    Transform Sample(float time) const;
};

struct Animation {
    std::string name;
    float duration = 0.0f; // seconds, the last key of any track
    std::vector<BoneTrack> tracks;

    // Track of the bone with that name (case ignored), -1 when the animation does not move it.
    int FindTrack(std::string_view boneName) const;
};

// Everything one ".gr2" file holds, converted to plain data.
struct File {
    std::vector<Texture> textures;
    std::vector<Material> materials;
    std::vector<Skeleton> skeletons;
    std::vector<Mesh> meshes;
    std::vector<Model> models;
    std::vector<Animation> animations;
};

// Names compared the way the engine compares bone and file names.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

} // namespace platform::skeleton
