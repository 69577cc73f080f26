// The neutral's frame: distances, height, sight, noticing and the alarm, the choice of state, the
// soldier's state step, the movement (cheap far from the camera) and the dead body.
#include <algorithm>

#include "characters/ai/AILevelView.h"
#include "characters/body/AnimationController.h"
#include "characters/enemy/EnemyEvents.h"
#include "characters/enemy/EnemyMissionServices.h"
#include "characters/level/LevelScene.h"
#include "characters/level/RunningLevel.h"
#include "characters/level/WeaponQueries.h"
#include "characters/neutral/Neutral.h"
#include "characters/objects/CarriedItem.h"
#include "characters/player/Player.h"
#include "engine/animation/AnimatedModel.h"

namespace {

constexpr int kMissionObjectType = 4;
constexpr float kNoticeLevel = 30.0f;

} // namespace

void Neutral::UpdateDistances()
{
    MissionFindNearestSquadMember(position, &squadDistanceSquared);
    const float far = RunningLevel::AI().CameraFar();
    farDistanceSquared = far * far;
    cameraDistanceSquared = (RunningLevel::Scene().CameraPosition() - position).LengthSquared();
    ChooseLevelOfDetail(cameraDistanceSquared, RunningLevel::Enemies().IsLevelOfDetail());
}

void Neutral::UpdateHeight()
{
    SettleHeight(cameraDistanceSquared < farDistanceSquared ||
                 (IsFollowingRoute() && pathFollower.HasReachedEnd(position)));
}

float Neutral::Look()
{
    float strongestSight = 0.0f;
    const auto sense = [&](GameObject* candidate, bool character) {
        StimulusSource record;
        record.position = candidate->eyePosition;
        record.visibility = candidate->visibility;
        record.noise = candidate->noise;
        record.size = candidate->size;
        const float d2 = position.DistanceSquared(candidate->position);
        SenseResult result;
        AI::Sense(candidate, record, d2, 0.0f, result);
        strongestSight = std::max(strongestSight, result.sight);
        const float total = sensor.soundAccumulator + sensor.thirdAccumulator + strongestSight;
        if (total > kNoticeLevel || candidate == target.target ||
            (character && debugOutput && state != StateResumePatrol))
            ConsiderTarget(candidate, Stimulus(result), d2);
    };
    Vector3 eye;
    GetHeadPosition(&eye);
    sensor.SetView(eye, rotation);
    // Copies: a sensed candidate's reaction must not disturb the walks.
    const std::vector<Character*> everyone = RunningLevel::Scene().Characters();
    for (Character* candidate : everyone) {
        if (!candidate || candidate == this || candidate->kind == NeutralKind || candidate->kind == EnemyKind ||
            candidate->health <= 0)
            continue;
        if (Player* soldier = AsPlayer(candidate); soldier && soldier->joinTrigger != -1)
            continue;
        sense(candidate, true);
    }
    std::vector<GameObject*> objects;
    RunningLevel::Enemies().VisitEvents([&](const MissionEventView& entry) {
        if (entry.object && entry.source != this)
            objects.push_back(entry.object);
    });
    for (GameObject* object : objects)
        sense(object, false);
    return strongestSight;
}

void Neutral::Notice()
{
    if (!alerted && awareness > kNoticeLevel && !(stunTime > 0.0f)) {
        alerted = true;
        if (alarmTrigger)
            alarmTrigger();
        if (!IsRiding() && target.target && target.rating < 100.0f && !target.hostile && !HoldsVehicle())
            Say(VoiceSets::Notice);
        if (warn) {
            AlertNearby(NeutralKind, 50.0f, target.target);
            warn = 0;
        }
    }
    if (alerted && mayRaiseAlarm && target.target && (target.rating > 100.0f || target.hostile) && !HoldsVehicle()) {
        if ((roles & Alarmer) && target.target->objectType != kMissionObjectType)
            RunningLevel::Enemies().AddEvent(position, 150.0f, this, 0.5f, false);
        Say(VoiceSets::AlertSet);
        mayRaiseAlarm = 0;
    }
}

void Neutral::Decide()
{
    if (stunTime > 0.0f) {
        target.Clear();
        SetState(StateIdle, kNoLimit);
        return;
    }
    if (!alerted || !target.target || !heldItem) {
        if (HoldsVehicle()) {
            SetState(StateVehiclePatrol, kNoLimit);
        } else if (state == StateCower && !IsFinished(StateCower)) {
            // A cowering neutral stays down until the squad has gone.
        } else if (formationLink && !LeadsFormation()) {
            SetState(StateFollow, kNoLimit);
        } else if (IsFollowingRoute()) {
            SetState(StateResumePatrol, kNoLimit);
        } else if (!patrolPath || patrolPath->GetCount() < 2 || (roles & (StationaryPatrol | AlarmResponder))) {
            SetState(StateIdle, kNoLimit);
        } else {
            if (LeadsFormation())
                UpdateFormationLeader();
            SetState(StatePatrol, kNoLimit);
        }
        return;
    }
    if (squadDistanceSquared < farDistanceSquared)
        target.distanceSquared = position.DistanceSquared(target.target->position);
    if (HoldsVehicle()) {
        if (target.rating > 10000.0f)
            SetState(StateVehicleAttack, kNoLimit);
        else
            LoseTarget();
        return;
    }
    if (TargetIsCharacter()) {
        auto* victim = static_cast<Character*>(target.target);
        CarriedItem* held = victim->GetHeldItem();
        if (victim->IsRiding() && held && held->category == CarriedItem::Vehicle && !WeaponIsAntiTank(heldItem)) {
            Character::SetPosture(Prone);
            SetState(StateIdle, kNoLimit);
            return;
        }
    }
    if (swimming) {
        SetState(StateIdle, kNoLimit);
    } else if (IsFinished(StateCower)) {
        LoseTarget();
    } else if (state != StateCower) {
        // No time of its own: it cowers for as long as a squad member stays within 150 units.
        SetState(StateCower, 0.0f);
    }
}

void Neutral::UpdateDead(float elapsed)
{
    const bool dying = RunDeathTimer(elapsed, deathTimer);
    target.Clear();
    StopUsingHeldItem();
    if (dying)
        Character::Update(elapsed);
    else
        LieStill(elapsed);
}

void Neutral::Update(float elapsed)
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
        DropItem(vehicle, vehicle->position);
    }
    UpdateHeight();
    if (target.target && target.target->health < 1) {
        if (!IsRiding() && TargetIsCharacter() && position.DistanceSquared(target.target->position) < 30625.0f &&
            voices.Count(VoiceSets::PDead) > 0 && target.target->targetedByCount == 1 && alerted)
            Say(VoiceSets::PDead);
        LoseTarget();
    }

    lookTimer -= elapsed;
    float sight = 0.0f;
    if (lookTimer <= 0.0f) {
        lookTimer = HoldsVehicle() ? 1.0f : lookInterval;
        if (squadDistanceSquared < farDistanceSquared && state != StateCower)
            sight = Look();
    }
    // What the sensor gathered since the last frame (sounds reach it between looks) and the
    // clearest sight of this look.
    awareness = sensor.soundAccumulator + sensor.thirdAccumulator + sight;
    sensor.TakeStimulus();
    if (HoldsVehicle() && target.target)
        awareness = 0.0f;
    Notice();
    Decide();
    Soldier::UpdateAI(elapsed);

    if (behaviourFlag) {
        behaviourFlag = 0;
        target.lastSeen = Vector3();
        target.replan = 1;
        destination = SoldierDestination();
        destination.replan = 1;
        roles |= Stationary;
    }
    if (alarmTarget) {
        if (RunningLevel::Enemies().AlarmSoundTime(alarmTarget) > 0.0f) {
            alerted = true;
            mayRaiseAlarm = 0;
        } else {
            alarmTarget = nullptr;
        }
    }
    underAttack = 0;
    shotAt = 0;
    AppendDebug("Neutral (GameObject: %d)\n", int(GetID()));

    if (loadCountdown > 0.0f || cameraDistanceSquared < farDistanceSquared || IsRiding())
        Character::Update(elapsed);
    else
        CheapStep(elapsed);
}
