#include "items/WeaponItem.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <strings.h>

#include "app/framework/Application.h"
#include "characters/body/AnimationController.h"
#include "characters/body/Character.h"
#include "characters/level/LevelScene.h"
#include "characters/level/NetworkSession.h"
#include "characters/level/RunningLevel.h"
#include "engine/animation/AnimatedModel.h"
#include "engine/core/RandomMT.h"
#include "engine/core/q3DError.h"
#include "engine/font/BitmapFont.h"
#include "engine/material/Material.h"
#include "engine/mesh/qMesh.h"
#include "engine/particle/qParticle.h"
#include "engine/serial/SaveStream.h"
#include "engine/sprite/Sprite.h"
#include "items/DefinitionLines.h"
#include "items/ItemDefinition.h"
#include "items/ItemServices.h"
#include "items/MuzzleFlash.h"
#include "media/Sound3D.h"
#include "renderer/Device.h"

RemoteShot& GetRemoteShot()
{
    static RemoteShot shot;
    return shot;
}

ShotRay& GetLastLocalShot()
{
    static ShotRay ray;
    return ray;
}

WeaponItem::WeaponItem()
{
    category = Weapon;
}

WeaponItem::~WeaponItem() = default;

void WeaponItem::ReadDefinition(const ItemDefinition& definition)
{
    magazines = definition.unitCount;
    magazineWeight = definition.unitWeight;
    Item::ReadDefinition(definition);

    WeaponDefinitionBlock block;
    ReadWeaponDefinitionBlock(definition, block);
    aiAccuracyFactor = block.aiAccuracyFactor;
    playerAccuracyFactor = block.playerAccuracyFactor;
    magazineCapacity = block.magazineCapacity;
    cartridges = block.magazineCapacity;
    bulletsPerShot = block.bulletsPerShot;
    spread = block.spread;
    maxMagazines = block.maxMagazines;
    effectiveRange = block.effectiveRange;
    range = block.range;
    noise = block.noise;
    fireInterval = block.fireInterval;
    burstLength = block.burstLength;
    singleShotAllowed = block.singleShotAllowed;
    skillIndex = block.skillIndex;
    std::memcpy(boneName, block.boneName, sizeof boneName);
    damage = block.damage;
    bulletValue2 = block.bulletValue2;
    targetRating = block.targetRating;
    for (int i = 0; i < 7; ++i)
        resourcePath[i] = block.resourcePath[i];
    classDataEnd = block.classDataEnd;
    if (block.HasHeldModel()) {
        LoadHeldModel(block.heldModel.c_str());
        // The prim textured "muzzle.tga" marks where the barrel ends.
        qMesh* mesh = heldModel->GetMesh();
        for (int i = 0; mesh && i < mesh->GetPrimCount() && !hasMuzzle; ++i) {
            D3DPrim* prim = mesh->prims[std::size_t(i)];
            Material* material = prim ? prim->material : nullptr;
            D3DBitmap* texture = material ? material->texture[0] : nullptr;
            const char* textureName = texture ? texture->GetName() : nullptr;
            if (!textureName || !strcasestr(textureName, "muzzle.tga"))
                continue;
            const auto* vertices = static_cast<const float*>(prim->GetVertices(false, true));
            if (vertices) {
                muzzlePoint = Vector3(vertices[0], vertices[1], vertices[2]);
                hasMuzzle = true;
            }
            prim->Nop4();
        }
    }
}

void WeaponItem::LoadSmokeAndAmmoIcon()
{
    if (!resourcePath[0].empty() && resourcePath[0] != "-")
        LoadSmokeEffect(resourcePath[0].c_str());
    if (!resourcePath[1].empty() && resourcePath[1] != "-") {
        ammoIcon = std::make_unique<Sprite>();
        ammoIcon->Load(GetDeviceForLoading(), resourcePath[1].c_str());
        ammoIcon->scale = 0.8f;
    }
}

void WeaponItem::LoadSmokeEffect(const char* path)
{
    auto effect = std::make_unique<qParticle>();
    effect->Load(GetDeviceForLoading(), path);
    effect->emissionPaused = true;
    smokeEffect = std::move(effect);
}

void WeaponItem::Reload()
{
    if (magazines <= 0)
        return;
    --magazines;
    cartridges = magazineCapacity;
    if (RunningLevel::Scene().IsNetworkGame() && owner && owner == RunningLevel::Scene().CurrentPlayer() && IsNetworkClientConnected()) {
        ItemServices& services = LevelItemServices();
        services.SendAmmunition(owner->GetID(), GetID(), cartridges, magazines);
    }
}

int WeaponItem::GetDropMagazines()
{
    (void)randomMT();
    return 1;
}

float WeaponItem::GetAccuracy()
{
    if (!owner)
        return 1.0f;
    float a = 0.0f;
    float b = 1.0f;
    if (owner->GetController() == 2) {
        a = owner->GetMotionSampleMean();
        b = aiAccuracyFactor;
    }
    return owner->GetSteadiness() * ItemsGetAccuracyAdjustment(owner) * (1.0f - a) * b;
}

float WeaponItem::GetSpread()
{
    if (!owner || owner->GetController() == 2)
        return spread;
    switch (owner->posture) {
    case Character::Prone:
        return std::min(spread * 0.75f, 0.015f);
    case Character::Crouching:
        return spread * 0.85f;
    default:
        return spread;
    }
}

void WeaponItem::ApplyDeviation(ShotRay& ray, float skill)
{
    if (!owner)
        return;
    float d = owner->GetController() == 2 ? 1.0f - GetAccuracy() * skill
                                          : 1.0f - GetAccuracy() * ((skill + 1.0f) * 0.5f) * playerAccuracyFactor;
    d = std::clamp(d, 0.0f, 1.0f);
    const float u = frandomMT();
    const float v = frandomMT();
    Matrix3 turn;
    turn.FromEulerAngles((v - 0.5f) * d * kDeviationScale, (u - 0.5f) * d * kDeviationScale, 0.0f);
    Matrix3 orientation;
    orientation.FromMatrix4(owner->GetAimNode().world);
    const Matrix3 product = turn * orientation;
    ray.direction = Vector3(product(2, 0), product(2, 1), product(2, 2));
    ray.direction.Normalize();
}

void WeaponItem::GetFirePoint(ShotRay& ray, Character* character)
{
    Character* who = character ? character : owner;
    if (!who)
        return;
    AnimatedModel* body = who->GetModel();
    const int bone = body ? body->FindBone(boneName) : -1;
    if (bone >= 0) {
        Vector3 local;
        body->GetBonePosition(bone, local);
        ray.origin = body->world.TransformPoint(local);
    } else {
        ray.origin = who->position;
    }
    // The character keeps no separate height offset here: the body node already carries it.
    ray.origin.y += who->viewMode == 1 ? 0.5f : 1.0f;
    const Matrix4& aim = who->GetAimNode().world;
    ray.direction = Vector3(aim(2, 0), aim(2, 1), aim(2, 2));
    ray.direction.Normalize();
}

float WeaponItem::GetTargetRating(GameObject* observer, const Stimulus* stimulus, float distanceSquared)
{
    (void)observer, (void)stimulus;
    return distanceSquared < range * range ? targetRating : 0.0f;
}

void WeaponItem::Deselect()
{
    if (smokeEffect) {
        smokeEffect->emissionPaused = true;
        smokeEffect->UpdateTransform(10000.0f);
    }
}

bool WeaponItem::BeginUse(bool forced)
{
    (void)forced;
    GetRemoteShot().pending = false;
    inUse = true;
    return true;
}

bool WeaponItem::UseSecondary()
{
    GetRemoteShot().pending = false;
    return true;
}

void WeaponItem::UpdateTransform(float elapsed)
{
    AnimationController* animation = owner ? owner->GetAnimation() : nullptr;
    // A reload asked for in this frame counts before its animation has started, so that the
    // weapon cannot fire in the frame between the reload key and the animation.
    const AnimationController::Channel* hands = animation && animation->GetChannelCount() > 8 ? animation->GetChannel(8) : nullptr;
    const bool starting = hands && hands->requested >= 0 && hands->requested != hands->playing;
    reloading = !holdAction && hands && (animation->IsPlaying(8) || starting);
    if (owner) {
        if (inUse) {
            const int state = owner->currentAction;
            owner->StartAction(state >= 1 && state <= 7 ? 8 + state : 8, false);
        }
        if (reloading) {
            actionLock = true;
            owner->StartAction(16, false);
        } else {
            actionLock = savedActionLock;
        }
        if (holdAction)
            owner->StartAction(44, false);
    }
    Item::UpdateTransform(elapsed);
}

void WeaponItem::Draw(Device* device)
{
    Item::Draw(device);
    if (!owner || !hasMuzzle || !heldModel || owner->viewMode != 1 || !lastDrawnMesh)
        return;
    // The muzzle's frame: the held model's orientation at the muzzle point.
    Matrix3 turn;
    turn.FromMatrix4(heldModel->world);
    const Vector3 muzzle = heldModel->world.TransformPoint(muzzlePoint);
    if (smokeEffect) {
        smokeEffect->position = muzzle;
        smokeEffect->rotation = turn;
        smokeEffect->UpdateTransform(float(frameTime));
        smokeEffect->Draw(device);
    }
    if (flashVisible && muzzleFlash) {
        Matrix4 frame;
        frame.SetIdentity();
        frame.SetRotation(turn);
        frame.SetTranslation(muzzle);
        muzzleFlash->Draw(device, frame);
    }
}

void WeaponItem::LoadMuzzleFlash(const char* basePath)
{
    auto flash = std::make_unique<MuzzleFlash>();
    flash->Load(GetDeviceForLoading(), basePath);
    muzzleFlash = std::move(flash);
}

void WeaponItem::DrawAmmunition(Device* device, int count)
{
    if (!device || !ammoIcon)
        return;
    ItemServices& services = LevelItemServices();
    ammoIcon->x = services.HudColumn();
    ammoIcon->y = device->GetTargetHeight() - 32;
    ammoIcon->Draw(device);
    if (BitmapFont* font = Application::Instance()->GetFont(Application::Arial))
    {
        char text[32];
        if (count < 0)
            std::snprintf(text, sizeof text, "%d/%d", cartridges, magazines);
        else
            std::snprintf(text, sizeof text, "%d", count);
        font->DrawText(device, ammoIcon->x + ammoIcon->GetDrawnTextureWidth() + 16, device->GetTargetHeight() - 28,
                       0.8f, text);
    }
}

void WeaponItem::Save(SaveStream* stream)
{
    Item::Save(stream);
    stream->WriteUInt8(1);
    stream->WriteBool(stateFlag);
    stream->WriteBool(flashVisible);
    stream->WriteInt32(cartridges);
    stream->WriteInt32(magazines);
    stream->WriteInt32(magazineCapacity);
    stream->WriteFloat(ownerSkill);
}

void WeaponItem::Load(SaveStream* stream)
{
    Item::Load(stream);
    stream->ExpectVersion(1, "Incorrection version number in WeaponItem block");
    const bool state = stream->ReadBool();
    const bool flash = stream->ReadBool();
    const std::int32_t readCartridges = stream->ReadInt32();
    const std::int32_t readMagazines = stream->ReadInt32();
    const std::int32_t readCapacity = stream->ReadInt32();
    const float skill = stream->ReadFloat("owner's skill");
    // A damaged block must not hand the weapon negative ammunition (magazines -1 is unlimited);
    // the bounds are those of the definition, so that every weapon a definition makes loads back.
    if (readCartridges < 0 || readMagazines < -1 || readMagazines > kMaxDefinitionCount || readCapacity < 0 ||
        readCapacity > kMaxDefinitionCount)
        throw q3DError("Incorrect values in WeaponItem block (cartridges %d, magazines %d, capacity %d)",
                       readCartridges, readMagazines, readCapacity);
    stateFlag = state;
    flashVisible = flash;
    cartridges = readCartridges;
    magazines = readMagazines;
    magazineCapacity = readCapacity;
    ownerSkill = skill;
}

ShotRay WeaponItem::TakeShotRay(float skill)
{
    const RemoteShot& remote = GetRemoteShot();
    const ShotRay ray = remote.pending ? remote.ray : AimShot(skill);
    GetLastLocalShot() = ray;
    return ray;
}

ShotRay WeaponItem::AimShot(float skill)
{
    ShotRay ray;
    ItemServices& services = LevelItemServices();
    if (!(owner && owner == RunningLevel::Scene().CurrentPlayer() && services.CenterRay(ray.origin, ray.direction)))
        GetFirePoint(ray, nullptr);
    ApplyDeviation(ray, skill);
    return ray;
}

void WeaponItem::ApplyRecoil(float amount)
{
    if (owner && owner == RunningLevel::Scene().CurrentPlayer())
        owner->SetPitch(owner->GetPitch() - amount);
}

Vector3 WeaponItem::OwnerSoundPoint() const
{
    if (!owner)
        return position;
    const Matrix4& frame = owner->world;
    return owner->position + Vector3(frame(2, 0), frame(2, 1), frame(2, 2)) + Vector3(0, 3, 0);
}

void WeaponItem::PlayAtOwner(Sound3D* sound, int* handle)
{
    if (!sound)
        return;
    const Vector3 at = OwnerSoundPoint();
    sound->SetPosition(at.x, at.y, at.z, Sound::NoPlay);
    const int played = sound->Play();
    if (handle)
        *handle = played;
}

bool WeaponItem::BeginReload(Sound3D* sound, int& handle)
{
    if (!owner || owner->GetHeldItem() != this || inUse || magazines == 0 || reloading ||
        cartridges == magazineCapacity)
        return false;
    savedActionLock = actionLock;
    reloading = true;
    if (sound && handle != -1)
        sound->Stop(handle);
    handle = -1;
    PlayAtOwner(sound, &handle);
    owner->StartAction(16, true);
    if (magazines == -1 || (owner->kind == Character::SquadKind && owner != RunningLevel::Scene().CurrentPlayer()))
        cartridges = magazineCapacity;
    else
        Reload();
    return true;
}
