#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A small glTF 2.0 scene, as the ".gr2" files of the data set hold it, and its writer to the binary
// container (GLB). Values are in glTF's own basis (right-handed: x right, y up, z towards the
// viewer); the engine converts them when it loads the file.
struct GltfScene {
    struct Node {
        std::string name;
        int parent = -1; // an earlier node, -1 for a root of the scene
        float translation[3] = {0, 0, 0};
        float rotation[4] = {0, 0, 0, 1}; // x, y, z, w
        float scale[3] = {1, 1, 1};
        int mesh = -1;
        int skin = -1;
    };

    struct Primitive {
        std::vector<float> positions; // x y z per vertex
        std::vector<float> normals;   // empty or x y z per vertex
        std::vector<float> uvs;       // empty or u v per vertex
        std::vector<std::uint8_t> joints; // empty (rigid) or four per vertex, into the skin's joints
        std::vector<float> weights;       // four per vertex when joints are given
        std::vector<std::uint32_t> indices; // empty: the vertices in order
        int material = -1;
    };

    struct Mesh {
        std::string name;
        std::vector<Primitive> primitives;
    };

    struct Skin {
        std::string name;
        std::vector<int> joints;
        // 16 per joint, row-vector matrices row by row (the same numbers glTF stores column by
        // column); empty: glTF's identity default.
        std::vector<float> inverseBindMatrices;
    };

    struct Material {
        std::string name;
        int image = -1; // base-colour texture
    };

    struct Channel {
        int node = 0;
        std::string path; // "translation", "rotation" or "scale"
        std::string interpolation = "LINEAR";
        std::vector<float> times;
        std::vector<float> values; // 3 or 4 per key
    };

    struct Animation {
        std::string name;
        std::vector<Channel> channels;
    };

    std::string sceneName = "scene";
    bool writeScene = true; // animation-only files may leave the scene out
    std::vector<Node> nodes;
    std::vector<Mesh> meshes;
    std::vector<Skin> skins;
    std::vector<std::string> images; // texture file names, written as image URIs
    std::vector<Material> materials;
    std::vector<Animation> animations;
};

// The scene as a GLB file: the JSON chunk and one binary chunk holding every array, each in its
// own buffer view. Deterministic: the same scene gives the same bytes.
std::vector<std::uint8_t> WriteGlb(const GltfScene& scene);

// A GLB container around any JSON text and binary chunk (both padded as the format asks), for
// tests that need documents the scene writer would never make.
std::vector<std::uint8_t> PackGlb(std::string_view json, const std::vector<std::uint8_t>& binary);
