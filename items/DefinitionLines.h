#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

// Walks definition text line by line, keeping the position after the last line taken. Only the
// first token of a line counts: the text up to the first ',', '\r' or '\n', so the rest of a line
// can hold a comment.
struct DefinitionLines {
    // A line holds at most 2047 characters; the rest of a longer line is dropped with it.
    static constexpr std::size_t kMaxLine = 2047;

    std::string_view text;
    std::size_t position = 0;

    // The first token of the next line; empty once the text has run out.
    std::string Next()
    {
        if (position >= text.size())
            return {};
        std::size_t end = text.find('\n', position);
        std::size_t lineEnd = end == std::string_view::npos ? text.size() : end;
        std::string_view line = text.substr(position, lineEnd - position);
        position = end == std::string_view::npos ? text.size() : end + 1;
        if (line.size() > kMaxLine)
            line = line.substr(0, kMaxLine);
        std::size_t stop = line.find_first_of(",\r");
        if (stop != std::string_view::npos)
            line = line.substr(0, stop);
        return std::string(line);
    }
};

// Copies a value into a fixed text field, cut to the field with its terminator.
template <std::size_t N>
void CopyBounded(char (&field)[N], const std::string& value)
{
    std::size_t length = value.size() < N - 1 ? value.size() : N - 1;
    std::memcpy(field, value.data(), length);
    field[length] = '\0';
}

// Definitions also reach clients from a server, so every number is checked where it is read: a
// whole number is clamped to [low, high], a number that is not finite reads as 0 and one beyond
// the limit is clamped to it, each with a log line naming the file and the field.
long BoundedDefinitionInt(const std::string& text, long low, long high, const char* path, const char* field);
float FiniteDefinitionFloat(const std::string& text, const char* path, const char* field,
                            float limit = 3.4e38f);
