#include "tools/demodata/writers/MissionWriter.h"

#include <algorithm>

namespace {

void PutI32(std::vector<std::uint8_t>& out, std::int32_t value)
{
    const std::uint32_t bits = std::uint32_t(value);
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(std::uint8_t(bits >> shift));
}

void PutText(std::vector<std::uint8_t>& out, const std::string& text, std::size_t size)
{
    const std::size_t kept = std::min(text.size(), size - 1);
    out.insert(out.end(), text.begin(), text.begin() + std::ptrdiff_t(kept));
    out.insert(out.end(), size - kept, 0);
}

template <std::size_t N>
void PutInts(std::vector<std::uint8_t>& out, const std::int32_t (&values)[N])
{
    for (std::int32_t value : values)
        PutI32(out, value);
}

} // namespace

MissionObjectiveContents::MissionObjectiveContents()
{
    std::fill(std::begin(targets), std::end(targets), -1);
}

std::vector<std::uint8_t> WriteMissionHeader(const MissionFileContents& c)
{
    std::vector<std::uint8_t> out;
    out.reserve(kMissionHeaderSize);
    PutI32(out, c.version);
    PutText(out, c.title, 256);
    PutText(out, c.mapPath, 256);
    PutText(out, c.path516, 256);
    PutText(out, c.briefingImage, 256);
    PutI32(out, c.briefingImageX);
    PutI32(out, c.briefingImageY);
    PutI32(out, std::int32_t(c.objectives.size()));
    PutI32(out, 0); // the writer's objective pointer
    PutInts(out, c.requiredItems);
    PutInts(out, c.protectedTargets);
    for (const std::string& name : c.soldierNames)
        PutText(out, name, 64);
    for (const std::string& model : c.soldierModels)
        PutText(out, model, 32);
    for (const auto& items : c.soldierItems)
        for (const std::string& item : items)
            PutText(out, item, 64);
    PutInts(out, c.soldierValues);
    PutI32(out, c.value2764);
    PutText(out, c.path2768, 256);
    PutText(out, c.artImage, 256);
    PutText(out, c.path3280, 256);
    PutText(out, c.overallObjective, 1024);
    for (const std::string& page : c.briefingTexts)
        PutText(out, page, 10000);
    PutText(out, c.briefingMovie, 256);
    PutText(out, c.aiStatsFile, 256);
    PutText(out, c.musicFile1, 256);
    PutText(out, c.musicFile2, 256);
    PutText(out, c.voiceFolder, 256);
    return out;
}

std::vector<std::uint8_t> WriteMissionObjective(const MissionObjectiveContents& o)
{
    std::vector<std::uint8_t> out;
    out.reserve(kMissionObjectiveSize);
    PutI32(out, o.kind);
    PutText(out, o.text, 64);
    PutText(out, o.completionText, 64);
    PutText(out, o.soundFile, 256);
    PutInts(out, o.prerequisites);
    PutInts(out, o.targets);
    out.insert(out.end(), std::begin(o.reserved), std::end(o.reserved));
    out.push_back(o.completed);
    out.insert(out.end(), 3, 0);
    return out;
}

std::vector<std::uint8_t> WriteMissionFile(const MissionFileContents& contents, std::uint8_t skippedFill)
{
    const std::vector<std::uint8_t> header = WriteMissionHeader(contents);
    std::size_t headerEnd = kMissionHeaderSize;
    if (contents.version <= 4)
        headerEnd = 2236;
    else if (contents.version == 5)
        headerEnd = 45072;
    else if (contents.version == 6)
        headerEnd = 45328;
    else if (contents.version == 7)
        headerEnd = 45584;
    std::vector<std::uint8_t> out(header.begin(), header.begin() + std::ptrdiff_t(headerEnd));
    if (contents.version == 3 || contents.version == 4) {
        const std::size_t extra = contents.version == 3 ? 42324 : 42068;
        out.insert(out.end(), 256, skippedFill);
        out.insert(out.end(), header.begin() + 2236, header.begin() + std::ptrdiff_t(2236 + extra));
    }
    for (const MissionObjectiveContents& objective : contents.objectives) {
        const std::vector<std::uint8_t> record = WriteMissionObjective(objective);
        out.insert(out.end(), record.begin(), record.end());
    }
    return out;
}
