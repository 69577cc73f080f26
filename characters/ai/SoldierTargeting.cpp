// How a soldier is perceived, how it rates and keeps a target, calls comrades, chooses a fighting
// posture and leads a formation.
#include <algorithm>
#include <cmath>

#include "characters/ai/AIMissionServices.h"
#include "characters/ai/AILevelView.h"
#include "characters/objects/CarriedItem.h"
#include "characters/ai/Formation.h"
#include "characters/level/LevelScene.h"
#include "characters/level/RunningLevel.h"
#include "characters/ai/Soldier.h"
#include "characters/level/WeaponQueries.h"

namespace {

constexpr int kInfiltration = 8;
constexpr int kMissionEventType = 4;

// Whether the line between two points is clear of the world (vehicles handled by the mission).
bool LineIsClear(const Vector3& from, const Vector3& to, Character* a, Character* b)
{
    HitResult ray;
    ray.Clear();
    ray.origin = from;
    Vector3 direction = to - from;
    const float length = direction.Length();
    if (!(length > 0.0f))
        return true;
    ray.direction = direction.Normalize();
    // A hit beyond the segment leaves the line clear, so the pick need not look past its end.
    const float limit = std::min(RunningLevel::AI().CameraFar(), length);
    const bool hit = RunningLevel::AI().PickLine(ray, limit, nullptr, a, b);
    return !hit || ray.distance > length;
}

} // namespace

void Soldier::UpdateStimuli()
{
    GetHeadPosition(&eyePosition);
    visibility = noise = size = 0.0f;
    const float k = GetSkill(kInfiltration);
    const int members = GetFormationSize();
    if (!IsRiding()) {
        const char* key = "maxrecogdistday";
        switch (RunningLevel::AI().LightingCondition()) {
        case 1: case 4: key = "maxrecogdistnight"; break;
        case 2: case 3: key = "maxrecogdistdawnduskovercast"; break;
        default: break;
        }
        const float m = MissionAIStat(key, 300.0f);
        float d = m - 25.0f * float(posture);
        if (d >= 400.0f)
            d = 399.0f;
        const float floor = 120.0f + 25.0f * float(2 - posture);
        if (d < floor)
            d = floor;
        visibility = 100.0f * d / (400.0f - d);
    }
    // The formation shares its members' visibility and noise; the held item's values come on top.
    if (members > 1)
        visibility /= float(members);
    if (heldItem)
        visibility += float(heldItem->visibility);
    if (!IsRiding()) {
        if (velocity.LengthSquared() > 0.01f) {
            noise = 10.0f * float(3 - posture);
            if (running)
                noise += 20.0f;
        }
        if (IsPlayingSound())
            noise += 40.0f;
        noise = (2.0f - k) * noise;
        if (members > 1)
            noise /= float(members);
    }
    if (heldItem) {
        noise += float(heldItem->noiseLevel);
        size = 20.0f + float(heldItem->size);
    } else {
        size = 20.0f;
    }
}

float Soldier::GetTargetRating(GameObject* observerObject, const Stimulus* stimulus, float distanceSquared)
{
    auto* observer = dynamic_cast<Soldier*>(observerObject);
    if (!observer || !stimulus)
        return 0.0f;
    const bool inTank = HoldsVehicle() && VehicleTypeOf(heldItem) == 1;
    if ((inTank && observer->kind == SquadKind) ||
        (observer->kind == EnemyKind && !WeaponIsAntiTank(observer->heldItem) && inTank))
        return 0.0f;
    float r = stimulus->sight + stimulus->third + stimulus->sound;
    if (stimulus->sight > 0.0f)
        r += 50.0f;
    const bool current = observer->target.target == this;
    if (stimulus->sight <= stimulus->distancePercent) {
        const bool keep = current && observer->target.rating > 5000.0f &&
                          (stimulus->sight > 0.0f || (observer->state == StateFadeAttack && observer->phase == Running));
        if (!keep)
            return r;
    }
    r += 5000.0f;
    bool blockedByFriend = false;
    if (observer->kind == SquadKind) {
        for (const std::vector<Character*>& squad : RunningLevel::AI().Squads()) {
            if (std::find(squad.begin(), squad.end(), observer) == squad.end())
                continue;
            const Vector3 forward(observer->world.m[8], observer->world.m[9], observer->world.m[10]);
            for (Character* member : squad) {
                if (!member || member == observer || member->GetID() == observer->GetID())
                    continue;
                float t = 0.0f;
                if (RayCylinderIntersect(observer->position, forward, member->position, 2.0f, &t)) {
                    blockedByFriend = true;
                    break;
                }
            }
            break;
        }
    }
    if (!blockedByFriend) {
        Vector3 aimFrom;
        GetAimPoint(0, &aimFrom);
        Vector3 head;
        observer->GetHeadPosition(&head);
        if (observer->posture != Prone)
            head.y -= 1.0f;
        if (LineIsClear(aimFrom, head, this, observer))
            r += 10000.0f;
    }
    r += 1000.0f;
    if (heldItem)
        r += heldItem->GetTargetRating(observer, stimulus, distanceSquared);
    return r - float(health) - 100.0f * float(targetedByCount - (current ? 1 : 0));
}

void Soldier::ConsiderTarget(GameObject* candidate, const Stimulus& stimulus, float distanceSquared)
{
    if (!candidate || candidate == this)
        return;
    const float x = candidate->GetTargetRating(this, &stimulus, distanceSquared);
    if (candidate == target.target) {
        target.rating = x;
        target.sightStimulus = stimulus.sight;
        target.distanceSquared = distanceSquared;
    } else if (x > target.rating) {
        target.Clear();
        target.target = candidate;
        target.id = candidate->GetID();
        ++candidate->targetedByCount;
        target.sightStimulus = stimulus.sight;
        target.rating = x;
        target.distanceSquared = distanceSquared;
    } else {
        return;
    }
    bool firing = false;
    if (candidate->objectType == CharacterType) {
        auto* person = dynamic_cast<Character*>(candidate);
        CarriedItem* held = person ? person->GetHeldItem() : nullptr;
        firing = held && held->category == CarriedItem::Weapon && held->IsInUse();
    }
    if (target.rating > 100.0f || candidate->objectType == kMissionEventType || firing)
        target.hostile = 1;
}

void Soldier::SetTarget(GameObject* newTarget, float rating, bool hostile)
{
    target.Clear();
    if (!newTarget)
        return;
    target.target = newTarget;
    target.id = newTarget->GetID();
    ++newTarget->targetedByCount;
    target.rating = rating;
    target.hostile = hostile ? 1 : 0;
    target.distanceSquared = position.DistanceSquared(newTarget->position);
    target.sightStimulus = 0.0f;
}

void Soldier::AlertNearby(int characterKind, float radius, GameObject* alertTarget)
{
    if (roles & Inactive)
        return;
    for (Character* other : RunningLevel::Scene().Characters()) {
        auto* comrade = dynamic_cast<Soldier*>(other);
        if (!comrade || comrade == this || comrade->kind != characterKind || comrade->alerted)
            continue;
        if (comrade->position.DistanceSquared(position) > radius * radius)
            continue;
        comrade->alerted = true;
        comrade->SetTarget(alertTarget, 1000.0f, true);
        comrade->SetState(StateLookAround, 5.0f);
    }
}

bool Soldier::HearsGunfire()
{
    for (const std::vector<Character*>& squad : RunningLevel::AI().Squads()) {
        for (Character* member : squad) {
            if (!member || member->GetController() == 2)
                continue;
            CarriedItem* held = member->GetHeldItem();
            if (held && held->category == CarriedItem::Weapon && held->IsInUse() &&
                member->position.DistanceSquared(position) < 160000.0f)
                return true;
            break;
        }
    }
    return shotAt != 0;
}

void Soldier::ChooseAttackPosture()
{
    if ((target.target && target.distanceSquared < 900.0f) || state == StateChargeAttack || WeaponIsMelee(heldItem))
        return;
    auto* person = target.target && target.target->objectType == CharacterType
                       ? dynamic_cast<Character*>(target.target)
                       : nullptr;
    if (!person) {
        const float d = target.target ? target.distanceSquared : 0.0f;
        SetPosture(d < 10000.0f ? Prone : d < 40000.0f ? Crouching : Standing);
        return;
    }
    Vector3 aim;
    person->GetHeadPosition(&aim);
    if (person->posture != Prone)
        aim.y -= 1.0f;
    float tile = 0.0f;
    int start = 2;
    if (WeaponIsAutoRifle(heldItem) || (state == StateFadeAttack && target.distanceSquared < 22500.0f) ||
        (RunningLevel::AI().TilePropertyValue(position, &tile) && tile > 0.0f))
        start = 4;
    for (int h = start; h <= 6; h += 2) {
        if (LineIsClear(position + Vector3(0.0f, float(h), 0.0f), aim, this, person)) {
            SetPosture(h == 2 ? Prone : h == 4 ? Crouching : Standing);
            return;
        }
    }
}

void Soldier::UpdateFormationLeader()
{
    if (!LeadsFormation())
        return;
    Formation* formation = formationLink->formation;
    auto forEachMember = [&](auto&& action) {
        for (FormationMember* member : formation->members) {
            if (auto* soldier = dynamic_cast<Soldier*>(member->character))
                action(*soldier);
        }
    };
    if (velocity.LengthSquared() <= 0.001f) {
        if (position.DistanceSquared(formation->anchor) > 25.0f) {
            formation->anchor = position;
            formation->movedSquared = 0.0f;
            forEachMember([&](Soldier& s) {
                s.followSlack = 3.0f * Draw();
                s.reanchor = 1;
            });
        }
        return;
    }
    const bool wasWithin = formation->movedSquared <= 25.0f;
    formation->movedSquared = position.DistanceSquared(formation->anchor);
    if (formation->movedSquared > 25.0f) {
        const Vector3 anchored(formation->orientation.m[6], formation->orientation.m[7], formation->orientation.m[8]);
        const Vector3 facing(rotation.m[6], rotation.m[7], rotation.m[8]);
        if (anchored.Dot(facing) < 0.9f) {
            formation->previousOrientation = formation->orientation;
            formation->orientation = rotation;
            forEachMember([&](Soldier& s) {
                if (s.state == StateFollow)
                    s.followDelay = 1.5f * Draw();
            });
        }
        if (wasWithin)
            forEachMember([&](Soldier& s) { s.reformFlag = 1; });
    }
    if (RunningLevel::AI().IsDebugDraw())
        PlaceFormationMarkers();
}
