#pragma once

#include <string>
#include <string_view>
#include <vector>

// The process-wide list of the animation files under the model folders, built once when a mission
// starts so that the set loader can ask whether a variation exists without touching the disk.
// It keeps whole paths (lower case, '/' separators) rather than hashes: two files can never be
// mistaken for one another, and there is no limit on how many it holds.
class AnimationCache {
public:
    static AnimationCache& Instance();

    // Adds every "*.gr2" file of the folder (a folder path ending in '/' or '\').
    void Build(const char* folder);
    // Adds one file of a folder; the table stays sorted, and a path added twice is kept once.
    void Add(std::string_view folder, std::string_view fileName);
    // True when the path (folder plus file name, any case, either slash) was added.
    bool Contains(std::string_view path) const;

    std::size_t Size() const { return paths.size(); }
    void Clear() { paths.clear(); }

    // The form paths are kept and looked up in.
    static std::string Normalise(std::string_view path);

private:
    std::vector<std::string> paths;  // sorted
};

// True when an animation file exists: a member of an open archive, or a file the cache holds.
bool AnimationFileExists(const char* path);
