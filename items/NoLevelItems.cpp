#include "items/NoLevelItems.h"

#include "engine/particle/qParticle.h"
#include "items/projectiles/Bullet.h"

NoLevelItems& NoLevelItems::Answers()
{
    static NoLevelItems answers;
    return answers;
}

float NoLevelItems::Skill(Character*, int) { return 0.5f; }
float NoLevelItems::AccuracyAdjustment(Character*) { return 1.0f; }
Character* NoLevelItems::RayCastObjects(HitResult&, Character*, int) { return nullptr; }
Item* NoLevelItems::RayCastItems(HitResult&) { return nullptr; }
void NoLevelItems::AddProjectile(Bullet* projectile) { delete projectile; }
void NoLevelItems::AddParticleEffect(qParticle* effect) { delete effect; }
void NoLevelItems::RemoveParticleEffect(qParticle*) {}
ParticleEffectCache* NoLevelItems::ParticleEffects() { return nullptr; }
void NoLevelItems::PlayBulletHitSound(int, const Vector3&) {}
void NoLevelItems::AddDecal(const char*, const Vector3&, const Vector3&, MapObject*) {}
void NoLevelItems::DamageDestroyable(MapObject*, int, const Vector3&, std::uint16_t, bool) {}
bool NoLevelItems::IsDestroyable(MapObject*) { return false; }
void NoLevelItems::ApplyExplosion(const Vector3&, int, float, Character*, bool, std::uint16_t, const Vector3&, float) {}
void NoLevelItems::AddEvent(const Vector3&, float, Character*, float, bool) {}
int NoLevelItems::LocalSquadIndex(Character*) { return -1; }
void NoLevelItems::Count(int, int) {}
const char* NoLevelItems::BloodEffect() { return nullptr; }
bool NoLevelItems::HasSkillMastery(int, int) { return false; }
bool NoLevelItems::IsPaused() { return false; }
int NoLevelItems::HudColumn() { return 16; }
void NoLevelItems::SyncRandomSeed() {}
Camera* NoLevelItems::MissionCamera() { return nullptr; }
void NoLevelItems::SetDistanceCulling(bool) {}
void NoLevelItems::SetCrosshair(bool) {}
bool NoLevelItems::NightVision() { return false; }
void NoLevelItems::SetNightVision(bool) {}
int NoLevelItems::MissionResult() { return 0; }
void NoLevelItems::MarkLevelItemTaken(int) {}
void NoLevelItems::SendSelectItem(std::int16_t, std::int16_t) {}
bool NoLevelItems::UnlimitedAmmunition() { return false; }
float NoLevelItems::CameraFar() { return 0.0f; }
bool NoLevelItems::CenterRay(Vector3&, Vector3&) { return false; }
void NoLevelItems::SendAmmunition(std::int16_t, std::int16_t, int, int) {}
