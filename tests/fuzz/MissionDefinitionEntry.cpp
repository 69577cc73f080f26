#include "tests/fuzz/ReaderEntries.h"

#include <cstring>
#include <string>

#include "engine/core/q3DError.h"
#include "mission/files/MissionDefinition.h"
#include "tests/fuzz/ScratchFile.h"

namespace readers {

namespace {

template <std::size_t N>
bool Terminated(const char (&text)[N])
{
    return std::memchr(text, '\0', N) != nullptr;
}

} // namespace

std::string ReadMissionDefinitionBytes(const std::uint8_t* data, std::size_t size)
{
    const ScratchFile file("mission-fuzz", ".mis", data, size);
    if (!file.written)
        return {};
    MissionDefinition mission;
    try {
        if (!mission.Load(file.path.c_str()))
            return "a written mission file does not open";
    } catch (const q3DError& error) {
        if (!error.GetText()[0])
            return "a refused mission gives no reason";
        if (mission.version != MissionDefinition::CurrentVersion || !mission.objectives.empty() ||
            mission.objectiveCount != 0 || mission.title[0] || mission.mapPath[0])
            return "a refused mission is not reset";
        return {};
    }
    if (mission.version < 1)
        return "the version is below 1";
    if (mission.objectiveCount < 0 || std::size_t(mission.objectiveCount) != mission.objectives.size())
        return "the objectives do not match their count";
    if (mission.objectives.size() * MissionObjective::RecordSize > size)
        return "more objectives than the file holds";
    bool terminated = Terminated(mission.title) && Terminated(mission.mapPath) && Terminated(mission.carriedPath1) &&
                      Terminated(mission.briefingImage) && Terminated(mission.carriedPath2) &&
                      Terminated(mission.artImage) && Terminated(mission.carriedPath3) &&
                      Terminated(mission.overallObjective) && Terminated(mission.briefingMovie) &&
                      Terminated(mission.aiStatsFile) && Terminated(mission.musicFile1) &&
                      Terminated(mission.musicFile2) && Terminated(mission.voiceFolder);
    for (const auto& name : mission.soldierNames)
        terminated = terminated && Terminated(name);
    for (const auto& model : mission.soldierModels)
        terminated = terminated && Terminated(model);
    for (const auto& items : mission.soldierItems)
        for (const auto& item : items)
            terminated = terminated && Terminated(item);
    for (const auto& page : mission.briefingTexts)
        terminated = terminated && Terminated(page);
    for (const MissionObjective& objective : mission.objectives)
        terminated = terminated && Terminated(objective.text) && Terminated(objective.completionText) &&
                     Terminated(objective.soundFile);
    if (!terminated)
        return "a text is not terminated";
    // What a loaded definition writes reads back as the same header.
    std::string header(MissionDefinition::HeaderSize, '\0');
    mission.WriteHeader(reinterpret_cast<std::uint8_t*>(header.data()));
    MissionDefinition again;
    again.ReadHeader(reinterpret_cast<const std::uint8_t*>(header.data()));
    std::string rewritten(MissionDefinition::HeaderSize, '\0');
    again.WriteHeader(reinterpret_cast<std::uint8_t*>(rewritten.data()));
    if (rewritten != header)
        return "a loaded header does not write back as read";
    return {};
}

} // namespace readers
