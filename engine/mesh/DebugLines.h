#pragma once

#include <cstdint>
#include <vector>

#include "engine/core/Geometry.h"
#include "engine/core/Vector.h"

class Device;
class MeshVertices;

// White lines over the scene for the meshes' debug switches (normals, bounding boxes), drawn
// unlit and without fog.
class DebugLines {
public:
    void Add(const Vector3& from, const Vector3& to);
    // The twelve edges of the box.
    void AddBox(const BoundingBox& box);
    // For vertices first to first + count - 1: a unit line along each vertex normal and/or one
    // from their centre along the normal of their first triangle.
    void AddNormals(const MeshVertices& vertices, int first, int count, bool vertexNormals, bool faceNormals);

    bool Empty() const { return vertices.empty(); }
    // Draws nothing when there are no lines; the device keeps the lines' material current.
    void Draw(Device* device) const;

private:
    // The position, colour, two uv sets layout.
    struct LineVertex {
        float position[3];
        std::uint32_t color;
        float uv[4];
    };
    static_assert(sizeof(LineVertex) == 32);

    std::vector<LineVertex> vertices;
};
