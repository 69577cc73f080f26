#include "physics/Collision.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/mesh/MeshNode.h"
#include "engine/mesh/qMesh.h"
#include "engine/octree/OctreeMesh.h"

namespace {

bool Finite(const Vector3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

bool PositiveFinite(const Vector3& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) && v.x > 0.0f && v.y > 0.0f &&
           v.z > 0.0f;
}

// The box of a world-space box seen from a frame (corners transformed, then bounded).
BoundingBox TransformedBox(const BoundingBox& box, const Matrix4& transform)
{
    BoundingBox out;
    for (int corner = 0; corner < 8; ++corner) {
        const Vector3 p(corner & 1 ? box.max.x : box.min.x, corner & 2 ? box.max.y : box.min.y,
                        corner & 4 ? box.max.z : box.min.z);
        out.AddTransformedPoint(p, transform);
    }
    return out;
}

} // namespace

CollisionObject CollisionObjectOf(const MeshNode& node, const MapObject* owner)
{
    CollisionObject object;
    object.object = owner;
    object.world = node.world;
    object.mesh = node.GetMesh();
    object.hidden = !node.visible;
    return object;
}

CollisionQuery& CollisionQuery::Instance()
{
    static CollisionQuery query;
    return query;
}

void CollisionQuery::SetMove(float x, float y, float z, const float newOrientation[9], float vx, float vy, float vz)
{
    start = Vector3(x, y, z);
    if (newOrientation)
        std::memcpy(orientation, newOrientation, sizeof(orientation));
    velocity = Vector3(vx, vy, vz);
    box.ClearContacts();
}

bool CollisionQuery::Begin()
{
    slideExhausted = false;
    sink = nullptr;
    // A body without size (or with a size that is not a number) cannot be placed, nor can a move
    // that is not a number: it stays put.
    if (!PositiveFinite(radii) || !Finite(start) || !Finite(velocity))
        return false;
    if (shape == ShapeEllipsoid) {
        fromFrame = Matrix4(Vector4(orientation[0], orientation[1], orientation[2], 0.0f),
                            Vector4(orientation[3], orientation[4], orientation[5], 0.0f),
                            Vector4(orientation[6], orientation[7], orientation[8], 0.0f), Vector4(start, 1.0f));
        toFrame = fromFrame;
        if (!toFrame.Invert())
            return false;
        // The rows are the mover's axes, so the components along them are the frame's.
        const Matrix3 axes = Matrix3().FromMatrix4(fromFrame);
        frameVelocity = axes.Transpose().Transform(velocity);
        ellipsoid.Begin(radii, toFrame.TransformDirection(Vector3(0.0f, 1.0f, 0.0f)));
        ellipsoid.SetMove(Vector3(), frameVelocity);
        ellipsoid.SetTransform(toFrame);
        sink = &ellipsoid;
        return true;
    }
    if (shape == ShapeBox) {
        toFrame.SetIdentity();
        fromFrame.SetIdentity();
        frameVelocity = velocity;
        box.Begin(radii);
        box.SetMove(velocity);
        sink = &box;
        return true;
    }
    return false;
}

void CollisionQuery::GatherScene(CollisionTriangleSink& target, const MapObject* ignored)
{
    if (!scene)
        return;
    const float moveLength = velocity.Length();
    const float extent = LargestExtent();

    int rows = 0, columns = 0;
    float cellSize = 0.0f;
    if (scene->GetTerrainGrid(rows, columns, cellSize) && cellSize > 0.0f && std::isfinite(cellSize)) {
        const Vector3 end = start + velocity;
        int row = 0, column = 0;
        scene->WorldToCell(end.x, end.z, row, column);
        // The reach counts the body's size as well as the move, so a body near a cell border still
        // meets the next cell's triangles.
        const double reach = std::min(std::trunc(double(moveLength + extent) / double(cellSize)),
                                      double(std::max(rows, columns)) + 1.0);
        const int cells = std::isfinite(reach) ? int(reach) : std::max(rows, columns) + 1;
        // Wide arithmetic: a cell far off the grid must not wrap around into it.
        const auto clampTo = [](long long value, int count) { return int(std::clamp<long long>(value, -1, count)); };
        const int rowFirst = std::max(0, clampTo(static_cast<long long>(row) - cells - 1, rows));
        const int rowLast = std::min(rows - 1, clampTo(static_cast<long long>(row) + cells + 1, rows));
        const int columnFirst = std::max(0, clampTo(static_cast<long long>(column) - cells - 1, columns));
        const int columnLast = std::min(columns - 1, clampTo(static_cast<long long>(column) + cells + 1, columns));
        target.SetTransform(toFrame);
        for (int r = rowFirst; r <= rowLast; ++r)
            for (int c = columnFirst; c <= columnLast; ++c) {
                if (!IsOpaqueMaterial(scene->GetCellMaterial(r, c)))
                    continue;
                Vector3 corners[6];
                scene->GetCellTriangles(r, c, corners);
                if (!target.AddTriangle(corners[0], corners[1], corners[2], frameVelocity, true) ||
                    !target.AddTriangle(corners[3], corners[4], corners[5], frameVelocity, true))
                    return;
            }
    }

    objects.clear();
    scene->GatherObjectsInRadius(start, moveLength + extent, objects);
    BoundingBox region;
    region.AddPoint(start);
    region.AddPoint(start + velocity);
    region.min -= Vector3(extent, extent, extent);
    region.max += Vector3(extent, extent, extent);
    for (const CollisionObject& object : objects) {
        if ((ignored && object.object == ignored) || object.noCollision || (object.hidden && !object.alwaysCollide))
            continue;
        qMesh* mesh = object.collisionMesh ? object.collisionMesh : object.mesh;
        if (!mesh)
            continue;
        target.SetTransform(object.world * toFrame);
        const BoundingBox* meshRegion = nullptr;
        BoundingBox local;
        if (dynamic_cast<OctreeMesh*>(mesh)) {
            Matrix4 toObject = object.world;
            if (toObject.Invert()) {
                local = TransformedBox(region, toObject);
                meshRegion = &local;
            }
        }
        if (!gatherer.AddMesh(*mesh, object.alphaList, frameVelocity, target, meshRegion))
            break;
    }
    objects.clear();
}

void CollisionQuery::Finish(Vector3* outPosition, float outOrientation[9])
{
    Vector3 position = start;
    if (shape == ShapeEllipsoid && sink == &ellipsoid) {
        if (response == ResponseSlide) {
            position = fromFrame.TransformPoint(ellipsoid.Slide());
            slideExhausted = ellipsoid.SlideExhausted();
        } else if (response == ResponseStop) {
            position = fromFrame.TransformPoint(ellipsoid.Stop());
        }
    } else if (shape == ShapeBox && sink == &box && response == ResponseBoxContacts) {
        box.Run();
    }
    ellipsoid.ClearTriangles();
    box.ClearTriangles();
    if (outPosition)
        *outPosition = position;
    if (outOrientation)
        std::memcpy(outOrientation, orientation, sizeof(orientation));
}

void CollisionQuery::Move(Vector3* outPosition, float outOrientation[9], const MapObject* ignored)
{
    if (Begin())
        GatherScene(*sink, ignored);
    Finish(outPosition, outOrientation);
}

void CollisionQuery::MoveThrough(Vector3* outPosition, float outOrientation[9], const TriangleFeed& feed)
{
    if (Begin() && feed)
        feed(*sink, frameVelocity);
    Finish(outPosition, outOrientation);
}

bool CollisionQuery::GetContacts(Vector3** normals, float** values, float** depths, Vector3** points, int* count)
{
    if (box.ContactCount() <= 0)
        return false;
    if (normals)
        *normals = box.Normals();
    if (values)
        *values = box.Values();
    if (depths)
        *depths = box.Depths();
    if (points)
        *points = box.Points();
    if (count)
        *count = box.ContactCount();
    return true;
}

void CollisionSetScene(CollisionScene* scene) { CollisionQuery::Instance().SetScene(scene); }
void CollisionSetMode(int shape, int response) { CollisionQuery::Instance().SetMode(shape, response); }
void CollisionSetEllipsoid(float radiusX, float radiusY, float radiusZ)
{
    CollisionQuery::Instance().SetEllipsoid(radiusX, radiusY, radiusZ);
}
void CollisionSetBox(const Vector3 corners[16]) { CollisionQuery::Instance().SetBox(corners); }
void CollisionSetBoxOwner(const double* worldMatrix) { CollisionQuery::Instance().SetBoxOwner(worldMatrix); }
void CollisionSetMove(float x, float y, float z, const float orientation[9], float velocityX, float velocityY,
                      float velocityZ)
{
    CollisionQuery::Instance().SetMove(x, y, z, orientation, velocityX, velocityY, velocityZ);
}
void CollisionMove(Vector3* outPosition, float outOrientation[9], const MapObject* ignored)
{
    CollisionQuery::Instance().Move(outPosition, outOrientation, ignored);
}
bool CollisionGetContacts(Vector3** normals, float** values, float** depths, Vector3** points, int* count)
{
    return CollisionQuery::Instance().GetContacts(normals, values, depths, points, count);
}
bool CollisionSlideExhausted() { return CollisionQuery::Instance().SlideExhausted(); }
