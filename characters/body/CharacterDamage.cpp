// Hits, damage, death, falling, burning, the settling of a body, network movement and the
// per-frame update.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "app/framework/Options.h"
#include "characters/body/AnimationController.h"
#include "characters/body/BodySounds.h"
#include "characters/objects/CarriedItem.h"
#include "characters/body/Character.h"
#include "characters/level/LevelScene.h"
#include "characters/level/RunningLevel.h"
#include "engine/core/EngineLog.h"
#include "characters/level/NetworkSession.h"
#include "characters/level/RunningLevel.h"
#include "characters/level/CampaignStatistics.h"
#include "engine/animation/AnimatedModel.h"
#include "engine/camera/Camera.h"
#include "engine/core/HitResult.h"
#include "engine/particle/qParticle.h"
#include "media/Sound3D.h"
#include "physics/Collision.h"
#include "physics/CollisionGather.h"
#include "world/map/MapObject.h"
#include "world/PickResult.h"
#include "world/props/PropClasses.h"
#include "world/World.h"

namespace {

constexpr float kNoHeight = 3.4e38f;

bool IsNetworked()
{
    return IsNetworkServerActive() || IsNetworkClientConnected();
}

bool Finite(const Vector3& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// The steepest ground a character stands on without sliding down it: 45 degrees (the tangent).
constexpr float kSteepestStandingSlope = 1.0f;

// One move of the collision ellipsoid (its radii already set); a result that is not a number
// leaves the body where it was.
Vector3 SweepEllipsoid(const Vector3& from, const float orientation[9], const Vector3& move, int response)
{
    Vector3 reached = from + move;
    CollisionSetMode(CollisionQuery::ShapeEllipsoid, response);
    CollisionSetMove(from.x, from.y, from.z, orientation, move.x, move.y, move.z);
    CollisionMove(&reached, nullptr, nullptr);
    return Finite(reached) ? reached : from;
}

// A body under gravity: the fall and the step are swept apart. Slid together, the fall would
// be carried down along any slope the body rests on, and a soldier standing on a hillside would
// creep downhill. The fall stops where it meets the ground and slides on only where that ground
// is too steep to stand on (or the slide wedges in, as a whole move would); then the step slides
// along whatever it meets.
Vector3 FallThenStep(const Vector3& from, const float orientation[9], const Vector3& movement)
{
    Vector3 at = SweepEllipsoid(from, orientation, Vector3(0.0f, movement.y, 0.0f), CollisionQuery::ResponseStop);
    const float unfallen = from.y + movement.y - at.y;
    bool standing = false;
    if (unfallen < -0.0001f) {
        const Vector3 slid =
            SweepEllipsoid(at, orientation, Vector3(0.0f, unfallen, 0.0f), CollisionQuery::ResponseSlide);
        // Slid down a plane, the body follows its steepest line, whose rise over run is the slope.
        const float across = std::hypot(slid.x - at.x, slid.z - at.z);
        if (CollisionSlideExhausted() || at.y - slid.y > kSteepestStandingSlope * across)
            at = slid;
        else
            standing = true;
    }
    if (movement.x == 0.0f && movement.z == 0.0f)
        return at;
    const Vector3 stepped =
        SweepEllipsoid(at, orientation, Vector3(movement.x, 0.0f, movement.z), CollisionQuery::ResponseSlide);
    if (!standing)
        return stepped;
    // A level step off ground that falls away ahead leaves the body in the air, and the fall that
    // catches up with it would be taken for a drop from a height: walking down a slope it could
    // stand on, the body keeps to the ground. Where the ground falls away more steeply (a ledge)
    // the step stays level and the body falls.
    const float drop = kSteepestStandingSlope * std::hypot(stepped.x - at.x, stepped.z - at.z);
    const Vector3 down = SweepEllipsoid(stepped, orientation, Vector3(0.0f, -drop, 0.0f), CollisionQuery::ResponseStop);
    return down.y > stepped.y - drop + 0.0001f ? down : stepped;
}

} // namespace

// ------------------------------------------------------------------------------------------------
// Regions and factors

int Character::GetBodyRegion(int bone) const
{
    const auto is = [&](std::initializer_list<Bone> list) {
        for (Bone b : list) {
            if (bones[b] >= 0 && bones[b] == bone)
                return true;
        }
        return false;
    };
    if (is({LeftFoot, LeftThigh, LeftCalf, LeftToe}))
        return 4;
    if (is({RightFoot, RightThigh, RightCalf, RightToe}))
        return 5;
    if (is({LeftUpperArm, LeftForearm, LeftHand, LeftFinger0, LeftFinger1, LeftClavicle}))
        return 2;
    if (is({RightUpperArm, RightForearm, RightHand, RightFinger0, RightFinger1, RightClavicle}))
        return 3;
    if (is({Head, Neck}))
        return 0;
    return 1;
}

float Character::GetBoneDamageFactor(int bone) const
{
    // A bone outside the table (the held-item marker, a stray index) counts as a plain hit.
    if (boneDamage.empty() || bone == kHeldItemBone || bone < 0 || bone >= int(boneDamage.size()))
        return 1.0f;
    const Options* options = Options::Instance();
    if (!options || options->GetOption(Options::DamageRealism) == 0)
        return 1.0f;
    const float factor = boneDamage[std::size_t(bone)];
    return factor == 0.0f ? 1.0f : factor;
}

// ------------------------------------------------------------------------------------------------
// Damage and death

bool Character::OnHit(int amount, const Vector3& point, const Vector3& direction, HitResult* record, int weapon,
                      int flag, const char* weaponName)
{
    (void)record;
    if (health <= 0)
        return false;
    float protection = 1.0f;
    if (heldItem && heldItem->category == CarriedItem::Vehicle) {
        heldItem->ApplyDamage(amount, point, direction);
        protection = 1.0f - heldItem->GetTroopProtection() * 0.01f;
        if (heldItem->GetLastDamage() == 0)
            amount = 0;
    } else if (IsRiding()) {
        if (CarriedItem* vehicle = RunningLevel::Scene().RidingVehicle(this))
            protection = 1.0f - vehicle->GetTroopProtection() * 0.01f;
    }
    health -= int(protection * float(amount));
    lastHitPoint = point;
    Matrix4 toLocal = world;
    toLocal.Invert();
    lastHitDirection = toLocal.TransformDirection(direction);
    if (health >= 1)
        return false;
    overkill -= health;
    Die(true, weapon, flag, weaponName);
    return true;
}

void Character::TakeDamage(int amount, const Vector3& point, const Vector3& direction, HitResult* record,
                           int weaponID, int attackerID, bool shortForm)
{
    if (health <= 0)
        return;
    const char* weaponName = "Unknown";
    if (weaponID != -1) {
        GameObject* weapon = GameObject::GetByID(std::int16_t(weaponID));
        if (weapon && weapon->objectType == ItemType)
            weaponName = static_cast<CarriedItem*>(weapon)->name;
    }
    if (!IsNetworked()) {
        OnHit(amount, point, direction, record, attackerID, 0, weaponName);
        return;
    }
    if (IsProtected())
        return;
    // A networked game reports the damage and the receivers apply it through OnHit. Exactly one
    // machine reports each hit: the attacking human's, the hit human's when nobody human attacked,
    // and the host's for a victim no human plays.
    Character* localPlayer = RunningLevel::Scene().CurrentPlayer();
    GameObject* weaponObject = weaponID != -1 ? GameObject::GetByID(std::int16_t(weaponID)) : nullptr;
    CarriedItem* weapon = weaponObject && weaponObject->objectType == ItemType ? static_cast<CarriedItem*>(weaponObject)
                                                                               : nullptr;
    Character* attacker = weapon ? weapon->owner : nullptr;
    const bool attackerIsLocal = attacker && attacker == localPlayer;
    const bool attackerIsOtherHuman = attacker && !attackerIsLocal && attacker->GetController() != 2;
    const bool victimIsLocal = this == localPlayer;
    const bool victimIsHuman = GetController() != 2;
    bool fromServer = false;
    if (IsNetworkClientConnected() && (attackerIsLocal || (victimIsLocal && !attackerIsOtherHuman)))
        fromServer = false;
    else if (IsNetworkServerActive() && !victimIsHuman && !attackerIsOtherHuman)
        fromServer = true;
    else
        return;
    if (shortForm) {
        SendDamageReport(amount, GetID(), std::int16_t(attackerID), fromServer);
        return;
    }
    HitDamageReport report;
    report.amount = amount;
    report.point = point;
    report.direction = direction;
    report.victim = GetID();
    report.weapon = std::int16_t(weaponID);
    report.attacker = std::int16_t(attackerID);
    report.weaponName = weaponName;
    report.vehicle = weapon && weapon->category == CarriedItem::Vehicle;
    SendHitDamageReport(report, fromServer);
}

bool Character::Die(bool notify, int killerID, int weapon, const char* weaponName)
{
    if (notify && IsNetworked()) {
        health = 1;
        if (kind == SquadKind && GetController() != 2) {
            // The human's own machine reports it; the others wait for that report.
            if (this == RunningLevel::Scene().CurrentPlayer() && IsNetworkClientConnected())
                SendDeathReport(GetID(), killerID, weapon, weaponName, false);
            return true;
        }
        if (IsNetworkServerActive())
            SendDeathReport(GetID(), killerID, weapon, weaponName, true);
        return true;
    }
    if (health > 0)
        health = 0;
    if (IsNetworked()) {
        const std::uint32_t delay = std::max<std::uint32_t>(GetCharacterServerSettings().respawnDelay, 2000u);
        respawnTime = int(GetNetworkTime() + delay);
    }
    if (kind == EnemyKind) {
        GameObject* killerObject = killerID != -1 ? GameObject::GetByID(std::int16_t(killerID)) : nullptr;
        Character* killer =
            killerObject && killerObject->objectType == CharacterType ? static_cast<Character*>(killerObject) : nullptr;
        RunningLevel::Statistics().EnemyKilled(this, killer && killer->kind == SquadKind ? killer : nullptr,
                                               weaponName ? weaponName : "");
    }
    if (deathTrigger)
        deathTrigger();
    return true;
}

// ------------------------------------------------------------------------------------------------
// Falling

void Character::MoveWithCollision(float elapsed, bool applyX, bool applyY, bool applyZ, const Vector3& movement)
{
    (void)applyY;
    const Vector3 wanted = position + movement;
    Vector3 reached = wanted;
    if (World::Current()) {
        CollisionSetEllipsoid(radii.x, radii.y, radii.z);
        if (moveMode == 0 && gravity && movement.y < 0.0f)
            reached = FallThenStep(position, rotation.m, movement);
        else
            reached = SweepEllipsoid(position, rotation.m, movement, CollisionQuery::ResponseSlide);
    }
    if (gravity)
        fallRate += elapsed * 100.0f;
    if (std::fabs(reached.y - wanted.y) > 0.0001f || moveMode == 1) {
        if (!swimming) {
            const float fall = fallRate * (posture == Prone ? 0.1f : 1.0f);
            if (fall > 80.0f) {
                TakeDamage(int(0.8f * fall), Vector3(), Vector3(), nullptr, 0xFFFF, GetID(), false);
                if (health < 1)
                    StartAction(22, true);
            }
        }
        fallRate = 1.0f;
    }
    if (applyX)
        position.x = reached.x;
    position.y = reached.y;
    if (applyZ)
        position.z = reached.z;
}

// ------------------------------------------------------------------------------------------------
// Burning

void Character::SetOnFire(float seconds, std::uint16_t burner)
{
    burnTime = seconds;
    burnerID = burner;
    fireRunning = seconds > 0.0f;
    if (fireEffect)
        fireEffect->active = fireRunning;
    if (smokeEffect)
        smokeEffect->active = fireRunning;
}

void Character::Extinguish()
{
    burnTime = 0.0f;
    fireRunning = false;
    if (fireEffect)
        fireEffect->active = false;
    if (smokeEffect)
        smokeEffect->active = false;
}

void Character::UpdateBurning(float t)
{
    if (burnTime > 0.0f) {
        burnTime -= t;
        if (posture == Prone && running && std::fabs(lastMove.x) > 0.01f)
            burnTime -= 4.0f * t;
        if (swimming)
            burnTime = 0.0f;
        burnTick += 5.0f * t;
        while (burnTick > 1.0f && burnTime > 0.0f) {
            burnTick -= 1.0f;
            if (health >= 1 && OnHit(2, position, Vector3(), nullptr, burnerID, 0, "Fire")) {
                if (!RunningLevel::Scene().IsNetworkGame())
                    RunningLevel::Statistics().CountFireKill(burnerID);
                StartAction(22, true);
            }
        }
        if (burnTime <= 0.0f)
            Extinguish();
    }
    if (!fireRunning || !fireEffect)
        return;
    Vector3 at = position + Vector3(0.0f, gravity ? 1.0f : 4.0f, 0.0f);
    if (health <= 0)
        at = GetPelvisPosition();
    fireEffect->position = at;
    smokeEffect->position = at + Vector3(0.0f, 3.0f, 0.0f);
    fireEffect->UpdateTransform(t);
    smokeEffect->UpdateTransform(t);
}

// ------------------------------------------------------------------------------------------------
// The ground

void Character::SnapToGround(bool snap)
{
    World* world = World::Current();
    if (!world)
        return;
    Vector3 probe = position + Vector3(0.0f, 3.0f, 0.0f);
    PickResult objectHit, groundHit;
    const float objectHeight = world->GetObjectBelow(probe, &objectHit, nullptr);
    float groundHeight = world->GetGroundBelow(probe, &groundHit, nullptr);
    // The terrain is a floor only where its tile is solid, as the collision system has it.
    int column = 0, row = 0;
    world->WorldToCell(position.x, position.z, column, row);
    if (groundHeight >= kNoHeight || !IsOpaqueMaterial(world->GetCellTile(column, row).material))
        groundHeight = -kNoHeight;
    float height = 0.0f;
    Vector3 normal;
    const bool noObject = objectHeight >= kNoHeight || objectHeight <= -kNoHeight;
    if (noObject) {
        height = groundHeight;
        normal = groundHit.normal;
    } else if (objectHeight > groundHeight) {
        height = objectHeight;
        normal = objectHit.normal;
    } else {
        // The walkable terrain lies above the object's surface: it is the nearer floor.
        height = groundHeight;
        normal = groundHit.normal;
    }
    // Nothing found anywhere: keep height and tilt rather than move to the sentinel.
    if (height >= kNoHeight || height <= -kNoHeight)
        return;
    position.y = height + (collides ? radii.y : 0.0f);
    normal.Normalize();
    const Vector3 up(rotation.m[3], rotation.m[4], rotation.m[5]);
    Vector3 axis = Cross(up, normal);
    if (axis.LengthSquared() == 0.0f)
        return;
    axis.Normalize();
    float angle = std::acos(std::clamp(Dot(normal, up), -1.0f, 1.0f));
    if (!snap)
        angle = std::min(angle, 0.01f);
    if (angle == 0.0f)
        return;
    Matrix3 tilt;
    tilt.FromAxisAngle(angle, axis);
    rotation = rotation * tilt;
}

float Character::HalfMapWidth() const
{
    World* world = World::Current();
    return world ? float(world->width) * world->cellSize * 0.5f : 1.0e9f;
}

float Character::HalfMapDepth() const
{
    World* world = World::Current();
    return world ? float(world->height) * world->cellSize * 0.5f : 1.0e9f;
}

// ------------------------------------------------------------------------------------------------
// Network movement

bool Character::ApplyRemoteMove(float x, float y, float z, std::uint32_t timeStamp, std::uint32_t sequence)
{
    if (sequence <= lastMoveSequence)
        return false;
    const Vector3 target(x, y, z);
    const float d2 = (target - position).LengthSquared();
    // A damaged message must not reach the position.
    if (!Finite(target) || !Finite(position) || !std::isfinite(d2)) {
        LogToEngine("Nextposition: %f %f %f", double(x), double(y), double(z));
        LogToEngine("loc: %f %f %f", double(position.x), double(position.y), double(position.z));
        LogToEngine("d: %f", double(d2));
        return false;
    }
    lastMoveSequence = sequence;
    const std::uint32_t now = GetNetworkTime();
    if (timeStamp < now) {
        moveCorrectionTime = 0.3f;
        moveCorrection = float(now - timeStamp) * 0.001f * speedSamples.Mean() * 3.3333333f;
    }
    bool jump = d2 < 1.0f || d2 >= 400.0f;
    if (!jump && d2 > 25.0f) {
        World* world = World::Current();
        if (world) {
            HitResult ray;
            ray.origin = position - Vector3(0.0f, 1.0f, 0.0f);
            Vector3 direction = target - position;
            const float distance = direction.Length();
            direction.Normalize();
            ray.direction = direction;
            PickResult hit;
            if (world->Pick(ray, &hit, distance, nullptr) && hit.distance < distance)
                jump = true;
        }
    }
    if (jump) {
        position = target;
        glideTime = 0.0f;
        return true;
    }
    glideTime = 0.2f * std::pow(d2, 0.250001f);
    if (glideTime > 0.0f) {
        glideVelocity[0] = (x - position.x) / glideTime;
        glideVelocity[1] = (z - position.z) / glideTime;
    }
    return true;
}

// ------------------------------------------------------------------------------------------------
// The frame

void Character::MergeAmmoBelts()
{
    ammoMergePending = false;
    int belts = 0;
    for (CarriedItem* item : std::vector<CarriedItem*>(inventory)) {
        if (std::strcmp(item->name, "Ammo Belt") != 0)
            continue;
        DropItem(item, position);
        RunningLevel::Scene().DeleteItem(item);
        ++belts;
    }
    if (belts == 0)
        return;
    for (CarriedItem* item : inventory) {
        if (item->category == CarriedItem::Weapon && item->IsWeapon()) {
            item->SetMagazines(item->GetMagazines() + 2 * belts);
            break;
        }
    }
}

void Character::ChooseStanceAnimation()
{
    if (!animation)
        return;
    if (animationResetPending) {
        animation->Request(2, 13);
        animation->Request(3, 12);
        animation->Request(4, 14);
        animationResetPending = false;
        return;
    }
    if (alerted && (GetActionFlags(currentAction) & ActionNoStance))
        return;
    // The upper body holds the aim poses of the held item's set: up, level and down, twice.
    const bool armed = heldItem && posture != Prone && health > 0 && !swimming;
    animation->Request(2, armed ? 13 : -1);
    animation->Request(3, armed ? 12 : -1);
    animation->Request(4, armed ? 14 : -1);
    for (int c = 5; c <= 7; ++c)
        animation->Request(c, -1);
}

bool Character::IsFar() const
{
    World* world = World::Current();
    if (!world || !world->camera)
        return false;
    const float reach = world->camera->GetFar() + 2.0f * radii.z;
    return (RunningLevel::Scene().CameraPosition() - position).LengthSquared() > reach * reach;
}

void Character::UpdateMapObjectContacts(float elapsed)
{
    // A moving character sways the "swayprox" objects it brushes. The brush sounds of
    // "soundprox" and "swaysoundprox" objects come through PlayProximitySound from the map's
    // sound props; until they are built a character brushes them silently.
    World* world = World::Current();
    const PropFactory sway = World::GetSwayProxFactory();
    const bool still = previousTurnAngle == 0.0f && lastMove.LengthSquared() == 0.0f;
    if (world && sway && !still) {
        // The largest sway radius in the demo data is a few units; objects are scaled by at most 2.
        nearbyObjects.clear();
        world->GatherObjectsInRadius(position, 40.0f, nearbyObjects);
        for (MapObject* object : nearbyObjects) {
            auto* prop = static_cast<SwayProxProp*>(object->FindProp(sway));
            if (!prop)
                continue;
            const float reach = prop->radius * object->GetScale();
            if ((object->GetPosition() - position).LengthSquared() < reach * reach)
                prop->Trigger();
        }
    }
    // A brushed object's sound fades out within half a second once nothing renews it; the pass
    // that started or renewed it leaves it at full level.
    if (proximityRenewed) {
        proximityRenewed = false;
        return;
    }
    if (proximityHandle == -1)
        return;
    proximityLevel -= 2.0f * elapsed;
    if (proximityLevel <= 0.0f) {
        if (proximitySound)
            proximitySound->Stop(proximityHandle);
        proximitySound = nullptr;
        proximityHandle = -1;
        proximityLevel = 0.0f;
    } else if (proximitySound) {
        proximitySound->SetDistances(300.0f, 20.0f * proximityLevel, proximityHandle);
    }
}

void Character::PlayProximitySound(Sound3D* sound, const Vector3& point)
{
    if (!sound)
        return;
    if (sound != proximitySound || proximityHandle == -1) {
        if (proximitySound && proximityHandle != -1)
            proximitySound->Stop(proximityHandle);
        proximitySound = sound;
        proximityHandle = sound->Play();
    }
    sound->SetDistances(300.0f, 20.0f, proximityHandle);
    sound->SetPosition(point.x, point.y, point.z, proximityHandle);
    proximityLevel = 1.0f;
    proximityRenewed = true;
    if (proximityHandle == -1)
        proximitySound = nullptr; // nothing plays: nothing to fade
}

void Character::Update(float t)
{
    // 1. Timers.
    loadCountdown = std::max(0.0f, loadCountdown - t);
    blinkTime -= t;
    if (stunTime > 0.0f) {
        stunTime -= t;
        if (health > 0 && stunTime > 0.0f && !swimming) {
            if (posture == Prone)
                SetPostureImmediate(Crouching);
            if (!actionLocked && currentAction != 38)
                StartAction(38, false);
        } else {
            stunTime = 0.0f;
            if (health > 0) {
                StartAction(0, true);
                SetPostureImmediate(Crouching);
            }
        }
    }
    hurtTime = std::max(0.0f, hurtTime - t);
    protectionTime = std::max(0.0f, protectionTime - t);

    // 2. A dead body settles.
    if (health <= 0) {
        collides = gravity = alerted = false;
        hurtTime = stunTime = 0.0f;
        if (!deathSettled) {
            const float clock = animation ? animation->GetChannelClock(0) : 0.0f;
            const AnimationControl* control = animation ? animation->GetVariationControl(0) : nullptr;
            const float duration = control && model ? model->GetDuration(const_cast<AnimationControl*>(control)) : 0.0f;
            // Without an animation on channel 0 the body has nothing to wait for, unless its death
            // is about to start there.
            const bool starting = animation && animation->IsRequestPending(0);
            if (previousAction == 39 || (duration > 0.0f && clock > 0.6f * duration) || (!control && !starting)) {
                if (!swimming && posture != Prone && previousAction != 39)
                    RunningLevel::Sounds().PlayHitGroundSound(this);
                deathSettled = true;
            } else {
                SnapToGround(false);
            }
        }
    }

    // 3. Activation.
    if ((roles & Inactive) && activationTrigger >= 0 && isTriggerFired && isTriggerFired(activationTrigger)) {
        if (kind == EnemyKind && (roles & Reinforcements)) {
            alerted = true;
            CallAsReinforcement();
        }
        roles &= ~Inactive;
        activationTrigger = -1;
    }
    if (roles & Inactive) {
        SceneNode::Update(0.0f);
        return;
    }
    if ((roles & Stationary) && activationTrigger >= 0 && isTriggerFired && isTriggerFired(activationTrigger)) {
        roles &= ~(Stationary | StationaryPatrol);
        activationTrigger = -1;
    }

    // 4.
    if (ammoMergePending)
        MergeAmmoBelts();

    // 5. Steadiness, the body's movement, the map objects.
    UpdateSteadiness(t);
    const Vector3 start = position;
    UpdateAnimationState(t, true);
    UpdateMapObjectContacts(t);

    // 6. Network catch-up.
    catchUpDistance = 0.0f;
    if (!(moveCorrection > 0.0f) || !std::isfinite(moveCorrection))
        moveCorrectionTime = 0.0f; // a step of nothing would never use the time up
    if (moveCorrectionTime > 0.0f) {
        const float step = std::min(moveCorrection, moveCorrectionTime);
        moveCorrectionTime -= step;
        const Vector3 before = position;
        UpdateAnimationState(step, false);
        catchUpDistance = (position - before).Length();
    }
    (void)start;

    // 7. The legs' playback speed follows the ground covered. A character that was not asked to
    // move keeps the full speed: on a slope the collision's settling slides it a little every
    // frame, which would otherwise slow its stance and posture steps to the lower limit.
    if (animation) {
        const float speed = velocity.Length();
        const bool asked = lastMove.Length() > 0.01f || catchUpDistance > 0.0f;
        float rate = 1.0f;
        if (asked && speed > 0.001f) {
            rate = (catchUpDistance + lastMove.Length()) / speed;
            rate = std::clamp(rate, running ? 0.5f : 0.2f, 1.6f);
        }
        animation->SetChannelSpeed(0, rate);
    }

    // 8. Out of bounds.
    if (std::fabs(position.x) > HalfMapWidth() || std::fabs(position.z) > HalfMapDepth()) {
        LogToEngine("Character somehow out of bounds! loc: %f %f %f", double(position.x), double(position.y),
                    double(position.z));
        const float ground = RunningLevel::Scene().GroundHeight(Vector3(0.0f, position.y, 0.0f));
        // Without a ground answer the height is kept rather than taking the sentinel. A body that
        // collides is held by its ellipsoid, whose centre is its position: put there at the ground's
        // height it would sink into the ground and fall through the world, so it stands on it. The
        // move is no fall.
        const float standing = collides ? radii.y : 0.0f;
        position = Vector3(0.0f, ground < kNoHeight ? ground + standing : position.y, 0.0f);
        fallRate = 1.0f;
    }

    // 9. The held item and the stance.
    if (heldItem)
        heldItem->UpdateTransform(t);
    ChooseStanceAnimation();

    // 10. The controller runs near the camera, and always for actions that must be seen through.
    const bool animate = !IsFar() || (GetActionFlags(previousAction) & ActionAlwaysAnimate);
    if (animation && animate)
        animation->Update(t);

    // 11. Aim blend between the up, level and down poses.
    if (animation) {
        const float s = aimNode.rotation.m[7];
        const float weights[6] = {s > 0.0f ? s : 0.0f, s > 0.0f ? 1.0f - s : 1.0f + s, s > 0.0f ? 0.0f : -s,
                                  s > 0.0f ? s : 0.0f, s > 0.0f ? 1.0f - s : 1.0f + s, s > 0.0f ? 0.0f : -s};
        for (int c = 2; c <= 7; ++c)
            animation->SetChannelWeight(c, weights[c - 2]);
    }

    // 12-13.
    UpdateTurning(t);
    if (actionLocked && animation && !animation->IsPlaying(0))
        actionLocked = false;

    // 14. Burning.
    UpdateBurning(t);

    SceneNode::Update(animate ? t : 0.0f);
}

bool Character::IntersectRay(HitResult& hit, int flags)
{
    (void)flags;
    HitResult best = hit;
    bool found = false;
    if (heldItem) {
        HitResult itemHit = hit;
        if (heldItem->IntersectRay(itemHit)) {
            best = itemHit;
            lastHitBone = kHeldItemBone;
            found = true;
        }
    }
    if (model && drawBody) {
        HitResult bodyHit = hit;
        if (model->IntersectRay(bodyHit) && (!found || bodyHit.distance < best.distance)) {
            best = bodyHit;
            lastHitBone = model->hitBone;
            found = true;
        }
    }
    if (found)
        hit = best;
    return found;
}
