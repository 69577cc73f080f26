#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/core/Vector.h"

class WaypointGraph;

// The map's cover points, read from the ".cvr" file beside the map (int32 count, then count
// points of three float32), each with a taken mark, and the waypoint graph they belong to.
class CoverPoints {
public:
    static constexpr std::size_t kPointFileSize = 12;

    // Replaces the points with the file's; every taken mark clear. False when the file can't be
    // opened, or (with a log line) when its count and size do not agree or a coordinate is not
    // finite; the points are unchanged then.
    bool Load(const char* path, const WaypointGraph* graph);
    void Free();

    std::size_t GetCount() const { return points.size(); }
    const Vector3& GetPoint(std::size_t index) const { return points[index]; }
    bool IsTaken(std::size_t index) const { return index < taken.size() && taken[index] != 0; }
    void SetTaken(std::size_t index, bool isTaken);
    const WaypointGraph* GetGraph() const { return graph; }

private:
    std::vector<Vector3> points;
    std::vector<std::uint8_t> taken;
    const WaypointGraph* graph = nullptr;
};
