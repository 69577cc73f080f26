// The patrol path file of a map ("<map>.pth"): each character's start line (with its group
// leader's position when it follows one), its waypoints and a closing "*".
#include "mission/PatrolPaths.h"

#include "app/framework/Application.h"
#include "characters/AI.h"
#include "engine/core/EngineLog.h"
#include "characters/Soldier.h"
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

constexpr std::size_t lineLimit = 1023;
// Beyond any map's patrols; a file asking for more is not a patrol file.
constexpr std::size_t waypointLimit = 65536;
// Farther than any map reaches.
constexpr float coordinateLimit = 1.0e6f;
// A start line matches a character within 2.1 units (the start node stands 2 above it).
constexpr float matchDistanceSquared = 4.41f;

// The values of a line separated by commas (or line ends); a value that does not parse reads as 0.
// False for a value that parses to something no patrol holds (not finite, or beyond any map).
bool SplitValues(const char* line, std::vector<float>& values)
{
    values.clear();
    const char* at = line;
    while (*at && *at != '\n' && *at != '\r') {
        const std::size_t length = std::strcspn(at, ",\r\n");
        const std::string token(at, length);
        const float value = std::strtof(token.c_str(), nullptr);
        if (!std::isfinite(value) || std::fabs(value) > coordinateLimit)
            return false;
        values.push_back(value);
        at += length;
        if (*at == ',')
            ++at;
    }
    return true;
}

bool EndsReading(const char* line)
{
    return line[0] == '\0' || line[0] == '\n' || line[0] == '\r' || line[0] == '*';
}

Vector3 At(const std::vector<float>& values, std::size_t first)
{
    const auto value = [&](std::size_t i) { return i < values.size() ? values[i] : 0.0f; };
    return Vector3(value(first), value(first + 1), value(first + 2));
}

} // namespace

bool ReadPatrolPathFile(PackFile* file, std::vector<PatrolPathRecord>& records, std::string& error)
{
    records.clear();
    error.clear();
    char line[lineLimit + 1];
    std::vector<float> values;
    std::size_t waypoints = 0;
    int lineNumber = 0;
    PatrolPathRecord* current = nullptr;
    const auto fail = [&](const char* reason) {
        char text[128];
        std::snprintf(text, sizeof text, "%s on line %d", reason, lineNumber);
        error = text;
        records.clear();
        return false;
    };
    while (PackFileGets(line, int(sizeof line), file)) {
        ++lineNumber;
        const std::size_t length = std::strlen(line);
        if (length == lineLimit && line[length - 1] != '\n' && !PackFileEof(file))
            return fail("a line longer than 1023 characters");
        if (!current) {
            if (EndsReading(line))
                break;
            if (!SplitValues(line, values))
                return fail("a number out of range");
            records.emplace_back();
            current = &records.back();
            current->start = At(values, 0);
            current->hasLeader = values.size() >= 6;
            if (current->hasLeader)
                current->leader = At(values, 3);
            continue;
        }
        if (line[0] == '*') {
            current = nullptr;
            continue;
        }
        // An empty line within a character's waypoints ends the file as it does between characters.
        if (EndsReading(line))
            break;
        if (!SplitValues(line, values))
            return fail("a number out of range");
        if (++waypoints > waypointLimit)
            return fail("more than 65536 waypoints");
        PatrolPathPoint point;
        point.position = At(values, 0);
        point.minimumIdle = values.size() > 3 ? values[3] : 0.0f;
        point.maximumIdle = values.size() > 4 ? values[4] : 0.0f;
        point.firstAngle = values.size() > 5 ? values[5] : 0.0f;
        point.secondAngle = values.size() > 6 ? values[6] : 0.0f;
        point.talker = values.size() > 7 && values[7] != 0.0f;
        current->waypoints.push_back(point);
    }
    return true;
}

void WritePatrolPathFile(std::FILE* file, const std::vector<PatrolPathRecord>& records)
{
    for (const PatrolPathRecord& record : records) {
        const Vector3& s = record.start;
        if (record.hasLeader)
            std::fprintf(file, "%f,%f,%f,%f,%f,%f\n", double(s.x), double(s.y), double(s.z), double(record.leader.x),
                         double(record.leader.y), double(record.leader.z));
        else
            std::fprintf(file, "%f,%f,%f\n", double(s.x), double(s.y), double(s.z));
        for (const PatrolPathPoint& point : record.waypoints)
            std::fprintf(file, "%f,%f,%f,%f,%f,%f,%f,%d\n", double(point.position.x), double(point.position.y),
                         double(point.position.z), double(point.minimumIdle), double(point.maximumIdle),
                         double(point.firstAngle), double(point.secondAngle), point.talker ? 1 : 0);
        std::fprintf(file, "*\n");
    }
}

std::string MissionState::PatrolPathFileName() const
{
    const platform::os::PathParts parts = platform::os::SplitPath(mapPath);
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
        for (Character* character : characters)
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
    for (Character* character : characters) {
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
    for (Character* character : characters) {
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
