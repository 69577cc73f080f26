#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "tools/demodata/DemoData.h"
#include "tools/demodata/writers/AIDataWriter.h"

namespace {

constexpr int kMapSide = 64;   // grid corners of the demo map
constexpr int kNodeStep = 2;   // a waypoint area every two cells (20 units)
constexpr float kNodeRadius = 14.5f; // just over half the diagonal, so the areas cover the ground

// The lake's bowl (DemoMap.cpp): no walking there.
bool InLake(int column, int row)
{
    return std::hypot(float(column - 24), float(row - 40)) < 13.0f;
}

// The house stands at corner (48, 30) and the lamp at (47, 36): routes go around them.
bool AtBuilding(int column, int row)
{
    return (column == 48 && row == 30) || (column == 46 && row == 36) || (column == 48 && row == 36);
}

std::vector<AIStatsLine> Statistics()
{
    return {
        {"explosives", 0.5f, " Enemy skill with explosives (0 to 1)"},
        {"grenades", 0.5f, " Enemy skill with grenades (0 to 1)"},
        {"machineguns", 0.6f, " Enemy skill with machine guns after 30 s of engagement"},
        {"riflery", 0.6f, " Enemy skill with rifles after 30 s of engagement"},
        {"sidearms", 0.5f, " Enemy skill with sidearms and in close combat"},
        {"sniping", 0.7f, " Enemy skill with scoped rifles after 30 s of engagement"},
        {"toughness", 0.5f, " How much damage enemies take (0 to 1)"},
        {"allyaccadjeasy", 1.2f, " Accuracy of allies on easy"},
        {"allyaccadjmed", 1.0f, " Accuracy of allies on medium"},
        {"allyaccadjhard", 0.8f, " Accuracy of allies on hard"},
        {"enemyaccadjeasy", 0.6f, " Accuracy of enemies on easy"},
        {"enemyaccadjmed", 0.8f, " Accuracy of enemies on medium"},
        {"enemyaccadjhard", 1.0f, " Accuracy of enemies on hard"},
        {"newpathdist", 30.0f, " Distance a squad member's goal moves before it plans a new route"},
        {"maxrecogdistday", 300.0f, " Farthest recognition distance by day"},
        {"maxrecogdistdawnduskovercast", 220.0f, " Farthest recognition distance at dawn, dusk or overcast"},
        {"maxrecogdistnight", 150.0f, " Farthest recognition distance by night"},
    };
}

void WriteWaypointsAndCover(const DemoDataWriter& out)
{
    // Nodes on every second grid corner away from the edges, the lake and the buildings; each is
    // linked to its eight neighbours that exist. A node's centre lies half a unit below the
    // lowest ground its circle reaches, so that anyone standing in it is within its height window.
    const int perSide = (kMapSide - 2) / kNodeStep; // corners 2, 4, ..., 62
    std::vector<int> nodeAt(std::size_t(perSide * perSide), -1);
    std::vector<std::array<int, 2>> cells;
    for (int j = 0; j < perSide; ++j)
        for (int i = 0; i < perSide; ++i) {
            const int column = 2 + i * kNodeStep, row = 2 + j * kNodeStep;
            if (InLake(column, row) || AtBuilding(column, row) || DemoMapOnRim(column, row))
                continue;
            nodeAt[std::size_t(j * perSide + i)] = int(cells.size());
            cells.push_back({i, j});
        }
    std::vector<WaypointFileNode> nodes;
    std::vector<std::uint32_t> links;
    for (const auto& [i, j] : cells) {
        const int column = 2 + i * kNodeStep, row = 2 + j * kNodeStep;
        const std::array<float, 3> centre = DemoMapCorner(column, row);
        float lowest = centre[1];
        for (int dr = -2; dr <= 2; ++dr)
            for (int dc = -2; dc <= 2; ++dc)
                lowest = std::min(lowest, DemoMapCorner(std::clamp(column + dc, 0, kMapSide - 1),
                                                        std::clamp(row + dr, 0, kMapSide - 1))[1]);
        WaypointFileNode node;
        node.centre[0] = centre[0], node.centre[1] = lowest - 0.5f, node.centre[2] = centre[2];
        node.radius = kNodeRadius;
        node.firstLink = std::int32_t(links.size());
        for (int dj = -1; dj <= 1; ++dj)
            for (int di = -1; di <= 1; ++di) {
                const int ni = i + di, nj = j + dj;
                if ((di || dj) && ni >= 0 && nj >= 0 && ni < perSide && nj < perSide &&
                    nodeAt[std::size_t(nj * perSide + ni)] >= 0)
                    links.push_back(std::uint32_t(nodeAt[std::size_t(nj * perSide + ni)]));
            }
        node.linkTotal = std::uint8_t(links.size() - std::size_t(node.firstLink));
        nodes.push_back(node);
    }
    out.writeFile("Maps/Demo/area.wps", WriteWaypointFile(nodes, links));

    // Cover beside the house and on both sides of each tree (DemoMap.cpp places them).
    std::vector<std::array<float, 3>> cover;
    const auto coverNear = [&](int column, int row, float dx, float dz) {
        const std::array<float, 3> at = DemoMapCorner(column, row);
        cover.push_back({at[0] + dx, at[1], at[2] + dz});
    };
    for (const auto& [dx, dz] : {std::array<float, 2>{-6, 0}, {6, 0}, {0, -6}, {0, 6}})
        coverNear(48, 30, dx, dz);
    for (const auto& [column, row] : {std::array<int, 2>{10, 12}, {14, 18}, {20, 10}, {36, 22}, {50, 14}, {54, 50},
                                      {8, 52}, {38, 54}}) {
        coverNear(column, row, -2.5f, 0);
        coverNear(column, row, 2.5f, 0);
    }
    out.writeFile("Maps/Demo/area.cvr", WriteCoverFile(cover));
}

} // namespace

// The AI's data: the statistics table, the three sensors, the formations, and the demo map's
// waypoint graph and cover points.
void GenerateDemoAI(const DemoDataWriter& out)
{
    out.writeText("GameData/AI/AIStats.txt",
                  WriteAIStatsText({"AI statistics: name, value, explanation", "Skill values run from 0 to 1."},
                                   Statistics()));

    // Hearing full to, heard to, weight beyond; view-cone cosine, sight range, sight weight;
    // third-channel range and weight.
    out.writeText("GameData/AI/infantry.sns",
                  WriteSensorText("Infantry: enemies and allies on the map", {30, 300, 0.8f, 0.5f, 350, 0.4f, 12, 2}));
    out.writeText("GameData/AI/playerAI.sns",
                  WriteSensorText("The player's squad", {30, 320, 1.0f, 0.3f, 400, 0.5f, 15, 2}));
    out.writeText("GameData/AI/dog.sns",
                  WriteSensorText("Guard dog: keen hearing and nose, short sight", {50, 400, 1.5f, 0.0f, 200, 0.3f, 30, 4}));

    // Slots as side and forward offsets behind the leader (the leader stands at the anchor).
    out.writeText("GameData/Formations/Wedge.for",
                  WriteFormationText({{-6, -6, 0, 0, 0}, {6, -6, 0, 0, 0}, {-12, -12, 0, 0, 0}, {12, -12, 0, 0, 0},
                                      {-18, -18, 0, 0, 0}, {18, -18, 0, 0, 0}, {0, -12, 0, 0, 0}}));
    std::vector<std::array<float, 5>> file, line, column;
    for (int i = 1; i <= 11; ++i) {
        file.push_back({0, -6.0f * float(i), 0, 0, 0});
        line.push_back({(i % 2 ? -6.0f : 6.0f) * float((i + 1) / 2), 0, 0, 0, 0});
        column.push_back({i % 2 ? -3.0f : 3.0f, -6.0f * float((i + 1) / 2), 0, 0, 0});
    }
    out.writeText("GameData/Formations/Ranger File.for", WriteFormationText(file));
    out.writeText("GameData/Formations/Line.for", WriteFormationText(line));
    out.writeText("GameData/Formations/Staggered Column.for", WriteFormationText(column));

    WriteWaypointsAndCover(out);
}
