#include "items/explosives/ExplosiveItem.h"

#include <cmath>

#include "app/framework/Application.h"
#include "characters/body/Character.h"
#include "characters/level/LevelScene.h"
#include "characters/level/NetworkSession.h"
#include "characters/level/RunningLevel.h"
#include "engine/core/EngineLog.h"
#include "engine/core/RandomMT.h"
#include "engine/mesh/qMesh.h"
#include "engine/serial/SaveStream.h"
#include "items/ItemDefinition.h"
#include "items/ItemServices.h"
#include "items/projectiles/Flight.h"
#include "media/Sound3D.h"

namespace {

constexpr int kExplosivesSkill = 5;
// Enough lines for the longest explosive definition with comment lines among them.
constexpr int kParameterLines = 40;

} // namespace

ExplosiveItem::ExplosiveItem() = default;
ExplosiveItem::~ExplosiveItem() = default;

void ExplosiveItem::ReadParameters(const ItemDefinition& definition, bool withTriggerRadius)
{
    parameters = ParseExplosiveParameters(ReadDefinitionLines(definition, definition.classDataOffset, kParameterLines),
                                          definition.path, withTriggerRadius);
}

void ExplosiveItem::Save(SaveStream* stream)
{
    Item::Save(stream);
    block.Write(*stream);
}

void ExplosiveItem::Load(SaveStream* stream)
{
    Item::Load(stream);
    block.Read(*stream);
}

bool ExplosiveItem::ApplyDamage(int amount, const Vector3& point, const Vector3& direction)
{
    (void)amount, (void)point, (void)direction;
    if (block.goneOff)
        return false;
    Detonate(true);
    return true;
}

bool ExplosiveItem::OnHit(HitResult& hit, Bullet* bullet, int damage, const Vector3& point, const Vector3& normal)
{
    (void)hit, (void)bullet, (void)normal;
    return ApplyDamage(damage, point, Vector3());
}

void ExplosiveItem::Draw(Device* device)
{
    if (block.goneOff) {
        lastDrawnMesh = nullptr;
        return;
    }
    Item::Draw(device);
}

bool ExplosiveItem::IntersectRay(HitResult& hit)
{
    return !block.goneOff && Item::IntersectRay(hit);
}

void ExplosiveItem::SetOwner(Character* newOwner)
{
    Item::SetOwner(newOwner);
    if (!owner)
        block.spare = false;
}

void ExplosiveItem::StartLooseItemTimer()
{
    const CharacterServerSettings settings = GetCharacterServerSettings();
    if (settings.looseItemDelay > 0)
        SetDeleteTime(GetNetworkTime() + settings.looseItemDelay);
}

bool ExplosiveItem::Detonate(bool notify)
{
    if (block.goneOff)
        return false;
    NetworkSession& network = RunningLevel::Network();
    // The message to the other machines comes with the networking of explosives; a client's own
    // trigger waits for the host's word in any case.
    if (notify && !network.IsServerActive() && network.IsClientConnected())
        return false;
    block.goneOff = true;
    return true;
}

Character* ExplosiveItem::Placer() const
{
    return dynamic_cast<Character*>(GameObject::GetByID(previousOwnerID));
}

void ExplosiveItem::Explode(const Vector3& direction, const Vector3* mainAt, const Matrix3* mainTurn)
{
    ItemServices& services = LevelItemServices();
    const std::uint32_t span = std::uint32_t(parameters.maximumDamage - parameters.minimumDamage) + 1u;
    const float rolled = float(parameters.minimumDamage) + float(std::uint32_t(randomMT()) % span);
    const int damage = int(rolled * block.skill);
    Character* placer = Placer();
    const Vector3 at = position;
    const Vector3 centre = at - direction * 2.0f;
    float radius = float(parameters.blastRadius) * block.skill + 2.0f;
    if (placer && placer->GetController() != 2) {
        const int squadIndex = services.LocalSquadIndex(placer);
        if (squadIndex >= 0 && services.HasSkillMastery(squadIndex, 6))
            radius *= 2.0f;
    }
    services.ApplyExplosion(centre, damage, radius, placer, true, std::uint16_t(GetID()), direction,
                            parameters.coneAngle);
    services.AddEvent(at, 150.0f, placer, 0.5f, false);
    PlayExplosionSound();
    // A missing effect is logged by the effect list and the explosion stands.
    if (!parameters.particleEffect.empty() && parameters.particleEffect != "-")
        StartParticleEffect(parameters.particleEffect.c_str(), mainAt ? *mainAt : at, mainTurn);
    StartParticleEffect("GameData/fx/grenade_flak.par", at, nullptr);
    StartParticleEffect("GameData/fx/grenade_smoke.par", at, nullptr);
}

void ExplosiveItem::Place()
{
    Character* placer = owner;
    if (!placer)
        return;
    PlayPlaceSound();
    block.skill = ItemsGetSkill(placer, kExplosivesSkill);
    if (!std::isfinite(block.skill) || block.skill < 0.0f)
        block.skill = 0.0f;
    placer->SelectItemByID(previousItemID);
    Vector3 forward(placer->rotation(2, 0), placer->rotation(2, 1), placer->rotation(2, 2));
    Vector3 origin, look;
    if (placer == RunningLevel::Scene().CurrentPlayer() && LevelItemServices().CenterRay(origin, look)) {
        look.y = 0.0f;
        if (look.LengthSquared() > 0.0f)
            forward = look;
    }
    const Matrix3 turn = LookAlong(forward);
    const Vector3 at = placer->position + Vector3(turn(2, 0), turn(2, 1), turn(2, 2)) * 4.0f;
    placer->DropItem(this, at);
    rotation = turn;
    SetDeleteTime(0);
    previousOwnerID = placer->GetID();
}

void ExplosiveItem::PlayPlaceSound()
{
    if (!placeSound && !parameters.placeSound.empty() && parameters.placeSound != "-") {
        auto sound = std::make_unique<Sound3D>();
        // A placing sound that cannot be made is left out.
        if (sound->Create(Application::Instance()->GetSoundSystem(), parameters.placeSound.c_str()) >= 0) {
            sound->SetDistances(100.0f, 30.0f, Sound::NoPlay);
            placeSound = std::move(sound);
        }
    }
    if (!placeSound)
        return;
    const Vector3 at = owner ? owner->position : position;
    placeSound->SetPosition(at.x, at.y, at.z, Sound::NoPlay);
    placeHandle = placeSound->Play();
}

bool ExplosiveItem::PlayExplosionSound()
{
    if (!explosionSound && !explosionSoundTried) {
        explosionSoundTried = true;
        const std::string& name = parameters.sounds[std::uint32_t(randomMT()) % std::uint32_t(parameters.soundCount)];
        auto sound = std::make_unique<Sound3D>();
        if (sound->Create(Application::Instance()->GetSoundSystem(), name.c_str()) < 0) {
            LogToEngine("Can't load %s: %s", name.c_str(), sound->GetErrorText());
            return false;
        }
        sound->SetDistances(ProjectileReach(), 100.0f, Sound::NoPlay);
        explosionSound = std::move(sound);
    }
    if (!explosionSound)
        return false;
    explosionSound->SetPosition(position.x, position.y, position.z, Sound::NoPlay);
    explosionHandle = explosionSound->Play();
    return true;
}

bool ExplosiveItem::ExplosionSoundDone()
{
    if (!block.goneOff)
        return false;
    return !explosionSound || explosionHandle == -1 || !explosionSound->IsPlaying(explosionHandle);
}
