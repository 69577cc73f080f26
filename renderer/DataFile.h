#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Reads a whole data file through the pack-file layer (plain file first, then archive member).
// False when it cannot be opened.
bool ReadDataFile(const char* path, const char* mode, std::vector<std::uint8_t>& out);

// Whether a data file can be opened (it is closed again at once).
bool DataFileExists(const char* path);
