#include "platform/os/Path.h"

#include "platform/os/FolderListing.h"

#include <sys/stat.h>

#include <algorithm>

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

bool Exists(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
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
    return ResolveThroughListings(normal, false);
}

std::optional<std::string> ResolvePathForWrite(std::string_view path)
{
    if (path.empty())
        return std::nullopt;
    const std::string normal = NormalSlashes(path);
    if (Exists(normal))
        return normal;
    return ResolveThroughListings(normal, true);
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
