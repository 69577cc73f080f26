#include "platform/os/Path.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <vector>

namespace platform::os {

namespace {

char FoldCase(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsSeparator(char c)
{
    return c == '/' || c == '\\';
}

bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    }
    return true;
}

bool Exists(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

std::string JoinPath(const std::string& folder, std::string_view name)
{
    if (folder.empty())
        return std::string(name);
    if (folder.back() == '/')
        return folder + std::string(name);
    return folder + "/" + std::string(name);
}

// The name in a folder that equals the wanted one without regard to case; the first in byte
// order when several do, so the answer does not depend on the order of the folder's entries.
std::optional<std::string> FindNoCase(const std::string& folder, std::string_view wanted)
{
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return std::nullopt;
    std::optional<std::string> best;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (EqualNoCase(name, wanted) && (!best || name < *best))
            best = std::string(name);
    }
    ::closedir(dir);
    return best;
}

struct PathPieces {
    std::string root; // "/" for an absolute path, else empty
    std::vector<std::string_view> parts;
};

PathPieces SplitPieces(std::string_view path)
{
    PathPieces split;
    std::size_t pos = 0;
    if (!path.empty() && path[0] == '/') {
        split.root = "/";
        while (pos < path.size() && path[pos] == '/')
            ++pos;
    }
    while (pos < path.size()) {
        const std::size_t end = std::min(path.find('/', pos), path.size());
        if (end > pos)
            split.parts.push_back(path.substr(pos, end - pos));
        pos = end + 1;
    }
    return split;
}

// Walks the parts one by one, taking the exact name when it exists and a case-insensitive
// match otherwise. With keepLast, a missing last part is kept as given.
std::optional<std::string> ResolveParts(const std::string& normal, bool keepLast)
{
    const PathPieces split = SplitPieces(normal);
    std::string resolved = split.root;
    for (std::size_t i = 0; i < split.parts.size(); ++i) {
        const std::string_view part = split.parts[i];
        const std::string exact = JoinPath(resolved, part);
        if (part == "." || part == ".." || Exists(exact)) {
            resolved = exact;
            continue;
        }
        const std::optional<std::string> match = FindNoCase(resolved, part);
        if (match) {
            resolved = JoinPath(resolved, *match);
        } else if (keepLast && i + 1 == split.parts.size()) {
            resolved = exact;
        } else {
            return std::nullopt;
        }
    }
    if (resolved.empty())
        return std::nullopt;
    return resolved;
}

std::string NormalSlashes(std::string_view path)
{
    std::string normal(path);
    std::replace(normal.begin(), normal.end(), '\\', '/');
    return normal;
}

} // namespace

PathParts SplitPath(std::string_view path)
{
    PathParts parts;
    if (path.size() >= 2 && path[1] == ':') {
        parts.drive = std::string(path.substr(0, 2));
        path.remove_prefix(2);
    }
    std::size_t nameStart = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (IsSeparator(path[i]))
            nameStart = i + 1;
    }
    parts.dir = std::string(path.substr(0, nameStart));
    const std::string_view name = path.substr(nameStart);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) {
        parts.fname = std::string(name);
    } else {
        parts.fname = std::string(name.substr(0, dot));
        parts.ext = std::string(name.substr(dot));
    }
    return parts;
}

std::optional<std::string> ResolvePath(std::string_view path)
{
    if (path.empty())
        return std::nullopt;
    const std::string normal = NormalSlashes(path);
    if (Exists(normal))
        return normal;
    return ResolveParts(normal, false);
}

std::optional<std::string> ResolvePathForWrite(std::string_view path)
{
    if (path.empty())
        return std::nullopt;
    const std::string normal = NormalSlashes(path);
    if (Exists(normal))
        return normal;
    return ResolveParts(normal, true);
}

bool SamePathName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (IsSeparator(a[i]) && IsSeparator(b[i]))
            continue;
        if (FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    }
    return true;
}

bool MatchWildcard(std::string_view pattern, std::string_view name)
{
    if (pattern == "*.*")
        return true;
    // Greedy match with one backtrack point: the last '*' seen.
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starPattern = std::string_view::npos;
    std::size_t starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || FoldCase(pattern[p]) == FoldCase(name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starPattern = p++;
            starName = n;
        } else if (starPattern != std::string_view::npos) {
            p = starPattern + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace platform::os
