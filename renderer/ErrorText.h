#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstring>
#include <memory>

#include "engine/core/FormatText.h"

// Formats a line of the renderer's own texts (errors, log lines, overlay text) into out; a format
// longer than the formatter accepts gives an empty line and false.
inline bool FormatBounded(char* out, std::size_t size, const char* format, std::va_list args)
{
    out[0] = '\0';
    if (!format || std::strlen(format) > kMaxFormatLength)
        return false;
    vFormatText(out, size, format, args);
    return true;
}

// The last error text of a renderer object (device, bitmap, prim, light): no text until the first
// error, then one 2048-byte buffer for the object's life, so a pointer handed out by
// GetLastError stays valid while the object lives.
class ErrorText {
public:
    static constexpr std::size_t kSize = 2048;

    // Formats into the text; a format longer than the formatter accepts leaves the text empty.
    void Format(const char* format, std::va_list args)
    {
        if (!text)
            text = std::make_unique<char[]>(kSize);
        FormatBounded(text.get(), kSize, format, args);
    }

    // Null until the first error.
    const char* Get() const { return text.get(); }
    void Clear() { text.reset(); }

private:
    std::unique_ptr<char[]> text;
};
