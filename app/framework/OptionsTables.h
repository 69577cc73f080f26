#pragma once

#include <cstdint>

// The fixed tables of the options record: option labels and value names, the resolutions, the
// actions with their default keys, and the key names.

constexpr int OptionCount = 33;
constexpr int ActionCount = 48;
constexpr int KeyCount = 512;
constexpr int KeyNameSize = 32;
constexpr int ValueNameCount = 10;
constexpr int ValueNameSize = 32;
constexpr int ActionNameSize = 64;
constexpr int ResolutionCount = 7;

struct Resolution {
    int width;
    int height;
    const char* text;
};

extern const Resolution Resolutions[ResolutionCount];

// The label the options screen shows for an option.
const char* GetOptionLabel(int option);

// The name of one value of an option: null when the option shows its number instead, "-" when
// nothing is shown (crosshair, sound provider, name) or the value has no name.
const char* GetOptionValueName(int option, int value);

// Whether the options screen shows the value as a percentage.
bool IsPercentOption(int option);

// The values an option may hold, for checking what a file gives.
bool IsValidOptionValue(int option, std::int32_t value);

// The 33 defaults before the machine is taken into account (the sound provider is 0 here).
extern const std::int32_t DefaultOptions[OptionCount];

const char* GetActionName(int action);
int GetDefaultKey(int action);

// The 48 action names in index order, as "keys.cfg" names them.
int FindAction(const char* name);

// Fills names[512][KeyNameSize]: every name empty, then the named keys.
void FillKeyNames(char (*names)[KeyNameSize]);

// The options screen's description of an option ('\n' between lines); empty for options without
// one and for indexes out of range.
const char* GetOptionDescription(int option);
