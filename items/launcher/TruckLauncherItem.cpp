#include "items/launcher/TruckLauncherItem.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "app/framework/Application.h"
#include "app/framework/Options.h"
#include "characters/body/Character.h"
#include "characters/level/LevelScene.h"
#include "characters/level/RunningLevel.h"
#include "engine/core/EngineLog.h"
#include "engine/core/q3DError.h"
#include "engine/font/BitmapFont.h"
#include "engine/material/q3DModelReader.h"
#include "engine/mesh/qMesh.h"
#include "engine/particle/qParticle.h"
#include "engine/scene/TemporaryTree.h"
#include "engine/serial/SaveStream.h"
#include "engine/sprite/Sprite.h"
#include "items/ItemDefinition.h"
#include "items/ItemServices.h"
#include "items/projectiles/Rocket.h"
#include "media/Sound3D.h"
#include "renderer/Device.h"

namespace {

constexpr int kUseAction = 14;
constexpr int kEscapeKey = 27;
constexpr int kManAction = 33;

// The three named objects of the launcher's model file, each scaled to world units.
std::unique_ptr<MeshNode> TakePart(TemporaryTree& tree, const char* partName)
{
    SceneNode* found = tree.root.FindChild(partName);
    if (!found)
        throw q3DError("Can't find object named '%s' in %s", partName, TruckLauncherItem::kModelPath);
    found->Detach();
    std::unique_ptr<MeshNode> part(static_cast<MeshNode*>(found));
    if (qMesh* mesh = part->GetMesh()) {
        mesh->Scale(0.1f);
        mesh->ComputeBounds();
        mesh->ComputeNormals();
    }
    part->position *= 0.1f;
    return part;
}

Vector3 Row(const Matrix4& m, int row)
{
    Vector3 axis(m(row, 0), m(row, 1), m(row, 2));
    axis.Normalize();
    return axis;
}

} // namespace

TruckLauncherItem::TruckLauncherItem(const ItemDefinition& definition)
{
    ReadDefinition(definition);
    reloadTimer = GetFireInterval();
    mounted = true;
    crosshair = std::make_unique<Sprite>();
    crosshair->Load(GetDeviceForLoading(), kCrosshairPath);
    fireSound = std::make_unique<Sound3D>();
    if (fireSound->Create(Application::Instance()->GetSoundSystem(), kFireSoundPath) < 0)
        throw q3DError("Can't load %s", kFireSoundPath);
    fireSound->SetDistances(std::max(LevelItemServices().CameraFar(), 90.0f), 90.0f, Sound::NoPlay);
    LoadSmokeAndAmmoIcon();
    for (std::string& path : resourcePath)
        path.clear();
    LoadParts();
    // The body is drawn in place of the hand-held models.
    heldLOD1 = heldLOD2 = nullptr;
    PlaceBody();
}

TruckLauncherItem::~TruckLauncherItem() = default;

void TruckLauncherItem::LoadParts()
{
    TemporaryTree tree;
    q3DModelReader reader;
    reader.ReadFile(GetDeviceForLoading(), kModelPath, &tree.root, nullptr);
    if (tree.root.GetChildCount() != 3)
        throw q3DError("%s doesn't have three objects", kModelPath);
    barrel = TakePart(tree, "barrel");
    turret = TakePart(tree, "turret");
    body = TakePart(tree, "body");
    turret->SetParent(body.get());
    // The barrel keeps its place in the model while it turns with the turret.
    barrel->position = turret->rotation.Transpose().Transform(barrel->position - turret->position);
    barrel->rotation = barrel->rotation * turret->rotation.Transpose();
    barrel->SetParent(turret.get());
}

void TruckLauncherItem::PlaceBody()
{
    body->position = position;
    body->rotation = rotation;
    body->Update(0.0f);
}

void TruckLauncherItem::StepAim(float& newPitch, float& newYaw, float pitchChange, float yawChange)
{
    newPitch = std::clamp(newPitch + pitchChange, kMinPitch, kMaxPitch);
    newYaw = std::clamp(newYaw + yawChange, -kMaxYaw, kMaxYaw);
}

void TruckLauncherItem::SetNetworkAim(float newPitch, float newYaw)
{
    blendTargetPitch = newPitch;
    blendTargetYaw = newYaw;
    blendStartPitch = pitch;
    blendStartYaw = yaw;
    blendTimer = 1.0f;
}

void TruckLauncherItem::Select()
{
    WeaponItem::Select();
    gunner = owner;
    if (!gunner)
        return;
    gunner->StartAction(kManAction, true);
    gunner->postureLocked = true;
    gunner->turnLocked = true;
    gunnerPosition = gunner->position;
    gunnerPitch = gunner->pitch;
    gunnerYaw = gunner->torsoYaw;
    gunnerPosture = gunner->posture;
    gunnerMoveMode = gunner->moveMode;
    gunnerGravity = gunner->gravity;
    gunnerCollides = gunner->collides;
    gunner->moveMode = kGunnerMoveMode;
    gunner->gravity = false;
    gunner->collides = false;
    if (gunner->posture != Character::Crouching)
        gunner->SetPostureImmediate(Character::Crouching);
    PlaceBody();
    const Vector3 forward = Row(body->world, 2);
    const Vector3 side = Row(body->world, 0);
    gunner->position = body->position - forward * 3.5f + side * 1.3f + Vector3(0.0f, 8.5f, 0.0f);
    gunner->pitch = 0.0f;
    gunner->torsoYaw = 0.0f;
    gunner->StartAction(kManAction, false);
    bodyRotation.FromMatrix3(rotation);
    bodyPosition = position;
    manned = true;
}

void TruckLauncherItem::Deselect()
{
    WeaponItem::Deselect();
    Leave();
}

void TruckLauncherItem::Leave()
{
    if (!manned || !gunner)
        return;
    gunner->postureLocked = false;
    gunner->turnLocked = false;
    gunner->position = gunnerPosition;
    gunner->pitch = gunnerPitch;
    gunner->torsoYaw = gunnerYaw;
    gunner->moveMode = gunnerMoveMode;
    gunner->gravity = gunnerGravity;
    gunner->collides = gunnerCollides;
    gunner->SetModelOrientation(Matrix3());
    if (gunner->posture != gunnerPosture)
        gunner->SetPostureImmediate(gunnerPosture);
    gunner->StartAction(0, true);
    bodyRotation.ToMatrix3(rotation);
    position = bodyPosition;
    PlaceBody();
    manned = false;
    gunner = nullptr;
    reloadText.clear();
}

void TruckLauncherItem::AttachToVehicle(Character* character)
{
    if (!character || owner != character)
        return;
    character->SelectItemByID(previousItemID);
    character->DropItem(this, bodyPosition);
    bodyRotation.ToMatrix3(rotation);
    PlaceBody();
}

void TruckLauncherItem::UpdateTransform(float elapsed)
{
    if (!manned || !gunner) {
        PlaceBody();
        Item::UpdateTransform(elapsed);
        return;
    }
    if (gunner->currentAction != kManAction)
        gunner->StartAction(kManAction, false);

    reloadTimer += elapsed;
    const float interval = GetFireInterval();
    if (reloadTimer < interval) {
        char text[48];
        std::snprintf(text, sizeof text, "Reloading... %.1f", double(interval - reloadTimer));
        reloadText = text;
    } else {
        reloadText.clear();
    }

    if (gunner->GetController() == 0) {
        // The gunner's own look turns the launcher instead of him: his pitch and torso turn since
        // the last frame are this frame's aim change (mouse up raises the barrel).
        float pitchChange = -gunner->pitch;
        float yawChange = gunner->torsoYaw;
        gunner->pitch = 0.0f;
        gunner->torsoYaw = 0.0f;
        StepAim(pitch, yaw, pitchChange, yawChange);
        if (std::fabs(pitch - sentPitch) > kSendThreshold || std::fabs(yaw - sentYaw) > kSendThreshold) {
            sentPitch = pitch;
            sentYaw = yaw;
        }
    } else if (blendTimer > 0.0f) {
        if (elapsed >= blendTimer) {
            pitch = blendTargetPitch;
            yaw = blendTargetYaw;
            blendTimer = 0.0f;
        } else {
            pitch = (blendStartPitch - blendTargetPitch) * blendTimer + blendTargetPitch;
            yaw = (blendStartYaw - blendTargetYaw) * blendTimer + blendTargetYaw;
            blendTimer -= elapsed;
        }
    }

    body->position = bodyPosition;
    body->rotation = bodyRotation.ToMatrix3();
    barrel->rotation.FromEulerAngles(pitch, 0.0f, 0.0f);
    turret->rotation.FromEulerAngles(0.0f, yaw, 0.0f);
    body->Update(0.0f);
    PlaceGunner();
    WeaponItem::UpdateTransform(elapsed);
}

void TruckLauncherItem::PlaceGunner()
{
    const Matrix4& world = barrel->world;
    const Vector3 at = world.GetTranslation() - Row(world, 2) * 4.7f - Row(world, 1) * 3.5f - Row(world, 0) * 1.1f;
    gunner->position = at;
    Matrix3 orientation;
    orientation.FromMatrix4(world);
    for (int row = 0; row < 3; ++row) {
        Vector3 axis(orientation(row, 0), orientation(row, 1), orientation(row, 2));
        axis.Normalize();
        orientation(row, 0) = axis.x;
        orientation(row, 1) = axis.y;
        orientation(row, 2) = axis.z;
    }
    gunner->rotation = orientation;
}

bool TruckLauncherItem::BeginUse(bool forced)
{
    if (inUse || cartridges <= 0 || reloadTimer < GetFireInterval() || !owner)
        return false;
    PlayAtOwner(fireSound.get(), &fireHandle);
    reloadTimer = 0.0f;
    const ShotRay ray = TakeShotRay(1.0f);
    ItemsAddProjectile(new Rocket(ray.origin, ray.direction, GetEffectiveRange(), owner, GetDamage(),
                                  GetBulletValue2(), 30.0f, true, nullptr));
    --cartridges;
    if (ItemsUnlimitedAmmunition() && owner == RunningLevel::Scene().CurrentPlayer())
        ++cartridges;
    return WeaponItem::BeginUse(forced);
}

bool TruckLauncherItem::OnKeyDown(int key)
{
    const Options* options = Options::Instance();
    const int action = options && key >= 0 && key < Options::KeyCount ? options->GetActionForKey(key) : -1;
    if (key == kEscapeKey || action == 10 || action == 32 || action == 33)
        return true;
    if (action == kUseAction) {
        AttachToVehicle(owner);
        return false;
    }
    return !manned;
}

bool TruckLauncherItem::OnMouseDown(int button, int x, int y, int flags)
{
    (void)x, (void)y, (void)flags;
    const Options* options = Options::Instance();
    const int key = button + 1;
    if (options && key >= 0 && key < Options::KeyCount && options->GetActionForKey(key) == kUseAction) {
        AttachToVehicle(owner);
        return false;
    }
    return true;
}

void TruckLauncherItem::Draw(Device* device)
{
    lastDrawnMesh = nullptr;
    if (!device || !body)
        return;
    body->Update(0.0f);
    for (MeshNode* part : {body.get(), turret.get(), barrel.get()})
        if (part->Draw(device))
            lastDrawnMesh = part->GetMesh();
}

void TruckLauncherItem::DrawHUD(Device* device)
{
    if (!device)
        return;
    crosshair->x = (device->GetTargetWidth() - crosshair->GetDrawnTextureWidth()) / 2;
    crosshair->y = (device->GetTargetHeight() - crosshair->GetDrawnTextureHeight()) / 2;
    crosshair->Draw(device);
    DrawAmmunition(device, cartridges);
    // The reload text belongs to this frame only: it is drawn, not queued as a notice.
    if (!reloadText.empty())
        if (BitmapFont* font = Application::Instance()->GetFont(Application::Arial))
            font->DrawText(device, LevelItemServices().HudColumn(), device->GetTargetHeight() - 56, 0.8f,
                           reloadText.c_str());
}

bool TruckLauncherItem::IntersectRay(HitResult& hit)
{
    if (!body)
        return false;
    PlaceBody();
    return IntersectNodeBox(*body, hit);
}

bool TruckLauncherItem::OnHit(HitResult& hit, Bullet* bullet, int damage, const Vector3& point, const Vector3& normal)
{
    (void)hit, (void)bullet, (void)damage, (void)normal;
    auto effect = std::make_unique<qParticle>();
    try {
        effect->Load(GetDeviceForLoading(), "GameData/fx/objHit.par");
    } catch (const q3DError& error) {
        LogToEngine("%s", error.GetText());
        return true;
    }
    effect->position = point;
    Vector3 back = -hit.direction;
    back.Normalize();
    ItemsAddParticleEffect(effect.release());
    LevelItemServices().AddDecal("GameData/fx/bullethit.tga", point, back, nullptr);
    return true;
}

void TruckLauncherItem::Save(SaveStream* stream)
{
    WeaponItem::Save(stream);
    stream->WriteUInt32(1);
    stream->WriteVector3(gunnerPosition);
    stream->WriteFloat(gunnerPitch);
    stream->WriteFloat(gunnerYaw);
    stream->WriteInt32(gunnerMoveMode);
    stream->WriteInt32(gunnerPosture);
    stream->WriteVector3(bodyPosition);
    stream->WriteFloat(bodyRotation.x);
    stream->WriteFloat(bodyRotation.y);
    stream->WriteFloat(bodyRotation.z);
    stream->WriteFloat(bodyRotation.w);
    stream->WriteFloat(reloadTimer);
    stream->WriteFloat(pitch);
    stream->WriteFloat(yaw);
}

void TruckLauncherItem::Load(SaveStream* stream)
{
    WeaponItem::Load(stream);
    if (stream->ReadUInt32() != 1)
        throw q3DError("Incorrection version number in TruckLauncherItem block");
    const Vector3 readGunner = stream->ReadVector3("gunner position");
    const float readGunnerPitch = stream->ReadFloat("gunner pitch");
    const float readGunnerYaw = stream->ReadFloat("gunner yaw");
    const std::int32_t readMoveMode = stream->ReadInRange(0, 2, "gunner move mode");
    const std::int32_t readPosture = stream->ReadInRange(Character::Standing, Character::Prone, "gunner posture");
    const Vector3 readBody = stream->ReadVector3("body position");
    Quaternion readRotation;
    readRotation.x = stream->ReadFloat("body rotation");
    readRotation.y = stream->ReadFloat("body rotation");
    readRotation.z = stream->ReadFloat("body rotation");
    readRotation.w = stream->ReadFloat("body rotation");
    const float length = std::sqrt(readRotation.x * readRotation.x + readRotation.y * readRotation.y +
                                   readRotation.z * readRotation.z + readRotation.w * readRotation.w);
    if (std::fabs(length - 1.0f) > 0.01f)
        throw q3DError("The body rotation in the TruckLauncherItem block is not a unit quaternion");
    const float readReload = stream->ReadFloat("reload timer");
    const float readPitch = stream->ReadFloat("pitch");
    const float readYaw = stream->ReadFloat("yaw");
    gunnerPosition = readGunner;
    gunnerPitch = readGunnerPitch;
    gunnerYaw = readGunnerYaw;
    gunnerMoveMode = readMoveMode;
    gunnerPosture = readPosture;
    bodyPosition = readBody;
    bodyRotation = readRotation;
    reloadTimer = readReload;
    pitch = readPitch;
    yaw = readYaw;
    StepAim(pitch, yaw, 0.0f, 0.0f);
}
