#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The AI's data files: the waypoint graph ".wps" and cover points ".cvr" (binary, little-endian),
// and the text files of sensors ".sns", formations ".for" and the AI statistics table.

struct WaypointFileNode {
    float centre[3] = {};
    float radius = 0.0f;
    std::uint8_t linkTotal = 0;
    std::int32_t firstLink = 0;
};

// int32 node count, 24 bytes a node (centre, radius, link total byte, 3 zero bytes, int32 first
// link), int32 link count, uint32 links.
std::vector<std::uint8_t> WriteWaypointFile(const std::vector<WaypointFileNode>& nodes,
                                            const std::vector<std::uint32_t>& links);

// int32 count, then x, y, z float32 per point.
std::vector<std::uint8_t> WriteCoverFile(const std::vector<std::array<float, 3>>& points);

// A comment line, then the eight values one a line.
std::string WriteSensorText(const std::string& comment, const float (&values)[8]);

// The slot count, then one line of five numbers a slot (side, forward and three further values).
std::string WriteFormationText(const std::vector<std::array<float, 5>>& slots);

struct AIStatsLine {
    std::string name;
    float value = 0.0f;
    std::string text;
};

// A comment block ('/' lines), then "name,\tvalue,text" lines as the table's own writer lays
// them out.
std::string WriteAIStatsText(const std::vector<std::string>& comments, const std::vector<AIStatsLine>& lines);
