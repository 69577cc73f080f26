#pragma once

// The collision query: moves a body through the world against the terrain and the triangles of
// the map objects. Characters move as an ellipsoid that slides along what it touches (response
// 0) or stops at the first contact (response 1); vehicles use an oriented box whose contacts are
// read back with CollisionGetContacts (shape 1, response 2). One query at a time, main thread:
//
//     CollisionSetMode(0, 0);
//     CollisionSetEllipsoid(rx, ry, rz);
//     CollisionSetMove(x, y, z, orientation, vx, vy, vz);
//     CollisionMove(&position, orientation, self);
//
// How the world takes part. The running world belongs to the mission, a layer above this one, so
// the mission registers a CollisionScene over it with CollisionSetScene. The scene (written here
// or above, since the world may not include this header) hands over the terrain grid cell by
// cell and, for each object near the move, one CollisionObject record filled from the object's
// props, found with MapObject::FindProp: "nocollision" sets noCollision, "alwayscollide" sets
// alwaysCollide, "colmesh" puts its mesh in collisionMesh, and "nocollisionalpha" points
// alphaList at the materials it matched. The record's mesh may be any qMesh (a model's mesh, a
// MeshNode's through CollisionObjectOf, an OctreeMesh, whose octree then narrows the faces
// tested); prims are read at their own vertex layout.
//
// Callers with their own triangles (tools, tests, benchmarks) use CollisionQuery::MoveThrough,
// which runs the same query over the triangles a feed function hands to the shape.

#include <algorithm>
#include <functional>
#include <vector>

#include "engine/core/Matrix.h"
#include "engine/core/Vector.h"
#include "physics/BoxContacts.h"
#include "physics/CollisionEllipsoid.h"
#include "physics/CollisionGather.h"
#include "physics/CollisionTriangle.h"

class MapObject;
class MeshNode;
class qMesh;
struct Material;

// One object near the move, as the world describes it to the query.
struct CollisionObject {
    const MapObject* object = nullptr; // compared with the object the query ignores
    Matrix4 world;                     // object space to world space
    qMesh* mesh = nullptr;             // the prim container of the object's model
    qMesh* collisionMesh = nullptr;    // the "colmesh" prop's mesh, which replaces the model's
    bool hidden = false;
    bool noCollision = false;          // "nocollision": never collides
    bool alwaysCollide = false;        // "alwayscollide": collides while hidden too
    const CollisionMaterialList* alphaList = nullptr; // "nocollisionalpha": null without the prop
};

// A mesh node as a collision object: its mesh at its world matrix; an invisible node is hidden.
CollisionObject CollisionObjectOf(const MeshNode& node, const MapObject* owner = nullptr);

// What the query reads of the world being played.
class CollisionScene {
public:
    virtual ~CollisionScene() = default;
    // The terrain grid of rows x columns square cells; false when there is no terrain.
    virtual bool GetTerrainGrid(int& rows, int& columns, float& cellSize) = 0;
    // The cell under a world point; outside the grid the numbers run on past its edges.
    virtual void WorldToCell(float x, float z, int& row, int& column) = 0;
    // The material of the cell's tile; only cells with an opaque one collide.
    virtual const Material* GetCellMaterial(int row, int column) = 0;
    // The cell's two triangles, three corners each.
    virtual void GetCellTriangles(int row, int column, Vector3 corners[6]) = 0;
    // Appends the objects within radius of centre.
    virtual void GatherObjectsInRadius(const Vector3& centre, float radius, std::vector<CollisionObject>& out) = 0;
};

class CollisionQuery {
public:
    enum Shape { ShapeEllipsoid = 0, ShapeBox = 1 };
    enum Response { ResponseSlide = 0, ResponseStop = 1, ResponseBoxContacts = 2 };

    // Hands a shape the triangles of the query: the shape's transform already brings world
    // coordinates into the query's frame; velocity is the one to pass with each triangle.
    using TriangleFeed = std::function<void(CollisionTriangleSink& sink, const Vector3& velocity)>;

    // The one query of the program.
    static CollisionQuery& Instance();

    void SetScene(CollisionScene* newScene) { scene = newScene; }
    void SetMode(int newShape, int newResponse)
    {
        shape = newShape;
        response = newResponse;
    }
    void SetEllipsoid(float x, float y, float z) { radii = Vector3(x, y, z); }
    void SetBox(const Vector3 corners[16]) { box.SetBox(corners); }
    void SetBoxOwner(const double* worldMatrix) { box.SetOwner(worldMatrix); }
    void SetMove(float x, float y, float z, const float orientation[9], float vx, float vy, float vz);

    // Runs the query against the registered scene, leaving out the ignored object. Writes the end
    // position and the orientation given to SetMove (either may be null).
    void Move(Vector3* outPosition, float outOrientation[9], const MapObject* ignored);
    // The same query over the triangles the feed hands over.
    void MoveThrough(Vector3* outPosition, float outOrientation[9], const TriangleFeed& feed);

    // False when the last box query produced no contact; else the contact arrays and their count.
    bool GetContacts(Vector3** normals, float** values, float** depths, Vector3** points, int* count);
    // Set when a slide used all of its iterations; cleared by every move.
    bool SlideExhausted() const { return slideExhausted; }

    // World coordinates to the query's frame, valid while a feed runs.
    const Matrix4& WorldToFrame() const { return toFrame; }
    EllipsoidCollider& Ellipsoid() { return ellipsoid; }
    BoxContacts& Box() { return box; }

private:
    // Installs the shape and the query frame; false when the query cannot move anything.
    bool Begin();
    void GatherScene(CollisionTriangleSink& sink, const MapObject* ignored);
    void Finish(Vector3* outPosition, float outOrientation[9]);
    float LargestExtent() const { return std::max(radii.x, std::max(radii.y, radii.z)); }

    CollisionScene* scene = nullptr;
    int shape = ShapeEllipsoid;
    int response = ResponseSlide;
    Vector3 radii{1, 1, 1};
    Vector3 start;
    float orientation[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    Vector3 velocity;
    bool slideExhausted = false;

    // The query frame: world to frame, and back (the mover's frame for the ellipsoid).
    Matrix4 toFrame;
    Matrix4 fromFrame;
    Vector3 frameVelocity;
    CollisionTriangleSink* sink = nullptr;

    EllipsoidCollider ellipsoid;
    BoxContacts box;
    CollisionGatherer gatherer;
    std::vector<CollisionObject> objects;
};

// The query's operations as the game calls them; each acts on CollisionQuery::Instance().
void CollisionSetScene(CollisionScene* scene);
void CollisionSetMode(int shape, int response);
void CollisionSetEllipsoid(float radiusX, float radiusY, float radiusZ);
void CollisionSetBox(const Vector3 corners[16]);
void CollisionSetBoxOwner(const double* worldMatrix);
// The vehicle's matrix as VehicleModel::GetWorldMatrix gives it.
inline void CollisionSetBoxOwner(const Matrix4d* worldMatrix)
{
    CollisionSetBoxOwner(worldMatrix ? &worldMatrix->m[0][0] : nullptr);
}
void CollisionSetMove(float x, float y, float z, const float orientation[9], float velocityX, float velocityY,
                      float velocityZ);
void CollisionMove(Vector3* outPosition, float outOrientation[9], const MapObject* ignored);
bool CollisionGetContacts(Vector3** normals, float** values, float** depths, Vector3** points, int* count);
bool CollisionSlideExhausted();
