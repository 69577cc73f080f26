#pragma once

#include "items/ItemServices.h"

// The item services when no level runs: soldiers of skill 0.5 and accuracy adjustment 1.0,
// nothing to pick but the world, no projectile or particle list (a projectile or effect handed
// over is deleted at once: it has done its work), no sounds, decals, destroyables, explosions,
// events or counters, no squad, no campaign, no camera (far distance 0, no centre ray), the HUD's
// item column at 16, a mission still running, nothing sent, and no pause or cheats. Tests derive
// their fakes from it and answer only what they look at.
class NoLevelItems : public ItemServices {
public:
    // The one instance the running level falls back on.
    static NoLevelItems& Answers();

    float Skill(Character* character, int skill) override;
    float AccuracyAdjustment(Character* character) override;
    Character* RayCastObjects(HitResult& hit, Character* ignore, int filter) override;
    Item* RayCastItems(HitResult& hit) override;
    void AddProjectile(Bullet* projectile) override;
    void AddParticleEffect(qParticle* effect) override;
    void RemoveParticleEffect(qParticle* effect) override;
    ParticleEffectCache* ParticleEffects() override;
    void PlayBulletHitSound(int kind, const Vector3& point) override;
    void AddDecal(const char* texture, const Vector3& point, const Vector3& normal, MapObject* object) override;
    void DamageDestroyable(MapObject* object, int damage, const Vector3& point, std::uint16_t attacker,
                           bool splash) override;
    bool IsDestroyable(MapObject* object) override;
    void ApplyExplosion(const Vector3& centre, int damage, float radius, Character* source, bool flag,
                        std::uint16_t sourceItem, const Vector3& direction, float angle) override;
    void AddEvent(const Vector3& position, float radius, Character* source, float value, bool flag) override;
    int LocalSquadIndex(Character* character) override;
    void Count(int counter, int index) override;
    const char* BloodEffect() override;
    bool HasSkillMastery(int squadIndex, int skill) override;
    bool IsPaused() override;
    int HudColumn() override;
    void SyncRandomSeed() override;
    Camera* MissionCamera() override;
    void SetDistanceCulling(bool on) override;
    void SetCrosshair(bool on) override;
    bool NightVision() override;
    void SetNightVision(bool on) override;
    int MissionResult() override;
    void MarkLevelItemTaken(int objectiveID) override;
    void SendSelectItem(std::int16_t character, std::int16_t item) override;
    bool UnlimitedAmmunition() override;
    float CameraFar() override;
    bool CenterRay(Vector3& origin, Vector3& direction) override;
    void SendAmmunition(std::int16_t owner, std::int16_t weapon, int cartridges, int magazines) override;
};
