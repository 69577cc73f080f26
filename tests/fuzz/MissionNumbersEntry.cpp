#include "tests/fuzz/ReaderEntries.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/filesystem/PackFile.h"
#include "mission/props/CharacterProps.h"
#include "mission/props/MissionProps.h"
#include "mission/files/TilePropertiesFile.h"
#include "tests/fuzz/ScratchFile.h"

namespace readers {

namespace {

// The bytes as one property line, cut at the first zero as the map reader's texts are.
std::string CheckPropNumbers(const std::uint8_t* data, std::size_t size)
{
    const std::string line(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
    char* end = nullptr;
    ReadPropWhole(line.c_str(), &end);
    if (end < line.c_str() || end > line.c_str() + line.size())
        return "the end of a whole number lies outside its text";

    TriggerProp trigger;
    trigger.Parse(nullptr, line.c_str());
    StationaryProp stationary;
    stationary.Parse(nullptr, line.c_str());
    if (stationary.flag > 1)
        return "the stationary flag is neither 0 nor 1";
    InactiveProp inactive;
    inactive.Parse(nullptr, line.c_str());
    if (inactive.inactiveFlag > 1)
        return "the inactive flag is neither 0 nor 1";
    SkillsProp skills;
    skills.Parse(nullptr, line.c_str());
    for (float value : skills.values)
        if (!(value >= -1.0f && value <= 1.0f))
            return "a skill lies outside -1 to 1";
    // The listed kinds join their registry lists when parsed and leave them with their objects.
    FlagSpawnProp spawn;
    spawn.Parse(nullptr, line.c_str());
    spawn.Detach(nullptr);
    MultiStartProp start;
    start.Parse(nullptr, line.c_str());
    start.Detach(nullptr);
    if (start.teamCode < 0 || start.teamCode > 10)
        return "the team code is out of range";
    return {};
}

std::string CheckTileProperties(const std::uint8_t* data, std::size_t size)
{
    const ScratchFile scratch("tile-fuzz", ".txt", data, size);
    if (!scratch.written)
        return {};
    std::vector<std::unique_ptr<TileSounds>> sets;
    if (PackFile* file = PackFileOpen(scratch.path.c_str(), "rt")) {
        ReadTilePropertiesFile(file, sets);
        PackFileClose(file);
    }
    for (const std::unique_ptr<TileSounds>& set : sets) {
        if (set->maximumTile < set->minimumTile)
            return "a tile range is reversed";
        if (!std::isfinite(set->alertValue))
            return "an alert value is not finite";
        for (const char* name : set->baseName)
            if (!name[0] || !std::memchr(name, '\0', sizeof set->baseName[0]))
                return "a sound name is empty or unterminated";
    }
    return {};
}

} // namespace

std::string ReadMissionNumbersBytes(const std::uint8_t* data, std::size_t size)
{
    std::string broken = CheckPropNumbers(data, size);
    return broken.empty() ? CheckTileProperties(data, size) : broken;
}

} // namespace readers
