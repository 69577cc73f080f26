#pragma once

#include <cstdint>
#include <functional>

#include "engine/core/Vector.h"

class Bullet;
class Camera;
class Character;
class Item;
class MapObject;
class qParticle;
struct HitResult;

// What items, weapons and projectiles ask of the running mission and of the soldier classes,
// which sit above or beside the items. The mission fills these in when it starts a level; until
// then an item lives without one: soldiers of skill 0.5 and accuracy adjustment 1.0, nothing to
// pick but the world, no projectile list (a shot is resolved and then forgotten), no sounds,
// decals or counters, and no pause or cheats.
struct ItemServiceHooks {
    // Soldier::GetSkill and Soldier::GetAccuracyAdjustment of a character.
    std::function<float(Character* character, int skill)> skill;
    std::function<float(Character* character)> accuracyAdjustment;
    // The nearest live character along the ray (filter -1 any, else a character kind), ignoring
    // one; the record gets the hit point, distance, normal and the material hit.
    std::function<Character*(HitResult& hit, Character* ignore, int filter)> rayCastObjects;
    // The nearest loose item along the ray, with the distance filled in.
    std::function<Item*(HitResult& hit)> rayCastItems;
    // The projectile list: a new projectile joins it (and the scene root); the mission then owns it.
    std::function<void(Bullet* projectile)> addProjectile;
    // The running particle effects: an effect added is started and owned by the list when it
    // finishes; removed, it goes back to the caller.
    std::function<void(qParticle* effect)> addParticleEffect;
    std::function<void(qParticle* effect)> removeParticleEffect;
    // A random variant of bullet-hit sound kind 0 to 5 at the point.
    std::function<void(int kind, const Vector3& point)> playBulletHitSound;
    std::function<void(const char* texture, const Vector3& point, const Vector3& normal, MapObject* object)> addDecal;
    // A destroyable map object takes damage (armoured ones only from hits of 100 or more).
    std::function<void(MapObject* object, int damage, const Vector3& point, std::uint16_t attacker, bool splash)>
        damageDestroyable;
    // Whether a map object carries a destroyable prop (grenades fly through such windows).
    std::function<bool(MapObject* object)> isDestroyable;
    // The mission's explosion: damage falling off to the radius, from the source character and
    // item (0xFFFF none), within the cone of the direction (angle 180 = every way).
    std::function<void(const Vector3& centre, int damage, float radius, Character* source, bool flag,
                       std::uint16_t sourceItem, const Vector3& direction, float angle)>
        applyExplosion;
    // An event the AI notices: the noise of a shot or a blast.
    std::function<void(const Vector3& position, float radius, Character* source, float value, bool flag)> addEvent;
    // The shooter's index 0..4 in the local player's current squad, -1 when it is not in it.
    std::function<int(Character* character)> localSquadIndex;
    // The mission's per-member counters: 0 shots that hit something, 1 character hits, 2 kills,
    // 3 head-shot kills, 4 knife stabs, 5 knife kills of unaware victims.
    std::function<void(int counter, int index)> count;
    // The mission's blood effect file; empty or null = none.
    std::function<const char*()> bloodEffect;
    // A campaign game's mastery (a value of 3) of a skill by the local squad's member at index.
    std::function<bool(int squadIndex, int skill)> hasSkillMastery;
    std::function<bool()> isPaused;
    // The x of the HUD's item column (ammunition icons).
    std::function<int()> hudColumn;
    // In a network game, reseeds the shared generator so that every machine draws alike.
    std::function<void()> syncRandomSeed;
    // The mission camera (zoom, near distance), null without one; the mission's distance-culling
    // and crosshair flags.
    std::function<Camera*()> camera;
    std::function<void(bool on)> setDistanceCulling;
    std::function<void(bool on)> setCrosshair;
    // The mission's night-vision display, and its result (0 while it runs).
    std::function<bool()> nightVision;
    std::function<void(bool on)> setNightVision;
    std::function<int()> missionResult;
    // A mission item with the identifier was loaded: its level record counts as taken.
    std::function<void(int objectiveID)> markLevelItemTaken;
    // A connected client tells the server which item a character now holds.
    std::function<void(std::int16_t character, std::int16_t item)> sendSelectItem;
    std::function<bool()> unlimitedAmmunition;
    // The camera's far distance (the farthest a shot is resolved); 0 without a camera.
    std::function<float()> cameraFar;
    // The ray from the mission camera through the screen centre (the local player's aim); false
    // without a camera.
    std::function<bool(Vector3& origin, Vector3& direction)> centerRay;
    // The ammunition state of the local player's weapon, to the server.
    std::function<void(std::int16_t owner, std::int16_t weapon, int cartridges, int magazines)> sendAmmunition;
};

// Replaces the hooks; empty hooks give the stand-in answers above.
void SetItemServiceHooks(ItemServiceHooks hooks);
const ItemServiceHooks& GetItemServiceHooks();

float ItemsGetSkill(Character* character, int skill);
float ItemsGetAccuracyAdjustment(Character* character);
// Without a projectile list the projectile is deleted at once (it has done its work).
void ItemsAddProjectile(Bullet* projectile);
// Without a particle list the effect is deleted.
void ItemsAddParticleEffect(qParticle* effect);
void ItemsRemoveParticleEffect(qParticle* effect);
void ItemsPlayBulletHitSound(int kind, const Vector3& point);
void ItemsCount(int counter, int index);
int ItemsLocalSquadIndex(Character* character);
bool ItemsIsPaused();
Camera* ItemsCamera();
void ItemsSetDistanceCulling(bool on);
void ItemsSetCrosshair(bool on);
bool ItemsUnlimitedAmmunition();
