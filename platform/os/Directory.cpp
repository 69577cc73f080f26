#include "platform/os/Directory.h"

#include "platform/os/Path.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <optional>

namespace platform::os {

namespace {

std::string LowerCase(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

} // namespace

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
    DIR* dir = ::opendir(resolved->c_str());
    if (!dir)
        return entries;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name == "." || name == ".." || !MatchWildcard(namePattern, name))
            continue;
        bool isDirectory = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat info;
            const std::string full = *resolved + "/" + std::string(name);
            isDirectory = ::stat(full.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        }
        entries.push_back({std::string(name), isDirectory});
    }
    ::closedir(dir);

    std::sort(entries.begin(), entries.end(), [](const DirectoryEntry& a, const DirectoryEntry& b) {
        const std::string lowerA = LowerCase(a.name);
        const std::string lowerB = LowerCase(b.name);
        return lowerA != lowerB ? lowerA < lowerB : a.name < b.name;
    });
    return entries;
}

} // namespace platform::os
