#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/camera/Camera.h"
#include "engine/material/VertexLayout.h"
#include "engine/mesh/qMesh.h"
#include "engine/particle/qParticle.h"
#include "engine/sprite/Sprite.h"
#include "renderer/Device.h"

namespace {

struct ScreenVertex {
    float position[4]; // x, y, z, rhw
    std::uint32_t color;
    float uv[2];
};
static_assert(sizeof(ScreenVertex) == 28);

constexpr int kQuads = qParticle::kQuadsPerBatch;
constexpr int kLines = qParticle::kLinesPerBatch;
constexpr float kCornerUv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};

// The batch arrays every particle system draws through: an index list of 500 quads and a lit
// and a screen vertex array with the quad corners' texture coordinates preset.
struct ParticleBatch {
    std::uint16_t indices[kQuads * 6];
    LitVertex lit[kQuads * 4];
    ScreenVertex screen[kQuads * 4];
    LitVertex litLines[kLines * 2];
    ScreenVertex screenLines[kLines * 2];

    ParticleBatch()
    {
        for (int q = 0; q < kQuads; ++q) {
            const int v = 4 * q;
            const int corners[6] = {v, v + 1, v + 2, v, v + 2, v + 3};
            for (int i = 0; i < 6; ++i)
                indices[6 * q + i] = std::uint16_t(corners[i]);
        }
        for (int i = 0; i < kQuads * 4; ++i) {
            lit[i] = LitVertex{{0, 0, 0}, {0, 0, 0}, 0, {kCornerUv[i % 4][0], kCornerUv[i % 4][1]},
                               {kCornerUv[i % 4][0], kCornerUv[i % 4][1]}};
            screen[i] = ScreenVertex{{0, 0, 0, 1}, 0, {kCornerUv[i % 4][0], kCornerUv[i % 4][1]}};
        }
        for (LitVertex& v : litLines)
            v = LitVertex{{0, 0, 0}, {0, 0, 0}, 0, {0, 0}, {0, 0}};
        for (ScreenVertex& v : screenLines)
            v = ScreenVertex{{0, 0, 0, 1}, 0, {0, 0}};
    }
};

ParticleBatch& Batch()
{
    static ParticleBatch batch;
    return batch;
}

void SetLit(LitVertex& v, const Vector3& p, std::uint32_t color)
{
    v.position[0] = p.x;
    v.position[1] = p.y;
    v.position[2] = p.z;
    v.color = color;
}

void SetScreen(ScreenVertex& v, float x, float y, const Vector4& projected, std::uint32_t color)
{
    v.position[0] = x;
    v.position[1] = y;
    v.position[2] = projected.z;
    v.position[3] = projected.w != 0.0f ? 1.0f / projected.w : 1.0f;
    v.color = color;
}

} // namespace

void qParticle::SetBlend(Material& material) const
{
    // Alpha blend, or additive weighted by alpha.
    const int source = BlendSrcAlpha;
    const int destination = alphaBlend ? BlendInvSrcAlpha : BlendOne;
    if (material.srcBlend != source || material.destBlend != destination)
        material.changed = 1;
    material.srcBlend = source;
    material.destBlend = destination;
}

bool qParticle::DrawMeshes(Device* device, const float ambient[3])
{
    for (const ParticleInstance& p : pool) {
        if (!p.IsAlive())
            continue;
        const float light[3] = {ambientLit ? ambient[0] : 1.0f, ambientLit ? ambient[1] : 1.0f,
                                ambientLit ? ambient[2] : 1.0f};
        particleMesh->SetVertexColor(
            PackSpriteColor(p.alpha, p.color[0] * light[0], p.color[1] * light[1], p.color[2] * light[2]));
        Matrix4 transform;
        transform.MakeScale(p.size, p.size, p.size);
        if (meshGrowth != 0.0f) {
            const float growth = meshGrowth * p.age;
            Matrix4 grow;
            grow.MakeScale(growth, growth, growth);
            transform = transform * grow;
        }
        Matrix4 translation;
        translation.SetTranslation(p.position);
        transform = transform * translation;
        device->SetWorldTransform(&transform);
        particleMesh->Draw(device);
    }
    return true;
}

bool qParticle::Draw(Device* device)
{
    if (!active || liveCount == 0 || !device)
        return false;
    const Matrix4 identity;
    device->SetWorldTransform(&identity);
    Camera* camera = device->GetCamera();
    if (camera && camera->BoxInFrustum(bounds) == 0)
        return false;

    const bool fog = device->GetFogEnable();
    std::uint32_t ambientColor = 0xFFFFFFFFu;
    device->GetAmbient(&ambientColor);
    const float ambient[3] = {float((ambientColor >> 16) & 0xFF) / 255.0f, float((ambientColor >> 8) & 0xFF) / 255.0f,
                              float(ambientColor & 0xFF) / 255.0f};
    if (!sorted)
        device->SetSortQueueEnabled(false);

    if (particleMesh) {
        DrawMeshes(device, ambient);
    } else {
        device->SetZWrite(false);
        if (!alphaBlend)
            device->SetFogEnable(false);
        device->SetZEnable(depthTest);
        for (Material* material : textures)
            SetBlend(*material);
        SetBlend(quadMaterial);

        // Without a camera the quads face down the z axis.
        Vector3 right(1, 0, 0), up(0, 1, 0);
        if (camera) {
            right = Vector3(camera->world(0, 0), camera->world(0, 1), camera->world(0, 2));
            up = Vector3(camera->world(1, 0), camera->world(1, 1), camera->world(1, 2));
        }
        const Vector3 emitter = world.GetTranslation();
        VertexLayout litLayout, screenLayout;
        litLayout.InitLitTextured();
        screenLayout.InitScreenTextured();
        const VertexLayout& layout = screenSpace ? screenLayout : litLayout;
        const void* quadVertices = screenSpace ? static_cast<const void*>(Batch().screen) : Batch().lit;
        const void* lineVertices = screenSpace ? static_cast<const void*>(Batch().screenLines) : Batch().litLines;
        const int frames = int(textures.size());
        Material* single = frames == 1 ? textures[0] : &quadMaterial;
        int quads = 0, lines = 0;

        auto flushQuads = [&](Material* material) {
            if (quads > 0)
                device->DrawUserPrimitives(PrimTriangleList, quadVertices, quads * 4, &layout, Batch().indices,
                                           quads * 6, material);
            quads = 0;
        };
        auto flushLines = [&] {
            if (lines > 0)
                device->DrawUserPrimitives(PrimLineList, lineVertices, lines * 2, &layout, nullptr, 0, &quadMaterial);
            lines = 0;
        };

        for (const ParticleInstance& p : pool) {
            if (!p.IsAlive())
                continue;
            const std::uint32_t color =
                ambientLit ? PackSpriteColor(p.alpha, p.color[0] * ambient[0], p.color[1] * ambient[1],
                                             p.color[2] * ambient[2])
                           : PackSpriteColor(p.alpha, p.color[0], p.color[1], p.color[2]);

            if (p.streak > 0.0f) {
                Vector3 direction = p.velocity;
                direction.Normalize();
                const float length = std::min(p.streak, p.position.Distance(emitter));
                const Vector3 tail = p.position - direction * length;
                if (screenSpace) {
                    Vector4 head2d, tail2d;
                    device->TransformPoint(&head2d, &p.position);
                    device->TransformPoint(&tail2d, &tail);
                    SetScreen(Batch().screenLines[2 * lines], head2d.x, head2d.y, head2d, color);
                    SetScreen(Batch().screenLines[2 * lines + 1], tail2d.x, tail2d.y, tail2d, color);
                } else {
                    SetLit(Batch().litLines[2 * lines], p.position, color);
                    SetLit(Batch().litLines[2 * lines + 1], tail, color);
                }
                if (++lines == kLines)
                    flushLines();
                continue;
            }

            const int v = 4 * quads;
            if (screenSpace) {
                Vector4 centre;
                device->TransformPoint(&centre, &p.position);
                const float half = 2.0f * p.size;
                const float xs[4] = {centre.x - half, centre.x + half, centre.x + half, centre.x - half};
                const float ys[4] = {centre.y - half, centre.y - half, centre.y + half, centre.y + half};
                for (int c = 0; c < 4; ++c)
                    SetScreen(Batch().screen[v + c], xs[c], ys[c], centre, color);
            } else {
                const Vector3 r = right * p.size, u = up * p.size;
                SetLit(Batch().lit[v], p.position - r + u, color);
                SetLit(Batch().lit[v + 1], p.position + r + u, color);
                SetLit(Batch().lit[v + 2], p.position + r - u, color);
                SetLit(Batch().lit[v + 3], p.position - r - u, color);
            }
            ++quads;
            if (frames > 1) {
                // An animated texture: the frame follows the particle's share of its life.
                const float share = p.lifetime > 0.0f ? p.age / p.lifetime : 0.0f;
                int frame = std::isfinite(share) ? int(std::clamp(share, 0.0f, 1.0f) * float(frames)) : 0;
                frame = std::clamp(frame, 0, frames - 1);
                flushQuads(textures[std::size_t(frame)]);
            } else if (quads == kQuads) {
                flushQuads(single);
            }
        }
        flushQuads(single);
        flushLines();
    }

    device->SetSortQueueEnabled(true);
    device->SetFogEnable(fog);
    device->SetZWrite(true);
    device->SetZEnable(true);
    return true;
}
