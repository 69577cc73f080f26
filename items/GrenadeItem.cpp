#include "items/GrenadeItem.h"

#include "characters/body/AnimationController.h"
#include "characters/body/Character.h"
#include "characters/level/LevelScene.h"
#include "characters/level/RunningLevel.h"
#include "engine/core/EngineLog.h"
#include "engine/core/q3DError.h"
#include "engine/serial/SaveStream.h"
#include "engine/sprite/Sprite.h"
#include "items/DefinitionLines.h"
#include "items/ItemDefinition.h"
#include "items/ItemServices.h"
#include "items/ItemSound.h"
#include "items/projectiles/GasProjectiles.h"
#include "items/projectiles/GrenadeProjectile.h"
#include "media/Sound3D.h"

namespace {

constexpr const char* kBouncePrefix = "GameData/Items/Grenades/";
constexpr int kThrowSkill = 4;

} // namespace

GrenadeItem::GrenadeItem(const ItemDefinition& definition)
{
    ReadDefinition(definition);
    auto sound = [](const std::string& path) { return path.rfind('-', 0) == 0 ? nullptr : LoadItemSound(path); };
    LoadSmokeAndAmmoIcon();
    throwSound = sound(resourcePath[2]);
    pinSound = sound(resourcePath[3]);
    if (resourcePath[4] != "-")
        explosionSoundPath = resourcePath[4];
    drawSound = sound(resourcePath[6]);
    for (Sound3D* once : {throwSound.get(), pinSound.get()})
        if (once) {
            once->SetDistances(400.0f, 40.0f, Sound::NoPlay);
            once->SetPlaybackRate(44100, Sound::NoPlay);
        }
    for (std::string& path : resourcePath)
        path.clear();
    outstanding = magazines;
}

GrenadeItem::~GrenadeItem() = default;

void GrenadeItem::ReadDefinition(const ItemDefinition& definition)
{
    WeaponItem::ReadDefinition(definition);
    const auto lines = ReadDefinitionLines(definition, classDataEnd, 2);
    CopyBounded(projectileModel, lines[0]);
    grenadeKind = lines[1] == "ExplosiveGrenade" ? Explosive
                : lines[1] == "TeargasGrenade"   ? Teargas
                : lines[1] == "SmokeGrenade"     ? Smoke
                                                 : Other;
}

bool GrenadeItem::BeginUse(bool forced)
{
    if (!forced && (inUse || magazines <= 0))
        return false;
    holdTime = 0.0f;
    if (owner) {
        PlayAtOwner(pinSound.get(), nullptr);
        if (AnimationController* animation = owner->GetAnimation())
            for (int channel : {3, 2, 4})
                if (channel < animation->GetChannelCount())
                    animation->StopChannel(channel, -1.0f);
    }
    return WeaponItem::BeginUse(forced);
}

void GrenadeItem::EndUse()
{
    if (inUse && owner && magazines > 0 && holdTime < kThrown) {
        const float held = holdTime;
        lastHoldTime = holdTime;
        holdTime = kThrown;
        Throw((throwSkill + 1.0f) * 30.0f * held);
        return;
    }
    inUse = false;
}

void GrenadeItem::ApplyRemoteThrow(float heldSeconds)
{
    BeginUse(true);
    holdTime = heldSeconds;
    EndUse();
}

void GrenadeItem::UpdateTransform(float elapsed)
{
    if (throwSound && throwHandle != -1 && !throwSound->IsPlaying(throwHandle))
        throwHandle = -1;
    if (owner && inUse && holdTime < kThrown) {
        holdTime += elapsed;
        if (holdTime > autoThrowTime) {
            lastHoldTime = holdTime;
            holdTime = kThrown;
            Throw((throwSkill + 1.0f) * 30.0f);
        }
    }
    WeaponItem::UpdateTransform(elapsed);
}

void GrenadeItem::Throw(float speed)
{
    Character* thrower = owner;
    if (!thrower)
        return;
    ShotRay ray;
    GetFirePoint(ray, nullptr);
    ApplyDeviation(ray, ItemsGetSkill(thrower, kThrowSkill));
    PlayAtOwner(throwSound.get(), &throwHandle);
    if (GrenadeProjectile* projectile = CreateProjectile(ray, speed))
        ItemsAddProjectile(projectile);
    else
        LogToEngine("Grenades of kind %d cannot be thrown yet (%s)", grenadeKind, name);
    if (!ItemsUnlimitedAmmunition() && magazines > 0)
        --magazines;
    if (magazines <= 0) {
        magazines = 0;
        inUse = false;
        thrower->DropItem(this, thrower->position);
        return;
    }
    inUse = false;
}

GrenadeProjectile* GrenadeItem::CreateProjectile(const ShotRay& ray, float speed)
{
    const char* explosion = explosionSoundPath.empty() ? nullptr : explosionSoundPath.c_str();
    switch (grenadeKind) {
    case Explosive:
        return new GrenadeProjectile(ray.origin, ray.direction, 65.0f, owner, speed, false, true, explosion,
                                     kBouncePrefix, projectileModel);
    case Other:
        return new GrenadeProjectile(ray.origin, ray.direction, 15.0f, owner, speed, false, true, explosion,
                                     kBouncePrefix, projectileModel);
    case Teargas:
        return new TeargasProjectile(ray.origin, ray.direction, range, owner, speed, true, explosion, kBouncePrefix,
                                     projectileModel);
    case Smoke:
        return new SmokeProjectile(ray.origin, ray.direction, range, owner, speed, true, explosion, kBouncePrefix,
                                   projectileModel);
    default:
        return nullptr;
    }
}

void GrenadeItem::Release()
{
    --outstanding;
    // Deleted only when nobody carries it, none are left to throw and none are in flight.
    if (outstanding <= 0 && !owner && magazines <= 0)
        RunningLevel::Scene().DeleteItem(this);
}

void GrenadeItem::Select()
{
    WeaponItem::Select();
    if (owner && (OwnerSoundPoint() - RunningLevel::Scene().CameraPosition()).LengthSquared() < 90000.0f)
        PlayAtOwner(drawSound.get(), nullptr);
    throwSkill = ItemsGetSkill(owner, skillIndex);
}

void GrenadeItem::Save(SaveStream* stream)
{
    WeaponItem::Save(stream);
    stream->WriteUInt8(1);
    stream->WriteInt32(outstanding);
}

void GrenadeItem::Load(SaveStream* stream)
{
    WeaponItem::Load(stream);
    stream->ExpectVersion(1, "Incorrection version number in WeaponItem block");
    const std::int32_t readOutstanding = stream->ReadInt32();
    if (readOutstanding < 0)
        throw q3DError("Incorrect values in GrenadeItem block (outstanding %d)", readOutstanding);
    outstanding = readOutstanding;
}
