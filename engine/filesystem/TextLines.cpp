#include "engine/filesystem/TextLines.h"

#include <cstdint>
#include <vector>

#include "engine/filesystem/PackFile.h"

bool ReadDataText(const char* path, std::string& text)
{
    std::vector<std::uint8_t> bytes;
    if (!path || !PackFileReadAll(path, bytes))
        return false;
    text.append(bytes.begin(), bytes.end());
    return true;
}

void ForEachTextLine(std::string_view text, std::size_t maxLength,
                     const std::function<bool(std::string_view line)>& visit)
{
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.size() > maxLength)
            line = line.substr(0, maxLength);
        if (!visit(line))
            return;
        start = next;
    }
}
