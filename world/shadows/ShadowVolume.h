#pragma once

#include <cstdint>
#include <vector>

#include "engine/core/Matrix.h"
#include "engine/core/Vector.h"

class qMesh;

// The geometry a shadow is cast from, read once from a mesh's prims: positions, normals and
// triangle corners per prim, and whether the prim is opaque (only opaque prims have edges).
struct ShadowMesh {
    struct Prim {
        std::vector<Vector3> positions;
        std::vector<Vector3> normals;
        std::vector<int> corners; // three per triangle
        bool opaque = true;
        bool triangleList = true;
    };
    std::vector<Prim> prims;
    int vertexCount = 0; // over all prims
    int indexCount = 0;  // over all prims

    static ShadowMesh FromMesh(qMesh* mesh);
    // A triangle's unnormalised face normal (the cross product of its edges).
    Vector3 FaceNormal(int prim, const int corners[3]) const;
};

struct ShadowFace {
    int prim = -1; // -1: no face (an open edge's second face)
    int corners[3] = {0, 0, 0};
    int triangle = -1; // the triangle's number, counted over all prims in order
};

// One distinct edge of the opaque prims: its two vertices (of the first face's prim) and the one
// or two triangles that share it.
struct ShadowEdge {
    int a = 0, b = 0;
    ShadowFace first, second;
};

namespace ShadowEdges {
// Lists every distinct edge of the opaque prims; an edge found in only one triangle also goes into
// open. Vertices closer than 0.01 count as one, so split normals or texture seams close the mesh.
// True when the mesh is open.
bool Build(const ShadowMesh& mesh, std::vector<ShadowEdge>& edges, std::vector<ShadowEdge>& open);
// Whether the list holds an edge between these positions (either direction, within 0.01).
bool Contains(const ShadowMesh& mesh, const std::vector<ShadowEdge>& edges, const Vector3& a, const Vector3& b);
} // namespace ShadowEdges

// One vertex of a shadow volume: position, normal, colour, two uv sets (44 bytes).
struct ShadowVolumeVertex {
    float position[3];
    float normal[3];
    std::uint32_t colour;
    float uv[4];
};
static_assert(sizeof(ShadowVolumeVertex) == 44);

// The volume a mesh casts away from a light: quads stretched from the silhouette edges and a cap
// of the triangles facing away from the light. Its vertex and index arrays only grow.
struct ShadowVolume {
    static constexpr float kExtrusion = 1000.0f;

    std::vector<ShadowVolumeVertex> vertices; // the side vertices, then the cap vertices
    std::vector<std::uint16_t> sideIndices;
    std::vector<std::uint16_t> capIndices; // counted from the first cap vertex
    // Each triangle's face normal against the light, found once a build and read by its edges.
    std::vector<float> facing;
    int vertexCount = 0, sideIndexCount = 0, capIndexCount = 0;
    int sideVertexCount = 0;
    Matrix4 transform; // the caster's world matrix of this frame

    // light points towards the light, in the mesh's space.
    static void Build(const ShadowMesh& mesh, const std::vector<ShadowEdge>& edges, float lightX, float lightY,
                      float lightZ, ShadowVolume& volume);
    void Clear();
};
