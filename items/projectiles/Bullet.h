#pragma once

#include <array>
#include <cstdint>

#include "engine/core/HitResult.h"
#include "engine/scene/SceneNode.h"

class Character;
class D3DPrim;
class Device;
class Item;
struct Material;
struct PickResult;
struct SaveStream;

// Every shot, thrown grenade, rocket and placed timed bomb. A fired shot decides its hit at once,
// in its constructor: a hit-scan along the ray against the world (passing see-through surfaces),
// the characters and the loose items; what then flies is only the tracer, a 4-unit streak moving
// at 300 units per second until it reaches the hit.
//
// The saved block (little-endian, 99 bytes):
//   0 4 typeCode | 4 4 travelled | 8 4 maxDistance | 12 1 active | 13 2 weaponID | 15 12 start
//   27 12 direction | 39 36 rotation, row by row | 75 12 position | 87 12 scale
class Bullet : public SceneNode {
public:
    static constexpr std::uint32_t kBlockSize = 99;
    static constexpr float kTracerSpeed = 300.0f;
    static constexpr float kTracerLength = 4.0f;
    static constexpr int kMaxSeeThrough = 32;
    // Saved-game type codes.
    enum Type { NotSaved = -1, GrenadeType = 100, SmokeType = 101, TeargasType = 102, TimedBombType = 200 };

    // An empty projectile, for the derived classes and the saved-game reader.
    Bullet();
    // A fired shot: resolves its hit with a damage drawn between the two values, and is then
    // either flying (tracer) or already inactive.
    Bullet(const Vector3& origin, const Vector3& direction, float range, Character* shooter, float minimumDamage,
           float maximumDamage, bool tracer);
    ~Bullet() override = default;

    void UpdateTransform(float elapsed) override;
    virtual bool Draw(Device* device);
    virtual void Save(SaveStream* stream);
    virtual void Load(SaveStream* stream);
    virtual int GetType() { return typeCode; }
    virtual bool IsActive() { return active; }

    // Effects, decal, sound and damage of a hit on the world; a see-through crossing (real hit
    // false) shows its effect without sound or decal.
    static void HitSurface(const PickResult& result, int damage, Character* shooter, bool realHit);
    // Damage by region, the hit or death reaction, the counters and the effects on the body.
    void HitCharacter(Character* victim, int damage, const HitResult& hit, const Vector3& rayDirection,
                      Character* shooter, int squadIndex);

    std::uint32_t colour = 0;
    Vector3 start;
    Vector3 direction;
    float travelled = 0.0f;
    float maxDistance = 0.0f;
    bool active = true;
    std::int32_t typeCode = NotSaved;
    std::uint16_t weaponID = 0xFFFF;
    // The damage drawn for this shot (kept for tests and the bench).
    int damage = 0;
};

// The see-through record every pick with the bullet filter shares: the current ray, the last
// see-through distance accepted and the candidates met since.
struct SeeThroughRecord {
    struct Candidate {
        D3DPrim* prim = nullptr;
        float distance = 0.0f;
    };
    Vector3 origin;
    Vector3 direction;
    float lastDistance = 0.0f;
    std::array<Candidate, Bullet::kMaxSeeThrough> candidates{};
    int count = 0;

    // A new pick along the ray: no candidates, nothing passed yet; returns the ray record for it.
    HitResult Begin(const Vector3& rayOrigin, const Vector3& rayDirection);
};
SeeThroughRecord& GetSeeThroughRecord();

// The per-triangle filter of bullet picks: opaque triangles stop the shot; blended ones show
// their "hiteffect" and stop it only with "solidalpha" (as a candidate of the see-through loop).
bool BulletPickFilter(D3DPrim* prim, HitResult& hit, int* index0, int* index1, int* index2);

// A hit effect (null: only the sound) and its smoke at the point, facing along the normal, and
// the bullet-hit sound of the kind (-1 none). Nothing when there is no floor below the point.
void SpawnBulletHitEffect(const char* effect, int soundKind, const Vector3& point, const Vector3& normal);

// The value of a texture's effect line ("hiteffect particles.par" gives "particles.par"); false
// when the material has no stage-0 texture or no such line.
bool GetSurfaceKeyword(Material* material, const char* keyword, char* value, std::size_t size);
