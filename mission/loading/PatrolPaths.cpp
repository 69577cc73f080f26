// A map's patrol paths: loaded from its ".pth" file onto the characters it places, and saved.
#include "mission/loading/PatrolPaths.h"

#include "app/framework/Application.h"
#include "characters/ai/AI.h"
#include "engine/core/EngineLog.h"
#include "characters/ai/Soldier.h"
#include "engine/filesystem/PackFile.h"
#include "mission/MissionState.h"
#include "platform/os/Path.h"
#include "renderer/Device.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

namespace {

// A start line matches a character within 2.1 units (the start node stands 2 above it).
constexpr float matchDistanceSquared = 4.41f;

} // namespace

std::string MissionState::PatrolPathFileName() const
{
    const platform::os::PathParts parts = platform::os::SplitPath(level.mapPath);
    return parts.drive + parts.dir + parts.fname + ".pth";
}

bool MissionState::LoadPatrolPaths()
{
    const std::string path = PatrolPathFileName();
    std::vector<PatrolPathRecord> records;
    bool accepted = true;
    if (PackFileHandle file{PackFileOpen(path.c_str(), "rt")}) {
        std::string error;
        accepted = ReadPatrolPathFile(file.get(), records, error);
        if (!accepted)
            LogToEngine("Can't read patrol paths %s: %s; the characters keep their places", path.c_str(), error.c_str());
    }

    const auto characterNear = [this](const Vector3& point) -> Character* {
        for (Character* character : level.characters)
            if (character && !FindSquadOf(character) && character->position.DistanceSquared(point) < matchDistanceSquared)
                return character;
        return nullptr;
    };
    // Each character's waypoints in file order; the path runs from the start through them backwards,
    // as the file's reader always put each one at the head.
    std::map<AI*, std::vector<const PatrolPathPoint*>> found;
    for (const PatrolPathRecord& record : records) {
        auto* ai = dynamic_cast<AI*>(characterNear(record.start));
        if (ai && record.hasLeader)
            if (auto* leader = dynamic_cast<AI*>(characterNear(record.leader))) {
                if (leader->LeadsFormation()) {
                    if (leader != ai)
                        ai->JoinFormationOf(leader);
                } else if (leader->GetFormationLeader()) {
                    LogToEngine("Character at %f,%f,%f leader but already in group", double(leader->position.x),
                        double(leader->position.y), double(leader->position.z));
                } else {
                    leader->SetFormation("Ranger File.for");
                    ai->JoinFormationOf(leader);
                }
            }
        if (!ai)
            continue;
        std::vector<const PatrolPathPoint*>& points = found[ai];
        for (const PatrolPathPoint& point : record.waypoints)
            points.push_back(&point);
    }

    // The squads walk where their leaders take them, never on a patrol path.
    for (Character* character : level.characters) {
        auto* ai = FindSquadOf(character) ? nullptr : dynamic_cast<AI*>(character);
        if (!ai)
            continue;
        ai->ClearPatrolPath();
        Waypoint start;
        start.position = ai->position + Vector3(0.0f, 2.0f, 0.0f);
        ai->AddPatrolWaypoint(start);
        if (auto points = found.find(ai); points != found.end())
            for (auto point = points->second.rbegin(); point != points->second.rend(); ++point) {
                Waypoint waypoint;
                waypoint.position = (*point)->position;
                waypoint.waitMin = (*point)->minimumIdle;
                waypoint.waitMax = (*point)->maximumIdle;
                waypoint.chitChat = (*point)->talker ? 1 : 0;
                ai->AddPatrolWaypoint(waypoint);
            }
        ai->PlaceAtPathStart();
        if (ai->patrolPath->GetCount() > 1)
            if (auto* soldier = dynamic_cast<Soldier*>(ai))
                soldier->SetState(StatePatrol, 0.0f);
    }
    return accepted;
}

void MissionState::SavePatrolPaths()
{
    std::vector<PatrolPathRecord> records;
    for (Character* character : level.characters) {
        auto* ai = FindSquadOf(character) ? nullptr : dynamic_cast<AI*>(character);
        if (!ai || !ai->patrolPath || ai->patrolPath->GetCount() <= 0)
            continue;
        PatrolPathRecord record;
        record.start = PathPosition(ai->patrolPath->GetHead());
        if (Character* leader = ai->GetFormationLeader()) {
            record.hasLeader = true;
            record.leader = leader->position;
        }
        for (const PtrListNode* node = ai->patrolPath->GetTail(); node && node != ai->patrolPath->GetHead();
             node = node->prev) {
            const auto* waypoint = static_cast<const Waypoint*>(node->item);
            PatrolPathPoint point;
            point.position = waypoint->position;
            point.minimumIdle = waypoint->waitMin;
            point.maximumIdle = waypoint->waitMax;
            point.talker = waypoint->chitChat != 0;
            record.waypoints.push_back(point);
        }
        records.push_back(std::move(record));
    }
    std::FILE* file = std::fopen(PatrolPathFileName().c_str(), "wt");
    if (!file)
        return;
    WritePatrolPathFile(file, records);
    std::fclose(file);
}
