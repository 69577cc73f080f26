#pragma once

#include <cstdarg>
#include <cstddef>

// Longest format string that is formatted; a longer one leaves the buffer untouched.
inline constexpr std::size_t kMaxFormatLength = 1792;

// printf-style formatting into the caller's buffer of the given size (terminator included);
// the output is cut to fit and always terminated when size > 0. Returns the buffer.
char* FormatText(char* buffer, std::size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
char* vFormatText(char* buffer, std::size_t size, const char* format, std::va_list args)
    __attribute__((format(printf, 3, 0)));

// The same into a char array, whose size is taken from its type.
template <std::size_t N>
__attribute__((format(printf, 2, 3)))
char* FormatText(char (&buffer)[N], const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    vFormatText(buffer, N, format, args);
    va_end(args);
    return buffer;
}
