#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform::os {

struct DirectoryEntry {
    std::string name; // the name alone, without the folder
    bool isDirectory = false;
};

// The entries of a folder whose names match a wildcard pattern ("*.mis", "Saves/*.sav"); the
// folder part resolves as ResolvePath does, the name part matches as MatchWildcard does. "." and
// ".." are left out. Sorted by name without regard to case. Empty when the folder is missing.
std::vector<DirectoryEntry> ListDirectory(std::string_view pattern);

} // namespace platform::os
