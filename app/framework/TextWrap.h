#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Cuts a text into lines that fit a width, as the notices are drawn: characters are added while
// the measured width stays below the width; on overflow the line is cut back to its last blank
// when it has one before its end, and the next line starts after the cut, skipping one blank.
// Every line takes at least one character, so a width too narrow for any character still ends.
std::vector<std::string> WrapText(std::string_view text, int width, const std::function<int(std::string_view)>& measure);
