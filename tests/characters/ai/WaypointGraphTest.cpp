#include "characters/ai/CoverPoints.h"
#include "characters/ai/WaypointGraph.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "engine/core/PtrList.h"
#include "tests/characters/ai/AITestFolder.h"
#include "tools/demodata/writers/AIDataWriter.h"
#include "tools/demodata/writers/LittleEndian.h"

namespace {

WaypointFileNode Node(float x, float y, float z, float radius, int linkTotal = 0, int firstLink = 0)
{
    WaypointFileNode node;
    node.centre[0] = x, node.centre[1] = y, node.centre[2] = z;
    node.radius = radius;
    node.linkTotal = std::uint8_t(linkTotal);
    node.firstLink = firstLink;
    return node;
}

class WaypointGraphTest : public AITestFolder {
protected:
    // A graph of the given nodes where each lists its neighbours.
    void WriteGraph(const char* path, const std::vector<WaypointFileNode>& centres,
                    const std::vector<std::vector<std::uint32_t>>& neighbours)
    {
        std::vector<WaypointFileNode> nodes = centres;
        std::vector<std::uint32_t> links;
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            nodes[i].firstLink = std::int32_t(links.size());
            nodes[i].linkTotal = std::uint8_t(neighbours[i].size());
            links.insert(links.end(), neighbours[i].begin(), neighbours[i].end());
        }
        WriteFile(path, WriteWaypointFile(nodes, links));
    }

    std::vector<int> Route(WaypointGraph& graph, int from, int to)
    {
        PtrList route;
        route.AddHead(nullptr); // a stale entry the search must empty first
        graph.FindRoute(from < 0 ? nullptr : graph.GetNodes() + from, to < 0 ? nullptr : graph.GetNodes() + to, route);
        std::vector<int> indices;
        for (void* item : route)
            indices.push_back(graph.IndexOf(static_cast<WaypointGraphNode*>(item)));
        return indices;
    }
};

TEST_F(WaypointGraphTest, ReadsNodesAndLinksAndClampsLinksBeyondTheLastNode)
{
    std::vector<WaypointFileNode> nodes;
    for (int i = 0; i < 10; ++i)
        nodes.push_back(Node(float(i) * 20, 0, 0, 10, 0, 0));
    nodes[0].linkTotal = 2;
    nodes[0].firstLink = 0;
    WriteFile("graph.wps", WriteWaypointFile(nodes, {1000, 0xFFFFFFFFu, 3}));
    WaypointGraph graph;
    ASSERT_TRUE(graph.Load("graph.wps"));
    ASSERT_EQ(graph.GetNodeCount(), 10u);
    ASSERT_EQ(graph.GetLinkCount(), 3u);
    EXPECT_EQ(graph.GetLinks()[0], 9u);
    EXPECT_EQ(graph.GetLinks()[1], 9u);
    EXPECT_EQ(graph.GetLinks()[2], 3u);
    EXPECT_EQ(graph.GetNodes()[3].centre, Vector3(60, 0, 0));
    EXPECT_EQ(graph.GetNodes()[0].linkTotal, 2);
    EXPECT_FALSE(graph.IsBlocked(0));
    EXPECT_EQ(Route(graph, 0, 9), (std::vector<int>{0, 9}));
}

TEST_F(WaypointGraphTest, AMissingFileLeavesTheGraphAsItWas)
{
    WriteGraph("graph.wps", {Node(0, 0, 0, 10)}, {{}});
    WaypointGraph graph;
    ASSERT_TRUE(graph.Load("graph.wps"));
    EXPECT_FALSE(graph.Load("Maps/none.wps"));
    EXPECT_EQ(graph.GetNodeCount(), 1u);
}

// Every row is refused with a log line naming the file, and the graph loaded before stays.
TEST_F(WaypointGraphTest, HostileFilesAreRefusedAndChangeNothing)
{
    const std::vector<std::uint8_t> good = WriteWaypointFile({Node(0, 0, 0, 10, 1, 0), Node(20, 0, 0, 10, 1, 1)}, {1, 0});
    const auto withInt = [&](std::size_t offset, std::int32_t value) {
        std::vector<std::uint8_t> bytes = good;
        for (int i = 0; i < 4; ++i)
            bytes[offset + std::size_t(i)] = std::uint8_t(std::uint32_t(value) >> (8 * i));
        return bytes;
    };
    const auto withFloat = [&](std::size_t offset, float value) {
        std::uint32_t bits;
        std::memcpy(&bits, &value, 4);
        return withInt(offset, std::int32_t(bits));
    };
    std::vector<std::uint8_t> truncated(good.begin(), good.end() - 1);
    std::vector<std::uint8_t> longer = good;
    longer.push_back(0);
    const struct {
        const char* what;
        std::vector<std::uint8_t> bytes;
        const char* reason;
    } cases[] = {
        {"empty", {}, "ends early: 4 bytes wanted at offset 0"},
        {"count only", {1, 0, 0}, "ends early"},
        {"negative node count", withInt(0, -1), "a count of -1 at offset 0"},
        {"node count past the end", withInt(0, 0x7FFFFFFF), "a count of 2147483647 at offset 0"},
        {"node count one too many", withInt(0, 3), "a count of 3 at offset 0"},
        {"negative link count", withInt(52, -2), "a count of -2 at offset 52"},
        {"link count too large", withInt(52, 3), "a count of 3 at offset 52"},
        {"link count too small", withInt(52, 1), "size does not agree"},
        {"a byte short", truncated, "a count of 2 at offset 52"},
        {"a byte extra", longer, "size does not agree"},
        {"negative first link", withInt(4 + 20, -1), "outside the link array"},
        {"links past the array", withInt(4 + 24 + 20, 2), "outside the link array"},
        {"huge first link", withInt(4 + 20, 0x7FFFFFFF), "outside the link array"},
        {"not-a-number centre", withFloat(4, std::numeric_limits<float>::quiet_NaN()), "not finite"},
        {"infinite radius", withFloat(4 + 12, std::numeric_limits<float>::infinity()), "not finite"},
        {"links without nodes", WriteWaypointFile({}, {0}), "links without nodes"},
    };
    WaypointGraph graph;
    WriteGraph("before.wps", {Node(5, 5, 5, 10)}, {{}});
    ASSERT_TRUE(graph.Load("before.wps"));
    for (const auto& c : cases) {
        WriteFile("bad.wps", c.bytes);
        bool loaded = true;
        const std::string log = LogOf([&] { loaded = graph.Load("bad.wps"); });
        EXPECT_FALSE(loaded) << c.what;
        EXPECT_NE(log.find("bad.wps"), std::string::npos) << c.what << ": " << log;
        EXPECT_NE(log.find(c.reason), std::string::npos) << c.what << ": " << log;
        ASSERT_EQ(graph.GetNodeCount(), 1u) << c.what;
        EXPECT_EQ(graph.GetNodes()[0].centre, Vector3(5, 5, 5)) << c.what;
    }
    // A node without links may name any first link; an empty graph is a graph.
    WriteFile("ok.wps", withInt(4 + 20, -7));
    std::vector<std::uint8_t> lonely = WriteWaypointFile({Node(0, 0, 0, 10, 0, -7)}, {});
    WriteFile("lonely.wps", lonely);
    EXPECT_TRUE(graph.Load("lonely.wps"));
    WriteFile("empty.wps", WriteWaypointFile({}, {}));
    EXPECT_TRUE(graph.Load("empty.wps"));
    EXPECT_EQ(graph.GetNodeCount(), 0u);
    EXPECT_EQ(graph.FindNearestNode(0, 0, 0), nullptr);
}

TEST_F(WaypointGraphTest, NearestNodeRules)
{
    WriteGraph("graph.wps",
               {Node(0, 0, 0, 20), Node(5, 0, 0, 20), Node(100, 0, 0, 5), Node(200, 0, 0, 10), Node(300, 30, 0, 10),
                Node(260, 0, 0, 10)},
               {{}, {}, {}, {}, {}, {}});
    WaypointGraph graph;
    ASSERT_TRUE(graph.Load("graph.wps"));
    const WaypointGraphNode* nodes = graph.GetNodes();
    // Inside two overlapping circles: the first of the array.
    EXPECT_EQ(graph.FindNearestNode(3, 1, 0), nodes + 0);
    // A node of radius 5 is never chosen, even with the point on its centre.
    EXPECT_EQ(graph.FindNearestNode(100, 1, 0), nodes + 1);
    // Height window: 15 above counts, 20 above and just under the centre do not.
    EXPECT_EQ(graph.FindNearestNode(200, 15, 0), nodes + 3);
    EXPECT_NE(graph.FindNearestNode(200, 20, 0), nodes + 3);
    EXPECT_EQ(graph.FindNearestNode(200, -0.1f, 0), nodes + 3);
    EXPECT_NE(graph.FindNearestNode(200, -0.2f, 0), nodes + 3);
    // Outside every circle: the smallest octagonal distance to an edge (node 5 at 20 - 10, not
    // node 3 at 40 - 10).
    EXPECT_EQ(graph.FindNearestNode(240, 1, 0), nodes + 5);
    // Nothing within the height window.
    EXPECT_EQ(graph.FindNearestNode(0, 100, 0), nullptr);
}

TEST_F(WaypointGraphTest, RouteBasics)
{
    // 0 - 1 - 2 - 3 in a row (1 also linked to itself), 4 apart from them, 5 reached from 3 only
    // through 6, which is blocked.
    WriteGraph("graph.wps",
               {Node(0, 0, 0, 10), Node(20, 0, 0, 10), Node(40, 0, 0, 10), Node(60, 0, 0, 10), Node(0, 0, 90, 10),
                Node(60, 0, 60, 10), Node(60, 0, 30, 10)},
               {{1}, {1, 0, 2}, {1, 3}, {2, 6}, {}, {6}, {3, 5}});
    WaypointGraph graph;
    ASSERT_TRUE(graph.Load("graph.wps"));
    EXPECT_EQ(Route(graph, 0, 3), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(Route(graph, 3, 0), (std::vector<int>{3, 2, 1, 0}));
    EXPECT_EQ(Route(graph, 2, 2), (std::vector<int>{2}));
    EXPECT_EQ(Route(graph, 0, 4), (std::vector<int>{}));
    EXPECT_EQ(Route(graph, 0, 5), (std::vector<int>{0, 1, 2, 3, 6, 5}));
    graph.SetBlocked(6, true);
    EXPECT_TRUE(graph.IsBlocked(6));
    EXPECT_EQ(Route(graph, 0, 5), (std::vector<int>{}));
    EXPECT_EQ(Route(graph, -1, 3), (std::vector<int>{}));
    EXPECT_EQ(Route(graph, 0, -1), (std::vector<int>{}));
    WaypointGraphNode foreign;
    PtrList route;
    graph.FindRoute(&foreign, graph.GetNodes(), route);
    EXPECT_EQ(route.GetCount(), 0);
}

TEST_F(WaypointGraphTest, NodesSharingOneLinkRangeEachMeasureTheirOwnLinks)
{
    // 0 and 3 list the same two links (to 1 and 2), from opposite ends of the row; 1 and 2 lead
    // on to 4, which lies nearer 2. The shortest route from each end goes through its near node.
    const std::vector<WaypointFileNode> nodes = {Node(0, 0, 0, 10, 2, 0), Node(10, 0, 0, 10, 1, 2),
                                                 Node(90, 0, 0, 10, 1, 3), Node(100, 0, 0, 10, 2, 0),
                                                 Node(95, 0, 30, 10)};
    WriteFile("shared.wps", WriteWaypointFile(nodes, {1, 2, 4, 4}));
    WaypointGraph graph;
    ASSERT_TRUE(graph.Load("shared.wps"));
    EXPECT_EQ(Route(graph, 0, 4), (std::vector<int>{0, 1, 4}));
    EXPECT_EQ(Route(graph, 3, 4), (std::vector<int>{3, 2, 4}));
}

TEST_F(WaypointGraphTest, TwoUnlinkedNodesHaveNoRoute)
{
    WriteGraph("graph.wps", {Node(0, 0, 0, 10), Node(20, 0, 0, 10)}, {{}, {}});
    WaypointGraph graph;
    ASSERT_TRUE(graph.Load("graph.wps"));
    EXPECT_TRUE(Route(graph, 0, 1).empty());
}

// A chain of n nodes takes n expansions: 1001 are allowed, 1002 are not.
TEST_F(WaypointGraphTest, TheSearchGivesUpAfterAThousandAndOneExpansions)
{
    for (int length : {1001, 1002}) {
        std::vector<WaypointFileNode> nodes;
        std::vector<std::vector<std::uint32_t>> neighbours{std::size_t(length)};
        for (int i = 0; i < length; ++i) {
            nodes.push_back(Node(float(i) * 10, 0, 0, 10));
            if (i + 1 < length)
                neighbours[std::size_t(i)].push_back(std::uint32_t(i + 1));
        }
        WriteGraph("chain.wps", nodes, neighbours);
        WaypointGraph graph;
        ASSERT_TRUE(graph.Load("chain.wps"));
        EXPECT_EQ(Route(graph, 0, length - 1).size(), length == 1001 ? 1001u : 0u) << length;
    }
}

// Shortest routes by brute force: every pair through Floyd-Warshall over the same links and
// the same centre distances.
TEST_F(WaypointGraphTest, RoutesAreShortestOnGeneratedGraphs)
{
    std::uint32_t state = 12345;
    const auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    for (int trial = 0; trial < 12; ++trial) {
        const int n = 10 + int(next() % 50);
        std::vector<WaypointFileNode> nodes;
        for (int i = 0; i < n; ++i)
            nodes.push_back(Node(float(next() % 400), float(next() % 20), float(next() % 400), 10));
        // Links to a few random nodes, some one-way, some duplicated, some to itself.
        std::vector<std::vector<std::uint32_t>> neighbours{std::size_t(n)};
        for (int i = 0; i < n; ++i) {
            const int degree = int(next() % 4);
            for (int k = 0; k < degree; ++k) {
                const std::uint32_t j = next() % std::uint32_t(n);
                neighbours[std::size_t(i)].push_back(j);
                if (next() % 3 != 0)
                    neighbours[j].push_back(std::uint32_t(i));
            }
        }
        WriteGraph("random.wps", nodes, neighbours);
        WaypointGraph graph;
        ASSERT_TRUE(graph.Load("random.wps"));
        const WaypointGraphNode* g = graph.GetNodes();
        const auto length = [g](int a, int b) { return double((g[a].centre - g[b].centre).Length()); };
        const double infinite = std::numeric_limits<double>::infinity();
        std::vector<std::vector<double>> best(std::size_t(n), std::vector<double>(std::size_t(n), infinite));
        for (int i = 0; i < n; ++i) {
            best[std::size_t(i)][std::size_t(i)] = 0;
            for (std::uint32_t j : neighbours[std::size_t(i)])
                best[std::size_t(i)][j] = std::min(best[std::size_t(i)][j], length(i, int(j)));
        }
        for (int k = 0; k < n; ++k)
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j)
                    best[std::size_t(i)][std::size_t(j)] =
                        std::min(best[std::size_t(i)][std::size_t(j)],
                                 best[std::size_t(i)][std::size_t(k)] + best[std::size_t(k)][std::size_t(j)]);
        for (int from = 0; from < n; ++from)
            for (int to = 0; to < n; ++to) {
                const std::vector<int> route = Route(graph, from, to);
                const double shortest = best[std::size_t(from)][std::size_t(to)];
                if (shortest == infinite) {
                    EXPECT_TRUE(route.empty()) << trial << ": " << from << " -> " << to;
                    continue;
                }
                ASSERT_FALSE(route.empty()) << trial << ": " << from << " -> " << to;
                EXPECT_EQ(route.front(), from);
                EXPECT_EQ(route.back(), to);
                double travelled = 0;
                for (std::size_t i = 1; i < route.size(); ++i) {
                    const auto& list = neighbours[std::size_t(route[i - 1])];
                    EXPECT_NE(std::find(list.begin(), list.end(), std::uint32_t(route[i])), list.end())
                        << "no link " << route[i - 1] << " -> " << route[i];
                    travelled += length(route[i - 1], route[i]);
                }
                EXPECT_NEAR(travelled, shortest, 1e-3 * (1 + shortest)) << trial << ": " << from << " -> " << to;
            }
    }
}

TEST_F(WaypointGraphTest, CoverPointsLoadAndRefuseHostileFiles)
{
    WaypointGraph graph;
    CoverPoints cover;
    WriteFile("map.cvr", WriteCoverFile({{1, 2, 3}, {4, 5, 6}}));
    ASSERT_TRUE(cover.Load("map.cvr", &graph));
    ASSERT_EQ(cover.GetCount(), 2u);
    EXPECT_EQ(cover.GetPoint(1), Vector3(4, 5, 6));
    EXPECT_EQ(cover.GetGraph(), &graph);
    EXPECT_FALSE(cover.IsTaken(0));
    cover.SetTaken(0, true);
    cover.SetTaken(7, true);
    EXPECT_TRUE(cover.IsTaken(0));
    EXPECT_FALSE(cover.IsTaken(7));
    EXPECT_FALSE(cover.Load("missing.cvr", &graph));

    std::vector<std::uint8_t> good = WriteCoverFile({{1, 2, 3}});
    std::vector<std::uint8_t> negative = good, huge = good, extra = good, nan = good;
    negative[3] = 0x80;
    huge[0] = huge[1] = huge[2] = 0xFF, huge[3] = 0x7F;
    extra.push_back(1);
    const float notANumber = std::numeric_limits<float>::quiet_NaN();
    std::memcpy(&nan[8], &notANumber, 4);
    for (const auto& bytes : {std::vector<std::uint8_t>{1, 0}, negative, huge, extra, nan}) {
        WriteFile("bad.cvr", bytes);
        bool loaded = true;
        const std::string log = LogOf([&] { loaded = cover.Load("bad.cvr", nullptr); });
        EXPECT_FALSE(loaded);
        EXPECT_NE(log.find("CoverPoints::Load - bad.cvr"), std::string::npos) << log;
        EXPECT_EQ(cover.GetCount(), 2u);
        EXPECT_TRUE(cover.IsTaken(0));
    }
    cover.Free();
    EXPECT_EQ(cover.GetCount(), 0u);
}

} // namespace
