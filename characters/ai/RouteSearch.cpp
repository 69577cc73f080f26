// The A* route search of the waypoint graph. The open list behaves as a list sorted by f where
// each (re)inserted record goes behind those of equal f; a heap ordered by (f, insertion number)
// pops in exactly that order without walking the list. Records live in one array until the
// search ends, so a parent chain stays valid even when a node is reached again.

#include "characters/ai/WaypointGraph.h"

#include <algorithm>
#include <bit>

#include "engine/core/PtrList.h"

namespace {

float Distance(const WaypointGraphNode& a, const WaypointGraphNode& b)
{
    return (a.centre - b.centre).Length();
}

} // namespace

std::uint32_t WaypointGraph::AddRecord(std::uint32_t node, float g, float h, std::int32_t parent)
{
    const std::uint32_t index = static_cast<std::uint32_t>(records.size());
    records.push_back({node, g, h, g + h, parent, 0, false, false});
    searchStamp[node] = currentStamp;
    searchRecordOf[node] = index;
    return index;
}

void WaypointGraph::PushOpen(std::uint32_t record)
{
    SearchRecord& r = records[record];
    r.open = true;
    r.openSequence = openSequence++;
    open.push_back({std::uint64_t(std::bit_cast<std::uint32_t>(r.f)) << 32 | r.openSequence, record});
    std::push_heap(open.begin(), open.end(), ComesLater);
}

void WaypointGraph::FindRoute(const WaypointGraphNode* start, const WaypointGraphNode* goal, PtrList& route)
{
    route.RemoveAll();
    const int startIndex = IndexOf(start);
    const int goalIndex = IndexOf(goal);
    if (startIndex < 0 || goalIndex < 0)
        return;
    if (++currentStamp == 0) {
        std::fill(searchStamp.begin(), searchStamp.end(), 0);
        currentStamp = 1;
    }
    const auto endSearch = [this] {
        records.clear();
        open.clear();
        openSequence = 0;
    };

    const std::uint32_t goalNode = static_cast<std::uint32_t>(goalIndex);
    PushOpen(AddRecord(static_cast<std::uint32_t>(startIndex), 0.0f, Distance(*start, *goal), -1));
    std::size_t openCount = 1;
    int iterations = 0;
    while (openCount > 0) {
        if (iterations > kMaxIterations)
            break;
        ++iterations;
        std::uint32_t current;
        for (;;) {
            std::pop_heap(open.begin(), open.end(), ComesLater);
            const OpenEntry entry = open.back();
            open.pop_back();
            const SearchRecord& candidate = records[entry.record];
            if (candidate.open && candidate.openSequence == static_cast<std::uint32_t>(entry.key)) {
                current = entry.record;
                break;
            }
        }
        records[current].open = false;
        --openCount;

        const std::uint32_t node = records[current].node;
        if (node == goalNode) {
            for (std::int32_t r = static_cast<std::int32_t>(current); r >= 0; r = records[r].parent)
                route.AddHead(&nodes[records[r].node]);
            break;
        }
        const WaypointGraphNode& from = nodes[node];
        const float g = records[current].g;
        const float* lengths = linkLengths.data() + firstLength[node];
        for (int k = 0; k < from.linkTotal; ++k) {
            const std::uint32_t next = links[static_cast<std::size_t>(from.firstLink) + k];
            // A link of a node to itself leads nowhere; followed, it would requeue the node at the
            // same cost on every expansion until the search gives up.
            if (blocked[next] || next == node)
                continue;
            const float reached = g + lengths[k];
            if (searchStamp[next] == currentStamp) {
                SearchRecord& known = records[searchRecordOf[next]];
                if (known.open) {
                    if (reached < known.g) {
                        known.g = reached;
                        known.f = reached + known.h;
                        known.parent = static_cast<std::int32_t>(current);
                        PushOpen(searchRecordOf[next]);
                    }
                    continue;
                }
                if (known.closed) {
                    if (known.g <= reached)
                        continue;
                    known.closed = false;
                }
            }
            PushOpen(AddRecord(next, reached, Distance(nodes[next], *goal), static_cast<std::int32_t>(current)));
            ++openCount;
        }
        records[current].closed = true;
    }
    endSearch();
}
