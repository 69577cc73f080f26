#pragma once

#include <cstddef>
#include <memory>
#include <string>

// One tuning value of the AI: its key, its value and a line of explanation.
struct AIStatsEntry {
    std::string text;
    std::string name;
    float value = 0.0f;
};

// The mission's table of AI tuning values, read from a comma-separated text file of
// "name,value,text" lines ('/' starts a comment line). The mission reads and writes the values
// directly through entries[i].value.
class AIStats {
public:
    // Longest line read; the rest of a longer line is dropped.
    static constexpr std::size_t kMaxLineLength = 1023;

    AIStats() = default;
    virtual ~AIStats();
    AIStats(const AIStats&) = delete;
    AIStats& operator=(const AIStats&) = delete;

    // Replaces the table with the file's entries. A file that can't be opened leaves the table
    // empty (as before any load) with a log line; a line without a value or a text gets empty
    // fields (value 0, text "").
    void Load(const char* path);
    // Index of the first entry whose name equals the argument ignoring case, -1 when none.
    int FindIndex(const char* name) const;
    // Copy the entry's name or text into the caller's buffer of the given size (cut to fit, always
    // terminated); nothing happens for an index outside the table, a null buffer or size 0.
    void GetName(int index, char* destination, std::size_t size) const;
    void GetText(int index, char* destination, std::size_t size) const;
    // Writes every entry as "%s,\t%.3f,%s\n\n", replacing the file. Throws q3DError when nothing
    // was loaded or the file can't be created.
    void Save(const char* path) const;
    void Clear();

    // Null until a file was loaded; a loaded file without entries gives a zero-length array.
    std::unique_ptr<AIStatsEntry[]> entries;
    int count = 0;
};
