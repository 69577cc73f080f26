#pragma once

#include <cstddef>

// The words of one property text, with its numbers checked where they are read. Map files also
// reach clients from a server, and a prop's per-frame arithmetic (phases, angle spans, squared
// distances) must stay finite: a number that is not finite counts as absent, and one whose
// magnitude exceeds kMaxMagnitude is clamped to it. Either is remembered as the line's problem,
// which the prop logs.
class PropLine {
public:
    static constexpr int kMaxWords = 16;
    static constexpr float kMaxMagnitude = 1.0e6f;

    explicit PropLine(const char* line);
    PropLine(const PropLine&) = delete;
    PropLine& operator=(const PropLine&) = delete;

    int Count() const { return count; }
    // The word, or null beyond the last.
    const char* Word(int index) const { return index >= 0 && index < count ? words[index] : nullptr; }
    // True when the first word equals keyword, ignoring case.
    bool IsKeyword(const char* keyword) const;
    // True when the word reads wholly as a number (not merely its start).
    bool IsNumber(int index) const;
    // The word's leading number (a word that starts with none reads as 0); false, with value
    // untouched, when the word is absent or its number is not finite.
    bool Number(int index, float& value);
    // The word's leading whole number clamped to [low, high]; false when the word is absent.
    bool Whole(int index, long low, long high, long& value);
    // What was wrong with a number read so far, or null.
    const char* Problem() const { return problem; }

private:
    char buffer[256];
    const char* words[kMaxWords] = {};
    int count = 0;
    const char* problem = nullptr;
};

// What the moving and swaying props take from their lines; Read* returns false for a line that
// makes no prop (another keyword, a missing or unusable value), as each prop's table says.
struct RotateLine {
    int axis = -1; // 0, 1, 2 for "X", "Y", "Z"; any other word leaves the object unrotated
    float speed = 0.0f;
};
struct SwayLine {
    int axis = -1;
    float speed = 0.0f, minimum = 0.0f, maximum = 0.0f; // angles in radians
};
struct YBobLine {
    float amplitude = 0.0f, speed = 0.0f;
};
struct MoveLine {
    float speed = 0.0f;
    bool random = false, once = false;
};
struct LodLine {
    const char* name = nullptr; // points into the PropLine
    float nearSquared = 0.0f, farSquared = 0.0f;
};

// Without the ROTATE keyword *otherKeyword is set; a missing axis or speed, or speed 0, is false
// with it clear.
bool ReadRotateLine(PropLine& line, RotateLine& out, bool* otherKeyword);
bool ReadSwayLine(PropLine& line, SwayLine& out);
bool ReadYBobLine(PropLine& line, YBobLine& out);
bool ReadMoveLine(PropLine& line, MoveLine& out);
bool ReadLodLine(PropLine& line, LodLine& out);
// "drawdist d [name]": false without a usable d.
bool ReadDrawDistLine(PropLine& line, float& distanceSquared);
// "detail n": the level n as a byte, clamped; false without n.
bool ReadDetailLine(PropLine& line, int& level);
// The axis of a ROTATE or SWAY word: 0, 1, 2, or -1.
int PropAxisOf(const char* word);
