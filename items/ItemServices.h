#pragma once

#include <cstdint>

#include "engine/core/Vector.h"

class Bullet;
class Camera;
class Character;
class Item;
class MapObject;
class ParticleEffectCache;
class qParticle;
struct HitResult;

// What items, weapons and projectiles ask of the running mission and of the soldier classes,
// which sit above or beside the items. A running level hands over the mission's answers
// (RunningLevel); with none, NoLevelItems answers.
class ItemServices {
public:
    virtual ~ItemServices() = default;

    // Soldier::GetSkill and Soldier::GetAccuracyAdjustment of a character.
    virtual float Skill(Character* character, int skill) = 0;
    virtual float AccuracyAdjustment(Character* character) = 0;
    // The nearest live character along the ray (filter -1 any, else a character kind), ignoring
    // one; the record gets the hit point, distance, normal and the material hit. Null for none.
    virtual Character* RayCastObjects(HitResult& hit, Character* ignore, int filter) = 0;
    // The nearest loose item along the ray, with the distance filled in; null for none.
    virtual Item* RayCastItems(HitResult& hit) = 0;
    // The projectile list: a new projectile joins it (and the scene root) and is owned by it.
    virtual void AddProjectile(Bullet* projectile) = 0;
    // The running particle effects: an effect added is started and owned by the list when it
    // finishes; removed, it goes back to the caller.
    virtual void AddParticleEffect(qParticle* effect) = 0;
    virtual void RemoveParticleEffect(qParticle* effect) = 0;
    // The level's particle definitions, so that an effect started again reads no file; null (no
    // level) reads the file at every start.
    virtual ParticleEffectCache* ParticleEffects() = 0;
    // A random variant of bullet-hit sound kind 0 to 5 at the point.
    virtual void PlayBulletHitSound(int kind, const Vector3& point) = 0;
    virtual void AddDecal(const char* texture, const Vector3& point, const Vector3& normal, MapObject* object) = 0;
    // A destroyable map object takes damage (armoured ones only from hits of 100 or more).
    virtual void DamageDestroyable(MapObject* object, int damage, const Vector3& point, std::uint16_t attacker,
                                   bool splash) = 0;
    // Whether a map object carries a destroyable prop (grenades fly through such windows).
    virtual bool IsDestroyable(MapObject* object) = 0;
    // The mission's explosion: damage falling off to the radius, from the source character and
    // item (0xFFFF none), within the cone of the direction (angle 180 = every way).
    virtual void ApplyExplosion(const Vector3& centre, int damage, float radius, Character* source, bool flag,
                                std::uint16_t sourceItem, const Vector3& direction, float angle) = 0;
    // An event the AI notices: the noise of a shot or a blast.
    virtual void AddEvent(const Vector3& position, float radius, Character* source, float value, bool flag) = 0;
    // The shooter's index 0..4 in the local player's current squad, -1 when it is not in it.
    virtual int LocalSquadIndex(Character* character) = 0;
    // The mission's per-member counters: 0 shots that hit something, 1 character hits, 2 kills,
    // 3 head-shot kills, 4 knife stabs, 5 knife kills of unaware victims.
    virtual void Count(int counter, int index) = 0;
    // The mission's blood effect file; empty or null = none.
    virtual const char* BloodEffect() = 0;
    // A campaign game's mastery (a value of 3) of a skill by the local squad's member at index.
    virtual bool HasSkillMastery(int squadIndex, int skill) = 0;
    virtual bool IsPaused() = 0;
    // The x of the HUD's item column (ammunition icons).
    virtual int HudColumn() = 0;
    // In a network game, reseeds the shared generator so that every machine draws alike.
    virtual void SyncRandomSeed() = 0;
    // The mission camera (zoom, near distance), null without one; the mission's distance-culling
    // and crosshair flags.
    virtual Camera* MissionCamera() = 0;
    virtual void SetDistanceCulling(bool on) = 0;
    virtual void SetCrosshair(bool on) = 0;
    // The mission's night-vision display, and its result (0 while it runs).
    virtual bool NightVision() = 0;
    virtual void SetNightVision(bool on) = 0;
    virtual int MissionResult() = 0;
    // A mission item with the identifier was loaded: its level record counts as taken.
    virtual void MarkLevelItemTaken(int objectiveID) = 0;
    // A connected client tells the server which item a character now holds.
    virtual void SendSelectItem(std::int16_t character, std::int16_t item) = 0;
    virtual bool UnlimitedAmmunition() = 0;
    // The camera's far distance (the farthest a shot is resolved); 0 without a camera.
    virtual float CameraFar() = 0;
    // The ray from the mission camera through the screen centre (the local player's aim); false
    // without a camera.
    virtual bool CenterRay(Vector3& origin, Vector3& direction) = 0;
    // The ammunition state of the local player's weapon, to the server.
    virtual void SendAmmunition(std::int16_t owner, std::int16_t weapon, int cartridges, int magazines) = 0;
};

// The running level's item services, or the no-level ones.
ItemServices& LevelItemServices();

float ItemsGetSkill(Character* character, int skill);
float ItemsGetAccuracyAdjustment(Character* character);
void ItemsAddProjectile(Bullet* projectile);
void ItemsAddParticleEffect(qParticle* effect);
void ItemsRemoveParticleEffect(qParticle* effect);
// Kinds outside 0..5 play nothing.
void ItemsPlayBulletHitSound(int kind, const Vector3& point);
// Indices outside 0..3 count nothing.
void ItemsCount(int counter, int index);
int ItemsLocalSquadIndex(Character* character);
bool ItemsIsPaused();
Camera* ItemsCamera();
void ItemsSetDistanceCulling(bool on);
void ItemsSetCrosshair(bool on);
bool ItemsUnlimitedAmmunition();
