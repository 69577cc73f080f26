// The waypoint graph's route search (A* over the node centres, as the AI plans its routes) on a
// 2 000-node map graph, against the plain search a competent engineer would write for the same
// question: A* with the same straight-line heuristic, a binary heap, early exit at the goal, edge
// lengths computed once when the graph is loaded and its arrays allocated once. Both answer the same
// 256 requests and fill the same route list; the setup checks that they find routes of the same
// length.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <stdexcept>
#include <vector>

#include "characters/ai/WaypointGraph.h"
#include "engine/core/PtrList.h"
#include "tools/demodata/writers/LittleEndian.h"

namespace {

constexpr int kColumns = 50;
constexpr int kRows = 40;
constexpr float kSpacing = 20.0f;

// A jittered grid of 2 000 areas on rolling ground, each linked to its eight neighbours, with two
// lakes and a wall with one gap cut out of the links, so that routes bend around obstacles.
std::vector<std::uint8_t> MapGraphFile()
{
    std::mt19937 random(4357);
    std::uniform_real_distribution<float> jitter(-4.0f, 4.0f);
    const auto index = [](int c, int r) { return std::uint32_t(r * kColumns + c); };
    const auto blocked = [](int c, int r) {
        const bool lake1 = std::hypot(float(c - 15), float(r - 12)) < 6.0f;
        const bool lake2 = std::hypot(float(c - 34), float(r - 27)) < 7.0f;
        const bool wall = c == 25 && r != 20;
        return lake1 || lake2 || wall;
    };
    std::vector<std::uint8_t> nodes;
    std::vector<std::uint32_t> links;
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c) {
            const float x = float(c) * kSpacing + jitter(random);
            const float z = float(r) * kSpacing + jitter(random);
            PutF32(nodes, x);
            PutF32(nodes, 20.0f * std::sin(x * 0.01f) * std::cos(z * 0.013f));
            PutF32(nodes, z);
            PutF32(nodes, 10.0f);
            const std::uint32_t first = std::uint32_t(links.size());
            if (!blocked(c, r))
                for (int dr = -1; dr <= 1; ++dr)
                    for (int dc = -1; dc <= 1; ++dc) {
                        const int nc = c + dc, nr = r + dr;
                        if ((dc || dr) && nc >= 0 && nr >= 0 && nc < kColumns && nr < kRows && !blocked(nc, nr))
                            links.push_back(index(nc, nr));
                    }
            nodes.push_back(std::uint8_t(links.size() - first));
            nodes.insert(nodes.end(), 3, 0);
            PutU32(nodes, first);
        }
    std::vector<std::uint8_t> file;
    PutU32(file, kColumns * kRows);
    file.insert(file.end(), nodes.begin(), nodes.end());
    PutU32(file, std::uint32_t(links.size()));
    for (std::uint32_t link : links)
        PutU32(file, link);
    return file;
}

// A* over the graph's own arrays with the same straight-line heuristic: edge lengths computed
// once, a binary heap with stale entries skipped, a closed set (the heuristic is consistent, so a
// closed node is never improved) and per-search stamps instead of clearing the arrays.
class PlainSearch {
public:
    explicit PlainSearch(const WaypointGraph& graph) : graph(graph)
    {
        const WaypointGraphNode* nodes = graph.GetNodes();
        const std::uint32_t* links = graph.GetLinks();
        lengths.resize(graph.GetLinkCount());
        for (std::uint32_t n = 0; n < graph.GetNodeCount(); ++n)
            for (int k = 0; k < nodes[n].linkTotal; ++k) {
                const std::size_t at = std::size_t(nodes[n].firstLink) + std::size_t(k);
                lengths[at] = (nodes[n].centre - nodes[links[at]].centre).Length();
            }
        cost.resize(graph.GetNodeCount());
        parent.resize(graph.GetNodeCount());
        stamp.assign(graph.GetNodeCount(), 0);
        closed.assign(graph.GetNodeCount(), 0);
    }

    void FindRoute(std::uint32_t start, std::uint32_t goal, PtrList& route)
    {
        route.RemoveAll();
        const WaypointGraphNode* nodes = graph.GetNodes();
        const std::uint32_t* links = graph.GetLinks();
        const Vector3 target = nodes[goal].centre;
        ++search;
        open.clear();
        const auto reach = [&](std::uint32_t n, float g, std::uint32_t from) {
            stamp[n] = search;
            closed[n] = 0;
            cost[n] = g;
            parent[n] = from;
            open.push_back({g + (nodes[n].centre - target).Length(), n});
            std::push_heap(open.begin(), open.end(), std::greater<Entry>());
        };
        reach(start, 0.0f, start);
        while (!open.empty()) {
            std::pop_heap(open.begin(), open.end(), std::greater<Entry>());
            const std::uint32_t n = open.back().second;
            open.pop_back();
            if (closed[n])
                continue;
            closed[n] = 1;
            if (n == goal) {
                for (std::uint32_t at = goal;; at = parent[at]) {
                    route.AddHead(const_cast<WaypointGraphNode*>(nodes + at));
                    if (at == start)
                        break;
                }
                return;
            }
            const float g = cost[n];
            for (int k = 0; k < nodes[n].linkTotal; ++k) {
                const std::size_t at = std::size_t(nodes[n].firstLink) + std::size_t(k);
                const std::uint32_t next = links[at];
                const float reached = g + lengths[at];
                if (stamp[next] != search)
                    reach(next, reached, n);
                else if (!closed[next] && reached < cost[next])
                    reach(next, reached, n);
            }
        }
    }

private:
    using Entry = std::pair<float, std::uint32_t>;
    const WaypointGraph& graph;
    std::vector<float> lengths;
    std::vector<float> cost;
    std::vector<std::uint32_t> parent;
    std::vector<std::uint32_t> stamp;
    std::vector<std::uint8_t> closed;
    std::vector<Entry> open;
    std::uint32_t search = 0;
};

float RouteLength(const PtrList& route)
{
    float length = 0.0f;
    for (PtrListNode* node = route.GetHead(); node && node->next; node = node->next)
        length += (static_cast<WaypointGraphNode*>(node->item)->centre -
                   static_cast<WaypointGraphNode*>(node->next->item)->centre)
                      .Length();
    return length;
}

struct Fixture {
    WaypointGraph graph;
    std::unique_ptr<PlainSearch> plain;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> requests;

    Fixture()
    {
        const std::filesystem::path path = std::filesystem::temp_directory_path() / "bexal-route-bench.wps";
        const std::vector<std::uint8_t> bytes = MapGraphFile();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (!graph.Load(path.c_str()))
            throw std::runtime_error("the benchmark graph did not load");
        std::filesystem::remove(path);
        plain = std::make_unique<PlainSearch>(graph);
        // Requests between random areas that have links, the way the AI asks (start and goal
        // from the nearest-node lookup).
        std::mt19937 random(5489);
        std::uniform_int_distribution<std::uint32_t> pick(0, graph.GetNodeCount() - 1);
        PtrList ours, theirs;
        while (requests.size() < 256) {
            const std::uint32_t a = pick(random), b = pick(random);
            if (graph.GetNodes()[a].linkTotal == 0 || graph.GetNodes()[b].linkTotal == 0)
                continue;
            graph.FindRoute(graph.GetNodes() + a, graph.GetNodes() + b, ours);
            plain->FindRoute(a, b, theirs);
            if (ours.IsEmpty() || theirs.IsEmpty() ||
                std::fabs(RouteLength(ours) - RouteLength(theirs)) > 1e-3f * RouteLength(theirs) + 1e-3f)
                throw std::runtime_error("the two searches disagree");
            requests.push_back({a, b});
        }
    }
};

Fixture& TheFixture()
{
    static Fixture fixture;
    return fixture;
}

void BM_RouteSearch_2000Nodes(benchmark::State& state)
{
    Fixture& f = TheFixture();
    PtrList route;
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& [a, b] = f.requests[i++ % f.requests.size()];
        f.graph.FindRoute(f.graph.GetNodes() + a, f.graph.GetNodes() + b, route);
        benchmark::DoNotOptimize(route.GetCount());
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()));
}
BENCHMARK(BM_RouteSearch_2000Nodes);

void BM_RouteSearch_2000Nodes_PlainAStar(benchmark::State& state)
{
    Fixture& f = TheFixture();
    PtrList route;
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& [a, b] = f.requests[i++ % f.requests.size()];
        f.plain->FindRoute(a, b, route);
        benchmark::DoNotOptimize(route.GetCount());
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()));
}
BENCHMARK(BM_RouteSearch_2000Nodes_PlainAStar);

} // namespace
