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
    int level = 2;
    if (!RunningLevel::Enemies().IsLevelOfDetail() || cameraDistanceSquared < 1600.0f)
        level = 0;
    else if (cameraDistanceSquared < 6400.0f)
        level = 1;
    while (level > 0 && !GetLevelModel(level))
        --level;
    lod = level;
}

void Neutral::UpdateHeight()
{
    if (collides || gravity)
        return;
    if (cameraDistanceSquared < farDistanceSquared || (IsFollowingRoute() && pathFollower.HasReachedEnd(position))) {
        const float ground = RunningLevel::Scene().GroundHeight(Vector3(position.x, position.y + 4.0f, position.z));
        if (ground < 3.0e38f)
            position.y = ground;
        return;
    }
    const PtrListNode* from = pathFollower.currentNode;
    const PtrListNode* to = pathFollower.nextNode;
    if (!from)
        return;
    if (!to || pathFollower.segmentLength <= 0.0f) {
        position.y = PathPosition(from).y;
        return;
    }
    const float along = std::clamp(segmentProgress / pathFollower.segmentLength, 0.0f, 1.0f);
    position.y = PathPosition(from).y + (PathPosition(to).y - PathPosition(from).y) * along + 3.0f;
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

void Neutral::CheapStep(float elapsed)
{
    StopUsingHeldItem();
    position = position + rotation.Transform(moveInput * elapsed);
    if (turnAngle != 0.0f) {
        Matrix3 turn;
        turn.FromAxisAngle(turnAngle, Vector3(0.0f, 1.0f, 0.0f));
        rotation = turn * rotation;
    }
    SceneNode::Update(elapsed);
    velocity = Vector3();
    turnRate = 0.0f;
    moveInput = Vector3();
}

void Neutral::UpdateDead(float elapsed)
{
    const AnimationController* controller = GetAnimation();
    if (deathTimer == 0.0f) {
        if (!controller || !controller->IsRequestPending(0)) {
            AnimationControl* control = controller ? controller->GetVariationControl(0) : nullptr;
            const float length = control && GetModel() ? GetModel()->GetDuration(control) : 0.0f;
            deathTimer = length > 0.0f ? length : -0.0001f;
        }
    } else if (deathTimer > 0.0f) {
        deathTimer -= elapsed;
        if (deathTimer <= 0.0f)
            deathTimer = -0.0001f;
    }
    target.Clear();
    StopUsingHeldItem();
    if (loadCountdown > 0.0f || deathTimer >= 0.0f) {
        Character::Update(elapsed);
        return;
    }
    SceneNode::Update(elapsed);
    if (fireRunning) {
        burnTime -= elapsed;
        if (burnTime < 0.0f)
            Extinguish();
    }
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
