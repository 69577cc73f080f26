// The sight and hearing test of one source, and the sight line's per-triangle filter that lets
// see-through foliage add opacity instead of blocking.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "app/framework/Application.h"
#include "characters/ai/AI.h"
#include "characters/ai/AILevelView.h"
#include "characters/ai/AIMissionServices.h"
#include "characters/objects/CarriedItem.h"
#include "characters/level/RunningLevel.h"
#include "characters/level/WeaponQueries.h"
#include "engine/core/HitResult.h"
#include "engine/core/LittleEndianReader.h"
#include "engine/core/RenderTypes.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "renderer/Device.h"

namespace {

// The length of the running test's sight line and the opacity it has crossed so far; the test
// is not reentrant (main thread, one test at a time).
float sightPickRange = 0.0f;
float foliageOpacity = 0.0f;

constexpr float kSmokeRadius = 15.0f;
constexpr int kInfiltration = 8;


int Dxt3Alpha(const std::uint8_t* block, int x, int y)
{
    const int texel = (x & 3) + (y & 3) * 4;
    const std::uint8_t pair = block[texel / 2];
    return ((texel & 1) ? (pair >> 4) : (pair & 0x0F)) * 17;
}

int Dxt5Alpha(const std::uint8_t* block, int x, int y)
{
    const int a0 = block[0];
    const int a1 = block[1];
    std::uint64_t bits = 0;
    for (int i = 0; i < 6; ++i)
        bits |= std::uint64_t(block[2 + i]) << (8 * i);
    const int texel = (x & 3) + (y & 3) * 4;
    const int code = int((bits >> (3 * texel)) & 7);
    if (code == 0)
        return a0;
    if (code == 1)
        return a1;
    if (a0 > a1)
        return ((8 - code) * a0 + (code - 1) * a1) / 7;
    if (code == 6)
        return 0;
    if (code == 7)
        return 255;
    return ((6 - code) * a0 + (code - 1) * a1) / 5;
}

// The alpha (0..255) of one texel of a locked texture, 0 outside it or for a format without alpha.
int TexelAlpha(const std::uint8_t* data, int format, int width, int height, int pitch, int bytesPerPixel, int x,
               int y)
{
    if (x < 0 || y < 0 || x >= width || y >= height)
        return 0;
    if (format == FormatDXT3 || format == FormatDXT5) {
        const int blocksPerRow = std::max(1, (width + 3) / 4);
        const std::uint8_t* block = data + (std::size_t(y / 4) * std::size_t(blocksPerRow) + std::size_t(x / 4)) * 16;
        return format == FormatDXT3 ? Dxt3Alpha(block, x, y) : Dxt5Alpha(block, x, y);
    }
    if (bytesPerPixel <= 0 || bytesPerPixel > 4)
        return 0;
    std::uint8_t bytes[4] = {0, 0, 0, 0};
    std::memcpy(bytes, data + std::size_t(y) * std::size_t(pitch) + std::size_t(x) * std::size_t(bytesPerPixel),
                std::size_t(bytesPerPixel));
    const std::uint32_t sample = LittleEndianReader(bytes, sizeof bytes).U32();
    switch (format) {
    case FormatA8R8G8B8:
        return int(sample >> 24);
    case FormatA1R5G5B5:
        return (sample & 0x8000) ? 128 : 0;
    case FormatA4R4G4B4:
        return int((sample >> 12) & 0x0F) * 16;
    default:
        return 0;
    }
}

bool IsKnownFormat(int format)
{
    return format == FormatA8R8G8B8 || format == FormatA1R5G5B5 || format == FormatA4R4G4B4 || format == FormatDXT3 ||
           format == FormatDXT5;
}

// Mean alpha (0..255) of the 5 x 5 texels around (x, y).
int WindowAlpha(D3DBitmap* texture, int x, int y)
{
    const int format = texture->GetFormat();
    if (!IsKnownFormat(format))
        return 0;
    const int width = texture->GetWidth();
    const int height = texture->GetHeight();
    const auto* data = static_cast<const std::uint8_t*>(texture->Lock(false));
    if (!data)
        return 0;
    const int pitch = texture->GetPitch();
    const int bytesPerPixel = texture->GetBytesPerPixel();
    int sum = 0;
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx)
            sum += TexelAlpha(data, format, width, height, pitch, bytesPerPixel, x + dx, y + dy);
    texture->Unlock();
    return std::clamp(sum / 25, 0, 255);
}

float Wrap(float value)
{
    if (!std::isfinite(value))
        return 0.0f;
    value -= std::floor(value);
    return value;
}

} // namespace

bool RayCylinderIntersect(const Vector3& origin, const Vector3& direction, const Vector3& centre, float radius,
                          float* distance)
{
    const float ox = origin.x - centre.x;
    const float oz = origin.z - centre.z;
    const float a = direction.x * direction.x + direction.z * direction.z;
    if (a <= 0.0f)
        return false;
    const float b = 2.0f * (ox * direction.x + oz * direction.z);
    const float c = ox * ox + oz * oz - radius * radius;
    const float discriminant = b * b - 4.0f * a * c;
    if (discriminant < 0.0f)
        return false;
    const float entry = (-b - std::sqrt(discriminant)) / (2.0f * a);
    if (distance)
        *distance = entry;
    return entry > 0.0f;
}

bool AI::countPolySightCB(D3DPrim* prim, HitResult& ray, int* index0, int* index1, int* index2)
{
    if (!prim)
        return false;
    Matrix4 world;
    if (Application* application = Application::Instance()) {
        if (Device* device = application->GetDevice())
            device->GetWorldTransform(&world);
    }
    const Vector3 hitPoint = world.TransformPoint(ray.hitPoint);
    const Vector3 origin = world.TransformPoint(ray.origin);
    if (!(hitPoint.DistanceSquared(origin) < sightPickRange * sightPickRange))
        return false;
    const Material* material = prim->material;
    if (!material || (material->srcBlend == BlendOne && material->destBlend == BlendZero))
        return true;
    const int vertexCount = prim->GetVertexCount(true);
    if (vertexCount <= 0 || !index0 || !index1 || !index2)
        return false;
    const int i0 = *index0, i1 = *index1, i2 = *index2;
    if (i0 < 0 || i1 < 0 || i2 < 0 || i0 >= vertexCount || i1 >= vertexCount || i2 >= vertexCount)
        return false;
    VertexLayout layout;
    prim->GetVertexFormat(&layout);
    const int offset = layout.offsets[VertexLayout::TexCoord0];
    D3DBitmap* texture = material->texture[0];
    if (offset < 0 || offset + 8 > layout.vertexSize || !texture)
        return false;
    const auto* vertices = static_cast<const std::uint8_t*>(prim->GetVertices(false, true));
    if (!vertices)
        return false;
    float t[3][2];
    const int indices[3] = {i0, i1, i2};
    for (int k = 0; k < 3; ++k)
        std::memcpy(t[k], vertices + std::size_t(indices[k]) * std::size_t(layout.vertexSize) + std::size_t(offset),
                    sizeof t[k]);
    const float u = Wrap(t[0][0] + (t[1][0] - t[0][0]) * ray.u + (t[2][0] - t[0][0]) * ray.v);
    const float v = Wrap(t[0][1] + (t[1][1] - t[0][1]) * ray.u + (t[2][1] - t[0][1]) * ray.v);
    const int x = int(u * float(texture->GetWidth()));
    const int y = int(v * float(texture->GetHeight()));
    const int alpha = WindowAlpha(texture, x, y);
    foliageOpacity = std::min(foliageOpacity + float(alpha) / 256.0f, 1.0f);
    return false;
}

float AI::GetSkill(int index)
{
    (void)index;
    return 0.5f;
}

void AI::Sense(GameObject* source, const StimulusSource& record, float squaredDistance, float alarmDistance,
               SenseResult& result)
{
    foliageOpacity = 0.0f;
    ChannelMultipliers factors;
    Character* sourceCharacter =
        source && source->objectType == GameObject::CharacterType ? dynamic_cast<Character*>(source) : nullptr;

    bool sightTested = false;
    if (squaredDistance < sensor.sightRange * sensor.sightRange && record.visibility > 0.0f) {
        const Vector3 d = record.position - sensor.eyePosition;
        const float length = d.Length();
        Vector3 n = d;
        n.Normalize();
        const Vector3 view(sensor.orientation(2, 0), sensor.orientation(2, 1), sensor.orientation(2, 2));
        bool visible = n.Dot(view) > sensor.viewConeCos;
        if (visible) {
            factors.sightFactor = FogSightFactor(length, RunningLevel::AI().CameraFar(), RunningLevel::AI().CameraFogStart());
            if (factors.sightFactor <= 0.1f) {
                factors.sightFactor = 0.0f;
                visible = false;
            }
        }
        float tile = 0.0f;
        if (visible && sourceCharacter && sourceCharacter->posture == Prone &&
            RunningLevel::AI().TilePropertyValue(record.position, &tile) && tile > 0.0f) {
            const auto* sourceAI = dynamic_cast<AI*>(sourceCharacter);
            const float infiltration = sourceAI ? const_cast<AI*>(sourceAI)->GetSkill(kInfiltration) : 0.0f;
            const float reach = (1.0f - infiltration) * 100.0f + 15.0f;
            if (squaredDistance > reach * reach) {
                factors.sightFactor = 0.0f;
                visible = false;
            }
        }
        if (visible) {
            sightTested = true;
            HitResult ray;
            ray.Clear();
            ray.origin = sensor.eyePosition;
            ray.direction = d;
            sightPickRange = length;
            const bool solid = RunningLevel::AI().PickLine(ray, length, &AI::countPolySightCB, this, sourceCharacter);
            if (sightSamples.Mean() < foliageOpacity)
                sightSamples.Fill(foliageOpacity);
            else
                sightSamples.Push(foliageOpacity);
            if (solid && ray.distance < length)
                factors.sightFactor = 0.0f;
            if (factors.sightFactor > 0.0f) {
                const float mean = sightSamples.Mean();
                factors.sightFactor *= 1.0f - mean;
                if (sourceCharacter && mean > 0.0f) {
                    const auto* sourceAI = dynamic_cast<AI*>(sourceCharacter);
                    const float infiltration = sourceAI ? const_cast<AI*>(sourceAI)->GetSkill(kInfiltration) : 0.0f;
                    factors.sightFactor -= float(sourceCharacter->posture) * 0.3f;
                    factors.sightFactor -= infiltration * 0.4f;
                }
                factors.sightFactor = std::max(factors.sightFactor, 0.0f);
                if (factors.sightFactor > 0.0f) {
                    for (const Vector3& cloud : RunningLevel::AI().SmokeClouds()) {
                        // Only a cloud between the two hides the source: d spans the line, so the
                        // entry lies within it at a parameter up to 1.
                        float entry = 0.0f;
                        if (RayCylinderIntersect(sensor.eyePosition, d, cloud, kSmokeRadius, &entry) && entry <= 1.0f)
                            factors.sightFactor *= 0.01f;
                    }
                }
            }
        }
    }
    if (!sightTested)
        sightSamples.Push(0.0f);

    if (squaredDistance < sensor.hearingRange * sensor.hearingRange && record.noise > 0.0f) {
        if (IsRiding()) {
            factors.soundFactor = 0.0f;
        } else if (sourceCharacter && squaredDistance > 22500.0f) {
            CarriedItem* held = sourceCharacter->GetHeldItem();
            factors.soundFactor = held ? float(held->noiseLevel) / record.noise : 0.0f;
            if (factors.soundFactor > 0.0f && RunningLevel::AI().PrecipitationKind() == 1)
                factors.soundFactor *= 0.8f;
        }
        if (alarmTarget && factors.soundFactor > 0.0f)
            factors.soundFactor *= alarmDistance <= 20.0f ? 0.5f : 0.5f + 0.5f * (1.0f - 20.0f / alarmDistance);
    }

    CarriedItem* held = GetHeldItem();
    const float zoom = held && held->category == CarriedItem::Weapon && WeaponHasScope(held) ? 3.0f : 0.0f;
    sensor.Sense(record, &factors, result, zoom, 0.0f);
}
