#include "tests/fuzz/ReaderEntries.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

#include "engine/filesystem/PackFile.h"
#include "mission/PatrolPaths.h"

namespace readers {

namespace {

bool Within(float value) { return std::isfinite(value) && std::fabs(value) <= 1.0e6f; }
bool Within(const Vector3& v) { return Within(v.x) && Within(v.y) && Within(v.z); }

} // namespace

std::string ReadPatrolPathBytes(const std::uint8_t* data, std::size_t size)
{
    // The reader takes its lines from the pack-file layer, as the mission opens the file: the
    // bytes go to a file of this process's own in the working folder.
    const std::string path = "patrol-fuzz-" + std::to_string(getpid()) + ".pth";
    if (std::FILE* out = std::fopen(path.c_str(), "wb")) {
        const bool written = std::fwrite(data, 1, size, out) == size;
        std::fclose(out);
        if (!written)
            return {};
    } else {
        return {};
    }
    std::vector<PatrolPathRecord> records;
    std::string error;
    bool accepted = false;
    if (PackFile* file = PackFileOpen(path.c_str(), "rt")) {
        accepted = ReadPatrolPathFile(file, records, error);
        PackFileClose(file);
    }
    std::remove(path.c_str());
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
