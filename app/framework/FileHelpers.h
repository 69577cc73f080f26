#pragma once

#include <cstdint>
#include <string>

struct PackFile;

// Small file services kept with the Application.

// Drops every pending keyboard message.
void FlushKeyMessages();

// The file's size; 0 when it cannot be opened for reading.
std::uint64_t FileLength(const char* path);

// Reads the next useful line of a configuration file through the pack-file layer: lines starting
// "//" and empty lines are skipped; the line break, anything from "//" on and trailing tabs,
// blanks and commas are removed; the buffer of length bytes takes what fits with its NUL. At end
// of file the buffer is emptied. Returns false at end of file.
bool ReadConfigLine(PackFile* file, char* buffer, int length);

// Deletes every file matching pattern in folder and, recursively, in its sub-folders; with
// removeFolder also the emptied folders and the folder itself. Links are deleted as links and
// never followed. An empty path or the root is refused. Each failure other than a file that is
// already gone is written to the engine log ("Failed to delete directory - %d\n%s"). Returns
// false when anything failed or the path was refused.
bool DeleteDirectory(const char* folder, bool removeFolder, const char* pattern);
