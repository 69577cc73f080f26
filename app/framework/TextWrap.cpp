#include "app/framework/TextWrap.h"

std::vector<std::string> WrapText(std::string_view text, int width, const std::function<int(std::string_view)>& measure)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t length = 1;  // at least one character per line
        while (start + length < text.size() && measure(text.substr(start, length + 1)) < width)
            ++length;
        std::size_t next = start + length;
        if (next < text.size()) {
            const std::string_view line = text.substr(start, length);
            const std::size_t blank = line.rfind(' ');
            if (blank != std::string_view::npos && blank > 0) {
                length = blank;
                next = start + blank + 1;
            }
        }
        lines.emplace_back(text.substr(start, length));
        start = next;
    }
    return lines;
}
