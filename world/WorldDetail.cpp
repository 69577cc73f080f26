#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/camera/Camera.h"
#include "engine/mesh/MeshVertices.h"
#include "engine/mesh/qMesh.h"
#include "renderer/Device.h"
#include "world/World.h"

bool World::DetailRangeAccepts(const BoundingBox& box) const
{
    if (!camera)
        return false;
    const Vector3 eye = camera->world.GetTranslation();
    return CircleOverlapsRect(eye.x, eye.z, detailRange, box.min.x, box.min.z, box.max.x, box.max.z);
}

void World::BuildCellDetailObjects(int column, int row, int tile)
{
    if (!camera || tile < 0 || tile >= int(detailTable.size()))
        return;
    const DetailRecord& record = detailTable[std::size_t(tile)];
    // A tile without objects of its group has nothing to scatter, however dense.
    if (record.density <= 0.0f || record.count == 0)
        return;
    const Vector3 corner = GetCornerPosition(column, row);
    const Vector3 eye = camera->world.GetTranslation();
    if (!CircleOverlapsRect(eye.x, eye.z, detailRange, corner.x, corner.z - cellSize, corner.x + cellSize, corner.z))
        return;
    const Vector3 forward(camera->world.m[8], camera->world.m[9], camera->world.m[10]);
    std::uint32_t ambient = 0xFFFFFFFFu;
    device->GetAmbient(&ambient);
    const float range2 = detailRange * detailRange, inner2 = 0.49f * range2;
    int n = column + row;
    for (float z = corner.z - cellSize; z < corner.z; z += record.density)
        for (float x = corner.x; x <= corner.x + cellSize; x += record.density) {
            const float* r = &GetNoiseTable()[n % 16344];
            ++n;
            const LibraryObject& object = libraryObjects[std::size_t(record.objects[int(float(record.count) * r[0])])];
            Vector3 position(x + record.density * 0.4f * (r[1] - 0.5f), 0.0f, z + record.density * 0.4f * (r[2] - 0.5f));
            position.y = GetTerrainHeightSmooth(position);
            const float d2 = position.DistanceSquared(eye);
            if (forward.Dot(eye - position) > 0.0f || d2 > range2)
                continue;
            const float s = record.minScale + (record.maxScale - record.minScale) * r[3];
            const float tilt = (r[3] - 0.5f) * std::cos(swayPhase * kPi) * 0.5f * damping;
            Vector3 up(tilt + wind.x, 1.0f, tilt + wind.z);
            up.Normalize();
            up *= s;
            std::uint32_t colour = ambient;
            if (HasLightMap())
                GetTerrainLight(position, &colour);
            const float alpha = std::clamp((range2 - d2) / (range2 - inner2), 0.0f, 1.0f);
            colour = (colour & 0x00FFFFFFu) | std::uint32_t(alpha * 255.0f) << 24;
            for (D3DPrim* prim : object.mesh->prims) {
                MeshVertices vertices(prim, false);
                MeshIndices indices(prim, false);
                if (detailVertexCount + vertices.Count() > kDetailVertices ||
                    detailIndexCount + indices.Count() > kDetailIndices)
                    return;
                for (int i = 0; i < indices.Count(); ++i)
                    detailIndices[std::size_t(detailIndexCount++)] = std::uint16_t(indices[i] + detailVertexCount);
                for (int i = 0; i < vertices.Count(); ++i) {
                    const Vector3 p = vertices.Position(i);
                    const Vector3 world(p.x * s + p.y * up.x + position.x, p.y * up.y + position.y,
                                        p.z * s + p.y * up.z + position.z);
                    std::uint8_t* out = &detailVertices[std::size_t(detailVertexCount++) * 32];
                    float uv[2];
                    vertices.TexCoord(0, i, uv);
                    std::memcpy(out, &world, 12);
                    std::memcpy(out + 12, &colour, 4);
                    std::memcpy(out + 16, uv, 8);
                }
            }
        }
}
