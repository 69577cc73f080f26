#include "items/AutoRifleItem.h"

#include <algorithm>

#include "app/framework/Options.h"
#include "characters/body/AnimationController.h"
#include "characters/body/Character.h"
#include "characters/level/LevelScene.h"
#include "characters/level/RunningLevel.h"
#include "engine/core/RandomMT.h"
#include "engine/core/q3DError.h"
#include "engine/particle/qParticle.h"
#include "engine/serial/SaveStream.h"
#include "engine/sprite/Sprite.h"
#include "items/ItemServices.h"
#include "items/ItemSound.h"
#include "items/WeaponDefinitionBlock.h"
#include "items/projectiles/Bullet.h"
#include "items/projectiles/Flight.h"
#include "items/projectiles/GrenadeProjectile.h"
#include "media/Sound3D.h"
#include "world/PickResult.h"
#include "world/World.h"

AutoRifleItem::AutoRifleItem(const ItemDefinition& definition)
{
    ReadDefinition(definition);
    LoadSmokeAndAmmoIcon();
    LoadMuzzleFlash("GameData/fx/Flash3rd");
    autoFireSound = LoadItemSound(resourcePath[2]);
    tailSound = LoadItemSound(resourcePath[3]);
    reloadSound = LoadItemSound(resourcePath[4]);
    singleShotSound = LoadItemSound(resourcePath[5]);
    drawSound = LoadItemSound(resourcePath[6]);
    if (reloadSound) {
        reloadSound->SetDistances(100.0f, 20.0f, Sound::NoPlay);
        reloadSound->SetPlaybackRate(44100, Sound::NoPlay);
    }
    if (drawSound)
        drawSound->SetDistances(400.0f, 30.0f, Sound::NoPlay);
    if (singleShotSound) {
        singleShotSound->SetDistances(ProjectileReach(400.0f), 40.0f, Sound::NoPlay);
        singleShotSound->SetPlaybackRate(44100, Sound::NoPlay);
    }
    for (std::string& path : resourcePath)
        path.clear();
}

AutoRifleItem::~AutoRifleItem() = default;

bool AutoRifleItem::CanFire(bool forced)
{
    return forced || (!inUse && !reloading && cartridges > 0 && timeSinceShot > fireInterval);
}

bool AutoRifleItem::BeginUse(bool forced)
{
    if (!CanFire(forced))
        return false;
    burstCount = 0;
    if (autoFireSound && autoFireHandle != -1)
        autoFireSound->Stop(autoFireHandle);
    autoFireHandle = -1;
    PlayAtOwner(autoFireSound.get(), &autoFireHandle);
    if (smokeEffect)
        smokeEffect->emissionPaused = false;
    return WeaponItem::BeginUse(forced);
}

void AutoRifleItem::EndUse()
{
    if (inUse) {
        if (autoFireSound && autoFireHandle != -1)
            autoFireSound->Stop(autoFireHandle);
        autoFireHandle = -1;
        PlayAtOwner(tailSound.get(), nullptr);
        if (smokeEffect)
            smokeEffect->emissionPaused = true;
        burstCount = 0;
    }
    inUse = false;
}

void AutoRifleItem::FireBullets(ShotRay ray)
{
    if (!owner)
        return;
    const float skill = ItemsGetSkill(owner, skillIndex);
    const float skill3 = ItemsGetSkill(owner, 3);
    const int bullets = std::min(bulletsPerShot, int(WeaponDefinitionBlock::kMaxBulletsPerShot));
    for (int pellet = 0; pellet < bullets; ++pellet) {
        if (pellet > 0)
            ApplyDeviation(ray, skill);
        bool tracer = false;
        if (++tracerCounter >= 3) {
            tracerCounter = 0;
            tracer = true;
        }
        ItemsAddProjectile(new Bullet(ray.origin, ray.direction, effectiveRange, owner, damage * skill,
                                      bulletValue2 * skill3, tracer));
    }
}

void AutoRifleItem::UseCartridge()
{
    --cartridges;
    flashVisible = true;
    if (ItemsUnlimitedAmmunition() && owner == RunningLevel::Scene().CurrentPlayer())
        ++cartridges;
    if (cartridges >= 1)
        return;
    EndUse();
    if (owner != RunningLevel::Scene().CurrentPlayer()) {
        StartReload();
        return;
    }
    const Options* options = Options::Instance();
    if (options && options->GetOption(kAutomaticReloadOption) != 0)
        StartReload();
}

void AutoRifleItem::UpdateTransform(float elapsed)
{
    noiseLevel = 0;
    if (autoFireSound && autoFireHandle != -1 && !autoFireSound->IsPlaying(autoFireHandle) &&
        !autoFireSound->IsStopped(autoFireHandle))
        autoFireHandle = -1;
    if (reloadSound && reloadHandle != -1 && !reloadSound->IsPlaying(reloadHandle) &&
        !reloadSound->IsStopped(reloadHandle))
        reloadHandle = -1;
    if (ItemsIsPaused() && inUse)
        EndUse();
    if (noiseTimer > 0.0f)
        noiseLevel = noise;
    if (!owner) {
        Item::UpdateTransform(elapsed);
        return;
    }
    const Vector3 at = OwnerSoundPoint();
    if (autoFireSound && autoFireHandle != -1)
        autoFireSound->SetPosition(at.x, at.y, at.z, autoFireHandle);
    if (reloadSound && reloadHandle != -1)
        reloadSound->SetPosition(at.x, at.y, at.z, reloadHandle);
    noiseTimer -= elapsed;
    timeSinceShot += elapsed;
    if (inUse) {
        noiseTimer = 0.5f;
        if (fireInterval < timeSinceShot) {
            if (stopAfterShot) {
                stopAfterShot = false;
                EndUse();
            } else if (cartridges > 0) {
                if (burstCount < burstLength || burstLength == -1) {
                    timeSinceShot = 0.0f;
                    ++burstCount;
                    FireBullets(AimShot(ItemsGetSkill(owner, skillIndex)));
                    const float s = ItemsGetSkill(owner, skillIndex);
                    const float p = GetSpread();
                    const float k = (p * 0.5f + p * 0.5f * (1.0f - s)) * 0.5f;
                    ApplyRecoil((frandomMT() + 1.0f) * k);
                    UseCartridge();
                } else {
                    EndUse();
                }
            }
        }
    }
    WeaponItem::UpdateTransform(elapsed);
}

bool AutoRifleItem::UseSecondary()
{
    if (!owner || !singleShotAllowed)
        return false;
    if (!CanFire(false))
        return false;
    noiseTimer = 0.5f;
    timeSinceShot = 0.0f;
    const ShotRay ray = TakeShotRay(ItemsGetSkill(owner, skillIndex));
    FireBullets(ray);
    ApplyRecoil((frandomMT() + 1.0f) * (2.0f - ItemsGetSkill(owner, skillIndex)) * 0.0025f);
    UseCartridge();
    PlayAtOwner(singleShotSound.get(), nullptr);
    stopAfterShot = true;
    inUse = true;
    return WeaponItem::UseSecondary();
}

bool AutoRifleItem::OnKeyDown(int key)
{
    const Options* options = Options::Instance();
    if (options && key == options->GetKeyForAction(kReloadAction))
        StartReload();
    return true;
}

void AutoRifleItem::Select()
{
    WeaponItem::Select();
    if (owner && (OwnerSoundPoint() - RunningLevel::Scene().CameraPosition()).LengthSquared() < 90000.0f)
        PlayAtOwner(drawSound.get(), nullptr);
    ownerSkill = ItemsGetSkill(owner, skillIndex);
}

void AutoRifleItem::Deselect()
{
    WeaponItem::Deselect();
    if (autoFireSound && autoFireHandle != -1)
        autoFireSound->Stop(autoFireHandle);
    if (reloadSound && reloadHandle != -1)
        reloadSound->Stop(reloadHandle);
    autoFireHandle = reloadHandle = -1;
}

void AutoRifleItem::Draw(Device* device)
{
    WeaponItem::Draw(device);
    if (timeSinceShot > 0.03f)
        flashVisible = false;
}

float AutoRifleItem::GetSuitability(int targetKind, float distance)
{
    if (targetKind == 2 || targetKind == 3)
        return 0.0f;
    if (effectiveRange < distance || (magazines == 0 && cartridges == 0))
        return 0.0f;
    float r = 1.0f - distance / effectiveRange;
    if (distance < 100.0f)
        r *= 2.0f;
    if (cartridges <= 3)
        r *= 0.75f;
    if (magazines < 1)
        r *= 0.75f;
    return std::clamp(r, 0.0f, 1.0f);
}

void AutoRifleItem::Save(SaveStream* stream)
{
    WeaponItem::Save(stream);
    stream->WriteUInt8(1);
    stream->WriteFloat(timeSinceShot);
}

void AutoRifleItem::Load(SaveStream* stream)
{
    WeaponItem::Load(stream);
    stream->ExpectVersion(1, "Incorrection version number in AutoRifleItem block");
    timeSinceShot = stream->ReadFloat("time since the last shot");
    tracerCounter = 0;
}

// ------------------------------------------------------------------------------------------------
// The rifle with a grenade launcher

MachinegunGrenItem::MachinegunGrenItem(const ItemDefinition& definition) : AutoRifleItem(definition)
{
    grenadeIcon = std::make_unique<Sprite>();
    grenadeIcon->Load(GetDeviceForLoading(), "GameData/Items/Grenades/ammo.tga");
    grenadeIcon->scale = 0.8f;
}

MachinegunGrenItem::~MachinegunGrenItem() = default;

bool MachinegunGrenItem::UseSecondary()
{
    static constexpr int kLauncherSkill = 4;
    if (!owner)
        return false;
    if (inUse || reloading || holdAction || grenades < 1)
        return false;
    PlayAtOwner(singleShotSound.get(), nullptr);
    owner->StartAction(44, true);
    holdAction = true;
    launchedThisFrame = true;
    noiseLevel += noise;
    ShotRay ray;
    RemoteShot& remote = GetRemoteShot();
    if (remote.pending) {
        ray = remote.ray;
    } else {
        ray = AimShot(ItemsGetSkill(owner, kLauncherSkill));
        // In the first-person view the launch starts ahead of the player's own body, but short
        // of the ground or a wall in front of him: a start inside them would fly on underground.
        Vector3 centre, aim;
        if (owner == RunningLevel::Scene().CurrentPlayer() && owner->viewMode == 1 && LevelItemServices().CenterRay(centre, aim)) {
            float ahead = 12.0f;
            if (World* world = World::Current()) {
                HitResult probe;
                probe.Clear();
                probe.origin = owner->position;
                probe.direction = ray.direction;
                PickResult hit;
                if (world->Pick(probe, &hit, ahead, nullptr) && hit.distance < ahead)
                    ahead = std::max(hit.distance - 0.5f, 0.0f);
            }
            ray.origin = owner->position + ray.direction * ahead;
        }
    }
    GetLastLocalShot() = ray;
    ItemsAddProjectile(new GrenadeProjectile(ray.origin, ray.direction, 65.0f, owner, 65.0f, true, false, nullptr,
                                             nullptr, nullptr));
    const float p = GetSpread();
    ApplyRecoil(p * 0.5f + frandomMT() * p * 0.5f);
    --grenades;
    if (ItemsUnlimitedAmmunition() && owner == RunningLevel::Scene().CurrentPlayer())
        ++grenades;
    return WeaponItem::UseSecondary();
}

void MachinegunGrenItem::UpdateTransform(float elapsed)
{
    AnimationController* animation = owner ? owner->GetAnimation() : nullptr;
    if (!owner || !animation || animation->GetChannelCount() <= 8 || !animation->IsPlaying(8))
        holdAction = false;
    launchedThisFrame = false;
    AutoRifleItem::UpdateTransform(elapsed);
}

void MachinegunGrenItem::Save(SaveStream* stream)
{
    AutoRifleItem::Save(stream);
    stream->WriteInt32(1);
    stream->WriteInt32(grenades);
}

void MachinegunGrenItem::Load(SaveStream* stream)
{
    AutoRifleItem::Load(stream);
    if (stream->ReadInt32() != 1)
        throw q3DError("Incorrection version number in MachinegunGrenItem block");
    grenades = stream->ReadInRange(0, kMaxDefinitionCount, "grenades");
}
