#include "items/RPGItem.h"

#include <cmath>
#include <cstdlib>
#include <strings.h>

#include "app/framework/Application.h"
#include "characters/body/AnimationController.h"
#include "characters/body/Character.h"
#include "characters/level/LevelScene.h"
#include "characters/level/RunningLevel.h"
#include "engine/animation/AnimatedModel.h"
#include "engine/core/EngineLog.h"
#include "engine/core/RandomMT.h"
#include "engine/core/q3DError.h"
#include "engine/particle/qParticle.h"
#include "engine/serial/SaveStream.h"
#include "engine/sprite/Sprite.h"
#include "items/ClassLines.h"
#include "items/DefinitionLines.h"
#include "items/ItemDefinition.h"
#include "items/ItemServices.h"
#include "items/ItemSound.h"
#include "items/projectiles/Flight.h"
#include "items/projectiles/GrenadeProjectile.h"
#include "items/projectiles/Rocket.h"
#include "media/Sound3D.h"
#include "renderer/Device.h"

namespace {

constexpr int kLaunchSkill = 5;

std::unique_ptr<Sound3D> FixedSound(const char* path)
{
    auto sound = std::make_unique<Sound3D>();
    if (sound->Create(Application::Instance()->GetSoundSystem(), path) < 0)
        throw q3DError("Error loading %s", path);
    return sound;
}

} // namespace

RPGItem::RPGItem(const ItemDefinition& definition)
{
    ReadDefinition(definition);
    LoadSmokeAndAmmoIcon();
    LoadMuzzleFlash("GameData/fx/Flash3rd");
    if (!resourcePath[2].empty() && resourcePath[2] != "-") {
        fireSound = LoadItemSound(resourcePath[2]);
        fireSound->SetDistances(ProjectileReach(400.0f), 60.0f, Sound::NoPlay);
        fireSound->SetPlaybackRate(44100, Sound::NoPlay);
    }
    backSmoke = std::make_unique<qParticle>();
    backSmoke->Load(GetDeviceForLoading(), "GameData/Items/RPG/RPGBackSmoke.par");
    backSmokeRate = backSmoke->emissionRate;
    backSmoke->emissionPaused = true;
    boom1 = FixedSound("GameData/Items/RPG/rocket_boom01.wav");
    boom2 = FixedSound("GameData/Items/RPG/rocket_boom02.wav");
    flySound = FixedSound("GameData/Items/RPG/rocket_fly.wav");
    for (std::string& path : resourcePath)
        path.clear();
}

RPGItem::~RPGItem()
{
    if (launchEffect)
        launchEffect->Detach();
}

void RPGItem::ReadDefinition(const ItemDefinition& definition)
{
    WeaponItem::ReadDefinition(definition);
    const auto lines = ReadDefinitionLines(definition, classDataEnd, 7);
    const LauncherLines read = ReadLauncherLines(lines, definition.path);
    CopyBounded(projectileModel, read.projectileModel);
    projectileType = read.projectileType;
    launchOffset = Vector3(read.launchOffset[0], read.launchOffset[1], read.launchOffset[2]);
    hasLaunchEffect = launchOffset.x != 0.0f || launchOffset.y != 0.0f || launchOffset.z != 0.0f;
    launchEffectFile = read.launchEffectFile;
    if (!read.crosshair.empty() && ::strcasecmp(read.crosshair.c_str(), "N/A") != 0) {
        crosshair = std::make_unique<Sprite>();
        crosshair->Load(GetDeviceForLoading(), read.crosshair.c_str());
    }
}

int RPGItem::GetDropMagazines()
{
    const std::uint32_t draw = randomMT();
    if (maxMagazines <= 1)
        return maxMagazines;
    return int(draw % std::uint32_t(maxMagazines - 1)) + 1;
}

bool RPGItem::BeginUse(bool forced)
{
    if (!forced && (inUse || reloading || cartridges <= 0))
        return false;
    if (!owner)
        return false;
    owner->ReduceSteadiness(GetSpreadScaled());
    PlayAtOwner(fireSound.get(), &fireHandle);
    if (AnimationController* animation = owner->GetAnimation())
        for (int channel : {3, 2, 4})
            if (channel < animation->GetChannelCount())
                animation->StopChannel(channel, -1.0f);
    if (smokeEffect)
        smokeEffect->emissionPaused = false;
    backSmoke->emissionPaused = false;
    backSmoke->emissionRate = backSmokeRate;
    if (launchEffect)
        launchEffect->Detach();
    launchEffect.reset();
    if (hasLaunchEffect && !launchEffectFile.empty()) {
        auto effect = std::make_unique<qParticle>();
        try {
            effect->Load(GetDeviceForLoading(), launchEffectFile.c_str());
            effect->position = launchOffset;
            effect->rotation.FromAxisAngle(-1.5707964f, Vector3(1, 0, 0));
            if (owner->GetModel())
                effect->SetParent(owner->GetModel());
            launchEffect = std::move(effect);
        } catch (const q3DError& error) {
            LogToEngine("%s", error.GetText());
        }
    }
    firing = true;
    noiseLevel += noise;
    timeSinceShot = 0.0f;

    const ShotRay ray = TakeShotRay(ItemsGetSkill(owner, kLaunchSkill));
    if (projectileType == 0) {
        ItemsAddProjectile(new Rocket(ray.origin, ray.direction, effectiveRange, owner, damage, bulletValue2, 30.0f,
                                      true, projectileModel));
    } else if (projectileType == 1) {
        ItemsAddProjectile(new GrenadeProjectile(ray.origin, ray.direction, 65.0f, owner, 125.0f, true, false,
                                                 "GameData/Items/Grenades/Grenade_Explosion.wav",
                                                 "GameData/Items/Grenades/", projectileModel));
    } else {
        LogToEngine("Incorrect bullet type %d in RPG IDF", projectileType);
        return false;
    }
    const float p = GetSpread();
    ApplyRecoil(p * 0.5f + frandomMT() * p * 0.5f);
    --cartridges;
    if (ItemsUnlimitedAmmunition() && owner == RunningLevel::Scene().CurrentPlayer())
        ++cartridges;
    if (cartridges <= 0) {
        inUse = false;
        if (magazines == -1)
            cartridges = magazineCapacity;
        else
            Reload();
    }
    return WeaponItem::BeginUse(forced);
}

void RPGItem::UpdateTransform(float elapsed)
{
    if (launchEffect && launchEffect->GetTimeSinceStart() > 0.5f && launchEffect->GetActivity() <= 0.0f) {
        launchEffect->Detach();
        launchEffect.reset();
    }
    if (!owner) {
        Item::UpdateTransform(elapsed);
        return;
    }
    noiseLevel = inUse ? noise : 0;
    if (fireSound && fireHandle != -1 && !fireSound->IsPlaying(fireHandle))
        fireHandle = -1;
    if (fireSound && fireHandle != -1) {
        const Vector3 at = OwnerSoundPoint();
        fireSound->SetPosition(at.x, at.y, at.z, fireHandle);
    }
    timeSinceShot += elapsed;
    if (timeSinceShot > 0.5f && smokeEffect)
        smokeEffect->emissionPaused = true;
    bool cycling = false;
    if (AnimationController* animation = owner->GetAnimation())
        for (int channel = 5; channel <= 7 && channel < animation->GetChannelCount(); ++channel)
            cycling = cycling || animation->IsPlaying(channel);
    inUse = firing || cycling;
    firing = false;
    WeaponItem::UpdateTransform(elapsed);
    // The back blast fades with the time since the shot.
    if (timeSinceShot > kBackBlastTime || owner->viewMode == 0) {
        backSmoke->emissionPaused = true;
    } else {
        backSmoke->emissionRate = (kBackBlastTime - timeSinceShot) / kBackBlastTime * backSmokeRate;
        if (smokeEffect) {
            backSmoke->position = smokeEffect->position;
            Matrix3 turn;
            turn.FromAxisAngle(-1.5707964f, Vector3(1, 0, 0));
            backSmoke->rotation = turn * smokeEffect->rotation;
        }
    }
    backSmoke->UpdateTransform(elapsed);
}

void RPGItem::DrawHUD(Device* device)
{
    DrawAmmunition(device, magazines + cartridges);
    if (device && crosshair) {
        crosshair->x = (device->GetTargetWidth() - crosshair->GetDrawnTextureWidth()) / 2;
        crosshair->y = (device->GetTargetHeight() - crosshair->GetDrawnTextureHeight()) / 2;
        crosshair->Draw(device);
    }
}

void RPGItem::Select()
{
    WeaponItem::Select();
    ownerSkill = ItemsGetSkill(owner, skillIndex);
    if (crosshair)
        ItemsSetCrosshair(false);
}

void RPGItem::Deselect()
{
    WeaponItem::Deselect();
    if (fireSound && fireHandle != -1)
        fireSound->Stop(fireHandle);
    fireHandle = -1;
    backSmoke->emissionPaused = true;
    backSmoke->UpdateTransform(10000.0f);
    if (launchEffect)
        launchEffect->Detach();
    launchEffect.reset();
    if (crosshair)
        ItemsSetCrosshair(true);
}

void RPGItem::Save(SaveStream* stream)
{
    WeaponItem::Save(stream);
    stream->WriteUInt8(1);
    stream->WriteFloat(timeSinceShot);
    stream->WriteBool(firing);
}

void RPGItem::Load(SaveStream* stream)
{
    WeaponItem::Load(stream);
    stream->ExpectVersion(1, "Incorrection version number in RPGItem block");
    timeSinceShot = stream->ReadFloat("time since the last shot");
    firing = stream->ReadBool();
}
