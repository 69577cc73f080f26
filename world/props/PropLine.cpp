#include "world/props/PropLine.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <strings.h>

PropLine::PropLine(const char* line)
{
    std::strncpy(buffer, line ? line : "", sizeof(buffer) - 1);
    buffer[sizeof(buffer) - 1] = '\0';
    char* state = nullptr;
    for (char* word = strtok_r(buffer, " \n", &state); word && count < kMaxWords;
         word = strtok_r(nullptr, " \n", &state))
        words[count++] = word;
}

bool PropLine::IsKeyword(const char* keyword) const { return count > 0 && strcasecmp(words[0], keyword) == 0; }

bool PropLine::IsNumber(int index) const
{
    const char* text = Word(index);
    if (!text)
        return false;
    char* end = nullptr;
    std::strtod(text, &end);
    return end != text && *end == '\0';
}

bool PropLine::Number(int index, float& value)
{
    const char* text = Word(index);
    if (!text)
        return false;
    // Read wide, so a number beyond a float's range is clamped rather than taken as infinite.
    const double read = std::strtod(text, nullptr);
    if (!std::isfinite(read)) {
        if (!problem)
            problem = "a number is not finite; taken as absent";
        return false;
    }
    if (std::fabs(read) > kMaxMagnitude && !problem)
        problem = "a number beyond 1000000 is clamped to it";
    value = float(std::clamp(read, double(-kMaxMagnitude), double(kMaxMagnitude)));
    return true;
}

bool PropLine::Whole(int index, long low, long high, long& value)
{
    const char* text = Word(index);
    if (!text)
        return false;
    const long read = std::strtol(text, nullptr, 10);
    if ((read < low || read > high) && !problem)
        problem = "a whole number is out of its range and clamped";
    value = std::clamp(read, low, high);
    return true;
}

int PropAxisOf(const char* word)
{
    if (!word)
        return -1;
    if (std::strcmp(word, "X") == 0)
        return 0;
    if (std::strcmp(word, "Y") == 0)
        return 1;
    if (std::strcmp(word, "Z") == 0)
        return 2;
    return -1;
}

bool ReadRotateLine(PropLine& line, RotateLine& out, bool* otherKeyword)
{
    *otherKeyword = !line.IsKeyword("ROTATE");
    if (*otherKeyword || !line.Word(1) || !line.Number(2, out.speed) || out.speed == 0.0f)
        return false;
    out.axis = PropAxisOf(line.Word(1));
    return true;
}

bool ReadSwayLine(PropLine& line, SwayLine& out)
{
    float minimum = 0.0f, maximum = 0.0f;
    if (!line.IsKeyword("SWAY") || !line.Word(1) || !line.Number(2, out.speed) || !line.Number(3, minimum) ||
        !line.Number(4, maximum) || out.speed == 0.0f)
        return false;
    out.axis = PropAxisOf(line.Word(1));
    out.minimum = minimum * 0.017453292f;
    out.maximum = maximum * 0.017453292f;
    return true;
}

bool ReadYBobLine(PropLine& line, YBobLine& out)
{
    return line.IsKeyword("YBOB") && line.Number(1, out.amplitude) && line.Number(2, out.speed) &&
           out.amplitude != 0.0f && out.speed != 0.0f;
}

bool ReadMoveLine(PropLine& line, MoveLine& out)
{
    if (!line.IsKeyword("MOVE") || !line.Number(1, out.speed))
        return false;
    if (const char* option = line.Word(2)) {
        out.random = strcasecmp(option, "random") == 0;
        out.once = strcasecmp(option, "once") == 0;
    }
    return true;
}

bool ReadLodLine(PropLine& line, LodLine& out)
{
    float nearDistance = 0.0f, farDistance = 0.0f;
    if (!line.IsKeyword("LOD") || !line.Word(1) || !line.Number(2, nearDistance) || !line.Number(3, farDistance))
        return false;
    out.name = line.Word(1);
    out.nearSquared = nearDistance * nearDistance;
    out.farSquared = farDistance * farDistance;
    return true;
}

bool ReadDrawDistLine(PropLine& line, float& distanceSquared)
{
    float distance = 0.0f;
    if (!line.Number(1, distance))
        return false;
    distanceSquared = distance * distance;
    return true;
}

bool ReadDetailLine(PropLine& line, int& level)
{
    long value = 0;
    if (!line.Whole(1, 0, 255, value))
        return false;
    level = int(value);
    return true;
}
