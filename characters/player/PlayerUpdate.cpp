#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "app/framework/Application.h"
#include "app/framework/Options.h"
#include "characters/ai/AILevelView.h"
#include "characters/ai/AIMissionServices.h"
#include "characters/objects/CarriedItem.h"
#include "characters/level/LevelScene.h"
#include "characters/level/NetworkSession.h"
#include "characters/player/Player.h"
#include "characters/level/RunningLevel.h"
#include "characters/player/PlayerVoices.h"
#include "characters/player/SquadCommandView.h"
#include "characters/player/PlayerControls.h"
#include "app/framework/Options.h"
#include "characters/level/RunningLevel.h"
#include "media/Sound3D.h"
#include "physics/Collision.h"
#include "renderer/Device.h"
#include "world/World.h"

namespace {

constexpr float kMinimumPitch = -1.3089969f;
constexpr float kMaximumPitch = 1.5629815f;

// Moves value toward target at the rate, snapping within the tolerance.
float Approach(float value, float target, float elapsed, float rate, float snap)
{
    value += (target - value) * elapsed * rate;
    return std::fabs(target - value) < snap ? target : value;
}

bool KeyDown(int action)
{
    const Options* options = Options::Instance();
    const int key = options ? options->GetKeyForAction(action) : -1;
    return key > 0 && (Application::Instance()->GetKeyState(key) & 0x8000) != 0;
}

int Option(int index, int fallback)
{
    const Options* options = Options::Instance();
    return options ? options->GetOption(index) : fallback;
}

constexpr int kInvertMouse = 24;
constexpr int kAlwaysRun = 25;
constexpr int kSensitivityX = 27;
constexpr int kSensitivityY = 28;
constexpr int kCameraAdjustKey = 0x7A; // F11

// Remote movement bits.
constexpr std::uint8_t kBitForward = 0x01, kBitBackward = 0x02, kBitLeft = 0x04, kBitRight = 0x08, kBitRun = 0x40;

} // namespace

void Player::CycleViewMode()
{
    Character::CycleViewMode();
    SetYaw(GetYaw() + torsoYaw);
    cameraSideOffset[0] = cameraSideOffset[1] = 0.0f;
    zoomed = 0;
    attachOffset = 7.0f;
    torsoYaw = 0.0f;
    RunningLevel::Controls().SetCameraFieldOfView(normalFieldOfView);
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
    if (health <= 0 || RunningLevel::Scene().CurrentPlayer() == this || sequence < lastViewSequence)
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
    const float fov = RunningLevel::Controls().CameraFieldOfView();
    const float newFov = Approach(fov, fovTarget, elapsed, 6.0f, 0.006f);
    if (newFov != fov)
        RunningLevel::Controls().SetCameraFieldOfView(newFov);
    if (zoomed)
        RequestAnimationReset();

    const bool commandView = viewMode == 2 && !leavingCommandMode;
    if (commandView && health > 0)
        UpdateCommandView(elapsed);
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
            RunningLevel::Command().LeftCommandView(this);
        }
    }
}

void Player::UpdateCommandView(float elapsed)
{
    Application* application = Application::Instance();
    Device* screen = application->GetDevice();
    int x = 0, y = 0;
    application->GetCursorPos(&x, &y);
    const bool fast = KeyDown(6);
    if (screen) {
        const int width = screen->GetTargetWidth(), height = screen->GetTargetHeight();
        const float turn = (fast ? 4.0f : 1.0f) * elapsed;
        const float climb = (fast ? 80.0f : 40.0f) * elapsed;
        if (x == 0)
            torsoYaw -= turn;
        else if (x == width - 1)
            torsoYaw += turn;
        if (y == 0)
            commandCameraHeight -= climb;
        else if (y == height - 1)
            commandCameraHeight += climb;
        commandCameraHeight = std::clamp(commandCameraHeight, 20.0f, 70.0f);
    }

    // Marker colours: the soldier black, the others red when selected and grey otherwise, lighter
    // under the pointer (or inside the rectangle being dragged).
    const bool dragging = dragStartX != -1 && std::abs(x - dragStartX) > 10 && std::abs(y - dragStartY) > 10;
    Character* pointed = dragging ? nullptr : RunningLevel::Command().CharacterUnderPointer(x, y, SquadKind);
    for (int i = 0; squad && i < squad->GetMemberCount(); ++i) {
        Player* member = AsPlayer(squad->GetMember(i));
        if (!member)
            continue;
        if (member == this) {
            member->markerColour[0] = member->markerColour[1] = member->markerColour[2] = 0;
            continue;
        }
        bool under = member == pointed;
        if (dragging) {
            const int ax = int(member->screenAnchor[0]), ay = int(member->screenAnchor[1]);
            under = ax > std::min(x, dragStartX) && ax < std::max(x, dragStartX) && ay > std::min(y, dragStartY) &&
                    ay < std::max(y, dragStartY);
        }
        const float h = under ? 0.2f : 0.0f;
        if (member->selected) {
            member->markerColour[0] = std::uint8_t(int(255.0f * h + 204.0f));
            member->markerColour[1] = member->markerColour[2] = 0;
        } else {
            const std::uint8_t grey = std::uint8_t(int(255.0f * h + 127.5f));
            member->markerColour[0] = member->markerColour[1] = member->markerColour[2] = grey;
        }
    }
}

void Player::UpdateDeepWater()
{
    World* world = World::Current();
    SquadRoster* current = RunningLevel::Command().CurrentSquadRoster();
    if (!world || !current || !current->Contains(this) || posture == Standing || actionLocked || loadCountdown > 0.0f)
        return;
    Vector3 head;
    GetHeadPosition(&head);
    if (world->GetWaterHeight(position) > head.y)
        PosturePrevious(true);
}

void Player::CollideCamera()
{
    const Matrix4& aim = GetAimNode().world;
    const Vector3 origin = aim.GetTranslation();
    Vector3 back(-aim(2, 0), -aim(2, 1), -aim(2, 2));
    if (back.LengthSquared() <= 0.0f)
        return;
    back.Normalize();
    if (viewMode == 1) {
        // The camera stops where an ellipsoid swept from the aim point toward it first touches.
        const Vector3 sweep = back * attachOffset;
        float orientation[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        CollisionSetMode(0, 1);
        CollisionSetEllipsoid(0.6f, 0.6f, 0.6f);
        CollisionSetMove(origin.x, origin.y, origin.z, orientation, sweep.x, sweep.y, sweep.z);
        Vector3 reached = origin;
        CollisionMove(&reached, orientation, nullptr);
        attachOffset = std::min(attachOffset, (reached - origin).Length());
    }
    // Members of the other squads standing in the segment cut it too.
    for (const std::vector<Character*>& other : RunningLevel::AI().Squads()) {
        if (std::find(other.begin(), other.end(), this) != other.end())
            continue;
        for (Character* member : other) {
            float t = 0.0f;
            if (member && member->health > 0 && RayCylinderIntersect(origin, back, member->position, member->radii.x, &t) &&
                t >= 0.0f && t < attachOffset)
                attachOffset = t;
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
        RunningLevel::AI().RaiseCombatFlag();
        if (SquadRoster* roster = RunningLevel::Command().CurrentSquadRoster()) {
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
        RunningLevel::AI().RaiseCombatFlag();
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
    if (!actionLocked)
        UpdateSight(elapsed);

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

void Player::UpdateHumanInput(float elapsed)
{
    if (RunningLevel::Controls().IsInputBlocked())
        return;
    const bool local = controller == kLocalHuman;
    const bool frozen = RunningLevel::Controls().IsMovementFrozen();
    float yawChange = 0.0f, pitchChange = 0.0f;
    if (local) {
        turnAngle = 0.0f;
        int dx = 0, dy = 0;
        if (viewMode != 2 && RunningLevel::Controls().TakePointerOffset(&dx, &dy)) {
            const float k = RunningLevel::Controls().CameraFieldOfView() * 0.003f;
            const float sx = float(Option(kSensitivityX, 5)) * 0.1f + 0.5f;
            const float sy = float(Option(kSensitivityY, 5)) * 0.1f + 0.5f;
            yawChange = sx * sx * float(dx) * k;
            pitchChange = sy * sy * float(dy) * k;
            if (Option(kInvertMouse, 0))
                pitchChange = -pitchChange;
            torsoYaw += yawChange;
        }
    } else {
        yawChange = elapsed * yawRate;
        turnAngle = yawChange;
        pitchChange = elapsed * pitchRate;
    }
    if (viewMode != 2)
        pitch = std::clamp(pitch + pitchChange, kMinimumPitch, kMaximumPitch);
    if (local && !frozen) {
        if (KeyDown(4))
            turnAngle -= 2.0f * elapsed;
        if (KeyDown(5))
            turnAngle += 2.0f * elapsed;
    }
    if (RunningLevel::Scene().CurrentPlayer() == this && elapsed > 0.0f) {
        pitchRate = pitchChange / elapsed;
        yawRate = yawChange / elapsed;
        pitchRateRing.Push(pitchRate);
        yawRateRing.Push(yawRate);
    }

    // Movement keys (or a remote soldier's bits) set the frame's movement.
    const bool current = RunningLevel::Scene().CurrentPlayer() == this;
    bool forward = false, backward = false, left = false, right = false;
    if (current) {
        running = KeyDown(6) != (Option(kAlwaysRun, 0) != 0);
        forward = KeyDown(0);
        backward = KeyDown(1);
        left = KeyDown(2);
        right = KeyDown(3);
    } else if (!local) {
        running = (receivedBits & kBitRun) != 0;
        forward = receivedBits & kBitForward;
        backward = receivedBits & kBitBackward;
        left = receivedBits & kBitLeft;
        right = receivedBits & kBitRight;
    }
    const int speedPosture = swimming ? Standing : posture;
    moveInput = Vector3();
    const bool adjustCamera = current && (Application::Instance()->GetKeyState(kCameraAdjustKey) & 0x8000) != 0 &&
                              RunningLevel::AI().IsDebugDraw();
    if (adjustCamera) {
        torsoYaw += (right ? elapsed : 0.0f) - (left ? elapsed : 0.0f);
        attachOffset += (backward ? 4.0f * elapsed : 0.0f) - (forward ? 4.0f * elapsed : 0.0f);
    } else {
        const float speed = running ? GetRunSpeed(speedPosture) : GetWalkSpeed(speedPosture);
        if (forward)
            moveInput.z += speed;
        if (backward) {
            moveInput.z -= GetWalkSpeed(speedPosture);
            running = false;
        }
        if (left)
            moveInput.x -= speed * 0.4f;
        if (right)
            moveInput.x += speed * 0.4f;
        if ((forward || backward || left || right) && directTurnTime < 0.5f)
            directTurnTime = 0.001f;
    }
    if (frozen || (roles & Stationary))
        moveInput = Vector3();

    Character::StartAction(0, false);
    if (!running) {
        if (moveInput.x > 0.0f)
            Character::StartAction(5, false);
        else if (moveInput.x < 0.0f)
            Character::StartAction(4, false);
        if (moveInput.z > 0.0f)
            Character::StartAction(1, false);
        else if (moveInput.z < 0.0f)
            Character::StartAction(2, false);
    } else {
        if (moveInput.x > 0.0f)
            Character::StartAction(7, false);
        else if (moveInput.x < 0.0f)
            Character::StartAction(6, false);
        if (moveInput.z != 0.0f)
            Character::StartAction(3, false);
    }
}

void Player::UpdateWaterSounds()
{
    if (!swimming) {
        if (wadingSound && wadingHandle != -1)
            wadingSound->Stop(wadingHandle);
        if (swimmingSound && swimmingHandle != -1)
            swimmingSound->Stop(swimmingHandle);
        wadingHandle = swimmingHandle = -1;
        return;
    }
    const bool moving = moveInput.x != 0.0f || moveInput.z != 0.0f;
    Sound3D* play = moving ? swimmingSound.get() : wadingSound.get();
    Sound3D* stop = moving ? wadingSound.get() : swimmingSound.get();
    int& playHandle = moving ? swimmingHandle : wadingHandle;
    int& stopHandle = moving ? wadingHandle : swimmingHandle;
    if (stop && stopHandle != -1)
        stop->Stop(stopHandle);
    stopHandle = -1;
    if (!play)
        return;
    if (playHandle == -1 || play->IsStopped(playHandle))
        playHandle = play->Play();
    play->SetPosition(position.x, position.y, position.z, playHandle);
}

void Player::UpdateJoining()
{
    const bool triggered = joinTrigger != -1 && isTriggerFired && isTriggerFired(joinTrigger);
    if (!joinNearestSquad && !triggered)
        return;
    fireMode = HoldFire;
    joinTrigger = -1;
    if (IsNetworkClientConnected() && !IsNetworkServerActive())
        return;
    Player* nearest = nullptr;
    float best = joinNearestSquad ? 625.0f : 3.4e38f;
    for (Character* other : RunningLevel::Scene().Characters()) {
        Player* leader = AsPlayer(other);
        if (!leader || leader == this || leader->GetController() == kComputer || leader->health <= 0 ||
            !leader->squad || (leader->formationLink && !leader->LeadsFormation()))
            continue;
        const float d = (leader->position - position).LengthSquared();
        if (d < best) {
            best = d;
            nearest = leader;
        }
    }
    if (nearest)
        JoinSquad(nearest);
}

void Player::UpdateSight(float elapsed)
{
    sightTimer -= elapsed;
    if (sightTimer > 0.0f && !debugOutput)
        return;
    sightTimer = 0.1f;
    CarriedItem* held = GetHeldItem();
    if (fireMode == HoldFire || !held || held->category != CarriedItem::Weapon || IsRiding())
        return;
    Vector3 eye;
    GetHeadPosition(&eye);
    eye.y += 1.0f;
    sensor.SetView(eye, rotation);
    const float range = GetWeaponRangeSquared();
    GameObject* ordered = fireMode == AttackOrderedTarget ? target.target : nullptr;
    for (Character* candidate : RunningLevel::Scene().Characters()) {
        if (!candidate || candidate == this || candidate->health <= 0 || (candidate->roles & Inactive))
            continue;
        if (ordered && candidate != ordered)
            continue;
        if (candidate->kind == NeutralKind || ((roles & Ally) && candidate->kind == SquadKind))
            continue;
        if (!RunningLevel::Scene().AreHostile(this, candidate) || (candidate->team != 0 && candidate->team == team))
            continue;
        const float d = (candidate->position - position).LengthSquared();
        const bool inRange = candidate->IsRiding() ? d < range : d <= range;
        if (!inRange) {
            if (candidate == ordered) {
                fireMode = FireAtWill;
                target.rating = TargetInfo::kNoRating;
            }
            continue;
        }
        StimulusSource record;
        record.position = candidate->eyePosition;
        record.visibility = candidate->visibility;
        record.noise = candidate->noise;
        record.size = candidate->size;
        SenseResult result;
        const float alarmDistance = alarmTarget ? (alarmTarget->position - position).Length() : 0.0f;
        Sense(candidate, record, d, alarmDistance, result);
        if (result.sight + result.sound + result.third > 30.0f || candidate == target.target)
            ConsiderTarget(candidate, Stimulus(result), d);
    }
    // Stimuli are taken on every machine, so members react alike wherever they are simulated.
    sensor.TakeStimulus();
    if (fireMode == AttackOrderedTarget && target.rating < 10000.0f)
        fireMode = FireAtWill;
}

void Player::UpdateHeight()
{
    if (collides || gravity)
        return;
    const float far = RunningLevel::AI().CameraFar();
    const bool near = (RunningLevel::Scene().CameraPosition() - position).LengthSquared() < far * far;
    if (near || !routePath || pathFollower.endFlag) {
        const float ground = RunningLevel::Scene().GroundHeight(Vector3(position.x, position.y + 4.0f, position.z));
        if (ground < 3.0e38f)
            position.y = ground;
    }
}

void Player::Update(float elapsed)
{
    lastFrameTime = elapsed;
    if (sendPause > 0.0f)
        sendPause -= elapsed;
    if (RunningLevel::Scene().CurrentPlayer() == this)
        UpdateView(elapsed);
    if (health < 1) {
        UpdateDeath(elapsed);
        return;
    }
    cooldown = std::max(0.0f, cooldown - elapsed);
    UpdateFiredUpon();
    if (controller == kComputer) {
        UpdateHeight();
        UpdateJoining();
        UpdateSquadMember(elapsed);
        Character::Update(elapsed);
        return;
    }
    if (formationLink)
        UpdateFormationLeader();
    if (moveMode == 0 || moveMode == 1)
        UpdateHumanInput(elapsed);
    UpdateDeepWater();
    UpdateWaterSounds();
    if (directTurnTime > 0.0f || zoomed) {
        directTurnTime = std::max(0.0f, directTurnTime - elapsed);
        SetYaw(GetYaw() + torsoYaw);
        torsoYaw = 0.0f;
    }
    pitch = std::clamp(pitch, kMinimumPitch, kMaximumPitch);
    const float fullOffset = attachOffset;
    const bool collideCamera = (viewMode == 1 || viewMode == 2) && RunningLevel::Scene().CurrentPlayer() == this && !IsRiding();
    if (collideCamera)
        CollideCamera();
    Character::Update(elapsed);
    if (collideCamera)
        attachOffset = fullOffset;
    GetAttachNode().rotation = Matrix3();
    if (underFire > 0)
        --underFire;
}
