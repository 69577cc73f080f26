#pragma once

#include <cstdint>

#include "characters/ai/AISensor.h"
#include "characters/body/Character.h"
#include "characters/ai/SteeringController.h"
#include "engine/core/PtrList.h"

struct FormationMember;
struct WaypointGraphNode;

// A point of a patrol path: where to go, how long to pause there and whether to chat meanwhile.
// The position comes first, as in a waypoint-graph node, so that either reads as a position.
struct Waypoint {
    Vector3 position;
    float waitMin = 0.0f;
    float waitMax = 0.0f;
    std::uint8_t chitChat = 0;
};

// The position of a path node's item (a Waypoint or a WaypointGraphNode).
inline const Vector3& PathPosition(const PtrListNode* node) { return *static_cast<const Vector3*>(node->item); }

// The waypoint lists an AI owns (its patrol path and its route). The lists are freed with the
// store; their items are not (a patrol path's waypoints are freed by whoever frees the path).
class PathStore {
public:
    PathStore() = default;
    virtual ~PathStore();
    PathStore(const PathStore&) = delete;
    PathStore& operator=(const PathStore&) = delete;

    PtrList* NewPath();
    // Takes the list out of the store and frees it with its nodes, not its items.
    void FreePath(PtrList* list);

    PtrListOf<PtrList> paths;
};

// Walks one stored list as a closed loop, from the waypoint last reached to the next one.
class PathFollower : public PathStore {
public:
    // Follows the list from its head (the nodes stay null for fewer than two waypoints).
    void Start(PtrList* list);
    // Whether the point lies beyond the next waypoint as seen from the current one.
    bool HasPassedNext(const Vector3& point) const;
    // Like HasPassedNext, but only on the last segment of the list; sets endFlag when true.
    bool HasReachedEnd(const Vector3& point);
    // Both nodes one on, wrapping from tail to head; the new next node.
    PtrListNode* Advance();
    void UpdateSegmentLength();

    PtrList* current = nullptr;
    PtrListNode* currentNode = nullptr;
    PtrListNode* nextNode = nullptr;
    float segmentLength = 0.0f;
    std::uint8_t endFlag = 0;
};

// Whether the ray from origin along direction enters the vertical cylinder of the radius around
// centre ahead of the origin; *distance gets the entry's ray parameter (in units of direction).
bool RayCylinderIntersect(const Vector3& origin, const Vector3& direction, const Vector3& centre, float radius,
                          float* distance);

// A character that moves and notices things on its own: patrol paths and planned routes, steering,
// a perception sensor with the sight and hearing test, a place in a formation, waiting and
// chatting at waypoints, debug text and its saved block. The soldier classes drive it each frame.
//
// The saved block (after the character's): version 1 (1 byte); the patrol waypoint count n (int);
// n waypoints from the tail to the head, 21 bytes each (waitMax, waitMin, position, chitChat);
// the indices from the head of the current and next node (int each, -1 when null or not
// following the patrol path); the steering controller's 268-byte image; the formation definition
// name (64 bytes, zeros without a formation); segmentProgress, waitTimer (floats); endFlag (1);
// the alarm target's identifier (16-bit, 0xFFFF none); debugOutput (1).
class AI : public Character {
public:
    static constexpr int kDebugTextSize = 2048;
    static constexpr int kMaxDebugFormat = 1792;
    static constexpr float kLookAhead = 10.0f;

    AI();
    ~AI() override;

    void Load(SaveStream* stream) override;
    void Save(SaveStream* stream) override;
    // Moves to the first waypoint of the patrol path and follows it; an empty path leaves the AI
    // where it is.
    virtual void PlaceAtPathStart();

    // --- paths ---
    void FollowRoute(float elapsed);
    void FollowPatrol(float elapsed);
    // True when no route was found (false while one is followed).
    bool PlanRouteTo(const Vector3& goal, const WaypointGraphNode* start);
    bool PlanRouteToNode(const WaypointGraphNode* goal, const WaypointGraphNode* start);
    // Frees the patrol waypoints and starts a new empty patrol path.
    void ClearPatrolPath();
    // A copy of the waypoint at the tail of the patrol path.
    void AddPatrolWaypoint(const Waypoint& waypoint);
    bool IsFollowingPatrol() const { return pathFollower.current == patrolPath; }
    bool IsFollowingRoute() const { return pathFollower.current == routePath; }

    // --- looking and perception ---
    void FacePoint(const Vector3& point);
    void LoadSensor(const char* path);
    // The sight and hearing test of one source (AISight.cpp).
    void Sense(GameObject* source, const StimulusSource& record, float squaredDistance, float alarmDistance,
               SenseResult& result);
    // The per-triangle filter of the sight line: true stops the line, false lets it through and
    // adds the triangle's opacity.
    static bool countPolySightCB(D3DPrim* prim, HitResult& ray, int* index0, int* index1, int* index2);

    // A skill value (0..1) by the campaign's skill index; 0.5 until a soldier class knows better.
    virtual float GetSkill(int index);

    // --- formations ---
    void SetFormation(const char* name);
    void JoinFormationOf(AI* other);
    void LeaveFormation();
    Character* GetFormationLeader() const;
    bool LeadsFormation() const;
    // The group's member count with its leader; 1 without a formation.
    int GetFormationSize() const;
    void UpdateFormationAnchor();
    void ChangeFormation(const char* name);
    void TakeFormationLead(AI* other);
    void HandOverFormation();
    void SaveFormationState(SaveStream* stream);
    void LoadFormationState(SaveStream* stream);

    // --- debug ---
    void DebugPrint(bool onScreen, bool toLog, int displayMs, const char* format, ...)
        __attribute__((format(printf, 5, 6)));

    // The network's byte forms of the view angles, held to 0..255 at the limits.
    static std::uint8_t QuantisePitch(float pitch);
    static std::uint8_t QuantiseYaw(float yaw);

    PathFollower pathFollower;
    // The patrol path; the AI owns its waypoints (ClearPatrolPath and the destructor free them).
    PtrList* patrolPath = nullptr;
    bool debugOutput = false;
    PtrList* routePath = nullptr;
    GameObject* alarmTarget = nullptr;
    SteeringController steering;
    AISensor sensor;
    FormationMember* formationLink = nullptr;
    float awareness = 0.0f;
    int behaviourValue = 0;
    float minBehaviourTime = 5.0f;
    float maxBehaviourTime = 15.0f;
    float segmentProgress = 0.0f;
    float waitTimer = 0.0f;
    float chitChatTimer = 0.0f;
    int chitChatHandle = -1;
    std::uint8_t behaviourFlag = 0;
    std::uint8_t reformFlag = 0;
    Vector3 lastSentPosition;
    std::uint32_t lastSendTime = 0;
    // The recent foliage opacities of this AI's sight lines.
    SampleRing sightSamples{};

protected:
    // The host's character-move message when the AI moved more than a unit since the last one.
    void BroadcastMoveIfMoved();
    // Route planning once the two end nodes are known.
    bool PlanRouteBetween(const WaypointGraphNode* start, const WaypointGraphNode* goal);
};
