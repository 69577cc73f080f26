#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SaveStream;

// The parts of the explosives that are plain numbers: the definition lines, the saved blocks, the
// mine trigger's team rules, the mine field's grid and fade, and the timed bomb's countdown. The
// item classes use them; tests and the bench reach them without a running level.

// The explosive's lines of its definition, after the common ones.
struct ExplosiveParameters {
    int soundCount = 1;                // 1..3
    std::string sounds[3];
    int minimumDamage = 0;
    int maximumDamage = 0;             // never below the minimum
    int blastRadius = 0;               // >= 0
    float coneAngle = 0.0f;            // radians, >= 0; 0 all round
    std::string placeSound;
    std::string particleEffect;
    float triggerRadius = 10.0f;       // mines only: the line after the others; 0 the exact box test
};

// Reads the lines in order, skipping blank lines and "//" comments. Numbers are checked as for
// every definition (clamped, logged with the path); a missing line reads as empty or 0. With
// withTriggerRadius the mine's trigger radius follows.
ExplosiveParameters ParseExplosiveParameters(const std::vector<std::string>& lines, const char* path,
                                             bool withTriggerRadius);

// The block every explosive writes after the Item block: version 1, gone off, spare, skill
// multiplier, reserved.
struct ExplosiveBlock {
    static constexpr std::uint32_t kSize = 11;
    bool goneOff = false;
    bool spare = false;
    float skill = 1.0f;
    std::uint32_t reserved = 0;

    void Write(SaveStream& stream) const;
    // Throws q3DError on a wrong version or a skill that is not finite or negative.
    void Read(SaveStream& stream);
};

// The mine's block after the ExplosiveBlock: version 1, arming delay.
struct MineBlock {
    static constexpr std::uint32_t kSize = 5;
    float armingDelay = 1.0f;

    void Write(SaveStream& stream) const;
    void Read(SaveStream& stream);
};

// The mine field's grid: spacing 10 with visible mines, 5 without; the count of grid points per
// side is that of -S, -S+G, ... below S, counted once as a whole number.
struct MineFieldGrid {
    // A half size beyond this (a field 2000 units across) is refused: it would not fit a map.
    static constexpr float kMaxHalfSize = 1000.0f;
    float halfSize = 0.0f;
    bool visibleMines = true;

    float Spacing() const { return visibleMines ? 10.0f : 5.0f; }
    int PerSide() const;
    int Count() const { return PerSide() * PerSide(); }
    // Whether a half size may be stored: finite, not negative, not beyond the limit.
    static bool IsValidHalfSize(float halfSize);
};

// The mine field's block after the Item block: version 1, half size, visible mines, then one
// gone-off byte per grid point.
struct MineFieldBlock {
    MineFieldGrid grid;
    std::vector<std::uint8_t> goneOff;

    void Write(SaveStream& stream) const;
    // Throws q3DError on a wrong version or a bad half size; the flags are read for the count the
    // grid gives and must each be 0 or 1.
    void Read(SaveStream& stream);
};

// The fade of a mine: (L - d²) / (L - (0.7 V)²) clamped to 0..1, with alpha 1 where the divisor is
// 0 or less (a field seen with no sight distance).
float MineFade(float limitSquared, float distanceSquared, float sight);

// The mine field's damage at a distance from the blast: 2500 falling to 0 at 40 units.
int MineFieldDamage(float distance);

// What decides whether a character sets off a placed mine.
struct MineTriggerCase {
    bool isPlacer = false;
    bool networkGame = false;
    bool indiscriminate = false;   // the server's indiscriminate-mines setting
    bool alive = true;
    bool moving = true;
    bool sameTeam = false;         // same team byte, not team 0
    bool friendlyArea = false;     // the mission's friendly-fire-area-damage flag
    bool friendlyFire = false;     // the mission's friendly-fire flag
    bool areaSetting = true;       // the server's friendly-fire-area-damage setting
    bool fireSetting = false;      // the server's friendly-fire setting
};

// Whether the character may set the mine off (before its distance is tested).
bool MineMayTrigger(const MineTriggerCase& c);

// The trigger radius in force: the definition's, or 4.0 in a multiplayer game unless it is 0.
float MineTriggerRadius(float definitionRadius, bool multiplayer);

// The timed bomb's clock. Step advances it by a frame and says what the frame brings.
struct BombCountdown {
    float timeLeft = 10.0f;
    float beepCountdown = 1.0f;
    bool longBeepPlayed = false;
    bool exploded = false;

    struct Frame {
        bool shortBeep = false;
        bool longBeep = false; // the ticking stops with it
        bool explode = false;
    };
    Frame Step(float elapsed);
};

// The timed bomb's block after the GameObject and Bullet blocks: time left, beep countdown,
// placer.
struct TimedBombBlock {
    static constexpr std::uint32_t kSize = 10;
    float timeLeft = 0.0f;
    float beepCountdown = 1.0f;
    std::uint16_t placer = 0xFFFF;

    void Write(SaveStream& stream) const;
    // Throws q3DError on values that are not finite (a time left beyond an hour is refused too).
    void Read(SaveStream& stream);
};

// The timed charge's timer step: 10, 20, ... 60, 0, 10.
int NextBombTimer(int timer);
