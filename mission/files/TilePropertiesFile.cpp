#include "mission/files/TilePropertiesFile.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "app/framework/FileHelpers.h"
#include "engine/core/EngineLog.h"

void ReadTilePropertiesFile(PackFile* file, std::vector<std::unique_ptr<TileSounds>>& sets)
{
    char line[256];
    for (;;) {
        if (!ReadConfigLine(file, line, sizeof line) || !line[0])
            return;
        auto set = std::make_unique<TileSounds>();
        // Indices are read wide and kept within an int, so a long run of digits never wraps.
        const auto tileIndex = [](const char* text) {
            return int(std::clamp<long>(std::strtol(text, nullptr, 10), INT_MIN, INT_MAX));
        };
        set->minimumTile = tileIndex(line);
        if (!ReadConfigLine(file, line, sizeof line) || !line[0]) {
            LogToEngine("Can't read max tile index in Maps/Tiles/TileProperties.txt");
            return;
        }
        set->maximumTile = tileIndex(line);
        if (set->maximumTile < set->minimumTile) {
            LogToEngine("Format error: maxTileIndex<minTileIndex in Maps/Tiles/TileProperties.txt");
            return;
        }
        if (!ReadConfigLine(file, line, sizeof line) || !line[0]) {
            LogToEngine("Can't read AI alert value in Maps/Tiles/TileProperties.txt");
            return;
        }
        set->alertValue = std::strtof(line, nullptr);
        // The AI adds the value to its alertness: one that is not a number would poison it.
        if (!std::isfinite(set->alertValue)) {
            LogToEngine("Format error: AI alert value %s is not a finite number in Maps/Tiles/TileProperties.txt", line);
            return;
        }
        // Paths of up to 255 characters, as the table keeps them.
        if (!ReadConfigLine(file, set->baseName[0], int(sizeof set->baseName[0])) || !set->baseName[0][0]) {
            LogToEngine("Can't read left foot sound path in Maps/Tiles/TileProperties.txt");
            return;
        }
        if (!ReadConfigLine(file, set->baseName[1], int(sizeof set->baseName[1])) || !set->baseName[1][0]) {
            LogToEngine("Can't read right foot sound path in Maps/Tiles/TileProperties.txt");
            return;
        }
        sets.push_back(std::move(set));
    }
}
