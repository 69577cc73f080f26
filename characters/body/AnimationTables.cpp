#include "characters/body/AnimationTables.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/core/EngineLog.h"
#include "engine/core/q3DError.h"
#include "engine/filesystem/PackFile.h"

namespace {

// Splits text into lines at '\n', dropping a '\r' before it; the last line may lack its newline.
template <typename Visit>
void ForEachLine(std::string_view text, Visit visit)
{
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        const bool hasNewline = end != std::string_view::npos;
        if (!hasNewline)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!visit(line, hasNewline))
            return;
        start = end + 1;
    }
}

bool ReadWholeFile(const char* path, std::string& text)
{
    std::vector<std::uint8_t> bytes;
    if (!PackFileReadAll(path, bytes))
        return false;
    text.assign(bytes.begin(), bytes.end());
    return true;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view NextField(std::string_view& rest)
{
    std::size_t begin = 0;
    while (begin < rest.size() && IsBlank(rest[begin]))
        ++begin;
    std::size_t end = begin;
    while (end < rest.size() && !IsBlank(rest[end]))
        ++end;
    std::string_view field = rest.substr(begin, end - begin);
    rest.remove_prefix(end);
    return field;
}

bool ParseInt(std::string_view field, int& value)
{
    if (field.empty())
        return false;
    const std::string copy(field);
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(copy.c_str(), &end, 10);
    if (end != copy.c_str() + copy.size() || errno == ERANGE || parsed < INT32_MIN || parsed > INT32_MAX)
        return false;
    value = static_cast<int>(parsed);
    return true;
}

bool ParseFloat(std::string_view field, float& value)
{
    if (field.empty())
        return false;
    const std::string copy(field);
    char* end = nullptr;
    const float parsed = std::strtof(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size() || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

std::vector<std::string> ParseAnimationNames(std::string_view text, std::size_t maxCount, const char* source)
{
    std::vector<std::string> names;
    std::size_t surplus = 0;
    ForEachLine(text, [&](std::string_view line, bool hasNewline) {
        // An empty line that ends with its newline is skipped; only the end of the text stops.
        if (line.empty() && hasNewline)
            return true;
        if (!line.empty() && (line.front() == '\r' || line.front() == '/'))
            return true;
        std::string_view name = line.substr(0, line.find_first_of(",\r"));
        if (name.empty())
            return false;
        if (name.size() > kAnimationNameMax)
            name = name.substr(0, kAnimationNameMax);
        if (names.size() < maxCount)
            names.emplace_back(name);
        else
            ++surplus;
        return true;
    });
    if (surplus > 0)
        LogToEngine("%s: %zu animation names beyond the %zu the controller holds were ignored", source, surplus,
                    maxCount);
    return names;
}

std::vector<std::string> ReadAnimationNames(const char* path, std::size_t maxCount)
{
    std::string text;
    if (!ReadWholeFile(path, text))
        throw q3DError("Can't load %s", path);
    return ParseAnimationNames(text, maxCount, path);
}

std::vector<AnimationOption> ParseAnimationOptions(std::string_view text, const char* source)
{
    std::vector<AnimationOption> options;
    ForEachLine(text, [&](std::string_view line, bool) {
        std::string_view rest = line;
        const std::string_view fileName = NextField(rest);
        if (fileName.empty())
            return true;
        AnimationOption option;
        option.fileName.assign(fileName);
        if (!ParseInt(NextField(rest), option.loopCount) || option.loopCount < 0) {
            LogToEngine("%s: no loop count for %s, line ignored", source, option.fileName.c_str());
            return true;
        }
        const std::string_view speed = NextField(rest);
        if (!speed.empty()) {
            option.hasSpeed = ParseFloat(speed, option.speed);
            if (!option.hasSpeed) {
                option.speed = 1.0f;
                LogToEngine("%s: bad speed for %s, speed ignored", source, option.fileName.c_str());
            }
        }
        options.push_back(std::move(option));
        return true;
    });
    return options;
}

void ReadAnimationOptions(const char* path, std::vector<AnimationOption>& options)
{
    std::string text;
    if (!ReadWholeFile(path, text))
        return;
    std::vector<AnimationOption> read = ParseAnimationOptions(text, path);
    options.insert(options.end(), std::make_move_iterator(read.begin()), std::make_move_iterator(read.end()));
}

const AnimationOption* FindAnimationOption(const std::vector<AnimationOption>& options, std::string_view fileName)
{
    for (const AnimationOption& option : options)
        if (EqualIgnoringCase(option.fileName, fileName))
            return &option;
    return nullptr;
}

int ListedLoopCount(const std::vector<AnimationOption>& options, std::string_view fileName)
{
    const AnimationOption* option = FindAnimationOption(options, fileName);
    if (option == nullptr || option->loopCount == 0)
        return -1;
    return option->loopCount;
}

std::string VariationFileName(std::string_view animationName, int variation)
{
    char number[16];
    std::snprintf(number, sizeof number, "%02d", variation);
    std::string name(animationName);
    name += number;
    name += ".gr2";
    return name;
}
