#include "engine/mesh/DebugLines.h"

#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "engine/mesh/MeshVertices.h"
#include "renderer/Device.h"

void DebugLines::Add(const Vector3& from, const Vector3& to)
{
    vertices.push_back(LineVertex{{from.x, from.y, from.z}, 0xFFFFFFFFu, {0, 0, 0, 0}});
    vertices.push_back(LineVertex{{to.x, to.y, to.z}, 0xFFFFFFFFu, {0, 0, 0, 0}});
}

void DebugLines::AddBox(const BoundingBox& box)
{
    auto corner = [&](int i) {
        return Vector3(i & 1 ? box.max.x : box.min.x, i & 2 ? box.max.y : box.min.y, i & 4 ? box.max.z : box.min.z);
    };
    for (int i = 0; i < 8; ++i)
        for (int axis = 1; axis < 8; axis <<= 1)
            if (!(i & axis))
                Add(corner(i), corner(i | axis));
}

void DebugLines::AddNormals(const MeshVertices& mesh, int first, int count, bool vertexNormals, bool faceNormals)
{
    if (vertexNormals)
        for (int i = first; i < first + count; ++i)
            Add(mesh.Position(i), mesh.Position(i) + mesh.Normal(i));
    if (faceNormals && count >= 3) {
        Vector3 centre;
        for (int i = first; i < first + count; ++i)
            centre += mesh.Position(i);
        centre *= 1.0f / float(count);
        Add(centre, centre + TriangleNormal(mesh.Position(first), mesh.Position(first + 1), mesh.Position(first + 2)));
    }
}

void DebugLines::Draw(Device* device) const
{
    if (vertices.empty())
        return;
    VertexLayout layout;
    layout.InitColoredTextured2();
    Material white;
    const bool fog = device->GetFogEnable();
    device->SetFogEnable(false);
    device->DrawUserPrimitives(PrimLineList, vertices.data(), int(vertices.size()), &layout, nullptr, 0, &white);
    device->SetFogEnable(fog);
}
