#include "characters/body/AnimationCache.h"

#include <algorithm>
#include <cctype>

#include "engine/filesystem/PackFile.h"
#include "platform/os/Directory.h"

AnimationCache& AnimationCache::Instance()
{
    static AnimationCache cache;
    return cache;
}

std::string AnimationCache::Normalise(std::string_view path)
{
    std::string normal(path);
    for (char& c : normal) {
        if (c == '\\')
            c = '/';
        else
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return normal;
}

void AnimationCache::Add(std::string_view folder, std::string_view fileName)
{
    std::string path(folder);
    path += fileName;
    path = Normalise(path);
    const auto at = std::lower_bound(paths.begin(), paths.end(), path);
    if (at == paths.end() || *at != path)
        paths.insert(at, std::move(path));
}

void AnimationCache::Build(const char* folder)
{
    const std::string pattern = std::string(folder) + "*.gr2";
    for (const platform::os::DirectoryEntry& entry : platform::os::ListDirectory(pattern))
        if (!entry.isDirectory)
            Add(folder, entry.name);
}

bool AnimationCache::Contains(std::string_view path) const
{
    return std::binary_search(paths.begin(), paths.end(), Normalise(path));
}

bool AnimationFileExists(const char* path)
{
    return PackFileExists(path) || AnimationCache::Instance().Contains(path);
}
