// Actions and their animations, postures, the per-frame movement of the body, turning in place,
// and the held item.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "characters/body/AnimationController.h"
#include "characters/body/AnimationSets.h"
#include "characters/body/BodySounds.h"
#include "characters/objects/CarriedItem.h"
#include "characters/body/Character.h"
#include "characters/level/LevelScene.h"
#include "characters/level/NetworkSession.h"
#include "characters/level/RunningLevel.h"
#include "characters/player/GameModeNotices.h"
#include "engine/animation/AnimatedModel.h"
#include "engine/core/EngineLog.h"
#include "engine/core/RandomMT.h"
#include "physics/Collision.h"
#include "world/PickResult.h"
#include "world/World.h"

namespace {

constexpr float kNoHeight = 3.4e38f;

std::uint8_t ActionFlagsOf(int action)
{
    if (action < 0 || action >= Character::kActionCount)
        return 0;
    if (action <= 15)
        return 0x00;
    if (action == 16)
        return 0x20;
    if (action <= 20)
        return 0x17;
    if (action <= 32)
        return (action % 2) ? 0x7F : 0x3F; // 21, 23, ... 31 lock everything; 22 ... 32 less
    switch (action) {
    case 33: return 0x30;
    case 34: return 0x11;
    case 35:
    case 36: return 0x32;
    case 37:
    case 38:
    case 39: return 0x3F;
    case 44: return 0x3E;
    default: return 0x25; // 40 to 43
    }
}

// Rows: action; columns: standing, crouching, prone. -1 = no change.
struct ActionRow {
    int animation[3];
    int alert[3]; // -1: the same as animation
    bool once;
    bool hold;
};

constexpr ActionRow kActionRows[Character::kActionCount] = {
    {{0, 47, 51}, {21, 36, -1}, false, false},   // 0
    {{1, 48, 52}, {22, 37, -1}, false, false},   // 1
    {{24, 39, 54}, {-1, -1, -1}, false, false},  // 2
    {{34, 49, 53}, {23, 38, -1}, false, false},  // 3
    {{25, 40, 55}, {-1, -1, -1}, false, false},  // 4
    {{26, 41, 56}, {-1, -1, -1}, false, false},  // 5
    {{27, 42, 57}, {-1, -1, -1}, false, false},  // 6
    {{28, 43, 58}, {-1, -1, -1}, false, false},  // 7
    {{21, 36, 61}, {-1, -1, -1}, false, false},  // 8
    {{22, 37, 61}, {-1, -1, -1}, false, false},  // 9
    {{24, 39, 61}, {-1, -1, -1}, false, false},  // 10
    {{23, 38, 61}, {-1, -1, -1}, false, false},  // 11
    {{25, 40, 61}, {-1, -1, -1}, false, false},  // 12
    {{26, 41, 61}, {-1, -1, -1}, false, false},  // 13
    {{27, 42, 61}, {-1, -1, -1}, false, false},  // 14
    {{28, 43, 61}, {-1, -1, -1}, false, false},  // 15
    {{18, 18, 62}, {-1, -1, -1}, false, false},  // 16 (channel 8)
    {{31, 50, 51}, {-1, -1, -1}, false, false},  // 17
    {{0, 46, 64}, {-1, -1, -1}, false, false},   // 18
    {{0, 46, 63}, {-1, -1, -1}, false, false},   // 19
    {{35, 50, 51}, {-1, -1, -1}, false, false},  // 20
    {{65, 66, 67}, {-1, -1, -1}, true, false},   // 21
    {{83, 84, 85}, {-1, -1, -1}, true, true},    // 22
    {{68, 69, 70}, {-1, -1, -1}, true, false},   // 23
    {{86, 87, 88}, {-1, -1, -1}, true, true},    // 24
    {{71, 72, 73}, {-1, -1, -1}, true, false},   // 25
    {{89, 90, 91}, {-1, -1, -1}, true, true},    // 26
    {{74, 75, 76}, {-1, -1, -1}, true, false},   // 27
    {{92, 93, 94}, {-1, -1, -1}, true, true},    // 28
    {{77, 78, 79}, {-1, -1, -1}, true, false},   // 29
    {{95, 96, 97}, {-1, -1, -1}, true, true},    // 30
    {{80, 81, 82}, {-1, -1, -1}, true, false},   // 31
    {{98, 99, 100}, {-1, -1, -1}, true, true},   // 32
    {{2, -1, -1}, {-1, -1, -1}, false, false},   // 33
    {{3, -1, -1}, {-1, -1, -1}, false, false},   // 34
    {{4, 4, 4}, {-1, -1, -1}, false, false},     // 35
    {{5, 5, 5}, {-1, -1, -1}, false, false},     // 36
    {{6, 6, 6}, {-1, -1, -1}, true, true},       // 37
    {{7, 7, -1}, {-1, -1, -1}, false, false},    // 38
    {{-1, -1, -1}, {-1, -1, -1}, false, false},  // 39 (keeps the animation)
    {{9, 9, 9}, {-1, -1, -1}, false, false},     // 40
    {{10, 10, 10}, {-1, -1, -1}, false, false},  // 41
    {{11, 11, 11}, {-1, -1, -1}, false, false},  // 42
    {{8, 8, 8}, {-1, -1, -1}, false, false},     // 43
    {{19, 19, 20}, {-1, -1, -1}, false, false},  // 44 (channel 8)
};

} // namespace

std::uint8_t Character::GetActionFlags(int action)
{
    return ActionFlagsOf(action);
}

Character::ActionAnimation Character::GetActionAnimation(int action, int posture, bool alerted, bool burning)
{
    ActionAnimation result;
    if (action < 0 || action >= kActionCount)
        return result;
    const int p = std::clamp(posture, 0, 2);
    const ActionRow& row = kActionRows[action];
    result.channel = (action == 16 || action == 44) ? 8 : 0;
    result.animation = row.animation[p];
    if (alerted && row.alert[p] >= 0)
        result.animation = row.alert[p];
    if (action == 22 && burning)
        result.animation = 101;
    result.once = row.once;
    result.hold = row.hold;
    return result;
}

// ------------------------------------------------------------------------------------------------
// Actions

bool Character::StartAction(int action, bool force)
{
    if (action < 0 || action >= kActionCount)
        return false;
    if ((GetActionFlags(action) & ActionNotRiding) && IsRiding())
        return false;
    if (health < 1 && swimming)
        action = 37;
    if (swimming && (action == 21 || action == 23 || action == 25 || action == 27 || action == 29 || action == 31))
        return false;
    if (actionLocked && !force)
        return false;
    if (actionLocked && force && animation)
        animation->StopChannel(0, -1.0f);
    const std::uint8_t flags = GetActionFlags(action);
    actionLocked = (flags & ActionLocks) != 0;
    if (flags & ActionUsesHands)
        StopUsingHeldItem();
    currentAction = action;
    PlayActionAnimation(action);
    return true;
}

void Character::PlayActionAnimation(int action)
{
    if (!animation)
        return;
    if (action == 39) {
        if (AnimationController::Channel* channel = animation->GetChannel(0))
            channel->loop = true;
        return;
    }
    const ActionAnimation wanted = GetActionAnimation(action, posture, alerted, burnTime > 0.0f);
    if (wanted.animation < 0)
        return;
    AnimationController::Channel* channel = animation->GetChannel(wanted.channel);
    if (!channel)
        return;
    if (wanted.channel == 8) {
        // The hands' channel restarts its request unless it plays it already.
        if (channel->playing == wanted.animation)
            return;
        animation->StopChannel(8, -1.0f);
        channel->requested = wanted.animation;
        channel->stopWhenDone = true;
        return;
    }
    channel->loop = !wanted.once;
    channel->requested = wanted.animation;
    if (wanted.hold)
        animation->SetSwitchTimes(0, AnimationController::kNoSwitch, AnimationController::kNoSwitch);
}

// ------------------------------------------------------------------------------------------------
// Postures

void Character::SetRadiiForPosture()
{
    radii = posture == Prone ? Vector3(2.7f, 2.0f, 5.0f) : Vector3(2.7f, 3.0f, 2.7f);
}

void Character::SetPostureImmediate(int target)
{
    posture = std::clamp(target, 0, 2);
    SetRadiiForPosture();
}

bool Character::HasRoomForPosture(int target)
{
    World* world = World::Current();
    if (!world || target == Standing)
        return true;
    const float depth = world->GetWaterHeight(position) - position.y;
    float limit = target == Crouching ? 3.0f : 0.5f;
    if (gravity)
        limit -= 3.0f;
    return depth <= limit;
}

bool Character::CanChangePosture(int target)
{
    if (target <= posture)
        return true;
    return HasRoomForPosture(target);
}

void Character::PostureNext(bool send)
{
    if (actionLocked || swimming || postureLocked || health < 1 || previousAction == 39)
        return;
    const int target = (posture + 1) % 3;
    if (!CanChangePosture(target))
        return;
    if (IsNetworkClientConnected() && send)
        ClientSendPosture(GetID(), posture, true);
    StartAction(posture == Prone ? 19 : 17, false);
    posture = target;
    SetRadiiForPosture();
}

void Character::PosturePrevious(bool send)
{
    if (actionLocked || swimming || postureLocked || health < 1 || previousAction == 39)
        return;
    const int target = (posture + 2) % 3;
    if (!CanChangePosture(target))
        return;
    if (IsNetworkClientConnected() && send)
        ClientSendPosture(GetID(), posture, false);
    StartAction(posture == Standing ? 20 : 18, false);
    posture = target;
    SetRadiiForPosture();
}

void Character::SetPosture(int target)
{
    if (target == posture || target < 0 || target > 2)
        return;
    // One step only, the short way round.
    const bool next = (posture + 1) % 3 == target;
    if (next)
        PostureNext(true);
    else
        PosturePrevious(true);
}

// ------------------------------------------------------------------------------------------------
// The frame's movement

void Character::TestContacts(Vector3& movement)
{
    nearbyCharacter = nullptr;
    if (health < 1 || (kind != SquadKind && kind != EnemyKind))
        return;
    const bool driving = heldItem && heldItem->category == CarriedItem::Vehicle;
    const Vector3 next = position + movement;
    for (Character* other : RunningLevel::Scene().Characters()) {
        if (!other || other == this || other->health < 1 || (other->roles & Inactive) || !other->drawBody)
            continue;
        if (kind == EnemyKind && !driving && other->kind != EnemyKind)
            continue;
        Vector3 offset = other->position - next;
        const float d2 = offset.LengthSquared();
        if (!nearbyCharacter && d2 < 144.0f)
            nearbyCharacter = other;
        float reach = other->radii.z + radii.z + 1.0f;
        if (driving)
            reach = heldItem->GetHalfWidth() + other->radii.z - 0.5f;
        if (d2 >= reach * reach)
            continue;
        Vector3 push = offset;
        push.Normalize();
        push *= (reach - std::sqrt(d2)) + 0.1f;
        push.y = 0.0f;
        movement -= push;
        if (driving && other->hurtTime <= 0.0f && heldItem->GetSpeed() > 25.0f) {
            if (other->kind == SquadKind && RunningLevel::Scene().IsTutorial()) {
                movement += push;
                continue;
            }
            const std::int16_t killer = heldItem->owner ? heldItem->owner->GetID() : std::int16_t(-1);
            other->Die(true, killer == -1 ? 0xFFFF : killer, 1, heldItem->name);
            other->StartAction(22, true);
            RunningLevel::Sounds().PlayCarHitBodySound(other->position);
            other->hurtTime = 2.0f;
        }
    }
}

void Character::UpdateSwimming()
{
    World* world = World::Current();
    if (!world)
        return;
    const float water = world->GetWaterHeight(position) + world->GetWaveHeight(position);
    const float ground = world->GetTerrainHeightSmooth(position);
    const float clearance = collides ? 2.0f : 5.0f;
    const float limit = water - (clearance - 0.01f);
    bool swims = false;
    if (health >= 1)
        swims = ground <= limit && position.y <= limit && water >= ground;
    else
        swims = swimming && water >= ground;
    if (!swims) {
        swimming = false;
    } else {
        const bool still = std::fabs(moveInput.x) < 0.01f && std::fabs(moveInput.z) < 0.01f;
        swimming = true;
        StartAction(still ? 35 : 36, false);
        if (health < 1)
            position.y = water - 5.0f;
        else
            position.y = water - (collides ? 2.5f : 5.5f);
    }
    if (position.y < water - 10.0f && position.y < ground - 10.0f)
        RescueBelowWorld(water, ground);
}

void Character::RescueBelowWorld(float water, float ground)
{
    (void)water;
    (void)ground;
    float height = RunningLevel::Scene().GroundHeight(position);
    if (height >= kNoHeight) {
        // Walk along the facing at the top of the world until a surface is found; bounded, and
        // when the map never answers the character goes back to where it last stood.
        Vector3 forward(rotation.m[6], 0.0f, rotation.m[8]);
        forward.Normalize();
        if (forward.LengthSquared() == 0.0f)
            forward = Vector3(0.0f, 0.0f, 1.0f);
        Vector3 probe = position;
        bool found = false;
        const int limit = int(2.0f * (HalfMapWidth() + HalfMapDepth())) + 16;
        for (int step = 0; step < limit && !found; ++step) {
            probe.y = 10000.0f;
            probe += forward;
            if (std::fabs(probe.x) > HalfMapWidth() || std::fabs(probe.z) > HalfMapDepth())
                probe = Vector3(0.0f, 10000.0f, 0.0f);
            height = RunningLevel::Scene().GroundHeight(probe);
            found = height < kNoHeight;
        }
        if (!found) {
            LogToEngine("Character below the world found no ground; put back at its last position");
            position = lastSetPosition;
            position.y += 4.0f;
            return;
        }
        position.x = probe.x;
        position.z = probe.z;
    }
    position.y = height + 4.0f;
}

void Character::UpdateAnimationState(float t, bool animate)
{
    // 1. Turn.
    if (!turnLocked && turnAngle != 0.0f) {
        Matrix3 turn;
        turn.FromAxisAngle(turnAngle, Vector3(0.0f, 1.0f, 0.0f));
        rotation = turn * rotation;
    }
    RebuildAimRotation();

    // 2. Actions that hold the character still.
    const std::uint8_t flagsInEffect = GetActionFlags(previousAction);
    if (flagsInEffect & ActionNoMovement)
        moveInput = Vector3();
    if (posture == Prone && animation &&
        (animation->GetChannelAnimation(8) == 62 || animation->GetChannelAnimation(0) == 61))
        moveInput = Vector3();
    if ((previousAction >= 17 && previousAction <= 20) || turnAngle != 0.0f)
        moveInput.z += 0.001f;

    // 3.
    if (currentAction != previousAction)
        footstepDistance = 0.0f;
    previousAction = currentAction;

    // 4. The movement in the world.
    Matrix3 frame = rotation;
    if (moveMode == 1)
        frame = aimNode.rotation * rotation;
    Vector3 movement = frame.Transform(moveInput * t);

    // 5. Remote glide.
    if (animate && glideTime > 0.0f) {
        const float step = std::min(t, glideTime);
        movement.x += glideVelocity[0] * step;
        movement.z += glideVelocity[1] * step;
        glideTime = std::max(0.0f, glideTime - t);
        const Matrix3 toBody = rotation.Transpose();
        Vector3 local = toBody.Transform(Vector3(glideVelocity[0], 0.0f, glideVelocity[1])) + moveInput;
        StartAction(0, false);
        if (local.x > 0.0f)
            StartAction(running ? 7 : 5, false);
        if (local.x < 0.0f)
            StartAction(running ? 6 : 4, false);
        if (local.z > 0.001f && !running)
            StartAction(1, false);
        if (local.z < 0.0f && !running)
            StartAction(2, false);
        if (local.z != 0.0f && running)
            StartAction(3, false);
    }

    // 6. Contacts.
    TestContacts(movement);

    // 7. Falling.
    if (moveMode == 0 && gravity)
        movement.y -= fallRate * (posture == Prone ? 0.1f : 1.0f) * t;

    // 8. Prone on a slope.
    World* world = World::Current();
    if (posture == Prone && world) {
        bodyNode.rotation = Matrix3();
        Vector3 forward(rotation.m[6], 0.0f, rotation.m[8]);
        forward.Normalize();
        PickResult aheadHit, behindHit;
        Vector3 ahead = position + forward * 4.0f;
        Vector3 behind = position - forward * 4.0f;
        ahead.y += 2.0f;
        behind.y += 2.0f;
        const float aheadY = world->GetGroundBelow(ahead, &aheadHit, nullptr);
        const float behindY = world->GetGroundBelow(behind, &behindHit, nullptr);
        if (aheadY < kNoHeight && behindY < kNoHeight) {
            const bool level = aheadHit.normal.x == 0.0f && aheadHit.normal.z == 0.0f && behindHit.normal.x == 0.0f &&
                               behindHit.normal.z == 0.0f;
            if (std::fabs(aheadY - behindY) > 3.0f && level) {
                PosturePrevious(false);
            } else if (std::fabs(aheadY - behindY) > 0.01f) {
                const float angle = std::atan2(behindY - aheadY, 8.0f);
                bodyNode.rotation.FromAxisAngle(angle, Vector3(1.0f, 0.0f, 0.0f));
            }
        }
    }

    // 9. Apply.
    const Vector3 before = position;
    if (!collides) {
        bodyNode.position = Vector3();
        position += movement;
    } else {
        bodyNode.position = Vector3(0.0f, -radii.y, 0.0f);
        MoveWithCollision(t, true, true, true, movement);
        if (CollisionSlideExhausted() && posture == Prone)
            PosturePrevious(true);
    }

    // 10-11. Water and the rescue from below the world.
    UpdateSwimming();

    // 12. Bookkeeping.
    lastMove = moveInput;
    previousTurnAngle = turnAngle;
    velocity = t > 0.0f ? (position - before) * (1.0f / t) : Vector3();
    moveInput = Vector3();
    turnAngle = 0.0f;
    if (world)
        world->WorldToCell(position.x, position.z, cellColumn, cellRow);

    // 13. Steps.
    if (moveMode == 0 && (lastMove.x != 0.0f || lastMove.z != 0.0f)) {
        const AnimationController::Channel* legs = animation ? animation->GetChannel(0) : nullptr;
        const float speed = legs ? legs->speed : -1.0f;
        const float k = running ? 2.5f : 2.0f;
        bob += k * speed * bobDirection * t;
        if (bob >= 0.5f) {
            bob = 0.5f;
            bobDirection = -1.0f;
        } else if (bob <= 0.0f) {
            bob = 0.0f;
            bobDirection = 1.0f;
        }
        footstepDistance += speed * t;
        int playing = legs ? legs->playing : -1;
        if (playing == 33) playing = 22;
        else if (playing == 34) playing = 23;
        else if (playing == 48) playing = 37;
        else if (playing == 49) playing = 38;
        const float step = GetStepLength(footDue, playing);
        if (playing >= 0 && step != 0.0f && footstepDistance > step) {
            footstepDistance = 0.0f;
            const int foot = footDue;
            footDue = 1 - footDue;
            const int tile = world ? world->GetCellTileIndex(cellColumn, cellRow) : 0;
            RunningLevel::Sounds().PlayTileSound(foot, tile, position, running);
        }
    }

    // 14-15. Eye height, attachments, the transform.
    UpdateEyeHeight(t);
    attachNode.position = Vector3(0.0f, 0.0f, viewMode == 0 ? 0.0f : -attachOffset);
    if (triggerProximity) {
        if (Character* player = RunningLevel::Scene().CurrentPlayer())
            triggerProximity(position, player->position);
    }
}

void Character::UpdateEyeHeight(float t)
{
    float head = 5.0f;
    if (model && bones[Head] >= 0) {
        Vector3 local;
        model->GetBonePosition(bones[Head], local);
        head = local.y + bodyNode.position.y;
    }
    float eye = viewMode == 0 ? head - (bob + 1.7f) : head - 1.5f + (posture == Prone ? 3.0f : 0.0f) + seatRaise;
    swimBlend = swimming ? std::min(1.0f, swimBlend + 4.0f * t) : std::max(0.0f, swimBlend - 4.0f * t);
    eye += 5.5f * swimBlend;
    bodyNode.position.y += 5.5f * swimBlend;
    float sum = eye;
    int count = 1;
    for (float previous : eyeHistory) {
        if (previous < kNoHeight) {
            sum += previous;
            ++count;
        }
    }
    const float averaged = sum / float(count);
    eyeHistory[2] = eyeHistory[1];
    eyeHistory[1] = eyeHistory[0];
    eyeHistory[0] = eye;
    aimNode.position = Vector3(0.0f, averaged, 0.0f);
}

void Character::UpdateTurning(float t)
{
    if (kind == EnemyKind || !animation)
        return;
    if (turnRate != 0.0f) {
        turningTimer += t;
        stillTimer = 0.0f;
        rememberedRate = turnRate;
    } else {
        if (stillTimer > 0.05f)
            turningTimer = 0.0f;
        stillTimer += t;
    }
    AnimationController::Channel* turning = animation->GetChannel(1);
    if (!turning)
        return;
    const bool moving = velocity.LengthSquared() > 0.001f;
    const bool wants = (turningTimer > 0.1f || std::fabs(turnRate) > 0.1f) &&
                       (std::fabs(turnRate) > 0.01f || turningPlayed > 0.0f) &&
                       !(GetActionFlags(currentAction) & ActionNoTurning) && !turnLocked;
    if (moving || !wants) {
        turning->requested = -1;
        turningPlayed = 0.0f;
        return;
    }
    static constexpr int kTurns[3][2] = {{29, 30}, {44, 45}, {59, 60}};
    turning->requested = kTurns[std::clamp(posture, 0, 2)][rememberedRate < 0.0f ? 0 : 1];
    const float speed = kind == SquadKind ? std::clamp(40.0f * std::fabs(rememberedRate), 0.2f, 1.3f) : 1.0f;
    animation->SetChannelSpeed(1, speed);
    turningPlayed += t;
}

// ------------------------------------------------------------------------------------------------
// The held item

bool Character::OwnsItem(CarriedItem* item) const
{
    return !item || item == heldItem || item->owner == this;
}

void Character::SelectItem(CarriedItem* item)
{
    if (!OwnsItem(item))
        return;
    std::int16_t previousID = -1;
    if (heldItem) {
        if (heldItem->category == CarriedItem::Vehicle)
            heldItem->OnDriverLeaving(this);
        heldItem->EndUse();
        heldItem->Deselect();
        previousID = heldItem->GetID();
    }
    heldItem = item;
    if (item) {
        item->previousItemID = previousID;
        item->Select();
    }
}

void Character::SelectItemByID(std::int16_t id)
{
    GameObject* object = GameObject::GetByID(id);
    SelectItem(object && object->objectType == ItemType ? static_cast<CarriedItem*>(object) : nullptr);
}

void Character::SelectItemIfNewer(CarriedItem* item, std::uint32_t sequence)
{
    if (sequence <= lastSelectSequence)
        return;
    lastSelectSequence = sequence;
    SelectItem(item);
}

void Character::SelectDefaultItem()
{
    CarriedItem* candidate = GetSecondaryWeapon();
    if (!candidate && !inventory.empty())
        candidate = inventory.front();
    CarriedItem* primary = GetPrimaryWeapon();
    if (primary && primary->category == CarriedItem::Weapon && !primary->IsExplosive())
        candidate = primary;
    if (candidate && candidate != heldItem)
        SelectItem(candidate);
}

void Character::TakeOutHeldItem()
{
    drawHeldItem = true;
    if (!heldItem) {
        SelectDefaultItem();
        return;
    }
    heldItem->EndUse();
    heldItem->Select();
}

bool Character::UseHeldItem(bool force)
{
    if (!heldItem)
        return false;
    SetProtectionTime(0.0f);
    if ((GetActionFlags(currentAction) & ActionUsesHands) && !force)
        return false;
    if (force && animation) {
        if (heldItem->animationSet >= 0 && heldItem->animationSet != animation->GetAnimationSet())
            animation->SetAnimationSet(heldItem->animationSet);
        animation->StopChannel(0, -1.0f);
        StartAction(0, true);
        const int defaultSet = RunningLevel::Animations().DefaultAnimationSet();
        if (alerted && posture != Prone && animation->GetAnimationSet() != defaultSet) {
            animation->Request(2, 13);
            animation->Request(3, 12);
            animation->Request(4, 14);
        }
        for (int c : {2, 3, 4, 0})
            animation->SetChannelFadeOut(c, 0.0f);
        for (int c : {2, 3, 4, 0})
            animation->SetChannelEaseIn(c, 0.001f);
        for (int c : {2, 3, 4, 0})
            animation->SetChannelFadeOut(c, 0.3f);
    }
    return heldItem->BeginUse(force);
}

void Character::StopUsingHeldItem()
{
    if (heldItem)
        heldItem->EndUse();
}

bool Character::CanPickUp(CarriedItem* item)
{
    return item && !item->owner;
}

bool Character::PickUpItem(CarriedItem* item, bool force)
{
    if (!CanPickUp(item))
        return false;
    RunningLevel::Scene().RemoveLooseItem(item);
    const int slotKind = item->GetSlotKind();
    const bool knife = std::strcmp(item->name, "Knife") == 0;
    auto where = inventory.begin();
    if (!force && slotKind >= 0 && !inventory.empty() && !knife) {
        CarriedItem* reference = nullptr;
        if (slotKind != 1 && GetSecondaryWeapon())
            reference = slotKind != 0 ? inventory.back() : inventory.front();
        else
            reference = GetPrimaryWeapon() ? GetPrimaryWeapon() : inventory.front();
        where = std::find(inventory.begin(), inventory.end(), reference) + 1;
    }
    inventory.insert(where, item);
    item->SetOwner(this);
    if (std::strcmp(item->name, "Ammo Belt") == 0)
        ammoMergePending = true;
    if (item->category == CarriedItem::Flag)
        RunningLevel::GameMode().StealFlag(item, this);
    return true;
}

void Character::DropItem(CarriedItem* item, const Vector3& point)
{
    if (!item || item->owner != this)
        return;
    inventory.erase(std::remove(inventory.begin(), inventory.end(), item), inventory.end());
    RunningLevel::Scene().AddLooseItem(item);
    if (item->ExpiresWhenDropped() && (IsNetworkServerActive() || IsNetworkClientConnected()) &&
        GetCharacterServerSettings().looseItemDelay != 0)
        item->StartLooseItemTimer();
    if (item == heldItem)
        SelectItem(nullptr);
    item->SetOwner(nullptr);
    Vector3 at = point;
    const float ground = RunningLevel::Scene().GroundHeight(point);
    if (ground < kNoHeight)
        at.y = ground;
    if (item->MovesWhenDropped())
        item->position = at;
    if (item->LiesDownWhenDropped()) {
        Matrix3 onSide, turn;
        onSide.FromAxisAngle(1.5707964f, Vector3(1.0f, 0.0f, 0.0f));
        turn.FromAxisAngle(frandomMT() * 6.2831855f, Vector3(0.0f, 1.0f, 0.0f));
        item->rotation = onSide * turn;
    }
}

CarriedItem* Character::FindItem(CarriedItem* item) const
{
    if (!item)
        return inventory.empty() ? nullptr : inventory.front();
    const auto at = std::find(inventory.begin(), inventory.end(), item);
    return at == inventory.end() ? nullptr : *at;
}

CarriedItem* Character::FindNextItem(CarriedItem* item) const
{
    if (!item)
        return inventory.empty() ? nullptr : inventory.back();
    const auto at = std::find(inventory.begin(), inventory.end(), item);
    if (at == inventory.end() || at + 1 == inventory.end())
        return nullptr;
    return *(at + 1);
}

CarriedItem* Character::FindItemByName(const char* name) const
{
    for (CarriedItem* item : inventory) {
        if (name && std::strncmp(item->name, name, CarriedItem::kNameSize) == 0)
            return item;
    }
    return nullptr;
}

CarriedItem* Character::FindItemByType(int itemID) const
{
    for (CarriedItem* item : inventory) {
        if (item->itemID == itemID)
            return item;
    }
    return nullptr;
}

CarriedItem* Character::FindFlag() const
{
    for (CarriedItem* item : inventory) {
        if (item->category == CarriedItem::Flag)
            return item;
    }
    return nullptr;
}

CarriedItem* Character::GetPrimaryWeapon() const
{
    for (CarriedItem* item : inventory) {
        if (item->GetSlotKind() == 0)
            return item;
    }
    return nullptr;
}

CarriedItem* Character::GetSecondaryWeapon() const
{
    for (CarriedItem* item : inventory) {
        if (item->GetSlotKind() == 1)
            return item;
    }
    return nullptr;
}

void Character::DeleteInventory()
{
    if (heldItem)
        SelectItem(nullptr);
    std::vector<CarriedItem*> items;
    items.swap(inventory);
    for (CarriedItem* item : items)
        delete item;
}
