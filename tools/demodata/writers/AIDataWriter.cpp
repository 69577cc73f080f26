#include "tools/demodata/writers/AIDataWriter.h"

#include <cstdio>

#include "tools/demodata/writers/LittleEndian.h"

std::vector<std::uint8_t> WriteWaypointFile(const std::vector<WaypointFileNode>& nodes,
                                            const std::vector<std::uint32_t>& links)
{
    std::vector<std::uint8_t> out;
    PutI32(out, std::int32_t(nodes.size()));
    for (const WaypointFileNode& node : nodes) {
        for (float c : node.centre)
            PutF32(out, c);
        PutF32(out, node.radius);
        out.push_back(node.linkTotal);
        out.insert(out.end(), 3, 0);
        PutI32(out, node.firstLink);
    }
    PutI32(out, std::int32_t(links.size()));
    for (std::uint32_t link : links)
        PutU32(out, link);
    return out;
}

std::vector<std::uint8_t> WriteCoverFile(const std::vector<std::array<float, 3>>& points)
{
    std::vector<std::uint8_t> out;
    PutI32(out, std::int32_t(points.size()));
    for (const auto& point : points)
        for (float c : point)
            PutF32(out, c);
    return out;
}

namespace {

std::string Number(float value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%g", double(value));
    return text;
}

} // namespace

std::string WriteSensorText(const std::string& comment, const float (&values)[8])
{
    std::string text = comment + "\n";
    for (float value : values)
        text += Number(value) + "\n";
    return text;
}

std::string WriteFormationText(const std::vector<std::array<float, 5>>& slots)
{
    std::string text = std::to_string(slots.size()) + "\n";
    for (const auto& slot : slots) {
        for (std::size_t i = 0; i < slot.size(); ++i)
            text += (i ? " " : "") + Number(slot[i]);
        text += "\n";
    }
    return text;
}

std::string WriteAIStatsText(const std::vector<std::string>& comments, const std::vector<AIStatsLine>& lines)
{
    std::string text;
    for (const std::string& comment : comments)
        text += "// " + comment + "\n";
    for (const AIStatsLine& line : lines) {
        char value[64];
        std::snprintf(value, sizeof value, "%.3f", double(line.value));
        text += line.name + ",\t" + value + "," + line.text + "\n\n";
    }
    return text;
}
