#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// The small text files of the AI (tables, sensors, formations) are read whole through the
// pack-file layer and then walked line by line, so that a file in an archive, a CRLF file and a
// last line without its newline all read alike.

// Appends the bytes of a data file (plain file or archive member) to text; false when it can't
// be opened.
bool ReadDataText(const char* path, std::string& text);

// Calls visit with every line of text, without its "\n" or "\r\n"; a last line without a newline
// counts, an empty text has no lines. A line longer than maxLength is cut there (the rest of that
// line is dropped, never read as a line of its own). visit returns false to stop the walk.
void ForEachTextLine(std::string_view text, std::size_t maxLength,
                     const std::function<bool(std::string_view line)>& visit);
