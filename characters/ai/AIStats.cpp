#include "characters/ai/AIStats.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include <strings.h>

#include "engine/core/EngineLog.h"
#include "engine/filesystem/TextLines.h"
#include "engine/core/q3DError.h"
#include "platform/os/File.h"

namespace {

void CopyCut(const std::string& from, char* destination, std::size_t size)
{
    const std::size_t length = from.size() < size - 1 ? from.size() : size - 1;
    std::memcpy(destination, from.data(), length);
    destination[length] = '\0';
}

AIStatsEntry ParseEntry(std::string_view line)
{
    AIStatsEntry entry;
    const std::size_t firstComma = line.find(',');
    entry.name = std::string(line.substr(0, firstComma));
    if (firstComma == std::string_view::npos)
        return entry;
    std::string_view rest = line.substr(firstComma + 1);
    const std::size_t secondComma = rest.find(',');
    entry.value = static_cast<float>(std::atof(std::string(rest.substr(0, secondComma)).c_str()));
    if (secondComma != std::string_view::npos)
        entry.text = std::string(rest.substr(secondComma + 1));
    return entry;
}

} // namespace

AIStats::~AIStats()
{
    Clear();
}

void AIStats::Clear()
{
    entries.reset();
    count = 0;
}

void AIStats::Load(const char* path)
{
    Clear();
    std::string text;
    if (!ReadDataText(path, text)) {
        LogToEngine("AIStats::Load() - Can't open %s", path ? path : "(null)");
        return;
    }
    std::vector<AIStatsEntry> read;
    ForEachTextLine(text, kMaxLineLength, [&](std::string_view line) {
        if (line.empty() || line.front() == '/' || line.front() == '\r')
            return true;
        read.push_back(ParseEntry(line));
        // The mission scales aim and damage by these values: one that is not a number would
        // spread through every shot.
        if (!std::isfinite(read.back().value)) {
            LogToEngine("AIStats::Load - %s: the value of %s is not a finite number, read as 0", path,
                        read.back().name.c_str());
            read.back().value = 0.0f;
        }
        return true;
    });
    entries = std::make_unique<AIStatsEntry[]>(read.size());
    for (std::size_t i = 0; i < read.size(); ++i)
        entries[i] = std::move(read[i]);
    count = static_cast<int>(read.size());
}

int AIStats::FindIndex(const char* name) const
{
    if (!name)
        return -1;
    for (int i = 0; i < count; ++i)
        if (strcasecmp(entries[i].name.c_str(), name) == 0)
            return i;
    return -1;
}

void AIStats::GetName(int index, char* destination, std::size_t size) const
{
    if (index >= 0 && index < count && destination && size > 0)
        CopyCut(entries[index].name, destination, size);
}

void AIStats::GetText(int index, char* destination, std::size_t size) const
{
    if (index >= 0 && index < count && destination && size > 0)
        CopyCut(entries[index].text, destination, size);
}

void AIStats::Save(const char* path) const
{
    if (!entries)
        throw q3DError("AIStats::Save() - No stats to save! (probably Load() was not called)");
    platform::os::FileHandle file(platform::os::OpenFile(path, "wt"));
    if (!file)
        throw q3DError("AIStats::Save() - Can't open %s", path);
    for (int i = 0; i < count; ++i)
        std::fprintf(file.get(), "%s,\t%.3f,%s\n\n", entries[i].name.c_str(), entries[i].value,
                     entries[i].text.c_str());
}
