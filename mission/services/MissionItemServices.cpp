#include "mission/services/MissionItemServices.h"

#include "app/framework/Application.h"
#include "characters/ai/Soldier.h"
#include "engine/camera/Camera.h"
#include "engine/particle/qParticle.h"
#include "items/Item.h"
#include "items/projectiles/Bullet.h"
#include "mission/MissionState.h"
#include "mission/props/destruction/DestroyableProp.h"
#include "mission/rules/Squad.h"
#include "renderer/Device.h"
#include "world/environment/DecalManager.h"

MissionItemServices::MissionItemServices(MissionState& mission) : mission(mission)
{
}

float MissionItemServices::Skill(Character* character, int skill)
{
    auto* soldier = dynamic_cast<Soldier*>(character);
    return soldier ? soldier->GetSkill(skill) : 0.5f;
}

float MissionItemServices::AccuracyAdjustment(Character* character)
{
    auto* soldier = dynamic_cast<Soldier*>(character);
    return soldier ? soldier->GetAccuracyAdjustment() : 1.0f;
}

Character* MissionItemServices::RayCastObjects(HitResult& hit, Character* ignore, int filter)
{
    return mission.RayCastObjects(hit, ignore, filter);
}

Item* MissionItemServices::RayCastItems(HitResult& hit) { return dynamic_cast<Item*>(mission.RayCastItems(hit)); }

void MissionItemServices::AddProjectile(Bullet* projectile)
{
    if (!projectile)
        return;
    mission.level.projectiles.push_back(projectile);
    if (mission.level.root)
        projectile->SetParent(mission.level.root.get());
}

void MissionItemServices::AddParticleEffect(qParticle* effect) { mission.level.particleEffects.Add(effect, mission.level.root.get()); }
void MissionItemServices::RemoveParticleEffect(qParticle* effect) { mission.level.particleEffects.Remove(effect); }
ParticleEffectCache* MissionItemServices::ParticleEffects() { return &mission.level.particleDefinitions; }
void MissionItemServices::PlayBulletHitSound(int kind, const Vector3& point) { mission.PlayBulletHitSound(kind, point); }

void MissionItemServices::AddDecal(const char* texture, const Vector3& point, const Vector3& normal, MapObject* object)
{
    if (Device* device = Application::Instance()->GetDevice())
        DecalManager::AddDecal(device, texture, point, normal, object);
}

void MissionItemServices::DamageDestroyable(MapObject* object, int damage, const Vector3&, std::uint16_t attacker,
                                            bool splash)
{
    if (DestroyableProp* prop = FindDestroyable(object))
        prop->TakeDamage(damage, std::int16_t(attacker), splash);
}

bool MissionItemServices::IsDestroyable(MapObject* object)
{
    const DestroyableProp* prop = FindDestroyable(object);
    return prop && prop->IsDestroyable() && !prop->destroyed;
}

void MissionItemServices::ApplyExplosion(const Vector3& centre, int damage, float radius, Character* source,
                                         bool shieldTest, std::uint16_t sourceItem, const Vector3& direction,
                                         float angle)
{
    // The items' cone is in degrees and 180 is every way; here 0 is the plain sphere.
    const float cone = angle >= 180.0f || angle <= 0.0f ? 0.0f : angle * 0.017453292f;
    mission.ApplyExplosion(centre, damage, radius, source, shieldTest, sourceItem, direction, cone);
}

void MissionItemServices::AddEvent(const Vector3& position, float radius, Character* source, float value, bool flag)
{
    mission.AddNoiseEvent(position, radius, source, value, flag);
}

int MissionItemServices::LocalSquadIndex(Character* character)
{
    return mission.roster.localSquad ? mission.roster.localSquad->IndexOf(character) : -1;
}

void MissionItemServices::Count(int counter, int index) { mission.squadStatistics.Count(counter, index); }
const char* MissionItemServices::BloodEffect() { return mission.level.bloodEffect; }
bool MissionItemServices::HasSkillMastery(int, int) { return false; }
bool MissionItemServices::IsPaused() { return mission.controls.paused; }
int MissionItemServices::HudColumn() { return mission.HudItemColumn(); }
void MissionItemServices::SyncRandomSeed() {}
Camera* MissionItemServices::MissionCamera() { return mission.level.camera; }
void MissionItemServices::SetDistanceCulling(bool on) { mission.hud.distanceCulling = on; }
void MissionItemServices::SetCrosshair(bool on) { mission.hud.crosshairShown = on; }
bool MissionItemServices::NightVision() { return mission.hud.nightVision; }
void MissionItemServices::SetNightVision(bool on) { mission.hud.nightVision = on; }
int MissionItemServices::MissionResult() { return mission.GetMissionResult(); }
void MissionItemServices::MarkLevelItemTaken(int) {}
void MissionItemServices::SendSelectItem(std::int16_t, std::int16_t) {}
bool MissionItemServices::UnlimitedAmmunition() { return false; }
float MissionItemServices::CameraFar() { return mission.level.camera->GetFar(); }

bool MissionItemServices::CenterRay(Vector3& origin, Vector3& direction)
{
    HitResult ray;
    if (!mission.GetCenterRay(ray))
        return false;
    origin = ray.origin;
    direction = ray.direction;
    return true;
}

void MissionItemServices::SendAmmunition(std::int16_t, std::int16_t, int, int) {}
