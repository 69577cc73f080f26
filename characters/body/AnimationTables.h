#pragma once

#include <string>
#include <string_view>
#include <vector>

// The text tables of the animation sets: the animation names of "animinfo.txt" and the variation
// options of "animoptions.txt".

// Longest animation name kept (the controller's name slots hold 256 bytes with the terminator).
constexpr std::size_t kAnimationNameMax = 255;

// Animation names in file order. A line starting with '\n', '\r' or '/' is skipped; otherwise the
// text before the first comma is the next name. An empty name ends the list. Names longer than
// kAnimationNameMax are cut there; names beyond maxCount are dropped with one log line naming
// source. CRLF and a missing final newline are accepted.
std::vector<std::string> ParseAnimationNames(std::string_view text, std::size_t maxCount, const char* source);

// Reads the names from a data file through the pack-file layer; throws q3DError "Can't load %s"
// when the file can't be opened.
std::vector<std::string> ReadAnimationNames(const char* path, std::size_t maxCount);

// One "animoptions.txt" line: a variation file name, its loop count and optionally a speed.
struct AnimationOption {
    std::string fileName;  // "<animation><two-digit variation>.gr2"
    int loopCount = 0;     // 0 = loop forever
    bool hasSpeed = false;
    float speed = 1.0f;
};

// Option lines in file order. Fields are separated by blanks or tabs; a line without a file name
// is skipped, and a line without a non-negative integer loop count is skipped with a log line naming source
// (a missing count would otherwise be garbage). Lines of any length are kept whole.
std::vector<AnimationOption> ParseAnimationOptions(std::string_view text, const char* source);

// Appends the options of a data file; a missing file adds nothing (every model folder may lack one).
void ReadAnimationOptions(const char* path, std::vector<AnimationOption>& options);

// The first option whose file name equals fileName ignoring case; null when none.
const AnimationOption* FindAnimationOption(const std::vector<AnimationOption>& options, std::string_view fileName);

// The loop count a variation is listed with, -1 when it has none. A listed 0 (loop forever) counts
// as none, so that a variation looping forever switches on the random timer instead of on a
// zero-length play time.
int ListedLoopCount(const std::vector<AnimationOption>& options, std::string_view fileName);

// "<name><two-digit variation>.gr2", the file name of one variation.
std::string VariationFileName(std::string_view animationName, int variation);
