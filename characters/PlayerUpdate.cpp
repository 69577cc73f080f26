#include <algorithm>
#include <cmath>

#include "app/framework/Application.h"
#include "characters/AIMissionServices.h"
#include "characters/CarriedItem.h"
#include "characters/NetworkSession.h"
#include "characters/Player.h"
#include "characters/PlayerMissionServices.h"
#include "characters/PlayerVoices.h"

namespace {

constexpr float kMinimumPitch = -1.3089969f;
constexpr float kMaximumPitch = 1.5629815f;

// Moves value toward target at the rate, snapping within the tolerance.
float Approach(float value, float target, float elapsed, float rate, float snap)
{
    value += (target - value) * elapsed * rate;
    return std::fabs(target - value) < snap ? target : value;
}

} // namespace

void Player::CycleViewMode()
{
    Character::CycleViewMode();
    SetYaw(GetYaw() + torsoYaw);
    cameraSideOffset[0] = cameraSideOffset[1] = 0.0f;
    zoomed = 0;
    attachOffset = 7.0f;
    torsoYaw = 0.0f;
    MissionSetCameraFieldOfView(normalFieldOfView);
}

void Player::RecoverStamina(bool notify)
{
    (void)notify;
    if (previousAction != 38)
        return;
    stamina = 100.0f;
}

void Player::RecordSentView(float pitchSent, float yawSent, float yawRateSent, float pitchRateSent, std::uint32_t time)
{
    sentPitch = pitchSent;
    sentYaw = yawSent;
    sentYawRate = yawRateSent;
    sentPitchRate = pitchRateSent;
    sentTime = time;
    sendPause = 0.3f;
}

void Player::ApplyRemoteAim(float newPitch, float newYaw, float remoteYawRate, float remotePitchRate,
                            std::uint32_t timeStamp, std::uint32_t sequence, std::uint8_t bits)
{
    if (health <= 0 || MissionCurrentPlayer() == this || sequence < lastViewSequence)
        return;
    lastViewSequence = sequence;
    receivedBits = bits;
    yawRate = remoteYawRate;
    pitchRate = remotePitchRate;
    const std::uint32_t now = GetNetworkTime();
    if (timeStamp < now) {
        const float d = float(now - timeStamp) * 0.001f;
        newPitch += remotePitchRate * d;
        newYaw += remoteYawRate * d;
    }
    SetPitch(newPitch);
    SetYaw(newYaw);
}

void Player::UpdateView(float elapsed)
{
    float offsetTarget = 7.0f;
    if (health <= 0)
        offsetTarget = 20.0f;
    else if (viewMode == 2 && !leavingCommandMode)
        offsetTarget = commandCameraHeight;
    else if (zoomed)
        offsetTarget = 2.5f;
    attachOffset = Approach(attachOffset, offsetTarget, elapsed, 6.0f, 0.01f);
    cameraSideOffset[0] = Approach(cameraSideOffset[0], zoomed ? 1.5f : 0.0f, elapsed, 6.0f, 0.01f);
    cameraSideOffset[1] = Approach(cameraSideOffset[1], zoomed ? -0.2f : 0.0f, elapsed, 6.0f, 0.01f);

    const float fovTarget = normalFieldOfView - (zoomed ? 0.28f : 0.0f);
    const float fov = MissionCameraFieldOfView();
    const float newFov = Approach(fov, fovTarget, elapsed, 6.0f, 0.006f);
    if (newFov != fov)
        MissionSetCameraFieldOfView(newFov);
    if (zoomed)
        RequestAnimationReset();

    const bool commandView = viewMode == 2 && !leavingCommandMode;
    if (commandView || health <= 0 || leavingCommandMode) {
        float pitchTarget = 0.0f;
        if (health <= 0)
            pitchTarget = 0.7853982f;
        else if (commandView)
            pitchTarget = 0.7f;
        pitch = Approach(pitch, pitchTarget, elapsed, 8.0f, 0.005f);
        if (leavingCommandMode && pitch == pitchTarget) {
            leavingCommandMode = 0;
            viewMode = previousViewMode;
            if (GetMissionServiceHooks().leftCommandView)
                GetMissionServiceHooks().leftCommandView(this);
        }
    }
}

void Player::UpdateDeath(float elapsed)
{
    target.Clear();
    order = OrderFollow;
    fireMode = FireAtWill;
    StopUsingHeldItem();
    DropAllItems();
    if (viewMode == 0)
        CycleViewMode();
    Character::Update(elapsed);
    underFire = 0;
}

void Player::UpdateFiredUpon()
{
    if (shotAt) {
        MissionRaiseCombatFlag();
        if (SquadRoster* roster = MissionCurrentSquadRoster()) {
            for (int i = 0; i < roster->GetMemberCount(); ++i) {
                Player* member = AsPlayer(roster->GetMember(i));
                if (member && member->fireMode == HoldFire &&
                    (member->position - position).LengthSquared() < 900.0f) {
                    member->fireMode = FireAtWill;
                    Application::Instance()->ShowMessageText(2000, "We're being fired upon! Returning fire!");
                    PlayerVoices::Play(PlayerVoices::Incoming, member->GetVoiceSet(), member->position);
                }
            }
        }
        shotAt = 0;
    }
    if (underAttack) {
        MissionRaiseCombatFlag();
        underAttack = 0;
    }
}

void Player::UpdateSquadMember(float elapsed)
{
    // Target upkeep: a dead target ends it (and an attack order with it).
    if (target.target) {
        auto* character = dynamic_cast<Character*>(target.target);
        if (character && character->health <= 0) {
            target.Clear();
            if (fireMode == AttackOrderedTarget)
                fireMode = FireAtWill;
        }
    }
    if (order == OrderHoldPosition && state == StateFollow)
        target.Clear();

    if (!IsStunned()) {
        const bool engaged = target.target && target.rating > 10000.0f && fireMode != HoldFire && !swimming;
        if (!engaged) {
            if (state == StateMoveToDestination && phase == Finished) {
                SetOrder(OrderMoveFinished);
                SetState(StateLookAround, kNoLimit);
            } else if (order == OrderMoveToPoint && !(roles & Stationary)) {
                SetState(StateMoveToDestination, kNoLimit);
            } else if (order == OrderHoldPosition || order == OrderMoveFinished || (roles & Stationary)) {
                SetState(StateLookAround, kNoLimit);
            } else if (!formationLink || LeadsFormation()) {
                if (!patrolPath || patrolPath->GetCount() < 2) {
                    SetState(StateLookAround, kNoLimit);
                } else {
                    if (LeadsFormation())
                        UpdateFormationLeader();
                    SetState(StatePatrol, kNoLimit);
                }
            } else {
                SetState(StateFollow, kNoLimit);
            }
        } else {
            SelectDefaultItem();
            SetState(StateStationaryAttack, kNoLimit);
        }
    } else {
        target.Clear();
        SetState(StateIdle, kNoLimit);
    }

    if (auto* character = dynamic_cast<Soldier*>(target.target)) {
        if (target.rating > 10000.0f)
            character->underAttack = 1;
        if (GetHeldItem() && GetHeldItem()->IsInUse())
            character->shotAt = 1;
    }
    if (behaviourFlag) {
        behaviourFlag = 0;
        destination.replan = 1;
        destination.run = 0;
        order = OrderHoldPosition;
        SetOrder(OrderHoldPosition);
    }
    if (!target.target || target.rating < 10000.0f) {
        GetAimNode().rotation = Matrix3();
        pitch = 0.0f;
    }
    UpdateAI(elapsed);
}

void Player::Update(float elapsed)
{
    lastFrameTime = elapsed;
    if (sendPause > 0.0f)
        sendPause -= elapsed;
    if (MissionCurrentPlayer() == this)
        UpdateView(elapsed);
    if (health < 1) {
        UpdateDeath(elapsed);
        return;
    }
    cooldown = std::max(0.0f, cooldown - elapsed);
    UpdateFiredUpon();
    if (controller == kComputer) {
        UpdateSquadMember(elapsed);
        Character::Update(elapsed);
        return;
    }
    if (formationLink)
        UpdateFormationLeader();
    if (directTurnTime > 0.0f || zoomed) {
        directTurnTime = std::max(0.0f, directTurnTime - elapsed);
        SetYaw(GetYaw() + torsoYaw);
        torsoYaw = 0.0f;
    }
    pitch = std::clamp(pitch, kMinimumPitch, kMaximumPitch);
    Character::Update(elapsed);
    if (underFire > 0)
        --underFire;
}
