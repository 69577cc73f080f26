#include "tests/fuzz/ReaderEntries.h"

#include <cmath>
#include <string>
#include <vector>

#include "engine/filesystem/PackFile.h"
#include "mission/loading/PatrolPaths.h"
#include "tests/fuzz/ScratchFile.h"

namespace readers {

namespace {

bool Within(float value) { return std::isfinite(value) && std::fabs(value) <= 1.0e6f; }
bool Within(const Vector3& v) { return Within(v.x) && Within(v.y) && Within(v.z); }

} // namespace

std::string ReadPatrolPathBytes(const std::uint8_t* data, std::size_t size)
{
    // The reader takes its lines from the pack-file layer, as the mission opens the file.
    const ScratchFile scratch("patrol-fuzz", ".pth", data, size);
    if (!scratch.written)
        return {};
    std::vector<PatrolPathRecord> records;
    std::string error;
    bool accepted = false;
    if (PackFile* file = PackFileOpen(scratch.path.c_str(), "rt")) {
        accepted = ReadPatrolPathFile(file, records, error);
        PackFileClose(file);
    }
    if (!accepted)
        return error.empty() || !records.empty() ? "a refused patrol file gives no reason or keeps records" : "";
    std::size_t waypoints = 0;
    for (const PatrolPathRecord& record : records) {
        if (!Within(record.start) || (record.hasLeader && !Within(record.leader)))
            return "a start line is not finite or beyond any map";
        for (const PatrolPathPoint& point : record.waypoints)
            if (!Within(point.position) || !Within(point.minimumIdle) || !Within(point.maximumIdle) ||
                !Within(point.firstAngle) || !Within(point.secondAngle))
                return "a waypoint is not finite or beyond any map";
        waypoints += record.waypoints.size();
    }
    if (waypoints > 65536)
        return "more waypoints than a patrol file holds";
    return {};
}

} // namespace readers
