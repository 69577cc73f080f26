#include "characters/ai/Soldier.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "app/framework/Application.h"
#include "characters/ai/AILevelView.h"
#include "characters/ai/AIMissionServices.h"
#include "characters/objects/CarriedItem.h"
#include "characters/ai/Formation.h"
#include "characters/level/LevelScene.h"
#include "characters/level/NetworkSession.h"
#include "characters/level/RunningLevel.h"
#include "characters/ai/WaypointGraph.h"
#include "characters/level/WeaponQueries.h"
#include "engine/core/EngineLog.h"
#include "engine/core/RandomMT.h"
#include "engine/core/q3DError.h"
#include "engine/serial/SaveStream.h"
#include "engine/sprite/Sprite.h"
#include "renderer/Device.h"

namespace {

constexpr const char* kStateNames[SoldierStateCount] = {
    "Attack", "BurstAttack", "ChargeAttack", "Cower", "FadeAttack", "Follow", "Idle", "LookAround",
    "MoveToDestination", "MoveToTarget", "Patrol", "ResumePatrol", "StationaryAttack", "Use", "VehicleAttack",
    "VehiclePatrol", "ZeroIn",
};

// Speeds before the movement table is read: walk and run standing, crouched, prone.
constexpr float kDefaultWalk[3] = {10.0f, 5.0f, 2.0f};
constexpr float kDefaultRun[3] = {20.0f, 6.0f, 2.0f};
// The movespeeds lines of the walk and run animations of each posture.
constexpr int kWalkLines[3] = {10, 12, 14};
constexpr int kRunLines[3] = {8, 11, 13};

// The formation-slot markers every soldier shares: made with the first soldier, freed with the last.
struct SharedMarkers {
    int holders = 0;
    std::vector<std::unique_ptr<Sprite>> sprites;
};

SharedMarkers& Markers()
{
    static SharedMarkers markers;
    return markers;
}

void TakeMarkers()
{
    SharedMarkers& markers = Markers();
    if (markers.holders++ > 0)
        return;
    Application* application = Application::Instance();
    Device* device = application ? application->GetDevice() : nullptr;
    if (!device)
        return;
    try {
        for (int i = 0; i < 4; ++i) {
            auto sprite = std::make_unique<Sprite>(device, "GameData/fx/dot.tga");
            sprite->scale = 1.0f;
            markers.sprites.push_back(std::move(sprite));
        }
    } catch (const q3DError& error) {
        LogToEngine("%s", error.GetText());
        markers.sprites.clear();
    }
}

void ReleaseMarkers()
{
    SharedMarkers& markers = Markers();
    if (--markers.holders <= 0) {
        markers.holders = 0;
        markers.sprites.clear();
    }
}

} // namespace

void TargetInfo::Clear()
{
    // An object that went away (its identifier no longer names it) has no count left to lower.
    if (target && GameObject::GetByID(id) == target && target->targetedByCount > 0)
        --target->targetedByCount;
    target = nullptr;
    id = -1;
    lastSeen = Vector3();
    distanceSquared = 0.0f;
    sightStimulus = 0.0f;
    rating = kNoRating;
    replan = 1;
    hostile = 0;
}

PtrListNode* FindNearestPathNode(const PtrList* list, const Vector3& point)
{
    if (!list)
        return nullptr;
    PtrListNode* best = nullptr;
    float bestDistance = 0.0f;
    for (PtrListNode* node = list->GetHead(); node; node = node->next) {
        const float d = PathPosition(node).DistanceSquared(point);
        if (!best || d < bestDistance) {
            best = node;
            bestDistance = d;
        }
    }
    return best;
}

Soldier::Soldier()
{
    TakeMarkers();
}

Soldier::~Soldier()
{
    target.Clear();
    ReleaseMarkers();
}

void Soldier::DrawFormationMarkers(Device* device)
{
    if (!device || !RunningLevel::AI().IsDebugDraw())
        return;
    for (auto& sprite : Markers().sprites)
        sprite->Draw(device);
}

void Soldier::PlaceFormationMarkers()
{
    Application* application = Application::Instance();
    Device* device = application ? application->GetDevice() : nullptr;
    if (!device || !formationLink || !formationLink->formation)
        return;
    const Formation* formation = formationLink->formation;
    std::size_t index = 0;
    for (FormationMember* member : formation->members) {
        if (index >= Markers().sprites.size())
            break;
        Vector3 slot;
        Formation::GetSlotPosition(slot, formation->anchor, formation->orientation, member);
        Vector3 screen;
        device->ProjectPoint(&screen, &slot);
        Sprite& sprite = *Markers().sprites[index++];
        sprite.x = std::int32_t(screen.x);
        sprite.y = std::int32_t(screen.y);
    }
}

const char* Soldier::StateName(int s)
{
    return s >= 0 && s < SoldierStateCount ? kStateNames[s] : "Default (BAD!!!)";
}

void Soldier::AppendDebug(const char* format, ...)
{
    const std::size_t used = std::strlen(debugText);
    if (used + 1 >= sizeof debugText)
        return;
    va_list args;
    va_start(args, format);
    std::vsnprintf(debugText + used, sizeof debugText - used, format, args);
    va_end(args);
}

void Soldier::SetState(int newState, float limit)
{
    if (newState == state)
        return;
    if (previousAction == 40 || previousAction == 41 || previousAction == 42)
        StartAction(0, true);
    previousState = state;
    state = newState;
    phase = Entering;
    timeLeft = limit;
    CarriedItem* held = GetHeldItem();
    if ((HoldsWeapon() && WeaponIsAutomatic(held)) || HoldsVehicle())
        StopUsingHeldItem();
    aiming = 0;
    AppendDebug("***Soldier::SetState(%s) (GameObject: %d)***\n", StateName(newState), int(GetID()));
}

bool Soldier::HoldsWeapon() const
{
    return heldItem && heldItem->category == CarriedItem::Weapon;
}

bool Soldier::HoldsVehicle() const
{
    return heldItem && heldItem->category == CarriedItem::Vehicle;
}

float Soldier::Draw()
{
    if (IsNetworkGameRunning())
        RunningLevel::Network().SyncRandomSeed();
    return frandomMT();
}

std::uint32_t Soldier::DrawInteger()
{
    if (IsNetworkGameRunning())
        RunningLevel::Network().SyncRandomSeed();
    return randomMT();
}

void Soldier::ForgetVanishedTarget()
{
    if (target.target && GameObject::GetByID(target.id) != target.target)
        target.Clear();
}

void Soldier::UpdateAI(float elapsed)
{
    ForgetVanishedTarget();
    running = false;
    steering.SetTransform(world);
    switch (state) {
    case StateAttack: UpdateAttack(elapsed); break;
    case StateBurstAttack: UpdateBurstAttack(elapsed); break;
    case StateChargeAttack: UpdateChargeAttack(elapsed); break;
    case StateCower: UpdateCower(elapsed); break;
    case StateFadeAttack: UpdateFadeAttack(elapsed); break;
    case StateFollow: {
        const bool squad = kind == SquadKind &&
                           (!(roles & Ally) || GetFormationLeader() == RunningLevel::Scene().CurrentPlayer());
        if (squad)
            UpdateFollowSquad(elapsed);
        else
            UpdateFollow(elapsed);
        break;
    }
    case StateIdle: UpdateIdle(elapsed); break;
    case StateLookAround: UpdateLookAround(elapsed); break;
    case StateMoveToDestination: UpdateMoveToDestination(elapsed); break;
    case StateMoveToTarget: UpdateMoveToTarget(elapsed); break;
    case StatePatrol: UpdatePatrol(elapsed); break;
    case StateResumePatrol: UpdateResumePatrol(elapsed); break;
    case StateStationaryAttack: UpdateStationaryAttack(elapsed); break;
    case StateUse: UpdateUse(elapsed); break;
    case StateVehicleAttack: UpdateVehicleAttack(elapsed); break;
    case StateVehiclePatrol: UpdateVehiclePatrol(elapsed); break;
    case StateZeroIn: UpdateZeroIn(elapsed); break;
    default: break;
    }
    if (aiming)
        MoveInDirection(steering.Combine());
    else
        turnAngle = steering.GetTurnAngle();
    const float limit = (state == StateFollow ? 3.0f : 4.5f) * elapsed;
    turnAngle = std::clamp(std::isfinite(turnAngle) ? turnAngle : 0.0f, -limit, limit);
    if (IsFollowingRoute() && !pathFollower.nextNode) {
        StartAction(0, false);
        moveInput = Vector3();
    }

    if (debugOutput) {
        static constexpr struct {
            int bit;
            const char* name;
        } kRoles[] = {{Stationary, "Stationary"},           {Inactive, "Inactive"},
                      {Reinforcements, "Reinforcements"},   {Alarmer, "Alarmer"},
                      {AlarmResponder, "Alarm Responder"}, {Ally, "Ally"},
                      {RunPatrol, "Run Patrol"},           {StationaryPatrol, "Stationary Patrol"}};
        bool any = false;
        for (const auto& role : kRoles) {
            if (roles & role.bit) {
                AppendDebug("                    Role | %s\n", role.name);
                any = true;
            }
        }
        if (!any)
            AppendDebug("                    Role | None Set\n");
        AppendDebug("                   State | %s\n", StateName(state));
        AppendDebug("     Target Sight Stim | %.2f\n", double(target.sightStimulus));
        AppendDebug("      Alert (Alertness) | %d (%.2f)\n", alerted ? 1 : 0, double(awareness));
        if (target.rating == TargetInfo::kNoRating)
            AppendDebug("         Target Rating | *NO TARGET*\n");
        else
            AppendDebug("         Target Rating | %.2f\n", double(target.rating));
        AppendDebug("       Target Distance | %.2f\n", double(std::sqrt(std::max(target.distanceSquared, 0.0f))));
        AppendDebug("          Weapon Range | %.2f\n", double(std::sqrt(GetWeaponRangeSquared())));
        DebugPrint(true, false, -1, "%s", debugText);
    }
    debugText[0] = '\0';
}

// --- movement and weapons ---

float Soldier::GetWalkSpeed(int p) const
{
    p = std::clamp(p, 0, 2);
    const float line = GetSpeedLine(kWalkLines[p]);
    return line > 0.0f ? line : kDefaultWalk[p];
}

float Soldier::GetRunSpeed(int p) const
{
    p = std::clamp(p, 0, 2);
    const float line = GetSpeedLine(kRunLines[p]);
    return line > 0.0f ? line : kDefaultRun[p];
}

void Soldier::SetForwardSpeed(int speedKind)
{
    if (speedKind == 3) {
        moveInput = Vector3(0.0f, 0.0f, GetRunSpeed(posture));
        running = true;
    } else {
        moveInput = Vector3(0.0f, 0.0f, GetWalkSpeed(posture));
    }
}

void Soldier::MoveInDirection(const Vector3& direction)
{
    Vector3 local = rotation.Transpose().Transform(direction);
    local.y = 0.0f;
    local.Normalize();
    if (std::fabs(local.z) - std::fabs(local.x) < 0.5f && local.x != 0.0f)
        StartAction(local.x > 0.0f ? 7 : 6, false);
    const bool sideways = currentAction == 6 || currentAction == 7;
    float speed = GetRunSpeed(posture);
    if (sideways)
        speed = posture == Standing ? 13.0f : posture == Crouching ? 10.0f : 5.0f;
    moveInput = local * speed;
    running = true;
}

void Soldier::AlignToPath()
{
    if (!pathFollower.nextNode)
        return;
    Vector3 forward = PathPosition(pathFollower.nextNode) - position;
    if (forward.Normalize().LengthSquared() <= 0.0f)
        return;
    Vector3 up(0.0f, 1.0f, 0.0f);
    if (std::fabs(forward.Dot(up)) > 1.0f - 1e-6f)
        up = Vector3(0.0f, 0.0f, 1.0f);
    Vector3 right = Cross(up, forward);
    right.Normalize();
    up = Cross(forward, right);
    Matrix4 look;
    look.Set(right.x, right.y, right.z, 0.0f, up.x, up.y, up.z, 0.0f, forward.x, forward.y, forward.z, 0.0f,
             position.x, position.y, position.z, 1.0f);
    steering.SetTransform(look);
}

void Soldier::StandAndHoldFirstItem()
{
    SetPosture(Standing);
    SelectItem(inventory.empty() ? nullptr : inventory.front());
}

float Soldier::GetWeaponRangeSquared()
{
    if (!HoldsWeapon())
        return 0.0f;
    const float range = WeaponRange(heldItem);
    const float view = RunningLevel::AI().CameraFar() - 50.0f;
    return view < range ? view * view : range * range;
}

float Soldier::GetAimDelay()
{
    const float r = Draw();
    switch (MissionDifficulty()) {
    case 0: return 1.5f + r;
    case 2: return 0.8f + 0.7f * r;
    default: return 1.0f + r;
    }
}

void Soldier::SetPosition(float x, float y, float z)
{
    Character::SetPosition(x, y, z);
    if (kind == SquadKind && formationLink && !LeadsFormation()) {
        goalPosition = Vector3(x, y, z);
        const WaypointGraph* graph = RunningLevel::AI().Waypoints();
        goalNode = graph ? graph->FindNearestNode(x, y + 1.0f, z) : nullptr;
    }
}

// --- saved block ---

void Soldier::Save(SaveStream* stream)
{
    AI::Save(stream);
    stream->WriteUInt8(1);
    stream->WriteVector3(goalPosition);
    stream->WriteVector3(destination.destination);
    stream->WriteVector3(destination.lastGoal);
    stream->WriteInt32(destination.value);
    stream->WriteUInt8(destination.replan);
    stream->WriteUInt8(destination.run);
    stream->WriteBytes(destination.spare, sizeof destination.spare);
    stream->WriteInt32(state);
    stream->WriteInt32(previousState);
    stream->WriteInt32(phase);
    stream->WriteFloat(timeLeft);
    stream->WriteFloat(timerA);
    stream->WriteFloat(followDelay);
    stream->WriteUInt8(mayAlertComrades);
    stream->WriteUInt8(aiming);
}

void Soldier::Load(SaveStream* stream)
{
    AI::Load(stream);
    stream->ExpectVersion(1, "Incorrect version number in Soldier block");
    const Vector3 goal = stream->ReadVector3("soldier's goal");
    SoldierDestination loaded;
    loaded.destination = stream->ReadVector3("soldier's destination");
    loaded.lastGoal = stream->ReadVector3("soldier's last goal");
    loaded.value = stream->ReadInt32();
    loaded.replan = stream->ReadUInt8();
    loaded.run = stream->ReadUInt8();
    stream->ReadBytes(loaded.spare, sizeof loaded.spare);
    const std::int32_t loadedState = stream->ReadInRange(0, SoldierStateCount - 1, "soldier's state");
    const std::int32_t loadedPrevious = stream->ReadInRange(0, SoldierStateCount - 1, "soldier's previous state");
    const std::int32_t loadedPhase = stream->ReadInRange(Entering, Finished, "soldier's state phase");
    const float loadedTimeLeft = stream->ReadFloatOrInfinity("soldier's time left");
    const float loadedTimerA = stream->ReadFloat("soldier's timer");
    const float loadedDelay = stream->ReadFloat("soldier's follow delay");
    const std::uint8_t alert = stream->ReadUInt8();
    const std::uint8_t loadedAiming = stream->ReadUInt8();
    goalPosition = goal;
    destination = loaded;
    state = loadedState;
    previousState = loadedPrevious;
    phase = loadedPhase;
    target.Clear();
    timeLeft = loadedTimeLeft;
    timerA = loadedTimerA;
    followDelay = loadedDelay;
    mayAlertComrades = alert;
    aiming = loadedAiming;
    followOwnLeader = 0;
    const WaypointGraph* graph = RunningLevel::AI().Waypoints();
    goalNode = graph ? graph->FindNearestNode(goal.x, goal.y + 1.0f, goal.z) : nullptr;
}
