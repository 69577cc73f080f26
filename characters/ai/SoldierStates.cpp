// The behaviours of the soldier's states: each runs once per frame while its state is current,
// moves the phase from entering to running, and to finished when the state is done.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "characters/ai/AIMissionServices.h"
#include "characters/ai/AILevelView.h"
#include "characters/ai/AIStats.h"
#include "characters/body/AnimationSets.h"
#include "characters/objects/CarriedItem.h"
#include "characters/ai/Formation.h"
#include "characters/level/LevelScene.h"
#include "characters/level/RunningLevel.h"
#include "characters/ai/Soldier.h"
#include "characters/ai/WaypointGraph.h"
#include "characters/level/WeaponQueries.h"

namespace {

float FlatDistanceSquared(const Vector3& a, const Vector3& b)
{
    const float dx = a.x - b.x;
    const float dz = a.z - b.z;
    return dx * dx + dz * dz;
}

bool IsLivingCharacter(Character* c) { return c && c->health > 0; }

} // namespace

// --- shared pieces ---

bool Soldier::TargetInRange()
{
    return target.target && GetWeaponRangeSquared() > target.distanceSquared;
}

void Soldier::EnterFiring()
{
    const bool automatic = WeaponIsAutomatic(heldItem);
    const bool longBurst = (state == StateBurstAttack || state == StateFadeAttack) && !automatic;
    const float r = Draw();
    timerA = longBurst ? 1.5f + 2.0f * r : 1.0f + 0.5f * r;
    timerB = WeaponHasScope(heldItem) ? GetAimDelay() : 0.7f + 0.2f * Draw();
}

void Soldier::Fire(float elapsed)
{
    if (!TargetInRange())
        return;
    if (WeaponIsAutomatic(heldItem)) {
        if (timerA > 0.0f) {
            UseHeldItem(false);
            timerA -= elapsed;
            if (timerA <= 0.0f) {
                timerA = 0.0f;
                StopUsingHeldItem();
            }
            return;
        }
        timerB -= elapsed;
        if (timerB <= 0.0f) {
            timerA = 1.0f + 0.5f * Draw();
            timerB = 0.7f + 0.2f * Draw();
        }
        return;
    }
    RequestAnimationReset();
    timerB -= elapsed;
    if (timerB <= 0.0f) {
        UseHeldItem(false);
        StopUsingHeldItem();
        timerB = WeaponHasScope(heldItem) ? GetAimDelay() : 0.7f + 0.2f * Draw();
    }
}

void Soldier::AimAtTarget()
{
    if (!target.target)
        return;
    Vector3 point;
    target.target->GetAimPoint(1, &point);
    FacePoint(point);
}

void Soldier::SeekTarget()
{
    if (target.target)
        steering.Seek(target.target->position, target.target->rotation, 0.0f);
}

void Soldier::CountDown(float elapsed)
{
    if (timeLeft == kNoLimit)
        return;
    timeLeft -= elapsed;
    if (timeLeft <= 0.0f) {
        timeLeft = 0.0f;
        Finish();
    }
}

void Soldier::Chase(float elapsed)
{
    GameObject* chased = target.target;
    if (!chased)
        return;
    SeekTarget();
    Go(true);
    if (target.replan || chased->position.DistanceSquared(target.lastSeen) > 1600.0f) {
        behaviourFlag = PlanRouteTo(chased->position, nullptr) ? 1 : 0;
        target.lastSeen = chased->position;
        target.replan = 0;
    }
    if (pathFollower.endFlag)
        return;
    if (pathFollower.HasReachedEnd(position)) {
        StandAndHoldFirstItem();
        return;
    }
    AlignToPath();
    FollowRoute(elapsed);
}

void Soldier::Go(bool run)
{
    StartAction(run ? 3 : 1, false);
    SetForwardSpeed(run ? 3 : 1);
}

void Soldier::Stop()
{
    StartAction(0, false);
    moveInput = Vector3();
}

// --- the states ---

void Soldier::UpdateAttack(float elapsed)
{
    if (phase == Entering) {
        EnterFiring();
        phase = Running;
    }
    RequestAnimationReset();
    if (TargetInRange()) {
        aiming = 0;
        StartAction(0, false);
        AimAtTarget();
        Fire(elapsed);
        return;
    }
    SeekTarget();
    aiming = 1;
    StopUsingHeldItem();
    Chase(elapsed);
}

void Soldier::UpdateBurstAttack(float elapsed)
{
    if (phase == Entering) {
        EnterFiring();
        phase = Running;
    }
    const bool inRange = TargetInRange();
    const bool strikeAnimation = previousAction == 18;
    if (timerA > 0.0f && !WeaponIsReloading(heldItem) && inRange) {
        aiming = 0;
        StartAction(0, false);
        AimAtTarget();
        Fire(elapsed);
        if (!WeaponIsAutomatic(heldItem))
            timerA -= elapsed;
        if (timerA <= 0.0f || strikeAnimation) {
            // The burst is over: move aside (or ahead when far) before the next one.
            timerA = 0.0f;
            target.replan = 1;
            StopUsingHeldItem();
            const float r = Draw();
            const float d = posture == Prone ? 5.0f + 15.0f * r : 15.0f + 20.0f * r;
            int choice = 2;
            const float rangeSquared = GetWeaponRangeSquared();
            if (target.distanceSquared < 2500.0f)
                choice = int(DrawInteger() % 2);
            else if (rangeSquared * 0.81f > target.distanceSquared)
                choice = int(DrawInteger() % 3);
            const Vector3 side(rotation.m[0], rotation.m[1], rotation.m[2]);
            const Vector3 ahead(rotation.m[6], rotation.m[7], rotation.m[8]);
            const Vector3 offset = choice == 0 ? side * -d : choice == 1 ? side * d : ahead * d;
            behaviourFlag = PlanRouteTo(position + offset, nullptr) ? 1 : 0;
        }
        return;
    }
    SeekTarget();
    StopUsingHeldItem();
    Stop();
    if (!inRange && target.target && target.replan) {
        behaviourFlag = PlanRouteTo(target.target->position, nullptr) ? 1 : 0;
        target.lastSeen = target.target->position;
        target.replan = 0;
        EnterFiring();
    }
    if (IsFollowingRoute() && pathFollower.nextNode) {
        Go(true);
        if (pathFollower.HasReachedEnd(position)) {
            EnterFiring();
            return;
        }
        AlignToPath();
        FollowRoute(elapsed);
    } else if (timerA <= 0.0f && inRange) {
        // No route to move along (none found, or no graph): the next burst starts where it stands.
        EnterFiring();
    }
}

void Soldier::UpdateChargeAttack(float elapsed)
{
    if (phase == Entering) {
        SetPosture(Standing);
        EnterFiring();
        phase = Running;
    }
    RequestAnimationReset();
    const bool melee = WeaponIsMelee(heldItem);
    if (TargetInRange()) {
        if (melee) {
            UseHeldItem(false);
            StartAction(0, false);
            aiming = 0;
            return;
        }
        AimAtTarget();
        Fire(elapsed);
    } else if (melee) {
        if (target.distanceSquared < 22500.0f)
            UseHeldItem(false);
        else
            StopUsingHeldItem();
    }
    SeekTarget();
    aiming = 1;
    Chase(elapsed);
}

void Soldier::UpdateCower(float elapsed)
{
    if (phase == Entering) {
        SelectItem(nullptr);
        phase = Running;
    }
    StartAction(34, false);
    if (timeLeft != kNoLimit)
        timeLeft = std::max(timeLeft - elapsed, 0.0f);
    if (timeLeft > 0.0f || timeLeft == kNoLimit)
        return;
    if (const std::vector<Character*>* squad = RunningLevel::AI().CurrentSquad()) {
        for (Character* member : *squad) {
            if (IsLivingCharacter(member) && member->position.DistanceSquared(position) < 22500.0f) {
                timeLeft = 180.0f;
                StartAction(34, false);
                return;
            }
        }
    }
    SelectDefaultItem();
    Finish();
}

void Soldier::UpdateFadeAttack(float elapsed)
{
    if (phase == Entering) {
        EnterFiring();
        target.lastSeen = Vector3();
        target.replan = 1;
        phase = Running;
    }
    if (!target.target || !TargetInRange()) {
        SeekTarget();
        StartAction(0, false);
        return;
    }
    if (timerA <= 0.0f) {
        StopUsingHeldItem();
        Go(true);
        if (IsFollowingRoute() && pathFollower.nextNode && !pathFollower.HasReachedEnd(position)) {
            AlignToPath();
            FollowRoute(elapsed);
        } else {
            const float r = Draw();
            timerA = WeaponIsAutomatic(heldItem) ? 1.0f + 0.5f * r : 1.5f + 2.0f * r;
        }
        return;
    }
    if (WeaponIsReloading(heldItem))
        return;
    Stop();
    AimAtTarget();
    Vector3 toTarget = target.target->position - position;
    toTarget.y = 0.0f;
    toTarget.Normalize();
    Vector3 facing(rotation.m[6], 0.0f, rotation.m[8]);
    facing.Normalize();
    if (facing.Dot(toTarget) < 0.98f)
        return;
    if (target.rating < 10000.0f) {
        Finish();
        return;
    }
    Fire(elapsed);
    if (!WeaponIsAutomatic(heldItem))
        timerA -= elapsed;
    if (timerA <= 0.0f || previousAction == 18) {
        timerA = 0.0f;
        const float back = 30.0f + 20.0f * Draw();
        behaviourFlag = PlanRouteTo(position - facing * back, nullptr) ? 1 : 0;
    }
}

void Soldier::UpdateFollow(float elapsed) { FollowGoal(elapsed, false); }

void Soldier::UpdateFollowSquad(float elapsed) { FollowGoal(elapsed, true); }

void Soldier::FollowGoal(float elapsed, bool squad)
{
    if (phase == Entering) {
        timerA = timerB = 0.0f;
        followSlack = 3.0f * Draw();
        phase = Running;
    }
    Formation* formation = formationLink ? formationLink->formation : nullptr;
    Character* leader = GetFormationLeader();
    if (!formation || !leader || leader == this || IsRiding())
        return;
    SetPosture(leader->posture);
    followDelay -= elapsed;
    const float slackReach = followSlack + 5.0f;
    Vector3 goal = goalPosition;
    if (formation->movedSquared > slackReach * slackReach) {
        formation->holdPositions = 0;
        Formation::GetSlotPosition(goal, leader->position,
                                   followDelay >= 0.0f ? formation->previousOrientation : formation->orientation,
                                   formationLink);
    } else if (!formation->holdPositions &&
               (!RunningLevel::Scene().IsNetworkGame() || kind != SquadKind || reanchor ||
                (RunningLevel::AI().CurrentSquad() &&
                 std::find(RunningLevel::AI().CurrentSquad()->begin(), RunningLevel::AI().CurrentSquad()->end(), this) !=
                     RunningLevel::AI().CurrentSquad()->end()))) {
        Formation::GetSlotPosition(goal, formation->anchor, formation->orientation, formationLink);
        const Vector3 ahead(formation->orientation.m[6], formation->orientation.m[7], formation->orientation.m[8]);
        goal = goal + ahead * followSlack;
        reanchor = 0;
    }
    goalPosition = goal;

    const WaypointGraph* graph = RunningLevel::AI().Waypoints();
    if (squad) {
        if (!graph) {
            behaviourFlag = 1;
            return;
        }
        goalNode = graph->FindNearestNode(goal.x, goal.y + 1.0f, goal.z);
        const float newPath = MissionAIStat("newpathdist", 20.0f);
        if (destination.replan || goal.DistanceSquared(destination.lastGoal) > newPath * newPath) {
            bool failed = goalNode ? PlanRouteToNode(goalNode, nullptr) : true;
            if (failed || routePath->GetCount() > 7) {
                failed = PlanRouteTo(leader->position, nullptr);
                followOwnLeader = 1;
            }
            behaviourFlag = failed ? 1 : 0;
            destination.lastGoal = goal;
            destination.replan = 0;
        }
    } else {
        const float moved = goal.DistanceSquared(destination.lastGoal);
        if ((destination.replan && moved > 2500.0f) || moved > 1600.0f || (destination.replan && routePath->IsEmpty())) {
            behaviourFlag = PlanRouteTo(goal, nullptr) ? 1 : 0;
            destination.lastGoal = goal;
            destination.replan = 0;
        }
    }

    const Vector3 centre = squad && goalNode ? goalNode->centre : goal;
    const float flat = FlatDistanceSquared(position, centre);
    const bool arrived = squad && goalNode ? flat <= goalNode->radius * goalNode->radius : flat < 9.0f;
    const bool leaderMoving = leader->velocity.LengthSquared() > 0.001f;
    if (arrived) {
        pathFollower.Start(routePath);
        SeekTarget();
        destination.destination = Vector3();
        Stop();
        if (squad && leaderMoving)
            followOwnLeader = 0;
        return;
    }
    if (flat < 121.0f) {
        if (leaderMoving) {
            rotation = leader->rotation;
            if (leader->running) {
                Go(true);
            } else {
                Go(false);
            }
        } else {
            Go(false);
        }
    } else {
        Go(true);
    }
    if (reformFlag) {
        reformFlag = 0;
        timerA = 0.0f;
    } else if (velocity.LengthSquared() < 0.25f * moveInput.LengthSquared()) {
        timerA += elapsed;
        if (timerA > 0.5f) {
            SeekTarget();
            Stop();
            return;
        }
    } else {
        timerA = 0.0f;
    }
    if (routePath->IsEmpty())
        steering.Seek(goal, leader->rotation, 0.0f);
    else
        FollowRoute(elapsed);
}

void Soldier::UpdateIdle(float elapsed)
{
    phase = Running;
    StartAction(0, false);
    if (swimming)
        SeekTarget();
    CountDown(elapsed);
}

void Soldier::UpdateLookAround(float elapsed)
{
    const bool quiet = kind == SquadKind || (heldItem && std::strcmp(heldItem->name, "Dog Bite") == 0);
    if (phase == Entering) {
        if (!quiet && ((heldItem && heldItem->IsInUse()) || WeaponIsReloading(heldItem) || actionLocked))
            return;
        SetPosture(Standing);
        if (!actionLocked && !quiet)
            StartAction(41, false);
        phase = Running;
    }
    StartAction(quiet ? 0 : 41, false);
    SeekTarget();
    CountDown(elapsed);
}

void Soldier::UpdateMoveToDestination(float elapsed)
{
    if (phase == Entering) {
        if (actionLocked)
            return;
        if (!StartRoute(destination.destination, destination.lastGoal, destination.replan))
            return;
    }
    if (phase == Finished)
        return;
    float radius = 0.0f;
    const bool onLast = pathFollower.nextNode && !pathFollower.nextNode->next;
    if (onLast && kind == SquadKind) {
        radius = 10.0f * float(CountArrivedSquadmates());
        AppendDebug("radius | %f\n", double(radius));
    }
    const bool atEnd = !pathFollower.nextNode || pathFollower.HasReachedEnd(position);
    const bool inside = onLast && radius > 0.0f &&
                        FlatDistanceSquared(position, PathPosition(pathFollower.nextNode)) <= radius * radius;
    if (!atEnd && !inside) {
        FollowRoute(elapsed);
        Go(destination.run != 0);
        return;
    }
    pathFollower.endFlag = 1;
    Stop();
    Finish();
}

bool Soldier::StartRoute(const Vector3& goal, Vector3& planned, std::uint8_t& replan)
{
    if (replan || goal.DistanceSquared(planned) > 625.0f) {
        behaviourFlag = PlanRouteTo(goal, nullptr) ? 1 : 0;
        planned = goal;
        replan = 0;
    }
    phase = Running;
    if (routePath->GetCount() == 1) {
        Finish();
        return false;
    }
    return true;
}

void Soldier::UpdateMoveToTarget(float elapsed)
{
    GameObject* chased = target.target;
    if (phase == Entering) {
        if (actionLocked || !chased)
            return;
        if (!StartRoute(chased->position, target.lastSeen, target.replan))
            return;
    }
    if (phase == Finished)
        return;
    if (target.distanceSquared > 40000.0f)
        SetPosture(Standing);
    else if (target.distanceSquared > 2500.0f)
        SetPosture(Crouching);
    if (!pathFollower.nextNode || pathFollower.HasReachedEnd(position)) {
        Stop();
        Finish();
        return;
    }
    FollowRoute(elapsed);
    if (target.hostile) {
        Go(true);
    } else {
        Go(false);
    }
}

void Soldier::UpdatePatrol(float elapsed)
{
    phase = Running;
    FollowPatrol(elapsed);
    if (waitTimer > 0.0f || !pathFollower.nextNode) {
        Stop();
    } else if (roles & RunPatrol) {
        Go(true);
    } else {
        Go(false);
    }
}

void Soldier::UpdateResumePatrol(float elapsed)
{
    if (phase == Entering) {
        if (target.replan) {
            DropTarget();
            PtrListNode* nearest = FindNearestPathNode(patrolPath, position);
            if (!nearest) {
                Finish();
                return;
            }
            target.lastSeen = PathPosition(nearest);
            behaviourFlag = PlanRouteTo(target.lastSeen, nullptr) ? 1 : 0;
            target.replan = 0;
        }
        phase = Running;
    }
    if (phase == Finished)
        return;
    Go(false);
    if (pathFollower.endFlag || !pathFollower.nextNode) {
        const Vector3 rejoin = target.lastSeen;
        steering.Seek(rejoin, kIdentityMatrix3, 0.0f);
        // Passed: the soldier stands beyond the waypoint as seen from the route point before it.
        const PtrListNode* before = routePath->GetTail() ? routePath->GetTail()->prev : nullptr;
        const bool passed = before ? (PathPosition(before) - rejoin).Dot(position - rejoin) < 0.0f
                                   : FlatDistanceSquared(position, rejoin) < 9.0f;
        if (passed) {
            Finish();
            DropTarget();
            PtrListNode* nearest = FindNearestPathNode(patrolPath, rejoin);
            pathFollower.Start(patrolPath);
            if (nearest) {
                pathFollower.currentNode = nearest;
                pathFollower.nextNode = nearest->next ? nearest->next : patrolPath->GetHead();
                if (pathFollower.nextNode == pathFollower.currentNode)
                    pathFollower.currentNode = pathFollower.nextNode = nullptr;
                pathFollower.UpdateSegmentLength();
            }
        }
        return;
    }
    if (!pathFollower.HasReachedEnd(position))
        FollowRoute(elapsed);
}

void Soldier::UpdateStationaryAttack(float elapsed)
{
    if (phase == Entering) {
        EnterFiring();
        phase = Running;
    }
    Stop();
    if (!target.target)
        return;
    AimAtTarget();
    RequestAnimationReset();
    Fire(elapsed);
}

void Soldier::UpdateUse(float elapsed)
{
    GameObject* used = target.target;
    if (!used)
        return;
    constexpr int kAlarmType = 5;
    if (phase == Entering) {
        SetPosture(Standing);
        if (actionLocked)
            return;
        const int set = RunningLevel::Animations().DefaultAnimationSet();
        if (set >= 0 && set != GetAnimationSet())
            SetAnimationSet(set);
        if (used->objectType == kAlarmType)
            StartAction(43, false);
        phase = Running;
    }
    SeekTarget();
    const bool pulling = previousAction == 43;
    if (!(pulling && !actionLocked)) {
        StartAction(used->objectType == kAlarmType ? 43 : 33, false);
        if (timeLeft != kNoLimit)
            timeLeft -= elapsed;
    }
    if (pulling || (timeLeft != kNoLimit && timeLeft <= 0.0f)) {
        timeLeft = std::max(timeLeft, 0.0f);
        SelectItem(nullptr);
        SelectDefaultItem();
        Finish();
    }
}

void Soldier::UpdateVehicleAttack(float elapsed)
{
    (void)elapsed;
    phase = Running;
    if (!target.target || !HoldsVehicle())
        return;
    UseHeldItem(false);
    AimVehicleAt(heldItem, target.target->position);
}

void Soldier::UpdateVehiclePatrol(float elapsed)
{
    phase = Running;
    FollowPatrol(elapsed);
}

void Soldier::UpdateZeroIn(float elapsed)
{
    const bool quiet = kind == SquadKind || (heldItem && std::strcmp(heldItem->name, "Dog Bite") == 0);
    const bool close = target.distanceSquared < 2500.0f && posture == Standing;
    if (phase == Entering) {
        if (!quiet && ((heldItem && heldItem->IsInUse()) || WeaponIsReloading(heldItem)))
            return;
        if (close) {
            StartAction(40, false);
            timeLeft = 0.8f;
        } else {
            if (posture == Prone)
                SetPosture(Crouching);
            const bool scoped = WeaponHasScope(heldItem);
            float factor = 3.0f;
            switch (MissionDifficulty()) {
            case 0: factor = scoped ? 8.0f : 4.0f; break;
            case 1: factor = scoped ? 6.0f : 3.0f; break;
            case 2: factor = scoped ? 4.0f : 2.0f; break;
            default: break;
            }
            const float range = sensor.sightRange;
            timeLeft = range > 0.0f ? std::sqrt(std::max(target.distanceSquared, 0.0f)) * factor / range : 0.0f;
            StartAction(42, false);
        }
        phase = Running;
    }
    StartAction(quiet ? 0 : (close ? 40 : 42), false);
    SeekTarget();
    CountDown(elapsed);
}
