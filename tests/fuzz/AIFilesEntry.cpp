#include "tests/fuzz/ReaderEntries.h"

#include <cmath>
#include <cstring>
#include <string>

#include "characters/ai/CoverPoints.h"
#include "characters/ai/SteeringController.h"
#include "characters/ai/WaypointGraph.h"
#include "engine/core/PtrList.h"
#include "tests/fuzz/ScratchFile.h"

namespace readers {

namespace {

bool Finite(const Vector3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// The graph the file gave: links inside the node array, numbers finite, and a route search and a
// nearest-node query over it stay on its nodes.
std::string CheckGraph(WaypointGraph& graph)
{
    const std::uint32_t count = graph.GetNodeCount();
    const WaypointGraphNode* nodes = graph.GetNodes();
    for (std::uint32_t i = 0; i < count; ++i) {
        const WaypointGraphNode& node = nodes[i];
        if (!Finite(node.centre) || !std::isfinite(node.radius))
            return "a waypoint node's number is not finite";
        if (node.linkTotal > 0 && (node.firstLink < 0 || std::uint64_t(node.firstLink) + node.linkTotal >
                                                             std::uint64_t(graph.GetLinkCount())))
            return "a node's links lie outside the link array";
    }
    for (std::uint32_t i = 0; i < graph.GetLinkCount(); ++i)
        if (graph.GetLinks()[i] >= count)
            return "a link names no node";
    if (count == 0)
        return {};
    const WaypointGraphNode* near = graph.FindNearestNode(nodes[0].centre.x, nodes[0].centre.y, nodes[0].centre.z);
    if (near && graph.IndexOf(near) < 0)
        return "the nearest node is not the graph's";
    PtrList route;
    graph.FindRoute(&nodes[0], &nodes[count - 1], route);
    for (const PtrListNode* item = route.GetHead(); item; item = item->next)
        if (graph.IndexOf(static_cast<const WaypointGraphNode*>(item->item)) < 0)
            return "a route holds a node that is not the graph's";
    return {};
}

std::string CheckSteering(const std::uint8_t* data, std::size_t size)
{
    std::uint8_t image[SteeringController::kImageSize] = {};
    std::memcpy(image, data, std::min(size, sizeof image));
    SteeringController steering;
    if (!steering.ReadImage(image))
        return {};
    for (const Vector3* v : {&steering.input1, &steering.input2, &steering.input3, &steering.input4, &steering.input5,
                             &steering.pathInput, &steering.seekInput, &steering.input8, &steering.input9,
                             &steering.input10, &steering.position})
        if (!Finite(*v))
            return "a steering input is not finite";
    for (float value : steering.transform.m)
        if (!std::isfinite(value))
            return "the steering transform is not finite";
    // Whatever finite numbers the image holds, the turn it asks for is a number.
    if (!std::isfinite(steering.GetTurnAngle()))
        return "the turn angle is not a number";
    std::uint8_t written[SteeringController::kImageSize];
    steering.WriteImage(written);
    SteeringController again;
    if (!again.ReadImage(written))
        return "an image the controller wrote does not read back";
    return {};
}

} // namespace

std::string ReadAIFilesBytes(const std::uint8_t* data, std::size_t size)
{
    // One set of bytes as each of the map's binary AI files: the waypoint graph, the cover points
    // over it, and a steering image saved with an AI.
    const ScratchFile file("ai-files-fuzz", ".wps", data, size);
    if (!file.written)
        return {};
    WaypointGraph graph;
    if (graph.Load(file.path.c_str())) {
        const std::string broken = CheckGraph(graph);
        if (!broken.empty())
            return broken;
    } else if (graph.GetNodeCount() != 0 || graph.GetLinkCount() != 0) {
        return "a refused waypoint file left nodes";
    }

    CoverPoints cover;
    if (cover.Load(file.path.c_str(), &graph)) {
        if (cover.GetCount() * CoverPoints::kPointFileSize + 4 != size)
            return "the cover points do not match the file's size";
        for (std::size_t i = 0; i < cover.GetCount(); ++i)
            if (!Finite(cover.GetPoint(i)) || cover.IsTaken(i))
                return "a cover point is not finite or starts taken";
    } else if (cover.GetCount() != 0) {
        return "a refused cover file left points";
    }
    return CheckSteering(data, size);
}

} // namespace readers
