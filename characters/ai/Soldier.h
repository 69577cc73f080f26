#pragma once

#include <cstdint>

#include "characters/ai/AI.h"
#include "characters/ai/Stimulus.h"

struct WaypointGraphNode;

// The AI states of a soldier; changed only through Soldier::SetState.
enum SoldierState {
    StateAttack, StateBurstAttack, StateChargeAttack, StateCower, StateFadeAttack, StateFollow, StateIdle,
    StateLookAround, StateMoveToDestination, StateMoveToTarget, StatePatrol, StateResumePatrol,
    StateStationaryAttack, StateUse, StateVehicleAttack, StateVehiclePatrol, StateZeroIn, SoldierStateCount
};

// The soldier's current target. Ratings above 100 count as hostile, above 5000 as seen, above
// 10000 as in clear sight.
struct TargetInfo {
    static constexpr float kNoRating = -3.4e38f;

    GameObject* target = nullptr;
    std::int16_t id = -1;
    Vector3 lastSeen;          // where the target stood when the path to it was last planned
    float distanceSquared = 0.0f;
    float sightStimulus = 0.0f;
    float rating = kNoRating;
    std::uint8_t replan = 1;   // the path to the target must be planned again
    std::uint8_t hostile = 0;

    // Drops the target (its targeted-by count goes down) and resets the record.
    void Clear();
};

// An order to move to a point; 32 bytes in the saved block.
struct SoldierDestination {
    Vector3 destination;
    Vector3 lastGoal;       // the goal the route was last planned to
    std::int32_t value = 0; // kept, not read
    std::uint8_t replan = 1;
    std::uint8_t run = 0;
    std::uint8_t spare[2] = {0, 0};
};

// The computer-driven fighting man: a state machine of seventeen states that the subclass's update
// chooses and UpdateAI carries out each frame, the current target, the movement and firing the
// states share, the stimuli it offers the others' senses, and its saved block. The enemy, neutral,
// animal and player classes build on it.
//
// The saved block (after the AI block): version 1; goal position (12); the destination record
// (32); state, previous state, phase (int each); time left, timer A, follow delay (floats); may
// alert comrades, aiming (1 each).
class Soldier : public AI {
public:
    static constexpr float kNoLimit = -3.4e38f;
    enum Phase { Entering = 0, Running = 1, Finished = 2 };

    Soldier();
    ~Soldier() override;

    void Load(SaveStream* stream) override;
    void Save(SaveStream* stream) override;
    // The soldier's per-frame decision step is its stimuli.
    void Think() override { UpdateStimuli(); }
    float GetTargetRating(GameObject* observer, const Stimulus* stimulus, float distanceSquared) override;
    void SetPosition(float x, float y, float z) override;

    // --- the state machine ---
    void SetState(int newState, float timeLeft);
    // One step of the current state, then steering and the debug text.
    virtual void UpdateAI(float elapsed);
    bool IsFinished(int s) const { return state == s && phase == Finished; }
    static const char* StateName(int s);

    // --- targeting, stimuli and skills ---
    void UpdateStimuli();
    void ConsiderTarget(GameObject* candidate, const Stimulus& stimulus, float distanceSquared);
    virtual void SetTarget(GameObject* newTarget, float rating, bool hostile);
    void AlertNearby(int characterKind, float radius, GameObject* alertTarget);
    bool HearsGunfire();
    void ChooseAttackPosture();
    void UpdateFormationLeader();
    float GetSkill(int index) override { (void)index; return 0.5f; }
    virtual float GetAccuracyAdjustment() { return 1.0f; }
    // The other members of a player's squad that have arrived at their move order; the squad's
    // orders belong to the player classes.
    virtual int CountArrivedSquadmates() { return 0; }
    // Draws the shared formation-slot markers where UpdateFormationLeader placed them.
    static void DrawFormationMarkers(Device* device);

    // --- movement and weapons ---
    void SetForwardSpeed(int speedKind);
    void MoveInDirection(const Vector3& direction);
    void AlignToPath();
    void StandAndHoldFirstItem();
    float GetWeaponRangeSquared();
    float GetAimDelay();
    void SetGoalPosition(const Vector3& goal) { goalPosition = goal; }
    void GetGoalPosition(Vector3* out) const { *out = goalPosition; }
    // The walking and running speed of a posture (movespeeds lines; fixed values before they load).
    float GetWalkSpeed(int postureIndex) const;
    float GetRunSpeed(int postureIndex) const;

    std::uint8_t underAttack = 0;
    std::uint8_t shotAt = 0;
    Vector3 goalPosition;
    const WaypointGraphNode* goalNode = nullptr;
    TargetInfo target;
    SoldierDestination destination;
    int state = StateIdle;
    int previousState = StateIdle;
    int phase = Entering;
    float timeLeft = kNoLimit;
    float timerA = 0.0f;
    float timerB = 0.0f;
    float followDelay = 0.0f;
    float followSlack = 0.0f;
    std::int16_t spareID = -1;
    std::uint8_t mayAlertComrades = 1;
    std::uint8_t followOwnLeader = 0;
    std::uint8_t aiming = 0;
    std::uint8_t reanchor = 1;
    // The debug text of this frame (shown through DebugPrint).
    char debugText[kDebugTextSize] = {};

protected:
    // The behaviours of the states (SoldierStates.cpp).
    void UpdateAttack(float elapsed);
    void UpdateBurstAttack(float elapsed);
    virtual void UpdateChargeAttack(float elapsed);
    void UpdateCower(float elapsed);
    void UpdateFadeAttack(float elapsed);
    void UpdateFollow(float elapsed);
    void UpdateFollowSquad(float elapsed);
    void UpdateIdle(float elapsed);
    void UpdateLookAround(float elapsed);
    void UpdateMoveToDestination(float elapsed);
    void UpdateMoveToTarget(float elapsed);
    void UpdatePatrol(float elapsed);
    void UpdateResumePatrol(float elapsed);
    void UpdateStationaryAttack(float elapsed);
    void UpdateUse(float elapsed);
    void UpdateVehicleAttack(float elapsed);
    void UpdateVehiclePatrol(float elapsed);
    void UpdateZeroIn(float elapsed);

    // Shared pieces of the behaviours.
    float Draw(); // a random value in [0, 1), the generator synchronised first in a network game
    std::uint32_t DrawInteger();
    void EnterFiring();
    void Fire(float elapsed);
    void AimAtTarget();
    void SeekTarget();
    void Chase(float elapsed);
    void CountDown(float elapsed);
    // Plans the route of a move when asked to or when its goal moved more than 25 units from the
    // planned one, and runs the state; false, finished, for a route of one waypoint.
    bool StartRoute(const Vector3& goal, Vector3& planned, std::uint8_t& replan);
    // Walks or runs ahead at the posture's speed; stands still.
    void Go(bool run);
    void Stop();
    void Finish() { phase = Finished; }
    bool HoldsWeapon() const;
    bool HoldsVehicle() const;
    bool TargetInRange();
    void DropTarget() { target.Clear(); }
    void FollowGoal(float elapsed, bool squad);
    // The target's object went away (its identifier now names nothing or another object).
    void ForgetVanishedTarget();
    // Puts the shared markers on the screen positions of the formation's slots.
    void PlaceFormationMarkers();

    // The body steps of the map's computer-driven soldiers (SoldierBody.cpp). The level of detail
    // by the squared camera distance (0 below 1600, 1 below 6400, else 2; always 0 with levels
    // unused), lowered to one the model has.
    void ChooseLevelOfDetail(float cameraDistanceSquared, bool levelsUsed);
    // On the ground below (probed from 4 units above), or else at the height along the path's
    // current segment plus 3; nothing for a body that collides and falls.
    void SettleHeight(bool onGround);
    // Far from the camera: the trigger released, the move and turn applied without animation,
    // collision or falling, the transform updated and the move input cleared.
    void CheapStep(float elapsed);
    // The dead body's timer: the dying animation's length once it plays, run down to -0.0001.
    // True while the body still needs the full update (dying, or just loaded).
    bool RunDeathTimer(float elapsed, float& deathTimer);
    // A body at rest: its transform kept up and its fire burning down.
    void LieStill(float elapsed);
    void AppendDebug(const char* format, ...) __attribute__((format(printf, 2, 3)));
};

// The node of a non-empty list whose point is nearest (the first of equal ones); null for a null
// or empty list.
PtrListNode* FindNearestPathNode(const PtrList* list, const Vector3& point);
