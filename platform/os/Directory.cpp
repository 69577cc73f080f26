#include "platform/os/Directory.h"

#include "platform/os/FolderListing.h"
#include "platform/os/Path.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>
#include <optional>

namespace platform::os {

std::vector<DirectoryEntry> ListDirectory(std::string_view pattern)
{
    std::size_t split = pattern.find_last_of("/\\");
    std::string_view folder = split == std::string_view::npos ? std::string_view(".") : pattern.substr(0, split + 1);
    std::string_view namePattern = split == std::string_view::npos ? pattern : pattern.substr(split + 1);
    if (namePattern.empty())
        namePattern = "*";

    std::vector<DirectoryEntry> entries;
    const std::optional<std::string> resolved = ResolvePath(folder);
    if (!resolved)
        return entries;
    const std::shared_ptr<const FolderListing> listing = ListFolder(*resolved);
    if (!listing)
        return entries;
    // The listing is already in the order promised: by name without regard to case.
    for (const FolderEntry& entry : listing->Entries()) {
        if (!MatchWildcard(namePattern, entry.name))
            continue;
        bool isDirectory = entry.type == DT_DIR;
        // What a link points to may change without its folder changing: asked each time.
        if (entry.type == DT_UNKNOWN || entry.type == DT_LNK) {
            struct stat info;
            const std::string full = *resolved + "/" + entry.name;
            isDirectory = ::stat(full.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        }
        entries.push_back({entry.name, isDirectory});
    }
    return entries;
}

} // namespace platform::os
