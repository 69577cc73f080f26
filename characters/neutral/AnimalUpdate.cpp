// The dog's frame: distances, height, sensing, the bark and first contact, the choice of state,
// the soldier's state step and the dead body; and its charge: run at the target and bite.
#include <algorithm>

#include "characters/ai/AILevelView.h"
#include "characters/ai/AIMissionServices.h"
#include "characters/body/AnimationController.h"
#include "characters/enemy/EnemyAlarm.h"
#include "characters/enemy/EnemyEvents.h"
#include "characters/enemy/EnemyMissionServices.h"
#include "characters/level/LevelScene.h"
#include "characters/level/NetworkSession.h"
#include "characters/level/RunningLevel.h"
#include "characters/level/WeaponQueries.h"
#include "characters/neutral/Animal.h"
#include "characters/objects/CarriedItem.h"
#include "characters/player/Player.h"
#include "engine/animation/AnimatedModel.h"

namespace {

constexpr int kEventType = 4;
constexpr float kClearSight = 10000.0f;
constexpr float kNoticeLevel = 30.0f;
// Within this (squared) distance a charging dog runs straight at its target.
constexpr float kDirectChaseSquared = 1600.0f;

} // namespace

void Animal::UpdateChargeAttack(float elapsed)
{
    if (phase == Entering) {
        if (IsNetworkGameRunning())
            RunningLevel::Network().SyncRandomSeed();
        timerA = 1.0f + 0.5f * Soldier::Draw();
        timerB = WeaponIsAutomatic(heldItem) ? GetAimDelay() : 0.7f + 0.2f * Soldier::Draw();
        phase = Running;
    }
    GameObject* chased = target.target;
    if (!chased)
        return;
    target.distanceSquared = position.DistanceSquared(chased->position);
    const bool bite = WeaponIsMelee(heldItem);
    if (target.distanceSquared < GetWeaponRangeSquared()) {
        Vector3 aim;
        chased->GetAimPoint(0, &aim);
        FacePoint(aim);
        if (bite) {
            UseHeldItem(false);
            StartAction(0, false);
            return;
        }
        RequestAnimationReset();
        timerB -= elapsed;
        if (timerB <= 0.0f) {
            UseHeldItem(false);
            timerB = 0.7f + 0.2f * Soldier::Draw();
        }
    } else if (bite && target.distanceSquared < 22500.0f) {
        UseHeldItem(false);
    } else {
        StopUsingHeldItem();
    }
    // Close by, the route's waypoints would only lead it round about: it runs straight at the
    // target, as at the end of a route.
    if (target.distanceSquared < kDirectChaseSquared || pathFollower.endFlag) {
        SeekTarget();
        Go(true);
        return;
    }
    Chase(elapsed);
}

void Animal::UpdateDistances()
{
    MissionFindNearestSquadMember(position, &squadDistanceSquared);
    const float far = RunningLevel::AI().CameraFar();
    viewDistanceSquared = far * far;
    cameraDistanceSquared = (RunningLevel::Scene().CameraPosition() - position).LengthSquared();
    ChooseLevelOfDetail(cameraDistanceSquared, RunningLevel::Enemies().IsLevelOfDetail());
}

void Animal::UpdateHeight()
{
    SettleHeight(squadDistanceSquared < viewDistanceSquared || IsFollowingRoute());
}

void Animal::Sense()
{
    float strongestSight = 0.0f;
    const bool tank = HoldsVehicle() && VehicleTypeOf(heldItem) == 1;
    if (HoldsVehicle() && !tank)
        senseTimer = 1.0f;
    const bool alarmTargeted = target.target && target.target->objectType == kAlarmObjectType;
    if (!(squadDistanceSquared < viewDistanceSquared) || senseTimer > 0.0f || state == StateCower ||
        stunTime > 0.0f || alarmTargeted) {
        awareness = 0.0f;
        return;
    }
    if (!debugOutput)
        senseTimer = senseInterval;
    Vector3 eye;
    GetHeadPosition(&eye);
    eye.y += 1.0f;
    const bool looking =
        state == StateIdle || state == StateLookAround || state == StatePatrol || state == StateResumePatrol;
    if (!looking && !tank)
        eye = eye - Vector3(rotation(2, 0), rotation(2, 1), rotation(2, 2)) * 3.0f;
    sensor.SetView(eye, rotation);
    const float range = GetWeaponRangeSquared();
    const std::vector<Character*> everyone = RunningLevel::Scene().Characters();
    for (Character* candidate : everyone) {
        if (!candidate || candidate == this || candidate->kind == EnemyKind || candidate->kind == NeutralKind ||
            candidate->health <= 0 || !RunningLevel::Scene().AreHostile(this, candidate) ||
            (candidate->team != 0 && candidate->team == team))
            continue;
        if (Player* soldier = AsPlayer(candidate); soldier && soldier->joinTrigger != -1)
            continue;
        CarriedItem* held = candidate->GetHeldItem();
        const bool inTank = held && held->category == CarriedItem::Vehicle && VehicleTypeOf(held) == 1;
        const float d2 = position.DistanceSquared(candidate->position);
        if ((inTank && candidate == target.target && !WeaponIsAntiTank(heldItem)) ||
            (candidate->IsRiding() && d2 >= range))
            continue;
        StimulusSource record;
        record.position = candidate->eyePosition;
        record.visibility = candidate->visibility;
        record.noise = candidate->noise;
        record.size = candidate->size;
        const float alarmDistance = alarmTarget ? (alarmTarget->position - position).Length() : 0.0f;
        SenseResult result;
        AI::Sense(candidate, record, d2, alarmDistance, result);
        strongestSight = std::max(strongestSight, result.sight);
        if (sensor.soundAccumulator + sensor.thirdAccumulator + strongestSight > kNoticeLevel ||
            candidate == target.target)
            ConsiderTarget(candidate, Stimulus(result), d2);
    }
    awareness = sensor.soundAccumulator + sensor.thirdAccumulator + strongestSight;
    sensor.TakeStimulus();
}

void Animal::Announce()
{
    if (!alerted && awareness > kNoticeLevel && !(stunTime > 0.0f)) {
        alerted = true;
        if (alarmTrigger)
            alarmTrigger();
        if (!IsRiding() && target.target)
            Say(VoiceSets::Notice);
    }
    if (!alerted || !firstContact || !target.target || !(target.rating > 100.0f || target.hostile) || HoldsVehicle())
        return;
    if ((roles & Alarmer) && target.target->objectType != kEventType)
        RunningLevel::Enemies().AddEvent(position, 150.0f, this, 0.5f, false);
    if (!IsRiding())
        Say(VoiceSets::AlertSet);
    firstContact = 0;
}

void Animal::DecideMobile()
{
    const bool alarmTargeted = target.target->objectType == kAlarmObjectType;
    if (swimming) {
        SetState(StateMoveToTarget, kNoLimit);
        if (awareness > kNoticeLevel)
            phase = Entering;
    } else if (alarmTargeted) {
        if (IsFinished(StateMoveToTarget)) {
            SetState(StateUse, 1.0f);
        } else if (IsFinished(StateUse)) {
            TriggerAlarm(target.target, true);
            ClearTarget();
        } else if (state != StateUse) {
            SetState(StateMoveToTarget, kNoLimit);
        }
    } else if (target.rating > kClearSight) {
        if (savedBytes[1]) {
            savedBytes[1] = 0;
            SetState(StateZeroIn, kNoLimit);
        } else if (state != StateZeroIn || IsFinished(StateZeroIn)) {
            SetState(StateChargeAttack, kNoLimit);
        }
    } else if (awareness > kNoticeLevel) {
        SetState(StateMoveToTarget, kNoLimit);
        phase = Entering;
    } else if (IsFinished(StateMoveToTarget)) {
        SetState(StateLookAround, 5.0f);
    } else if (IsFinished(StateLookAround)) {
        Say(VoiceSets::EndSearch);
        ClearTarget();
    } else if (state == StateAttack || state == StateBurstAttack || state == StateChargeAttack ||
               IsFinished(StateFadeAttack) || IsFinished(StateZeroIn)) {
        SetState(StateMoveToTarget, kNoLimit);
    }
}

void Animal::Decide()
{
    if (stunTime > 0.0f) {
        target.Clear();
        SetState(StateIdle, kNoLimit);
        return;
    }
    if (alerted && target.target && heldItem) {
        if (squadDistanceSquared >= viewDistanceSquared)
            target.distanceSquared = position.DistanceSquared(target.target->position);
        if (HoldsVehicle()) {
            if (target.rating > kClearSight)
                SetState(StateVehicleAttack, kNoLimit);
            else
                ClearTarget();
            return;
        }
        if (roles & Stationary) {
            // A dog on a chain barks and looks about where it stands.
            if (swimming || target.rating <= kClearSight) {
                const bool finished = IsFinished(StateLookAround);
                SetState(StateLookAround, 5.0f);
                if (awareness > kNoticeLevel)
                    timeLeft = 5.0f;
                else if (finished)
                    ClearTarget();
            } else {
                SetState(TargetInRange() ? StateStationaryAttack : StateLookAround, kNoLimit);
            }
        } else {
            DecideMobile();
        }
        if (target.target && target.rating > kClearSight) {
            if (mayAlertComrades && heldItem && heldItem->IsInUse()) {
                AlertNearby(EnemyKind, 100.0f, target.target);
                mayAlertComrades = 0;
            }
            RunningLevel::Enemies().SetLastEnemyInCombat(this, 1.0f);
        }
        if (TargetIsCharacter()) {
            if (auto* victim = dynamic_cast<Soldier*>(target.target)) {
                victim->underAttack = 1;
                if (heldItem && heldItem->IsInUse())
                    victim->shotAt = 1;
            }
        }
        return;
    }
    if (HoldsVehicle()) {
        SetState(StateVehiclePatrol, kNoLimit);
    } else if (state == StateCower && !IsFinished(StateCower)) {
    } else if (formationLink && !LeadsFormation()) {
        SetState(StateFollow, kNoLimit);
    } else if (IsFollowingRoute()) {
        SetState(StateResumePatrol, kNoLimit);
    } else if (!patrolPath || patrolPath->GetCount() < 2 || (roles & (AlarmResponder | StationaryPatrol))) {
        SetState(StateIdle, kNoLimit);
    } else {
        if (LeadsFormation())
            UpdateFormationLeader();
        SetState(StatePatrol, kNoLimit);
    }
}

void Animal::UpdateDead(float elapsed)
{
    const bool dying = RunDeathTimer(elapsed, deathTimer);
    target.Clear();
    StopUsingHeldItem();
    if (dying)
        Character::Update(elapsed);
    else
        LieStill(elapsed);
}

void Animal::Update(float elapsed)
{
    if (roles & Inactive) {
        Character::Update(elapsed);
        return;
    }
    UpdateDistances();
    if (health <= 0) {
        UpdateDead(elapsed);
        return;
    }
    ForgetVanishedTarget();
    if (HoldsVehicle() && heldItem->health <= 0) {
        CarriedItem* vehicle = heldItem;
        SelectDefaultItem();
        DropItem(vehicle, position);
    }
    UpdateHeight();
    if (target.target && target.target->health < 1) {
        if (!IsRiding() && TargetIsCharacter() && position.DistanceSquared(target.target->position) < 30625.0f &&
            target.target->targetedByCount == 1 && alerted)
            Say(VoiceSets::PDead);
        ClearTarget();
    }
    senseTimer -= elapsed;
    Sense();
    Announce();
    Decide();
    Soldier::UpdateAI(elapsed);
    if (behaviourFlag) {
        behaviourFlag = 0;
        target.lastSeen = Vector3();
        target.replan = 1;
        destination = SoldierDestination();
        destination.replan = 1;
    }
    underAttack = 0;
    shotAt = 0;
    AppendDebug("Enemy(Animal) (GameObject: %d)\n", int(GetID()));
    Character::Update(elapsed);
}
