#include "engine/core/FormatText.h"

#include <cstdio>
#include <cstring>

char* vFormatText(char* buffer, std::size_t size, const char* format, std::va_list args)
{
    if (buffer == nullptr || size == 0 || format == nullptr)
        return buffer;
    if (strnlen(format, kMaxFormatLength + 1) > kMaxFormatLength)
        return buffer;
    // vsnprintf cuts the output to the buffer and always terminates it.
    std::vsnprintf(buffer, size, format, args);
    return buffer;
}

char* FormatText(char* buffer, std::size_t size, const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    vFormatText(buffer, size, format, args);
    va_end(args);
    return buffer;
}
