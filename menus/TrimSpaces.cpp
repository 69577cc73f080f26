#include "menus/TrimSpaces.h"

#include <cstring>

void TrimSpaces(char* text)
{
    if (!text)
        return;
    if (text[0] == ' ')
        std::memmove(text, text + 1, std::strlen(text));
    std::size_t length = std::strlen(text);
    while (length > 0 && text[length - 1] == ' ')
        text[--length] = '\0';
}
