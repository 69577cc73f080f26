#include "mission/MissionAIStats.h"

#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "engine/filesystem/PackFile.h"

bool MissionAIStats::Load(const char* path)
{
    Clear();
    PackFileHandle file(PackFileOpen(path, "rt"));
    if (!file)
        return false;
    char line[1024];
    while (PackFileGets(line, sizeof line, file.get())) {
        if (line[0] == '\0' || line[0] == '/' || line[0] == '\r' || line[0] == '\n')
            continue;
        line[std::strcspn(line, "\r\n")] = '\0';
        Entry entry;
        char* comma = std::strchr(line, ',');
        if (comma) {
            *comma = '\0';
            char* value = comma + 1;
            char* second = std::strchr(value, ',');
            if (second) {
                *second = '\0';
                entry.text = second + 1;
            }
            entry.value = float(std::atof(value));
        }
        entry.name = line;
        entries.push_back(std::move(entry));
    }
    return true;
}

int MissionAIStats::FindIndex(const char* name) const
{
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (strcasecmp(entries[i].name.c_str(), name) == 0)
            return int(i);
    return -1;
}
