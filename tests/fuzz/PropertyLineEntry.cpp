#include "tests/fuzz/ReaderEntries.h"

#include <cmath>
#include <cstring>
#include <string>

#include "world/props/PropLine.h"

namespace readers {

namespace {

bool Bounded(float value, float limit) { return std::isfinite(value) && std::fabs(value) <= limit; }

} // namespace

std::string ReadPropertyLineBytes(const std::uint8_t* data, std::size_t size)
{
    // A property text is a C text: whatever follows a terminator is not part of it.
    const std::string text(reinterpret_cast<const char*>(data), size);
    constexpr float kMax = PropLine::kMaxMagnitude;

    PropLine words(text.c_str());
    if (words.Count() < 0 || words.Count() > PropLine::kMaxWords)
        return "the word count is out of range";
    for (int i = 0; i < words.Count(); ++i) {
        const char* word = words.Word(i);
        if (!word || !word[0] || std::strcspn(word, " \n") != std::strlen(word) || std::strlen(word) > 255)
            return "a word is empty, too long or holds a separator";
    }
    if (words.Word(words.Count()) || words.Word(-1))
        return "a word lies beyond the line";
    for (int i = 0; i <= words.Count(); ++i) {
        float number = 0.0f;
        if (words.Number(i, number) && !Bounded(number, kMax))
            return "a number read is not finite or beyond its bound";
        long whole = 0;
        if (words.Whole(i, 0, 255, whole) && (whole < 0 || whole > 255))
            return "a whole number is outside its range";
    }

    // Every kind's reader on the same text: each keeps its values finite and bounded.
    PropLine line(text.c_str());
    RotateLine rotate;
    bool otherKeyword = false;
    if (ReadRotateLine(line, rotate, &otherKeyword) &&
        (rotate.axis < -1 || rotate.axis > 2 || !Bounded(rotate.speed, kMax) || rotate.speed == 0.0f))
        return "a rotate line out of bounds";
    SwayLine sway;
    if (ReadSwayLine(line, sway) && (sway.axis < -1 || sway.axis > 2 || !Bounded(sway.speed, kMax) ||
                                     sway.speed == 0.0f || !Bounded(sway.minimum, kMax * 0.02f) ||
                                     !Bounded(sway.maximum, kMax * 0.02f) ||
                                     !std::isfinite((sway.maximum - sway.minimum) * 0.5f)))
        return "a sway line out of bounds";
    YBobLine ybob;
    if (ReadYBobLine(line, ybob) && (!Bounded(ybob.amplitude, kMax) || !Bounded(ybob.speed, kMax) ||
                                     ybob.amplitude == 0.0f || ybob.speed == 0.0f))
        return "a ybob line out of bounds";
    MoveLine move;
    if (ReadMoveLine(line, move) && (!Bounded(move.speed, kMax) || (move.random && move.once)))
        return "a move line out of bounds";
    LodLine lod;
    if (ReadLodLine(line, lod) && (!lod.name || !lod.name[0] || !Bounded(lod.nearSquared, kMax * kMax) ||
                                   !Bounded(lod.farSquared, kMax * kMax) || lod.nearSquared < 0.0f))
        return "a lod line out of bounds";
    float distanceSquared = 0.0f;
    if (ReadDrawDistLine(line, distanceSquared) &&
        (!Bounded(distanceSquared, kMax * kMax) || distanceSquared < 0.0f))
        return "a drawdist line out of bounds";
    int level = -1;
    if (ReadDetailLine(line, level) && (level < 0 || level > 255))
        return "a detail level out of range";
    if (line.Problem() && !line.Problem()[0])
        return "an empty problem text";
    return {};
}

} // namespace readers
