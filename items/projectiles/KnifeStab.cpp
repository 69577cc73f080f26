#include "items/projectiles/KnifeStab.h"

#include "characters/objects/CarriedItem.h"
#include "characters/body/Character.h"
#include "characters/level/LevelScene.h"
#include "characters/level/RunningLevel.h"
#include "engine/core/RandomMT.h"
#include "items/ItemServices.h"

namespace {

constexpr float kConeCosine = 0.87f;
constexpr int kKnifeMasterySkill = 5;

} // namespace

KnifeStab::KnifeStab(const Vector3& stabStart, const Vector3& stabDirection, float reach, Character* attacker,
                     float low, float high)
{
    active = false;
    start = stabStart;
    direction = stabDirection;
    if (!attacker)
        return;
    const CarriedItem* held = attacker->GetHeldItem();
    weaponID = held && held->HasID() ? held->GetStoredID() : 0xFFFF;
    attackerID = std::uint16_t(attacker->GetID());
    if (attacker->kind == Character::SquadKind)
        squadIndex = ItemsLocalSquadIndex(attacker);
    ItemsCount(4, squadIndex);

    Vector3 facing(attacker->rotation.m[6], 0.0f, attacker->rotation.m[8]);
    facing.Normalize();
    float limit = reach * reach;
    ItemServices& services = LevelItemServices();
    if (squadIndex >= 0 && services.HasSkillMastery(squadIndex, kKnifeMasterySkill))
        limit += 4.0f;
    const int lowDamage = int(low);
    const int highDamage = int(high);
    // The list may change while victims die; walk a copy.
    const std::vector<Character*> everyone = RunningLevel::Scene().Characters();
    for (Character* victim : everyone) {
        if (!victim || victim == attacker || victim->health <= 0)
            continue;
        Vector3 toVictim = victim->position - attacker->position;
        toVictim.y = 0.0f;
        toVictim.Normalize();
        if (toVictim.Dot(facing) < kConeCosine)
            continue;
        if (victim->position.DistanceSquared(attacker->position) > limit)
            continue;
        int damage;
        if (victim->alerted || attacker->posture == Character::Prone) {
            const std::uint32_t draw = randomMT();
            // An empty range still draws, so the shared generator stays in step, and gives low.
            damage = highDamage > lowDamage ? int(draw % std::uint32_t(highDamage - lowDamage)) + lowDamage : lowDamage;
        } else {
            damage = 1000;
            ItemsCount(5, squadIndex);
        }
        HitResult hit;
        hit.Clear();
        hit.hitPoint = victim->position + Vector3(0, 3, 0);
        hit.distance = 0.0f;
        Vector3 back = attacker->position - victim->position;
        back.Normalize();
        hit.normal = back;
        victim->lastHitBone = -1;
        HitCharacter(victim, damage, hit, back, attacker, squadIndex);
        ++victims;
    }
}
