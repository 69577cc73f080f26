// The enemy's frame: distances, sensing, alerting and first contact, the choice of state, the
// soldier's state step, the movement (cheap far from the camera) and the dead body.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "characters/ai/AIMissionServices.h"
#include "characters/ai/AILevelView.h"
#include "characters/body/AnimationController.h"
#include "characters/objects/CarriedItem.h"
#include "characters/enemy/Enemy.h"
#include "characters/enemy/EnemyAlarm.h"
#include "characters/enemy/EnemyEvents.h"
#include "characters/enemy/EnemyMissionServices.h"
#include "characters/level/LevelScene.h"
#include "characters/level/NetworkSession.h"
#include "characters/player/Player.h"
#include "characters/level/RunningLevel.h"
#include "characters/level/WeaponQueries.h"
#include "engine/animation/AnimatedModel.h"
#include "world/World.h"

namespace {

constexpr int kEventType = 4;
constexpr float kClearSight = 10000.0f;

bool InVehicleNotTank(Character* character)
{
    CarriedItem* held = character->GetHeldItem();
    const bool holdsVehicle = held && held->category == CarriedItem::Vehicle;
    return (character->IsRiding() || holdsVehicle) && !(holdsVehicle && VehicleTypeOf(held) == 1);
}

} // namespace

void Enemy::UpdateLevelOfDetail()
{
    ChooseLevelOfDetail(cameraDistanceSquared, RunningLevel::Enemies().IsLevelOfDetail());
}

void Enemy::UpdateHeight()
{
    const bool onGround = squadDistanceSquared < viewDistanceSquared || IsFollowingRoute();
    if (onGround && !collides && !gravity)
        ++EnemyGroundQueryCount();
    SettleHeight(onGround);
}

void Enemy::SenseCandidate(GameObject* candidate, float* strongestSight)
{
    StimulusSource record;
    record.position = candidate->eyePosition;
    record.visibility = candidate->visibility;
    record.noise = candidate->noise;
    record.size = candidate->size;
    const float d2 = position.DistanceSquared(candidate->position);
    const float alarmDistance = alarmTarget ? (alarmTarget->position - position).Length() : 0.0f;
    SenseResult result;
    AI::Sense(candidate, record, d2, alarmDistance, result);
    *strongestSight = std::max(*strongestSight, result.sight);
    if (sensor.soundAccumulator + sensor.thirdAccumulator + *strongestSight > 30.0f || candidate == target.target ||
        (debugOutput && state != StateResumePatrol))
        ConsiderTarget(candidate, Stimulus(result), d2);
}

void Enemy::Sense()
{
    const bool tank = InVehicle() && VehicleTypeOf(heldItem) == 1;
    const bool rider = InVehicle() && !tank;
    float strongestSight = 0.0f;
    const bool due = squadDistanceSquared < viewDistanceSquared && senseTimer <= 0.0f && state != StateCower &&
                     !(stunTime > 0.0f) && !TargetIsAlarm();
    if (due) {
        // A rider in a vehicle looks about once a second.
        if (!debugOutput)
            senseTimer = rider ? 1.0f : senseInterval;
        Vector3 eye;
        GetHeadPosition(&eye);
        eye.y += 1.0f;
        const bool looking = state == StateIdle || state == StateLookAround || state == StatePatrol ||
                             state == StateResumePatrol;
        if (!looking && !tank)
            eye = eye - Vector3(rotation(2, 0), rotation(2, 1), rotation(2, 2)) * 3.0f;
        sensor.SetView(eye, rotation);

        const float range = GetWeaponRangeSquared();
        {
            // A copy: a sensed candidate's reaction must not disturb the walk.
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
                if (inTank && candidate == target.target && !WeaponIsAntiTank(heldItem))
                    continue;
                if (candidate->IsRiding() && position.DistanceSquared(candidate->position) >= range)
                    continue;
                SenseCandidate(candidate, &strongestSight);
            }
        }
        std::vector<GameObject*> events;
        RunningLevel::Enemies().VisitEvents([&](const MissionEventView& entry) {
            if (!entry.object)
                return;
            if (entry.object->objectType != kEventType || entry.object == target.target ||
                (entry.source != this && entry.countdown > 0.0f))
                events.push_back(entry.object);
        });
        for (GameObject* event : events)
            SenseCandidate(event, &strongestSight);
    }
    awareness = sensor.soundAccumulator + sensor.thirdAccumulator + strongestSight;
    sensor.TakeStimulus();
    if (InVehicle() && target.rating <= kClearSight)
        awareness = 0.0f;
}

void Enemy::AnnounceContact()
{
    if (!alerted && awareness > 30.0f && !(stunTime > 0.0f)) {
        alerted = true;
        if (alarmTrigger)
            alarmTrigger();
        if (!IsRiding() && target.target && target.rating <= 100.0f && !target.hostile && !InVehicle())
            PlayVoice(Notice);
    }
    if (!alerted || !firstContact || !target.target || !(target.rating > 100.0f || target.hostile) || InVehicle())
        return;
    bool alarmTaken = false;
    if (roles & Alarmer) {
        GameObject* nearest = nullptr;
        float best = 0.0f;
        for (GameObject* alarm : RunningLevel::Enemies().Alarms()) {
            if (!alarm || alarm->health <= 0)
                continue;
            const float d = position.DistanceSquared(alarm->position);
            if (!nearest || d < best) {
                nearest = alarm;
                best = d;
            }
        }
        if (nearest && (best < 100.0f || (best < 10000.0f && !(roles & Stationary)))) {
            SetTarget(nearest, 0.0f, true);
            phase = Entering;
            alarmTaken = true;
        } else if (target.target->objectType != kEventType) {
            RunningLevel::Enemies().AddEvent(position, 150.0f, this, 0.5f, false);
        }
    }
    if (!IsRiding() && !alarmTaken)
        PlayVoice(AttackSet);
    firstContact = 0;
}

void Enemy::CallComrades()
{
    if (mayAlertComrades && heldItem && heldItem->IsInUse()) {
        AlertNearby(EnemyKind, 100.0f, target.target);
        mayAlertComrades = 0;
    }
    RunningLevel::Enemies().SetLastEnemyInCombat(this, 1.0f);
}

void Enemy::DecideStationary()
{
    if (swimming) {
        SetState(StateIdle, kNoLimit);
    } else if (TargetIsAlarm()) {
        if (position.DistanceSquared(target.target->position) > 100.0f) {
            DropTarget();
        } else if (IsFinished(StateUse)) {
            TriggerAlarm(target.target, true);
            DropTarget();
        } else {
            SetState(StateUse, 1.0f);
        }
    } else if (target.rating > kClearSight) {
        if (firstSight) {
            SetState(StateZeroIn, kNoLimit);
            firstSight = 0;
        } else if (state != StateZeroIn || IsFinished(StateZeroIn)) {
            SetState(TargetInRange() ? StateStationaryAttack : StateLookAround, kNoLimit);
        }
        CallComrades();
    } else if (!(state == StateZeroIn && !IsFinished(StateZeroIn))) {
        const bool finished = IsFinished(StateLookAround);
        SetState(StateLookAround, 5.0f);
        if (awareness > 30.0f)
            timeLeft = 5.0f;
        else if (finished)
            DropTarget();
    }
}

void Enemy::DecideMobile()
{
    if (swimming) {
        SetState(StateMoveToTarget, kNoLimit);
        if (awareness > 30.0f)
            phase = Entering;
    } else if (TargetIsAlarm()) {
        if (IsFinished(StateMoveToTarget)) {
            SetState(StateUse, 1.0f);
        } else if (IsFinished(StateUse)) {
            TriggerAlarm(target.target, true);
            DropTarget();
        } else if (state != StateUse) {
            SetState(StateMoveToTarget, kNoLimit);
        }
    } else if (target.rating > kClearSight) {
        if (firstSight) {
            SetState(StateZeroIn, kNoLimit);
            firstSight = 0;
        } else if (state == StateZeroIn) {
            if (IsFinished(StateZeroIn))
                ChooseAttackState();
        } else {
            ChooseAttackState();
        }
        CallComrades();
    } else if (awareness > 30.0f) {
        const bool flaggedEvent = target.target->objectType == kEventType && MissionEventFlag(target.target) > 0;
        const bool riderTarget = TargetIsCharacter() && InVehicleNotTank(static_cast<Character*>(target.target));
        if (flaggedEvent || riderTarget) {
            SetState(StateLookAround, 5.0f);
        } else {
            SetState(StateMoveToTarget, kNoLimit);
            phase = Entering;
        }
    } else if (IsFinished(StateMoveToTarget)) {
        SetState(StateLookAround, 5.0f);
    } else if (IsFinished(StateLookAround)) {
        PlayVoice(EndSearch);
        DropTarget();
    } else if (state == StateAttack || state == StateBurstAttack || state == StateChargeAttack ||
               IsFinished(StateFadeAttack) || IsFinished(StateZeroIn)) {
        SetState(StateMoveToTarget, kNoLimit);
    }
}

void Enemy::Decide(float elapsed)
{
    (void)elapsed;
    if (stunTime > 0.0f) {
        target.Clear();
        SetState(StateIdle, kNoLimit);
        return;
    }
    if (alerted && target.target && heldItem) {
        if (squadDistanceSquared >= viewDistanceSquared)
            target.distanceSquared = position.DistanceSquared(target.target->position);
        if (InVehicle()) {
            if (target.rating > kClearSight)
                SetState(StateVehicleAttack, kNoLimit);
            else
                DropTarget();
        } else if (TargetInTank() && !WeaponIsAntiTank(heldItem)) {
            Character::SetPosture(Prone);
            SetState(StateIdle, kNoLimit);
        } else if (roles & Stationary) {
            DecideStationary();
        } else {
            DecideMobile();
        }
        if (TargetIsCharacter()) {
            if (auto* victim = dynamic_cast<Soldier*>(target.target)) {
                victim->underAttack = 1;
                if (heldItem && heldItem->IsInUse())
                    victim->shotAt = 1;
            }
        }
        if (!InVehicle() && choosePosture && state != StateIdle && state != StateUse && state != StateZeroIn &&
            HearsGunfire()) {
            choosePosture = 0;
            ChooseAttackPosture();
        }
        return;
    }
    if (InVehicle()) {
        SetState(StateVehiclePatrol, kNoLimit);
    } else if (state == StateCower && !IsFinished(StateCower)) {
        // A cowering enemy stays down until the squad has gone.
    } else if (formationLink && !LeadsFormation()) {
        SetState(StateFollow, kNoLimit);
    } else if (IsFollowingRoute()) {
        SetState(StateResumePatrol, kNoLimit);
    } else if (!patrolPath || patrolPath->GetCount() < 2 || (roles & (Stationary | StationaryPatrol))) {
        SetState(StateIdle, kNoLimit);
    } else {
        if (LeadsFormation())
            UpdateFormationLeader();
        SetState(StatePatrol, kNoLimit);
    }
}

void Enemy::DropInventory()
{
    const Vector3 right(rotation(0, 0), rotation(0, 1), rotation(0, 2));
    const std::vector<CarriedItem*> items = inventory;
    for (CarriedItem* item : items) {
        if (!item || std::strncmp(item->name, "Knife", 5) == 0)
            continue;
        if (item->category == CarriedItem::Weapon) {
            if (IsNetworkGameRunning())
                RunningLevel::Network().SyncRandomSeed();
            item->SetMagazines(WeaponDropMagazines(item));
        }
        DropItem(item, position + right * 3.0f);
    }
}

void Enemy::UpdateDead(float elapsed)
{
    const bool dying = RunDeathTimer(elapsed, deathTimer);
    target.Clear();
    StopUsingHeldItem();
    RunningLevel::AI().StopChitChat(chitChatHandle);
    chitChatHandle = -1;
    DropInventory();
    if (dying) {
        Character::Update(elapsed);
        return;
    }
    // The body lies still: only its transform, a drowned body's depth and its fire are kept up.
    if (swimming) {
        if (World* world = World::Current())
            position.y = world->GetWaterHeight(position) + world->GetWaveHeight(position) - 5.0f;
    }
    LieStill(elapsed);
}

void Enemy::Update(float elapsed)
{
    if (roles & Inactive) {
        Character::Update(elapsed);
        return;
    }
    MissionFindNearestSquadMember(position, &squadDistanceSquared);
    const float far = RunningLevel::AI().CameraFar();
    viewDistanceSquared = far * far;
    cameraDistanceSquared = (RunningLevel::Scene().CameraPosition() - position).LengthSquared();
    UpdateLevelOfDetail();
    if (health <= 0) {
        UpdateDead(elapsed);
        return;
    }

    ForgetVanishedTarget();
    if (InVehicle() && heldItem->health <= 0) {
        CarriedItem* vehicle = heldItem;
        SelectDefaultItem();
        DropItem(vehicle, vehicle->position);
        if (TargetInTank())
            target.rating = 0.0f;
    }
    UpdateHeight();
    if (target.target && target.target->health < 1) {
        if (!IsRiding() && TargetIsCharacter() && position.DistanceSquared(target.target->position) < 30625.0f &&
            GetVoiceCount(PDead) > 0 && target.target->targetedByCount == 1 && alerted)
            PlayVoice(PDead);
        DropTarget();
    }
    senseTimer -= elapsed;
    awareness = 0.0f;
    const GameObject* previousTarget = target.target;
    const float previousRating = target.rating;
    Sense();
    AnnounceContact();
    if (TargetIsCharacter() && (target.target != previousTarget ||
                                (previousRating < kClearSight && target.rating > kClearSight)))
        choosePosture = 1;

    Decide(elapsed);
    Soldier::UpdateAI(elapsed);

    if (behaviourFlag) {
        behaviourFlag = 0;
        target.lastSeen = Vector3();
        target.replan = 1;
        destination = SoldierDestination();
        destination.replan = 1;
        // An enemy that finds no route holds its ground from now on.
        roles |= Stationary;
    }
    if (alarmTarget) {
        if (RunningLevel::Enemies().AlarmSoundTime(alarmTarget) > 0.0f) {
            if (currentAction == 1) {
                StartAction(3, false);
                SetForwardSpeed(3);
            }
        } else {
            alarmTarget = nullptr;
        }
    }
    underAttack = 0;
    shotAt = 0;
    AppendDebug("Enemy (GameObject: %d)\n", int(GetID()));

    if (loadCountdown > 0.0f || cameraDistanceSquared < viewDistanceSquared || IsRiding())
        Character::Update(elapsed);
    else
        CheapStep(elapsed);

    const float range = GetWeaponRangeSquared();
    if (target.target && target.rating > kClearSight && HoldsWeapon() && range > target.distanceSquared)
        engagementTime += elapsed;
    else
        engagementTime = 0.0f;
}
