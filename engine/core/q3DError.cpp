#include "engine/core/q3DError.h"

#include <cstring>

#include "engine/core/FormatText.h"

q3DError::q3DError(const char* format, ...)
{
    // Starts empty so that a refused format leaves a defined (empty) message.
    text[0] = '\0';
    std::va_list args;
    va_start(args, format);
    vFormatText(text, kTextSize, format, args);
    va_end(args);
}

q3DError::q3DError(const q3DError& other)
{
    *this = other;
}

q3DError& q3DError::operator=(const q3DError& other)
{
    if (this != &other) {
        const std::size_t length = strnlen(other.text, kTextSize - 1);
        std::memcpy(text, other.text, length);
        text[length] = '\0';
    }
    return *this;
}

q3DError q3DError::FromArgs(const char* format, std::va_list args)
{
    q3DError error;
    vFormatText(error.text, kTextSize, format, args);
    return error;
}
