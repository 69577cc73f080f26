#include "items/ScopedRifleItem.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "app/framework/Application.h"
#include "app/framework/Options.h"
#include "characters/body/AnimationController.h"
#include "characters/body/Character.h"
#include "characters/level/LevelScene.h"
#include "characters/level/RunningLevel.h"
#include "engine/camera/Camera.h"
#include "engine/core/RandomMT.h"
#include "engine/particle/qParticle.h"
#include "engine/serial/SaveStream.h"
#include "engine/sprite/Sprite.h"
#include "items/ClassLines.h"
#include "items/ItemDefinition.h"
#include "items/ItemServices.h"
#include "items/ItemSound.h"
#include "items/Zoom.h"
#include "items/projectiles/Bullet.h"
#include "items/projectiles/Flight.h"
#include "media/Sound3D.h"
#include "renderer/Device.h"
#include "world/World.h"

namespace {

constexpr int kEscapeKey = 27;
constexpr int kSniperSkill = 6;
constexpr int kAutomaticReloadOption = 95;

} // namespace

ScopedRifleItem::ScopedRifleItem(const ItemDefinition& definition)
{
    ReadDefinition(definition);
    LoadSmokeAndAmmoIcon();
    LoadMuzzleFlash("GameData/fx/Flash3rd");
    if (hasScope && !resourcePath[3].empty() && resourcePath[3] != "-") {
        scopePicture = std::make_unique<Sprite>();
        scopePicture->Load(GetDeviceForLoading(), resourcePath[3].c_str());
    }
    auto sound = [](const std::string& path) { return path.rfind('-', 0) == 0 ? nullptr : LoadItemSound(path); };
    fireSound = sound(resourcePath[2]);
    reloadSound = sound(resourcePath[4]);
    scopeSound = sound(resourcePath[5]);
    drawSound = sound(resourcePath[6]);
    if (fireSound) {
        fireSound->SetDistances(ProjectileReach(400.0f), 40.0f, Sound::NoPlay);
        fireSound->SetPlaybackRate(44100, Sound::NoPlay);
    }
    if (reloadSound) {
        reloadSound->SetDistances(200.0f, 20.0f, Sound::NoPlay);
        reloadSound->SetPlaybackRate(44100, Sound::NoPlay);
    }
    for (Sound3D* once : {scopeSound.get(), drawSound.get()})
        if (once) {
            once->SetLoopCount(1, Sound::NoPlay);
            once->SetDistances(400.0f, 30.0f, Sound::NoPlay);
        }
    for (std::string& path : resourcePath)
        path.clear();
}

ScopedRifleItem::~ScopedRifleItem() = default;

void ScopedRifleItem::ReadDefinition(const ItemDefinition& definition)
{
    WeaponItem::ReadDefinition(definition);
    hasScope = singleShotAllowed;
    const auto lines = ReadDefinitionLines(definition, classDataEnd, 3);
    const ScopeLines read = ReadScopeLines(lines, definition.path);
    maxZoom = read.zoom.maxZoom;
    minZoom = read.zoom.minZoom;
    nightVision = read.nightVision;
    zoom = StartingZoom(maxZoom, minZoom);
}

float ScopedRifleItem::ShotSkill()
{
    return scopeActive ? ItemsGetSkill(owner, kSniperSkill) * 1.1f : ItemsGetSkill(owner, skillIndex);
}

bool ScopedRifleItem::BeginUse(bool forced)
{
    if (!forced && (inUse || reloading || cartridges <= 0))
        return false;
    if (!owner)
        return false;
    PlayAtOwner(fireSound.get(), &fireHandle);
    if (smokeEffect)
        smokeEffect->emissionPaused = false;
    firedThisFrame = true;
    noiseLevel += noise;
    timeSinceShot = 0.0f;
    const ShotRay ray = TakeShotRay(ShotSkill());
    FireBullets(ray);
    const float s = ShotSkill();
    const float p = GetSpread();
    ApplyRecoil((frandomMT() + 1.0f) * (p * 0.5f + p * 0.5f * (1.0f - s)) * 0.5f);
    flashVisible = true;
    --cartridges;
    if (ItemsUnlimitedAmmunition() && owner == RunningLevel::Scene().CurrentPlayer())
        ++cartridges;
    return WeaponItem::BeginUse(forced);
}

void ScopedRifleItem::FireBullets(ShotRay ray)
{
    if (!owner)
        return;
    const float skill = ShotSkill();
    const float skill3 = ItemsGetSkill(owner, 3);
    for (int pellet = 0; pellet < bulletsPerShot; ++pellet) {
        if (pellet > 0)
            ApplyDeviation(ray, skill);
        bool tracer = false;
        if (++tracerCounter >= 3) {
            tracerCounter = 0;
            tracer = true;
        }
        ItemsAddProjectile(new Bullet(ray.origin, ray.direction, effectiveRange, owner, damage * ItemsGetSkill(owner, skillIndex),
                                      bulletValue2 * skill3, tracer));
    }
    owner->ReduceSteadiness(GetSpreadScaled());
}

void ScopedRifleItem::UpdateTransform(float elapsed)
{
    noiseLevel = inUse ? noise : 0;
    if (fireSound && fireHandle != -1 && !fireSound->IsPlaying(fireHandle))
        fireHandle = -1;
    if (reloadSound && reloadHandle != -1 && !reloadSound->IsPlaying(reloadHandle))
        reloadHandle = -1;
    if (!owner) {
        Item::UpdateTransform(elapsed);
        return;
    }
    if (owner != RunningLevel::Scene().CurrentPlayer())
        ScopeDown();
    if (scopeActive) {
        ItemServices& services = LevelItemServices();
        if (services.MissionResult() != 0) {
            ScopeDown();
        } else {
            flashVisible = false;
            ApplyZoomToCamera(zoom);
            StepZoomWithKeys(zoomKeyTimer, elapsed, [this](int direction) { OnSelectStep(direction, 0, 0); });
        }
    }
    const Vector3 at = OwnerSoundPoint();
    if (fireSound && fireHandle != -1)
        fireSound->SetPosition(at.x, at.y, at.z, fireHandle);
    if (reloadSound && reloadHandle != -1)
        reloadSound->SetPosition(at.x, at.y, at.z, reloadHandle);
    timeSinceShot += elapsed;
    if (timeSinceShot > 0.5f && smokeEffect)
        smokeEffect->emissionPaused = true;
    // The use lasts while the bolt cycles (the firing animations on channels 5 to 7).
    bool cycling = false;
    AnimationController* animation = owner->GetAnimation();
    if (animation) {
        for (int channel = 5; channel <= 7 && channel < animation->GetChannelCount(); ++channel)
            cycling = cycling || animation->IsPlaying(channel);
        if (owner->posture == Character::Prone && animation->GetChannelCount() > 0 &&
            animation->GetChannelAnimation(0) == 61)
            cycling = true;
    }
    inUse = firedThisFrame || cycling;
    firedThisFrame = false;
    if (cartridges <= 0 && !inUse) {
        const Options* options = Options::Instance();
        if (owner != RunningLevel::Scene().CurrentPlayer() || (options && options->GetOption(kAutomaticReloadOption) != 0))
            BeginReload(reloadSound.get(), reloadHandle);
    }
    WeaponItem::UpdateTransform(elapsed);
}

void ScopedRifleItem::Draw(Device* device)
{
    WeaponItem::Draw(device);
    if (timeSinceShot > 0.05f)
        flashVisible = false;
}

void ScopedRifleItem::DrawHUD(Device* device)
{
    if (device && scopeActive && scopePicture) {
        scopePicture->x = 0;
        scopePicture->y = 0;
        scopePicture->width = device->GetTargetWidth();
        scopePicture->height = device->GetTargetHeight();
        scopePicture->Draw(device);
    }
    DrawAmmunition(device);
}

bool ScopedRifleItem::OnSelectStep(int direction, int x, int y)
{
    (void)x, (void)y;
    if (!scopeActive)
        return true;
    zoom = StepZoom(zoom, maxZoom, minZoom, direction);
    ApplyZoomToCamera(zoom);
    return false;
}

bool ScopedRifleItem::OnKeyDown(int key)
{
    const Options* options = Options::Instance();
    int action = options && key >= 0 && key < 512 ? options->GetActionForKey(key) : -1;
    if (key == kEscapeKey && scopeActive)
        action = ScopeAction;
    switch (action) {
    case ScopeAction: {
        AnimationController* animation = owner ? owner->GetAnimation() : nullptr;
        const bool reloadPlaying = animation && animation->GetChannelCount() > 8 && animation->IsPlaying(8);
        if (!hasScope || reloadPlaying)
            return true;
        if (scopeActive) {
            ScopeDown();
            return false;
        }
        ScopeUp();
        return true;
    }
    case ReloadAction:
        BeginReload(reloadSound.get(), reloadHandle);
        return true;
    case ZoomOutAction:
        return OnSelectStep(0, 0, 0);
    case ZoomInAction:
        return OnSelectStep(1, 0, 0);
    case NightVisionAction: {
        ItemServices& services = LevelItemServices();
        if (scopeActive && nightVision == 2)
            services.SetNightVision(!services.NightVision());
        return true;
    }
    case 31:
    case 32:
    case 33:
        return !scopeActive;
    default:
        return true;
    }
}

void ScopedRifleItem::ScopeUp()
{
    Character* player = RunningLevel::Scene().CurrentPlayer();
    if (scopeActive || !hasScope || !player || owner != player)
        return;
    savedViewMode = player->viewMode;
    if (player->viewMode == 1)
        player->CycleViewMode();
    if (Camera* camera = ItemsCamera()) {
        savedFieldOfView = camera->GetFov();
        savedNearDistance = camera->GetNear();
        camera->SetNear(2.0f);
    }
    ApplyZoomToCamera(zoom);
    ItemsSetDistanceCulling(false);
    ItemsSetCrosshair(false);
    // Props draw their full-detail meshes while zoomed in.
    LodSwitch = 0;
    stateFlag = false;
    scopeActive = true;
    PlayAtOwner(scopeSound.get(), nullptr);
    savedActionLock = keyLock = actionLock = true;
    ItemServices& services = LevelItemServices();
    if (nightVision == 1)
        services.SetNightVision(true);
    if (nightVision == 2) {
        Application::Instance()->ClearMessages();
        const Options* options = Options::Instance();
        Application::Instance()->ShowMessage(3000, "Press '%s' to toggle Night Vision",
                                             options ? options->GetKeyName(options->GetKeyForAction(NightVisionAction)) : "None");
    }
}

void ScopedRifleItem::ScopeDown()
{
    if (!scopeActive || !hasScope)
        return;
    if (Camera* camera = ItemsCamera()) {
        camera->SetFov(savedFieldOfView);
        camera->SetNear(savedNearDistance);
        camera->UpdateTransform(0.0f);
    }
    if (Character* player = RunningLevel::Scene().CurrentPlayer())
        if (savedViewMode == 1)
            player->CycleViewMode();
    ItemsSetDistanceCulling(true);
    ItemsSetCrosshair(true);
    LodSwitch = 1;
    stateFlag = true;
    scopeActive = false;
    savedActionLock = keyLock = actionLock = false;
    ItemServices& services = LevelItemServices();
    services.SetNightVision(false);
}

void ScopedRifleItem::Reload()
{
    ScopeDown();
    WeaponItem::Reload();
}

void ScopedRifleItem::Select()
{
    WeaponItem::Select();
    if (owner && (OwnerSoundPoint() - RunningLevel::Scene().CameraPosition()).LengthSquared() < 90000.0f)
        PlayAtOwner(drawSound.get(), &drawHandle);
    ownerSkill = ItemsGetSkill(owner, skillIndex);
    if (owner && owner == RunningLevel::Scene().CurrentPlayer() && hasScope) {
        const Options* options = Options::Instance();
        Application::Instance()->ShowMessage(3000, "Press '%s' to use scope",
                                             options ? options->GetKeyName(options->GetKeyForAction(ScopeAction)) : "None");
    }
}

void ScopedRifleItem::Deselect()
{
    ScopeDown();
    WeaponItem::Deselect();
    if (fireSound && fireHandle != -1)
        fireSound->Stop(fireHandle);
    if (reloadSound && reloadHandle != -1)
        reloadSound->Stop(reloadHandle);
    fireHandle = reloadHandle = -1;
}

float ScopedRifleItem::GetSuitability(int targetKind, float distance)
{
    if (effectiveRange < distance || (magazines == 0 && cartridges == 0))
        return 0.0f;
    float r = 1.0f - distance / effectiveRange;
    if (cartridges <= 1)
        r *= 0.75f;
    if (magazines < 1)
        r *= 0.75f;
    if (targetKind == 0)
        r *= 0.75f;
    if (targetKind == 2 && hasScope)
        r *= 1.5f;
    return std::clamp(r, 0.0f, 1.0f);
}

void ScopedRifleItem::Save(SaveStream* stream)
{
    WeaponItem::Save(stream);
    stream->WriteUInt8(1);
    stream->WriteFloat(timeSinceShot);
    stream->WriteBool(firedThisFrame);
}

void ScopedRifleItem::Load(SaveStream* stream)
{
    WeaponItem::Load(stream);
    stream->ExpectVersion(1, "Incorrection version number in ScopedRifleItem block");
    timeSinceShot = stream->ReadFloat("time since the last shot");
    firedThisFrame = stream->ReadBool();
}
