#pragma once

#include <cstdarg>
#include <cstddef>

// The engine exception: only a message text, thrown and caught by value.
class q3DError {
public:
    static constexpr std::size_t kTextSize = 2048;

    q3DError() { text[0] = '\0'; }
    // The message is formatted with FormatText and cut to 2047 characters.
    explicit q3DError(const char* format, ...) __attribute__((format(printf, 2, 3)));
    q3DError(const q3DError& other);
    q3DError& operator=(const q3DError& other);

    const char* GetText() const { return text; }

    // For wrappers that take their own variable arguments.
    static q3DError FromArgs(const char* format, std::va_list args) __attribute__((format(printf, 1, 0)));

private:
    char text[kTextSize];
};
