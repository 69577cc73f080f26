#pragma once

#include <vector>

#include "engine/core/Matrix.h"
#include "engine/core/Vector.h"
#include "physics/CollisionTriangle.h"
#include "physics/DoubleMath.h"
#include "physics/OrientedBox.h"

// The oriented-box shape of the collision query: a vehicle body given in two poses is tested
// against the triangles gathered around its move, and the query yields contacts (point, normal,
// depth and the triangle's plane constant) instead of a new position.
class BoxContacts final : public CollisionTriangleSink {
public:
    static constexpr int kContactCapacity = 200;

    BoxContacts();

    // Corners 0-7 of the pose tested (two corners share an edge when their numbers differ in one
    // bit), then corner k of the other pose at k + 8.
    void SetBox(const Vector3 corners[16]);
    // The body's world matrix (4 x 4 doubles, row by row); kept by the caller until the query ran.
    void SetOwner(const double* worldMatrix) { owner = worldMatrix; }

    // Starts a query: sizes are the box's full extents; empties the triangle buffer.
    void Begin(const Vector3& sizes);
    // The move function: the move's velocity decides which side of the box leads.
    void SetMove(const Vector3& velocity) { moveVelocity = velocity; }
    void SetTransform(const Matrix4& transform) override { this->transform = transform; }
    bool AddTriangle(const Vector3& v0, const Vector3& v1, const Vector3& v2, const Vector3& velocity,
                     bool terrain) override;

    // Tests every held triangle; returns the number of contacts and empties the buffer.
    int Run();
    // Forgets the contacts of the last query.
    void ClearContacts() { contactCount = 0; }
    void ClearTriangles() { count = 0; }

    int ContactCount() const { return contactCount; }
    const Vector3* Normals() const { return normals; }
    const float* Values() const { return values; }
    const float* Depths() const { return depths; }
    const Vector3* Points() const { return points; }
    Vector3* Normals() { return normals; }
    float* Values() { return values; }
    float* Depths() { return depths; }
    Vector3* Points() { return points; }

    int TriangleCount() const { return count; }
    const CollisionTriangle& Triangle(int i) const { return triangles[std::size_t(i)]; }
    const OrientedBox& Box() const { return box; }

private:
    // Writes a contact at the next free place; false when the list is full.
    bool Write(const Vector3& point, const Vector3& normal, float depth, float value);
    void EdgeSamples(const CollisionTriangle& triangle);
    void Sweeps(const CollisionTriangle& triangle);

    Vector3 description[16];
    const double* owner = nullptr;
    Vector3 moveVelocity;
    Matrix4 transform;
    std::vector<CollisionTriangle> triangles;
    int count = 0;

    // Derived at the start of each run.
    OrientedBox box;
    Vector3 sweepStart[8];
    Vector3 sweepEnd[8];
    float sampleStep = 0.0f;
    bool tilted = false;

    Vector3 normals[kContactCapacity] = {};
    float values[kContactCapacity] = {};
    float depths[kContactCapacity] = {};
    Vector3 points[kContactCapacity] = {};
    int contactCount = 0;
};

// Whether x, which lies in the triangle's plane, falls inside the triangle seen along the
// triangle's main axis, with a tolerance of 0.02 on each edge. A triangle that is a sliver in
// that view (a vertex within 0.02 of the opposite edge's line) holds nothing.
bool PointInProjectedTriangle(const Vector3& x, const CollisionTriangle& triangle);
// Where the segment from s by d crosses the triangle's plane, as a fraction 0..1 of d.
bool SegmentCrossesPlane(const Vector3& s, const Vector3& d, const CollisionTriangle& triangle, float& t);
