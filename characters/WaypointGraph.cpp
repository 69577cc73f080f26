#include "characters/WaypointGraph.h"

#include <cmath>
#include <cstring>

#include "engine/core/EngineLog.h"
#include "engine/filesystem/PackFile.h"

namespace {

std::uint32_t ReadU32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

float ReadF32(const std::uint8_t* p)
{
    const std::uint32_t bits = ReadU32(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

} // namespace

void WaypointGraph::Clear()
{
    nodes.clear();
    nodes.shrink_to_fit();
    blocked.clear();
    blocked.shrink_to_fit();
    links.clear();
    links.shrink_to_fit();
    searchStamp.clear();
    searchRecordOf.clear();
    currentStamp = 0;
}

bool WaypointGraph::Load(const char* path)
{
    std::vector<std::uint8_t> bytes;
    if (!path || !PackFileReadAll(path, bytes))
        return false;
    const auto refuse = [path](const char* why) {
        LogToEngine("WaypointGraph::Load - %s is not a waypoint file: %s", path, why);
        return false;
    };
    const std::uint64_t size = bytes.size();
    if (size < 8)
        return refuse("too short for its counts");
    const std::int32_t nodeCount = static_cast<std::int32_t>(ReadU32(bytes.data()));
    if (nodeCount < 0)
        return refuse("negative node count");
    const std::uint64_t linkCountOffset = 4 + std::uint64_t(nodeCount) * kNodeFileSize;
    if (linkCountOffset + 4 > size)
        return refuse("node count beyond the end of the file");
    const std::int32_t linkCount = static_cast<std::int32_t>(ReadU32(bytes.data() + linkCountOffset));
    if (linkCount < 0)
        return refuse("negative link count");
    if (linkCountOffset + 4 + std::uint64_t(linkCount) * 4 != size)
        return refuse("its size does not agree with its counts");
    if (nodeCount == 0 && linkCount > 0)
        return refuse("links without nodes");

    std::vector<WaypointGraphNode> readNodes(static_cast<std::size_t>(nodeCount));
    for (std::size_t i = 0; i < readNodes.size(); ++i) {
        const std::uint8_t* p = bytes.data() + 4 + i * kNodeFileSize;
        WaypointGraphNode& node = readNodes[i];
        node.centre = Vector3(ReadF32(p), ReadF32(p + 4), ReadF32(p + 8));
        node.radius = ReadF32(p + 12);
        node.linkTotal = p[16];
        std::memcpy(node.unused, p + 17, 3);
        node.firstLink = static_cast<std::int32_t>(ReadU32(p + 20));
        if (!std::isfinite(node.centre.x) || !std::isfinite(node.centre.y) || !std::isfinite(node.centre.z) ||
            !std::isfinite(node.radius))
            return refuse("a node holds a number that is not finite");
        if (node.linkTotal > 0 &&
            (node.firstLink < 0 || std::int64_t(node.firstLink) + node.linkTotal > std::int64_t(linkCount)))
            return refuse("a node's links lie outside the link array");
    }
    std::vector<std::uint32_t> readLinks(static_cast<std::size_t>(linkCount));
    const std::uint32_t lastNode = static_cast<std::uint32_t>(nodeCount) - 1;
    for (std::size_t i = 0; i < readLinks.size(); ++i) {
        const std::uint32_t link = ReadU32(bytes.data() + linkCountOffset + 4 + 4 * i);
        readLinks[i] = link > lastNode ? lastNode : link;
    }

    nodes = std::move(readNodes);
    links = std::move(readLinks);
    blocked.assign(nodes.size(), 0);
    searchStamp.assign(nodes.size(), 0);
    searchRecordOf.assign(nodes.size(), 0);
    currentStamp = 0;
    return true;
}

int WaypointGraph::IndexOf(const WaypointGraphNode* node) const
{
    if (!node || nodes.empty() || node < nodes.data() || node >= nodes.data() + nodes.size())
        return -1;
    return static_cast<int>(node - nodes.data());
}

void WaypointGraph::SetBlocked(std::uint32_t node, bool block)
{
    if (node < blocked.size())
        blocked[node] = block ? 1 : 0;
}

const WaypointGraphNode* WaypointGraph::FindNearestNode(float x, float y, float z) const
{
    const WaypointGraphNode* nearest = nullptr;
    float bestScore = 3.4e38f;
    for (const WaypointGraphNode& node : nodes) {
        if (node.radius <= 5.0f)
            continue;
        const float above = y - node.centre.y;
        if (above < -0.15f || above > 15.0f)
            continue;
        const float dx = x - node.centre.x;
        const float dz = z - node.centre.z;
        if (dx * dx + dz * dz < node.radius * node.radius)
            return &node;
        // An octagonal distance to the circle's edge.
        const float ax = std::fabs(dx);
        const float az = std::fabs(dz);
        const float score = ax + az - (ax < az ? ax : az) / 2.0f - node.radius;
        if (score < bestScore) {
            bestScore = score;
            nearest = &node;
        }
    }
    return nearest;
}
