#include "characters/ai/WaypointGraph.h"

#include <cmath>

#include "engine/core/EngineLog.h"
#include "engine/core/LittleEndianReader.h"
#include "engine/filesystem/PackFile.h"

void WaypointGraph::Clear()
{
    nodes.clear();
    nodes.shrink_to_fit();
    blocked.clear();
    blocked.shrink_to_fit();
    links.clear();
    links.shrink_to_fit();
    firstLength.clear();
    linkLengths.clear();
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
    LittleEndianReader in(bytes.data(), bytes.size());
    // The link count follows the nodes, so the node count is checked against the bytes less it.
    std::vector<WaypointGraphNode> readNodes(static_cast<std::size_t>(in.Count(kNodeFileSize)));
    for (WaypointGraphNode& node : readNodes) {
        node.centre = in.FiniteVector3();
        node.radius = in.FiniteF32();
        node.linkTotal = in.U8();
        in.Bytes(node.unused, sizeof node.unused);
        node.firstLink = in.I32();
    }
    std::vector<std::uint32_t> readLinks(static_cast<std::size_t>(in.Count(4)));
    for (std::uint32_t& link : readLinks)
        link = in.U32();
    if (in.Failed())
        return refuse(in.Failure().c_str());
    if (in.Remaining() != 0)
        return refuse("its size does not agree with its counts");
    if (readNodes.empty() && !readLinks.empty())
        return refuse("links without nodes");
    for (const WaypointGraphNode& node : readNodes)
        if (node.linkTotal > 0 &&
            (node.firstLink < 0 || std::int64_t(node.firstLink) + node.linkTotal > std::int64_t(readLinks.size())))
            return refuse("a node's links lie outside the link array");
    const std::uint32_t lastNode = static_cast<std::uint32_t>(readNodes.size()) - 1;
    for (std::uint32_t& link : readLinks)
        link = link > lastNode ? lastNode : link;

    nodes = std::move(readNodes);
    links = std::move(readLinks);
    // Per node rather than per link: nothing in the file keeps two nodes' link ranges apart.
    firstLength.resize(nodes.size());
    linkLengths.clear();
    for (std::size_t n = 0; n < nodes.size(); ++n) {
        firstLength[n] = static_cast<std::uint32_t>(linkLengths.size());
        for (int k = 0; k < nodes[n].linkTotal; ++k)
            linkLengths.push_back(
                (nodes[n].centre - nodes[links[static_cast<std::size_t>(nodes[n].firstLink) + k]].centre).Length());
    }
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
