#pragma once

#include <memory>
#include <vector>

#include "items/TileSounds.h"

struct PackFile;

// Reads the records of a map's "TileProperties.txt" (minimum tile, maximum tile, AI alert value,
// left and right foot sound names, one a line) up to the end of the file or an empty line,
// appending each to sets with its sounds not yet loaded. A record that is cut short, whose
// maximum lies below its minimum or whose alert value is not a finite number ends the table
// with a log line; the records before it stay.
void ReadTilePropertiesFile(PackFile* file, std::vector<std::unique_ptr<TileSounds>>& sets);
