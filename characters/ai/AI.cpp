#include "characters/ai/AI.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/framework/Application.h"
#include "characters/ai/AILevelView.h"
#include "characters/ai/AIMissionServices.h"
#include "characters/level/RunningLevel.h"
#include "engine/core/EngineLog.h"
#include "characters/ai/Formation.h"
#include "characters/level/NetworkSession.h"
#include "characters/ai/WaypointGraph.h"
#include "engine/core/MathConstants.h"
#include "engine/core/RandomMT.h"
#include "engine/core/q3DError.h"
#include "engine/serial/SaveStream.h"

namespace {

// More patrol waypoints than any map places; a larger count in a saved block is damage.
constexpr std::int32_t kMaxSavedWaypoints = 65536;
// A saved waypoint: two waits, a position and the chit-chat byte.
constexpr std::uint32_t kSavedWaypointBytes = 4 + 4 + 12 + 1;

int IndexFromHead(const PtrList* list, const PtrListNode* node)
{
    int index = 0;
    for (const PtrListNode* at = list->GetHead(); at; at = at->next, ++index) {
        if (at == node)
            return index;
    }
    return -1;
}

PtrListNode* NodeAt(const PtrList* list, int index)
{
    if (index < 0)
        return nullptr;
    PtrListNode* at = list->GetHead();
    for (int i = 0; at && i < index; ++i)
        at = at->next;
    return at;
}

void FreeWaypoints(PtrList* list)
{
    for (void* item : *list)
        delete static_cast<Waypoint*>(item);
}

} // namespace

// --- path store and follower ---

PathStore::~PathStore()
{
    for (PtrList* list : paths)
        delete list;
    paths.RemoveAll();
}

PtrList* PathStore::NewPath()
{
    auto* list = new PtrList;
    paths.AddTail(list);
    return list;
}

void PathStore::FreePath(PtrList* list)
{
    if (!list || !paths.Remove(list))
        return;
    delete list;
}

void PathFollower::Start(PtrList* list)
{
    current = list;
    currentNode = nextNode = nullptr;
    segmentLength = 0.0f;
    endFlag = 0;
    if (list && list->GetCount() >= 2) {
        currentNode = list->GetHead();
        nextNode = currentNode->next;
    }
}

bool PathFollower::HasPassedNext(const Vector3& point) const
{
    if (!currentNode || !nextNode)
        return false;
    if (currentNode == nextNode)
        return true;
    const Vector3& next = PathPosition(nextNode);
    return (point - next).Dot(PathPosition(currentNode) - next) < 0.0f;
}

bool PathFollower::HasReachedEnd(const Vector3& point)
{
    if (!currentNode || !nextNode)
        return false;
    bool reached = currentNode == nextNode;
    if (!reached && !nextNode->next)
        reached = HasPassedNext(point);
    if (reached)
        endFlag = 1;
    return reached;
}

PtrListNode* PathFollower::Advance()
{
    if (!currentNode)
        return nullptr;
    if (!nextNode)
        return currentNode;
    currentNode = currentNode->next ? currentNode->next : current->GetHead();
    nextNode = nextNode->next ? nextNode->next : current->GetHead();
    return nextNode;
}

void PathFollower::UpdateSegmentLength()
{
    if (currentNode && nextNode)
        segmentLength = PathPosition(currentNode).Distance(PathPosition(nextNode));
}

// --- construction ---

AI::AI()
{
    steering.weight5 = 1.0f;
    steering.pathWeight = 1.0f;
    steering.pathRadius = 0.0f;
    steering.seekWeight = 1.0f;
    patrolPath = pathFollower.NewPath();
    pathFollower.Start(patrolPath);
    routePath = pathFollower.NewPath();
}

AI::~AI()
{
    RunningLevel::AI().StopChitChat(chitChatHandle);
    // A formation must not keep a link to a character that is gone.
    if (formationLink)
        Formation::RemoveMember(formationLink->formation, &formationLink);
    FreeWaypoints(patrolPath);
}

std::uint8_t AI::QuantisePitch(float value)
{
    const float scaled = (value + kPi / 2.0f) * 81.48733f;
    return std::uint8_t(std::isfinite(scaled) ? std::clamp(scaled, 0.0f, 255.0f) : 0.0f);
}

std::uint8_t AI::QuantiseYaw(float yaw)
{
    const float scaled = (yaw + kPi) * 40.743664f;
    return std::uint8_t(std::isfinite(scaled) ? std::clamp(scaled, 0.0f, 255.0f) : 0.0f);
}

// --- paths ---

void AI::ClearPatrolPath()
{
    const bool following = IsFollowingPatrol();
    FreeWaypoints(patrolPath);
    pathFollower.FreePath(patrolPath);
    patrolPath = pathFollower.NewPath();
    if (following || !pathFollower.current)
        pathFollower.Start(patrolPath);
}

void AI::AddPatrolWaypoint(const Waypoint& waypoint)
{
    patrolPath->AddTail(new Waypoint(waypoint));
}

void AI::PlaceAtPathStart()
{
    const PtrListNode* head = patrolPath->GetHead();
    if (head) {
        const Vector3& start = PathPosition(head);
        SetPosition(start.x, start.y, start.z);
    }
    pathFollower.Start(patrolPath);
    waitTimer = 0.0f;
}

void AI::BroadcastMoveIfMoved()
{
    if (!IsNetworkServerActive() || position.DistanceSquared(lastSentPosition) <= 1.0f)
        return;
    RunningLevel::Network().BroadcastCharacterMove(GetID(), QuantisePitch(GetPitch()), QuantiseYaw(GetYaw()), position, waitTimer);
    lastSentPosition = position;
    lastSendTime = GetNetworkTime();
}

void AI::FollowRoute(float elapsed)
{
    PathFollower& follower = pathFollower;
    if (follower.current != routePath || !follower.nextNode)
        return;
    if (follower.HasPassedNext(position)) {
        BroadcastMoveIfMoved();
        follower.Advance();
        follower.UpdateSegmentLength();
        segmentProgress = 0.0f;
    }
    steering.FollowSegment(kLookAhead, PathPosition(follower.currentNode), PathPosition(follower.nextNode));
    segmentProgress += elapsed * moveInput.Length();
}

void AI::FollowPatrol(float elapsed)
{
    PathFollower& follower = pathFollower;
    if (follower.current != patrolPath)
        return;
    if (follower.nextNode && waitTimer <= 0.0f) {
        RunningLevel::AI().StopChitChat(chitChatHandle);
        chitChatHandle = -1;
        if (follower.HasPassedNext(position)) {
            follower.Advance();
            const auto* reached = static_cast<const Waypoint*>(follower.currentNode->item);
            if ((reached->waitMin > 0.0f || reached->waitMax > 0.0f) &&
                (IsNetworkServerActive() || !IsNetworkClientConnected())) {
                waitTimer = reached->waitMin;
                if (IsNetworkGameRunning())
                    RunningLevel::Network().SyncRandomSeed();
                if (reached->waitMax != reached->waitMin)
                    waitTimer = reached->waitMin + frandomMT() * (reached->waitMax - reached->waitMin);
            }
            chitChatTimer = reached->chitChat ? 10.0f : 0.0f;
            BroadcastMoveIfMoved();
            follower.UpdateSegmentLength();
            segmentProgress = 0.0f;
        }
        steering.FollowSegment(kLookAhead, PathPosition(follower.currentNode), PathPosition(follower.nextNode));
        segmentProgress += elapsed * moveInput.Length();
        return;
    }
    waitTimer = std::max(waitTimer - elapsed, 0.0f);
    const auto* here = follower.currentNode ? static_cast<const Waypoint*>(follower.currentNode->item) : nullptr;
    if (here && here->chitChat && chitChatHandle == -1) {
        chitChatTimer -= elapsed;
        if (chitChatTimer < 0.0f) {
            chitChatTimer = 10.0f;
            if (randomMT() % 100 > 50)
                chitChatHandle = RunningLevel::AI().PlayChitChat(position);
        }
    }
}

bool AI::PlanRouteBetween(const WaypointGraphNode* start, const WaypointGraphNode* goal)
{
    WaypointGraph* graph = RunningLevel::AI().Waypoints();
    routePath->RemoveAll();
    if (graph)
        graph->FindRoute(start, goal, *routePath);
    const int count = routePath->GetCount();
    if (count >= 2) {
        pathFollower.Start(routePath);
        return false;
    }
    if (count == 1) {
        pathFollower.Start(routePath);
        pathFollower.currentNode = pathFollower.nextNode = routePath->GetHead();
        return false;
    }
    if (pathFollower.current == routePath)
        pathFollower.Start(routePath);
    return true;
}

bool AI::PlanRouteTo(const Vector3& goal, const WaypointGraphNode* start)
{
    const WaypointGraph* graph = RunningLevel::AI().Waypoints();
    if (!start && graph)
        start = graph->FindNearestNode(position.x, position.y + 1.0f, position.z);
    const WaypointGraphNode* goalNode = graph ? graph->FindNearestNode(goal.x, goal.y, goal.z) : nullptr;
    return PlanRouteBetween(start, goalNode);
}

bool AI::PlanRouteToNode(const WaypointGraphNode* goal, const WaypointGraphNode* start)
{
    const WaypointGraph* graph = RunningLevel::AI().Waypoints();
    if (!start && graph)
        start = graph->FindNearestNode(position.x, position.y + 1.0f, position.z);
    return PlanRouteBetween(start, goal);
}

// --- looking and perception ---

void AI::FacePoint(const Vector3& point)
{
    steering.Seek(point, kIdentityMatrix3, 0.0f);
    Vector3 head;
    GetHeadPosition(&head);
    const Vector3 d = point - head;
    const float flat = std::sqrt(d.x * d.x + d.z * d.z);
    const float length = std::sqrt(flat * flat + d.y * d.y);
    // Facing the very point the head is at gives no direction: the pitch stays.
    if (!(length > 0.0f))
        return;
    float angle = std::acos(std::clamp(flat / length, -1.0f, 1.0f));
    if (d.y > 0.0f)
        angle = -angle;
    SetPitch(angle);
}

void AI::LoadSensor(const char* path)
{
    sensor.Load(path);
    const float farDistance = RunningLevel::AI().CameraFar();
    sensor.hearingRange = std::min(sensor.hearingRange, farDistance);
    sensor.sightRange = std::min(sensor.sightRange, farDistance);
    sensor.thirdRange = std::min(sensor.thirdRange, farDistance);
}

// --- formations ---

void AI::SetFormation(const char* name)
{
    if (formationLink)
        LeaveFormation();
    if (Formation::Create(name, &formationLink, this))
        UpdateFormationAnchor();
}

void AI::JoinFormationOf(AI* other)
{
    if (other && other->formationLink && !formationLink)
        Formation::AddMember(other->formationLink->formation, &formationLink, this);
}

void AI::LeaveFormation()
{
    if (formationLink)
        Formation::RemoveMember(formationLink->formation, &formationLink);
}

Character* AI::GetFormationLeader() const
{
    if (!formationLink || !formationLink->formation || !formationLink->formation->leaderLink)
        return nullptr;
    return formationLink->formation->leaderLink->character;
}

bool AI::LeadsFormation() const
{
    return formationLink && formationLink->formation && formationLink->formation->leaderLink == formationLink;
}

int AI::GetFormationSize() const
{
    if (!formationLink || !formationLink->formation)
        return 1;
    const Formation* formation = formationLink->formation;
    return formation->members.GetCount() + (formation->leaderLink ? 1 : 0);
}

void AI::UpdateFormationAnchor()
{
    if (!formationLink || !formationLink->formation)
        return;
    Formation* formation = formationLink->formation;
    formation->movedSquared = 0.0f;
    formation->anchor = position;
    formation->orientation = rotation;
    formation->previousOrientation = rotation;
    formation->holdPositions = 0;
}

void AI::ChangeFormation(const char* name)
{
    if (!formationLink || !formationLink->formation)
        return;
    Formation* formation = formationLink->formation;
    if (!Formation::SetDefinition(formation, name))
        return;
    for (FormationMember* member : formation->members) {
        if (auto* ai = dynamic_cast<AI*>(member->character))
            ai->reformFlag = 1;
    }
}

void AI::TakeFormationLead(AI* other)
{
    if (!other || !other->formationLink || !other->formationLink->formation)
        return;
    Formation::ChangeLeader(other->formationLink->formation, &other->formationLink, &formationLink, this);
    UpdateFormationAnchor();
}

void AI::HandOverFormation()
{
    if (!formationLink)
        return;
    Formation* formation = formationLink->formation;
    if (!LeadsFormation()) {
        LeaveFormation();
        return;
    }
    const FormationMember* newest = PtrListOf<FormationMember>::ItemOf(formation->members.GetHead());
    auto* heir = newest ? dynamic_cast<AI*>(newest->character) : nullptr;
    if (!heir)
        return;
    heir->ClearPatrolPath();
    for (void* item : *patrolPath)
        heir->patrolPath->AddHead(new Waypoint(*static_cast<Waypoint*>(item)));
    // The heir walks its own copy: nodes of this AI's lists go when this AI goes.
    heir->pathFollower.Start(heir->patrolPath);
    if (heir->formationLink)
        Formation::RemoveMember(formation, &heir->formationLink);
    heir->TakeFormationLead(this);
}

void AI::SaveFormationState(SaveStream* stream)
{
    Formation* formation = formationLink ? formationLink->formation : nullptr;
    Formation empty;
    const Formation& state = formation ? *formation : empty;
    stream->WriteFloat(state.movedSquared);
    stream->WriteVector3(state.anchor);
    stream->WriteMatrix3(state.orientation);
    stream->WriteMatrix3(state.previousOrientation);
    stream->WriteUInt8(state.holdPositions);
}

void AI::LoadFormationState(SaveStream* stream)
{
    const float moved = stream->ReadFloat("formation's movement");
    const Vector3 anchor = stream->ReadVector3("formation's anchor");
    const Matrix3 orientation = stream->ReadMatrix3("formation's orientation");
    const Matrix3 previous = stream->ReadMatrix3("formation's previous orientation");
    const std::uint8_t hold = stream->ReadUInt8();
    if (!formationLink || !formationLink->formation)
        return;
    Formation* formation = formationLink->formation;
    formation->movedSquared = moved;
    formation->anchor = anchor;
    formation->orientation = orientation;
    formation->previousOrientation = previous;
    formation->holdPositions = hold;
}

// --- debug ---

void AI::DebugPrint(bool onScreen, bool toLog, int displayMs, const char* format, ...)
{
    if (!debugOutput || !format || std::strlen(format) > std::size_t(kMaxDebugFormat))
        return;
    char text[kDebugTextSize];
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (written <= 0 || text[0] == '\0')
        return;
    if (onScreen) {
        if (Application* application = Application::Instance())
            application->ShowMessageText(displayMs, text);
    }
    if (toLog && !RunningLevel::AI().IsLogSuppressed())
        LogToEngine("%s", text);
}

// --- saved block ---

void AI::Save(SaveStream* stream)
{
    Character::Save(stream);
    stream->WriteUInt8(1);
    stream->WriteInt32(patrolPath->GetCount());
    for (const PtrListNode* node = patrolPath->GetTail(); node; node = node->prev) {
        const auto* waypoint = static_cast<const Waypoint*>(node->item);
        stream->WriteFloat(waypoint->waitMax);
        stream->WriteFloat(waypoint->waitMin);
        stream->WriteVector3(waypoint->position);
        stream->WriteUInt8(waypoint->chitChat);
    }
    const bool patrolling = IsFollowingPatrol();
    stream->WriteInt32(patrolling && pathFollower.currentNode ? IndexFromHead(patrolPath, pathFollower.currentNode)
                                                              : -1);
    stream->WriteInt32(patrolling && pathFollower.nextNode ? IndexFromHead(patrolPath, pathFollower.nextNode) : -1);
    std::uint8_t image[SteeringController::kImageSize];
    steering.WriteImage(image);
    stream->WriteBytes(image, sizeof image);
    const Formation* formation = formationLink ? formationLink->formation : nullptr;
    stream->WriteText(formation ? formation->definitionName : "", Formation::kNameSize);
    stream->WriteFloat(segmentProgress);
    stream->WriteFloat(waitTimer);
    stream->WriteUInt8(pathFollower.endFlag);
    stream->WriteUInt16(alarmTarget ? std::uint16_t(alarmTarget->GetID()) : 0xFFFF);
    stream->WriteBool(debugOutput);
}

void AI::Load(SaveStream* stream)
{
    Character::Load(stream);
    stream->ExpectVersion(1, "Incorrect version number in AI block");
    // Everything is read before anything changes, so a block that ends early or holds damage
    // leaves the AI as it was.
    const std::int32_t count = stream->ReadCount(kMaxSavedWaypoints, "patrol waypoints", kSavedWaypointBytes);
    std::vector<Waypoint> waypoints(static_cast<std::size_t>(count));
    for (Waypoint& waypoint : waypoints) {
        waypoint.waitMax = stream->ReadFloat("patrol waypoint's longest wait");
        waypoint.waitMin = stream->ReadFloat("patrol waypoint's shortest wait");
        waypoint.position = stream->ReadVector3("patrol waypoint's position");
        waypoint.chitChat = stream->ReadUInt8();
    }
    const std::int32_t currentIndex = stream->ReadInt32();
    const std::int32_t nextIndex = stream->ReadInt32();
    std::uint8_t image[SteeringController::kImageSize];
    stream->ReadBytes(image, sizeof image);
    char name[Formation::kNameSize];
    stream->ReadText(name, sizeof name);
    const float progress = stream->ReadFloat("patrol progress");
    const float wait = stream->ReadFloat("patrol wait");
    const std::uint8_t end = stream->ReadUInt8();
    const std::int16_t alarmID = stream->ReadInt16();
    const bool debug = stream->ReadBool();
    SteeringController restored;
    if (!restored.ReadImage(image))
        throw q3DError("The steering state of the AI block is not a number or beyond its bound");

    ClearPatrolPath();
    pathFollower.Start(patrolPath);
    for (const Waypoint& waypoint : waypoints)
        patrolPath->AddHead(new Waypoint(waypoint));
    pathFollower.currentNode = NodeAt(patrolPath, currentIndex);
    pathFollower.nextNode = NodeAt(patrolPath, nextIndex);
    // Both nodes or neither: a segment needs its two ends.
    if (!pathFollower.currentNode || !pathFollower.nextNode)
        pathFollower.currentNode = pathFollower.nextNode = nullptr;
    pathFollower.UpdateSegmentLength();
    steering.ReadImage(image);
    if (name[0] != '\0' && LeadsFormation())
        ChangeFormation(name);
    segmentProgress = progress;
    waitTimer = wait;
    pathFollower.endFlag = end;
    alarmTarget = GameObject::GetByID(alarmID);
    debugOutput = debug;
    RunningLevel::AI().StopChitChat(chitChatHandle);
    chitChatTimer = 0.0f;
    chitChatHandle = -1;
}
