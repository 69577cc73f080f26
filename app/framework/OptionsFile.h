#pragma once

#include "app/framework/OptionsTables.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// "Bexal.cfg": 193 bytes, little-endian, no padding:
//   0   float32   version, exactly 1.74
//   4   int32[33] the options in index order
//   136 char[25]  player name, NUL-terminated within the field
//   161 char[32]  model name, NUL-terminated within the field
struct OptionsRecord {
    static constexpr int PlayerNameSize = 25;
    static constexpr int ModelNameSize = 32;
    static constexpr std::size_t FileSize = 193;
    static constexpr std::uint32_t VersionBits = 0x3FDEB852;  // 1.74f

    std::uint32_t versionBits = VersionBits;
    std::int32_t options[OptionCount] = {};
    char playerName[PlayerNameSize] = {};
    char modelName[ModelNameSize] = {};
};

// What a read found: each field counts only when all its bytes were there.
struct OptionsRecordRead {
    bool versionRead = false;
    int optionsRead = 0;
    bool playerNameRead = false;
    bool modelNameRead = false;
    // The file goes on past the record.
    bool trailingBytes = false;

    bool Complete() const { return versionRead && optionsRead == OptionCount && playerNameRead && modelNameRead; }
};

// The one reader and writer of the record. The reader fills the fields it finds and stops at the
// first one that is cut short. The writer returns false when a byte could not be written.
OptionsRecordRead ReadOptionsRecord(std::FILE* file, OptionsRecord& record);
bool WriteOptionsRecord(std::FILE* file, const OptionsRecord& record);

// "keys.cfg": two comment lines, then "%s; %d\n" per action (action name, key code, -1 unbound).
// The one reader and writer of the text. The reader hands back, line by line, the bindings it
// could use and a note for each line it had to skip.
struct KeyBindingLine {
    int action;
    int key;  // -1 leaves the action as it is
};

struct KeysFileRead {
    std::vector<KeyBindingLine> bindings;
    std::vector<std::string> problems;
};

KeysFileRead ReadKeysFile(std::FILE* file);
bool WriteKeysFile(std::FILE* file, const std::int32_t (&actionToKey)[ActionCount]);
