#include "characters/ai/CoverPoints.h"

#include <cmath>
#include <cstring>

#include "engine/core/EngineLog.h"
#include "engine/core/LittleEndianReader.h"
#include "engine/filesystem/PackFile.h"

bool CoverPoints::Load(const char* path, const WaypointGraph* pathGraph)
{
    std::vector<std::uint8_t> bytes;
    if (!path || !PackFileReadAll(path, bytes))
        return false;
    LittleEndianReader in(bytes.data(), bytes.size());
    std::vector<Vector3> read(static_cast<std::size_t>(in.Count(kPointFileSize)));
    for (Vector3& point : read)
        point = in.FiniteVector3();
    const char* why = in.Failed() ? in.Failure().c_str() : in.Remaining() ? "bytes after its last point" : nullptr;
    if (why) {
        LogToEngine("CoverPoints::Load - %s is not a cover file: %s", path, why);
        return false;
    }
    points = std::move(read);
    taken.assign(points.size(), 0);
    graph = pathGraph;
    return true;
}

void CoverPoints::Free()
{
    points.clear();
    taken.clear();
    graph = nullptr;
}

void CoverPoints::SetTaken(std::size_t index, bool isTaken)
{
    if (index < taken.size())
        taken[index] = isTaken ? 1 : 0;
}
