#include "characters/CoverPoints.h"

#include <cmath>
#include <cstring>

#include "engine/core/EngineLog.h"
#include "engine/filesystem/PackFile.h"

namespace {

std::uint32_t ReadU32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

} // namespace

bool CoverPoints::Load(const char* path, const WaypointGraph* pathGraph)
{
    std::vector<std::uint8_t> bytes;
    if (!path || !PackFileReadAll(path, bytes))
        return false;
    const auto refuse = [path](const char* why) {
        LogToEngine("CoverPoints::Load - %s is not a cover file: %s", path, why);
        return false;
    };
    if (bytes.size() < 4)
        return refuse("too short for its count");
    const std::int32_t count = static_cast<std::int32_t>(ReadU32(bytes.data()));
    if (count < 0 || 4 + std::uint64_t(count) * kPointFileSize != bytes.size())
        return refuse("its size does not agree with its count");
    std::vector<Vector3> read(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < read.size(); ++i) {
        float xyz[3];
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t bits = ReadU32(bytes.data() + 4 + i * kPointFileSize + 4 * std::size_t(k));
            std::memcpy(&xyz[k], &bits, sizeof bits);
            if (!std::isfinite(xyz[k]))
                return refuse("a point holds a number that is not finite");
        }
        read[i] = Vector3(xyz[0], xyz[1], xyz[2]);
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
