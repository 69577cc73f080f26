// Drawing a character: the skin of its level of detail, the light of the map under it, the held
// item, the body, the foot shadows and the flames.
#include <algorithm>
#include <cmath>

#include "app/framework/Application.h"
#include "characters/body/AnimationController.h"
#include "characters/objects/CarriedItem.h"
#include "characters/body/Character.h"
#include "characters/level/LevelScene.h"
#include "characters/level/RunningLevel.h"
#include "characters/player/SquadCommandView.h"
#include "engine/animation/AnimatedModel.h"
#include "engine/core/q3DError.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "engine/mesh/MeshVertices.h"
#include "engine/particle/qParticle.h"
#include "renderer/Device.h"
#include "world/World.h"

namespace {

std::uint32_t Channel(std::uint32_t colour, int shift)
{
    return (colour >> shift) & 0xFFu;
}

std::uint32_t Pack(float r, float g, float b)
{
    const auto byte = [](float v) { return std::uint32_t(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f); };
    return 0xFF000000u | (byte(r) << 16) | (byte(g) << 8) | byte(b);
}

void Unpack(std::uint32_t colour, float out[3])
{
    out[0] = float(Channel(colour, 16)) / 255.0f;
    out[1] = float(Channel(colour, 8)) / 255.0f;
    out[2] = float(Channel(colour, 0)) / 255.0f;
}

} // namespace

std::uint32_t Character::FadeWithDistance(std::uint32_t own, std::uint32_t worldLight, float distance,
                                          bool distanceCulling)
{
    if (distance > 60.0f)
        return distanceCulling ? worldLight : own;
    if (distance <= 30.0f)
        return own;
    const float blend = std::clamp((60.0f - distance) * 0.033333335f, 0.0f, 1.0f);
    float mine[3], theirs[3];
    Unpack(own, mine);
    Unpack(worldLight, theirs);
    return Pack(theirs[0] + (mine[0] - theirs[0]) * blend, theirs[1] + (mine[1] - theirs[1]) * blend,
                theirs[2] + (mine[2] - theirs[2]) * blend);
}

void Character::CreateFootShadow(Device* dev)
{
    if (!dev || footShadow)
        return;
    dev->CreatePrim(&footShadow);
    VertexLayout layout;
    layout.InitLitTextured();
    if (!footShadow || footShadow->Create(PrimTriangleFan, 4, 0, &layout, 0) != 0) {
        if (footShadow)
            footShadow->Release();
        footShadow = nullptr;
        throw q3DError("Can't create the foot shadow");
    }
    footShadow->primitiveType = PrimTriangleFan;
    static constexpr float kCorners[4][3] = {{-2.5f, 0.0f, 3.0f}, {2.5f, 0.0f, 3.0f}, {2.5f, 0.0f, -2.5f},
                                             {-2.5f, 0.0f, -2.5f}};
    static constexpr float kUv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    {
        MeshVertices vertices(footShadow, true);
        for (int i = 0; i < 4; ++i) {
            vertices.SetPosition(i, Vector3(kCorners[i][0], kCorners[i][1], kCorners[i][2]));
            vertices.SetNormal(i, Vector3(0.0f, 1.0f, 0.0f));
            vertices.SetDiffuse(i, 0xFFFFFFFFu);
            vertices.SetTexCoord(0, i, kUv[i][0], kUv[i][1]);
        }
    }
    footShadowMaterial = new Material();
    footShadowMaterial->srcBlend = BlendSrcAlpha;
    footShadowMaterial->destBlend = BlendInvSrcAlpha;
    footShadowMaterial->lightingMode = 0;
    dev->CreateBitmap(&footShadowBitmap);
    if (footShadowBitmap && footShadowBitmap->Load("GameData/fx/footshadow.tga", 0, 0) != 1) {
        const std::string reason = footShadowBitmap->GetLastError() ? footShadowBitmap->GetLastError() : "";
        throw q3DError("Can't load %s: %s", "GameData/fx/footshadow.tga", reason.c_str());
    }
    footShadowMaterial->texture[0] = footShadowBitmap;
    footShadow->material = footShadowMaterial;
}

void Character::DrawFootShadows(Device* dev)
{
    if (!footShadow || !model)
        return;
    World* world = World::Current();
    Vector3 toLight(0.0f, 0.0f, 1.0f);
    if (world && world->sun)
        toLight = Vector3(world->sun->direction[0], 0.0f, world->sun->direction[2]);
    toLight.Normalize();
    if (toLight.LengthSquared() == 0.0f)
        toLight = Vector3(0.0f, 0.0f, 1.0f);
    const float yaw = std::atan2(toLight.x, toLight.z);
    Matrix3 turn;
    turn.FromAxisAngle(yaw, Vector3(0.0f, 1.0f, 0.0f));

    dev->SetZWrite(false);
    dev->SetSortQueueEnabled(false);
    for (Bone foot : {LeftFoot, RightFoot}) {
        if (bones[foot] < 0)
            continue;
        Vector3 local;
        model->GetBonePosition(bones[foot], local);
        const float opacity = std::clamp(1.0f - 0.1f * local.y, 0.0f, 1.0f);
        local.y = 0.0f;
        local.z += 0.25f;
        const Vector3 at = model->world.TransformPoint(local);
        {
            MeshVertices vertices(footShadow, true);
            const std::uint32_t colour = (std::uint32_t(opacity * 255.0f) << 24) | 0xFFFFFFu;
            for (int i = 0; i < 4; ++i)
                vertices.SetDiffuse(i, colour);
        }
        Matrix4 placement;
        placement.SetRotation(turn);
        placement.m[12] = at.x;
        placement.m[13] = at.y + 0.05f;
        placement.m[14] = at.z;
        dev->SetWorldTransform(&placement);
        dev->DrawPrim(footShadow);
    }
    dev->SetSortQueueEnabled(true);
    dev->SetZWrite(true);
}

bool Character::Draw(Device* dev)
{
    if ((roles & Inactive) || !dev)
        return false;
    World* world = World::Current();
    const Vector3 camera = RunningLevel::Scene().CameraPosition();
    const float distance = (camera - position).Length();

    // The level of detail by distance, among the levels the model has.
    lod = 0;
    if (distance >= 80.0f && GetLevelModel(2))
        lod = 2;
    else if (distance >= 40.0f && GetLevelModel(1))
        lod = 1;

    // 2. Skin.
    Material* face = lodMeshes[std::size_t(lod)];
    if (face) {
        D3DBitmap* skin = baseSkins[std::size_t(lod)];
        if (blinkTime <= 0.0f && blinkSkin) {
            skin = blinkSkin;
            if (blinkTime <= -0.1f)
                blinkTime = 4.0f;
        }
        if (heldItem && heldItem->category == CarriedItem::Weapon && heldItem->IsInUse() && firingSkin)
            skin = firingSkin;
        if (health <= 0 && blinkSkin)
            skin = baseSkins[std::size_t(lod)];
        face->texture[0] = skin;
    }

    // 3. Light from the map under the character.
    std::uint32_t ambientBefore = 0;
    dev->GetAmbient(&ambientBefore);
    std::uint32_t ambient = ambientBefore;
    D3DLight* sun = world ? world->sun : nullptr;
    const std::uint32_t sunBefore = sun ? sun->color : 0xFFFFFFFFu;
    float worldLight[3];
    Unpack(sunBefore, worldLight);
    std::uint32_t sample = 0;
    float factors[3] = {1.0f, 1.0f, 1.0f};
    const bool lit = world && world->GetLightAt(position + Vector3(0.0f, 2.0f, 0.0f), &sample);
    if (lit) {
        lightColour = sample & 0xFFFFFFu;
        Unpack(sample, factors);
        if (kind == SquadKind) {
            for (int c = 0; c < 3; ++c)
                lightHistory[std::size_t(lightHistoryNext * 3 + c)] = factors[c];
            lightHistoryNext = (lightHistoryNext + 1) % 128;
            // The last 0.4 s of samples, at the frame rate the application runs at.
            const Application* application = Application::Instance();
            const float frameTime = application ? application->GetFrameTime() : 0.0f;
            const float frameRate = frameTime > 0.0f ? 1.0f / frameTime : 60.0f;
            const int n = std::clamp(int(frameRate * 0.4f), 1, 128);
            float sum[3] = {0, 0, 0};
            for (int k = 1; k <= n; ++k) {
                const int slot = (lightHistoryNext - k + 128) % 128;
                for (int c = 0; c < 3; ++c)
                    sum[c] += lightHistory[std::size_t(slot * 3 + c)];
            }
            for (int c = 0; c < 3; ++c)
                factors[c] = sum[c] / float(n);
        }
        for (float& f : factors)
            f = std::min(f * 1.2f, 1.0f);
        if (sun) {
            sun->color = Pack(worldLight[0] * factors[0], worldLight[1] * factors[1], worldLight[2] * factors[2]);
            sun->Set();
        }
        float current[3];
        Unpack(ambient, current);
        float lightNow[3];
        Unpack(sun ? sun->color : 0xFFFFFFFFu, lightNow);
        if (current[0] > lightNow[0] || current[1] > lightNow[1] || current[2] > lightNow[2])
            ambient = Pack(lightNow[0] - 0.3f, lightNow[1] - 0.3f, lightNow[2] - 0.3f);
    } else {
        float current[3];
        Unpack(ambient, current);
        ambient = Pack((current[0] + worldLight[0] * 0.5f) * 0.5f, (current[1] + worldLight[1] * 0.5f) * 0.5f,
                       (current[2] + worldLight[2] * 0.5f) * 0.5f);
    }

    // 4. The held item.
    if (drawHeldItem && heldItem)
        heldItem->Draw(dev);

    // 7. The squad's selection marker in the command view.
    if (Character* player = RunningLevel::Scene().CurrentPlayer(); player && player->viewMode == 2)
        RunningLevel::Command().DrawSelectionMarker(dev, position - Vector3(0.0f, 3.0f, 0.0f), markerColour[0] / 255.0f,
                                                    markerColour[1] / 255.0f, markerColour[2] / 255.0f);

    bool drew = false;
    AnimatedModel* body = GetLevelModel(lod);
    if (body && drawBody && (viewMode == 1 || viewMode == 2)) {
        for (int level = 0; level < kLevelsOfDetail; ++level) {
            if (AnimatedModel* m = GetLevelModel(level))
                m->visible = level == lod;
        }
        // 8. Distance fade towards the world's light.
        if (health > 0)
            ambient = FadeWithDistance(ambient, sunBefore, distance, RunningLevel::Scene().IsDistanceCulling());
        dev->SetAmbient(ambient);
        body->frustumCull = !noCulling;
        drew = body->Draw(dev);
        dev->SetAmbient(ambientBefore);
        // 6. Foot shadows.
        if (drew && health > 0 && castShadow && !swimming)
            DrawFootShadows(dev);
        if (drew && fireRunning) {
            if (fireEffect)
                fireEffect->Draw(dev);
            if (smokeEffect)
                smokeEffect->Draw(dev);
        }
    }
    if (sun && sun->color != sunBefore) {
        sun->color = sunBefore;
        sun->Set();
    }
    return drew;
}
