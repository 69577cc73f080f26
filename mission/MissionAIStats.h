#pragma once

#include <string>
#include <vector>

// The mission's table of AI tuning values, read from a comma-separated text file: lines
// "name,value,text", comments starting with '/'. A stand-in for the characters' own table until
// the AI lands; the level loader only needs Load and FindIndex of it.
class MissionAIStats {
public:
    struct Entry {
        std::string text;
        std::string name;
        float value = 0.0f;
    };

    // False when the file does not open (the table is then empty). A line without a value or
    // text keeps those fields empty.
    bool Load(const char* path);
    void Clear() { entries.clear(); }
    // The first entry whose name equals the argument without regard to case, or -1.
    int FindIndex(const char* name) const;
    int GetCount() const { return int(entries.size()); }

    std::vector<Entry> entries;
};
