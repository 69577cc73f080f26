#pragma once

#include <vector>

#include "engine/core/Matrix.h"
#include "engine/core/Vector.h"
#include "physics/CollisionTriangle.h"

// The ellipsoid shape of the collision query. Triangles are gathered in ellipsoid space (scaled
// by the reciprocal radii, so the mover is a unit sphere) and the move either slides along what
// it meets or stops at the first contact.
//
// A slide never carries the body up ground too steep to walk: where a contact's plane is steeper
// than kSteepestClimbableRise and the contact is not a step (an edge or corner met within
// kStepFraction of the vertical radius above the lowest point), the slide may rise no more than
// the move itself does and goes along the face's level lines instead. Without it a move into a
// steep face at an angle keeps an along-face part that points uphill, and a body walks up a cliff.
class EllipsoidCollider final : public CollisionTriangleSink {
public:
    enum Kind { Face = 1, Edge = 2, Vertex = 3, Embedded = 4 };

    // One possible first contact: the collision plane (a point and its unit normal), how far along
    // the move it is met (ellipsoid units) and how.
    struct Candidate {
        int triangle = -1;
        Vector3 planePoint;
        Vector3 planeNormal;
        float distance = 0.0f;
        int kind = Face;
    };

    static constexpr int kSlideIterations = 30;
    // The steepest face a slide climbs, as rise over run (45 degrees).
    static constexpr float kSteepestClimbableRise = 1.0f;
    // The highest step a slide climbs, as a share of the vertical radius.
    static constexpr float kStepFraction = 0.5f;

    EllipsoidCollider();

    // Starts a query: radii must be positive and finite (the caller checks), up is the world's up
    // direction in the query frame; empties the buffer.
    void Begin(const Vector3& radii, const Vector3& up);
    // The move in the query frame (world units).
    void SetMove(const Vector3& position, const Vector3& velocity);
    void SetTransform(const Matrix4& transform) override;
    bool AddTriangle(const Vector3& v0, const Vector3& v1, const Vector3& v2, const Vector3& velocity,
                     bool terrain) override;

    // The responses; each returns the end position in the query frame (world units) and empties
    // the buffer.
    Vector3 Slide();
    Vector3 Stop();

    // The nearest candidates of a move from p by v, both in ellipsoid space.
    const std::vector<Candidate>& FindCollisions(const Vector3& p, const Vector3& v);

    bool SlideExhausted() const { return slideExhausted; }
    int TriangleCount() const { return count; }
    const CollisionTriangle& Triangle(int i) const { return triangles[std::size_t(i)]; }
    void ClearTriangles() { count = 0; }
    // Ellipsoid space to the query frame and back.
    Vector3 ToEllipsoid(const Vector3& v) const { return {v.x * inverseRadii.x, v.y * inverseRadii.y, v.z * inverseRadii.z}; }
    Vector3 FromEllipsoid(const Vector3& v) const { return {v.x * radii.x, v.y * radii.y, v.z * radii.z}; }

private:
    void Consider(const Candidate& candidate);
    // The slide along a contact's plane, held level where the contact may not lift the body.
    Vector3 SlideAlong(const Candidate& contact, const Vector3& p, const Vector3& v) const;

    Vector3 radii{1, 1, 1};
    Vector3 inverseRadii{1, 1, 1};
    Vector3 up{0, 1, 0};     // query frame, unit
    float stepRise = 0.5f;   // the least rise of a step's contact normal, ellipsoid space (below)
    Matrix4 scaleInverse;
    Matrix4 transform; // brings the next triangles into ellipsoid space
    Vector3 movePosition;
    Vector3 moveVelocity;
    std::vector<CollisionTriangle> triangles;
    int count = 0;
    int excluded = -1; // the triangle the next search skips; at most one is ever excluded
    std::vector<Candidate> candidates;
    bool slideExhausted = false;
};
