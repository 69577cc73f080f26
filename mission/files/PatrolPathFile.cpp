// The patrol path file of a map ("<map>.pth"), read and written apart from the mission so that
// the reader can be driven by any text: each character's start line (with its group leader's
// position when it follows one), its waypoints and a closing "*".
#include "mission/loading/PatrolPaths.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/filesystem/PackFile.h"

namespace {

constexpr std::size_t lineLimit = 1023;
// Beyond any map's patrols; a file asking for more is not a patrol file.
constexpr std::size_t waypointLimit = 65536;
// Farther than any map reaches.
constexpr float coordinateLimit = 1.0e6f;

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
