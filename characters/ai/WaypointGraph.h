#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/core/Vector.h"

class PtrList;

// One area of the waypoint graph: a circle around centre and the range of links to its
// neighbours. 24 bytes in a ".wps" file: centre (3 floats), radius, link total (byte), three
// unused bytes, first link (int32).
struct WaypointGraphNode {
    Vector3 centre;                 // first, so that a route list item reads as a position
    float radius = 0.0f;            // nodes of radius 5 or less are never the nearest node
    std::uint8_t linkTotal = 0;     // neighbours
    std::uint8_t unused[3] = {};
    std::int32_t firstLink = 0;     // index in the link array of the first neighbour
};

// The map's waypoint graph, read from the ".wps" file beside the map, and the route search
// through it.
class WaypointGraph {
public:
    static constexpr std::size_t kNodeFileSize = 24;
    // A search gives up after this many expansions.
    static constexpr int kMaxIterations = 1000;

    WaypointGraph() = default;
    WaypointGraph(const WaypointGraph&) = delete;
    WaypointGraph& operator=(const WaypointGraph&) = delete;

    // Empties the graph.
    void Clear();
    // Reads a ".wps" file: int32 node count N, N nodes, int32 link count L, L uint32 node indices.
    // False when the file can't be opened, or (with a log line) when its counts, size, link
    // ranges or numbers do not agree; the graph is unchanged then. Link values of N or more
    // are clamped to N - 1. The blocked bytes start clear.
    bool Load(const char* path);
    void Free() { Clear(); }

    std::uint32_t GetNodeCount() const { return static_cast<std::uint32_t>(nodes.size()); }
    std::uint32_t GetLinkCount() const { return static_cast<std::uint32_t>(links.size()); }
    const WaypointGraphNode* GetNodes() const { return nodes.data(); }
    const std::uint32_t* GetLinks() const { return links.data(); }
    // Index of a node of this graph, -1 for any other pointer.
    int IndexOf(const WaypointGraphNode* node) const;

    // A blocked node is kept out of every route (for editing tools and the path display).
    bool IsBlocked(std::uint32_t node) const { return node < blocked.size() && blocked[node] != 0; }
    void SetBlocked(std::uint32_t node, bool block);

    // The node whose circle holds the point (first in array order), else the node nearest to its
    // circle's edge; only nodes of radius above 5 whose centre lies between 15 below and 0.15
    // above the point count. Null when none does.
    const WaypointGraphNode* FindNearestNode(float x, float y, float z) const;

    // Empties route, then fills it with the nodes (start first, goal last) of the shortest route
    // between two nodes of this graph, found by an A* search over the centres. Nothing is added
    // for a null or foreign node, an unreachable goal, or a search that needs more than
    // kMaxIterations expansions. The items are the graph's nodes; the list owns none of them.
    void FindRoute(const WaypointGraphNode* start, const WaypointGraphNode* goal, PtrList& route);

private:
    // One reached node of a search: cost so far, straight-line estimate to the goal, their sum
    // and the record it was reached from (-1 for the start).
    struct SearchRecord {
        std::uint32_t node;
        float g, h, f;
        std::int32_t parent;
        std::uint32_t openSequence; // the open entry that stands for it while it is open
        bool open, closed;
    };
    // The open list as a heap in the order of a list kept sorted by f, where a record (re)inserted
    // goes behind every record of equal f: the key holds f's bits (costs are never negative, so
    // their bits sort as they do) above the insertion number, and one comparison orders both.
    struct OpenEntry {
        std::uint64_t key;
        std::uint32_t record;
    };

    // Heap order: a max-heap on "comes later" keeps the entry that comes first at the front.
    static bool ComesLater(const OpenEntry& a, const OpenEntry& b) { return a.key > b.key; }
    std::uint32_t AddRecord(std::uint32_t node, float g, float h, std::int32_t parent);
    void PushOpen(std::uint32_t record);

    std::vector<WaypointGraphNode> nodes;
    std::vector<std::uint8_t> blocked;
    std::vector<std::uint32_t> links;
    // The length of each node's links, from firstLength[node] on, measured once at load.
    std::vector<std::uint32_t> firstLength;
    std::vector<float> linkLengths;

    // Search scratch kept between searches so that a search touches only the nodes it reaches:
    // a node's record index is valid while its stamp equals the search's.
    std::vector<std::uint32_t> searchStamp;
    std::vector<std::uint32_t> searchRecordOf;
    std::uint32_t currentStamp = 0;
    // The records and open entries of the running search, emptied when it ends.
    std::vector<SearchRecord> records;
    std::vector<OpenEntry> open;
    std::uint32_t openSequence = 0;
};
