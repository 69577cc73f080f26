// The numbers behind the explosives: definition lines, saved blocks (golden bytes, round trips and
// hostile values), the mine trigger's team rules, the mine field's grid, fade and damage, and the
// timed bomb's countdown.
#include "items/explosives/ExplosiveRules.h"

#include "engine/serial/SaveStream.h"
#include "tests/support/ErrorText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <tuple>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> Bytes(const std::function<void(SaveStream&)>& write)
{
    std::vector<std::uint8_t> buffer(4096);
    SaveStream out = SaveStream::OnMemory(buffer.data(), std::uint32_t(buffer.size()));
    write(out);
    buffer.resize(out.position);
    return buffer;
}

// Reads the bytes with the action; the error text, "" when none.
std::string ReadBack(std::vector<std::uint8_t> bytes, const std::function<void(SaveStream&)>& read)
{
    SaveStream in = SaveStream::OnMemory(bytes.data(), std::uint32_t(bytes.size()));
    return ErrorText([&] { read(in); });
}

std::vector<std::uint8_t> FloatBytes(float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, 4);
    return {std::uint8_t(bits), std::uint8_t(bits >> 8), std::uint8_t(bits >> 16), std::uint8_t(bits >> 24)};
}

TEST(ExplosiveParameters, LinesAreReadCheckedAndClamped)
{
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        int soundCount, minimum, maximum, radius;
        float cone, trigger;
        std::string lastSound, effect;
    };
    const Case cases[] = {
        {"plain", {"2", "a.wav", "b.wav", "10", "20", "15", "0.5", "place.wav", "fx.par", "3"},
         2, 10, 20, 15, 0.5f, 3.0f, "b.wav", "fx.par"},
        {"count 0 reads one name", {"0", "a.wav", "10", "20", "15", "0", "p.wav", "fx.par", "0"},
         1, 10, 20, 15, 0.0f, 0.0f, "a.wav", "fx.par"},
        {"count 7 reads three", {"7", "a", "b", "c", "1", "2", "3", "0", "p", "fx", "2"}, 3, 1, 2, 3, 0.0f, 2.0f, "c", "fx"},
        {"maximum below minimum", {"1", "a", "10", "5", "4", "0", "p", "fx", "1"}, 1, 10, 10, 4, 0.0f, 1.0f, "a", "fx"},
        {"negative cone and radius", {"1", "a", "1", "2", "-9", "-1.5", "p", "fx", "-4"}, 1, 1, 2, 0, 0.0f, 0.0f, "a", "fx"},
        {"comments and blanks skipped", {"// sounds", "", "1", "  a  ", "// damage", "1", "2", "3", "nan", "p", "fx", "5"},
         1, 1, 2, 3, 0.0f, 5.0f, "a", "fx"},
        {"lines missing", {"1"}, 1, 0, 0, 0, 0.0f, 0.0f, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ExplosiveParameters p = ParseExplosiveParameters(c.lines, "test.idf", true);
        EXPECT_EQ(p.soundCount, c.soundCount);
        EXPECT_EQ(p.sounds[p.soundCount - 1], c.lastSound);
        EXPECT_EQ(p.minimumDamage, c.minimum);
        EXPECT_EQ(p.maximumDamage, c.maximum);
        EXPECT_EQ(p.blastRadius, c.radius);
        EXPECT_FLOAT_EQ(p.coneAngle, c.cone);
        EXPECT_FLOAT_EQ(p.triggerRadius, c.trigger);
        EXPECT_EQ(p.particleEffect, c.effect);
    }
}

TEST(ExplosiveBlocks, GoldenBytesAndRoundTrips)
{
    const ExplosiveBlock explosive{true, false, 2.0f, 0};
    std::vector<std::uint8_t> golden = {1, 1, 0, 0x00, 0x00, 0x00, 0x40, 0, 0, 0, 0};
    EXPECT_EQ(Bytes([&](SaveStream& s) { explosive.Write(s); }), golden);
    ExplosiveBlock readExplosive;
    EXPECT_EQ(ReadBack(golden, [&](SaveStream& s) { readExplosive.Read(s); }), "");
    EXPECT_TRUE(readExplosive.goneOff);
    EXPECT_FLOAT_EQ(readExplosive.skill, 2.0f);

    const MineBlock mine{0.5f};
    golden = {1, 0x00, 0x00, 0x00, 0x3F};
    EXPECT_EQ(Bytes([&](SaveStream& s) { mine.Write(s); }), golden);
    MineBlock readMine;
    EXPECT_EQ(ReadBack(golden, [&](SaveStream& s) { readMine.Read(s); }), "");
    EXPECT_FLOAT_EQ(readMine.armingDelay, 0.5f);

    // Half size 10 with visible mines: 2 x 2 flags.
    const MineFieldBlock field{MineFieldGrid{10.0f, true}, {0, 1, 0, 1}};
    golden = {1, 0x00, 0x00, 0x20, 0x41, 1, 0, 1, 0, 1};
    EXPECT_EQ(Bytes([&](SaveStream& s) { field.Write(s); }), golden);
    MineFieldBlock readField;
    EXPECT_EQ(ReadBack(golden, [&](SaveStream& s) { readField.Read(s); }), "");
    EXPECT_EQ(readField.goneOff, field.goneOff);
    EXPECT_FLOAT_EQ(readField.grid.halfSize, 10.0f);

    const TimedBombBlock bomb{2.5f, 0.25f, 0x1234};
    golden = {0x00, 0x00, 0x20, 0x40, 0x00, 0x00, 0x80, 0x3E, 0x34, 0x12};
    EXPECT_EQ(Bytes([&](SaveStream& s) { bomb.Write(s); }), golden);
    TimedBombBlock readBomb;
    EXPECT_EQ(ReadBack(golden, [&](SaveStream& s) { readBomb.Read(s); }), "");
    EXPECT_FLOAT_EQ(readBomb.timeLeft, 2.5f);
    EXPECT_EQ(readBomb.placer, 0x1234);
}

TEST(ExplosiveBlocks, HostileBlocksAreRefusedAndLeaveTheRecord)
{
    auto with = [](std::vector<std::uint8_t> head, float value, std::vector<std::uint8_t> tail) {
        const auto f = FloatBytes(value);
        head.insert(head.end(), f.begin(), f.end());
        head.insert(head.end(), tail.begin(), tail.end());
        return head;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        int block; // 0 explosive, 1 mine, 2 field, 3 bomb
        bool refused;
    };
    const Case cases[] = {
        {"explosive version 2", {2, 0, 0, 0, 0, 0x80, 0x3F, 0, 0, 0, 0}, 0, true},
        {"explosive skill not finite", with({1, 0, 0}, nan, {0, 0, 0, 0}), 0, true},
        {"explosive skill negative", with({1, 0, 0}, -1.0f, {0, 0, 0, 0}), 0, true},
        {"explosive cut short", {1, 0, 0, 0}, 0, true},
        {"mine version 0", {0, 0, 0, 0, 0}, 1, true},
        {"mine delay infinite", with({1}, INFINITY, {}), 1, true},
        {"mine delay run out", with({1}, -0.5f, {}), 1, false},
        {"field version 9", with({9}, 10.0f, {1, 0, 0, 0, 0}), 2, true},
        {"field half size NaN", with({1}, nan, {1}), 2, true},
        {"field half size negative", with({1}, -10.0f, {1}), 2, true},
        {"field half size beyond any map", with({1}, 1.0e9f, {1}), 2, true},
        {"field visible flag 7", with({1}, 10.0f, {7, 0, 0, 0, 0}), 2, true},
        {"field flags cut short", with({1}, 10.0f, {1, 0, 0}), 2, true},
        {"field flag 2", with({1}, 10.0f, {1, 0, 2, 0, 0}), 2, true},
        {"field of size 0 has no flags", with({1}, 0.0f, {0}), 2, false},
        {"bomb time NaN", with({}, nan, {0, 0, 0x80, 0x3F, 0xFF, 0xFF}), 3, true},
        {"bomb time beyond an hour", with({}, 1.0e7f, {0, 0, 0x80, 0x3F, 0xFF, 0xFF}), 3, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExplosiveBlock explosive;
        MineBlock mine;
        MineFieldBlock field;
        field.goneOff = {1};
        TimedBombBlock bomb;
        const std::string error = ReadBack(c.bytes, [&](SaveStream& s) {
            switch (c.block) {
            case 0: explosive.Read(s); break;
            case 1: mine.Read(s); break;
            case 2: field.Read(s); break;
            default: bomb.Read(s); break;
            }
        });
        EXPECT_EQ(!error.empty(), c.refused) << error;
        if (c.refused) {
            EXPECT_FALSE(explosive.goneOff);
            EXPECT_FLOAT_EQ(mine.armingDelay, 1.0f);
            EXPECT_EQ(field.goneOff.size(), 1u);
            EXPECT_FLOAT_EQ(bomb.beepCountdown, 1.0f);
        }
    }
    EXPECT_EQ(ReadBack({2, 0, 0, 0, 0, 0x80, 0x3F, 0, 0, 0, 0}, [](SaveStream& s) { ExplosiveBlock().Read(s); }),
              "Incorrection version number in ExplosiveItem block");
    EXPECT_EQ(ReadBack({0, 0, 0, 0, 0}, [](SaveStream& s) { MineBlock().Read(s); }),
              "Incorrection version number in AT- or APMineItem block");
    EXPECT_EQ(ReadBack({3, 0, 0, 0, 0, 0}, [](SaveStream& s) { MineFieldBlock().Read(s); }),
              "Incorrection version number in MineFieldItem block");
}

TEST(MineField, GridCountsFadeAndDamage)
{
    struct GridCase {
        float halfSize;
        bool visible;
        int count;
    };
    const GridCase grids[] = {
        {0.0f, true, 0},   {10.0f, true, 4},     {10.0f, false, 16},    {100.0f, true, 400},
        {12.0f, true, 9},  {-5.0f, true, 0},     {NAN, true, 0},        {INFINITY, false, 0},
        {1.0e9f, true, 0}, {1000.0f, false, 160000},
    };
    for (const GridCase& g : grids) {
        SCOPED_TRACE(g.halfSize);
        EXPECT_EQ((MineFieldGrid{g.halfSize, g.visible}.Count()), g.count);
    }

    struct FadeCase {
        float limit, distance, sight, alpha;
    };
    const FadeCase fades[] = {
        {1600.0f, 0.0f, 40.0f, 1.0f},    {1600.0f, 1600.0f, 40.0f, 0.0f},
        {1600.0f, 1192.0f, 40.0f, 0.5f}, {1600.0f, 2000.0f, 40.0f, 0.0f},
        {0.0f, 0.0f, 0.0f, 1.0f},        {100.0f, 50.0f, 100.0f, 1.0f}, // divisor 0 or below: alpha 1
    };
    for (const FadeCase& f : fades)
        EXPECT_NEAR(MineFade(f.limit, f.distance, f.sight), f.alpha, 1e-4f) << f.limit << " " << f.distance;

    const std::pair<float, int> damage[] = {{0.0f, 2500}, {20.0f, 1250}, {39.0f, 62}, {40.0f, 0}, {300.0f, 0}, {NAN, 0}};
    for (const auto& [distance, expected] : damage)
        EXPECT_EQ(MineFieldDamage(distance), expected) << distance;
}

TEST(MineTrigger, TeamRulesDecideWhoSetsItOff)
{
    struct Case {
        const char* name;
        MineTriggerCase c;
        bool triggers;
    };
    const Case cases[] = {
        {"a stranger walking", {}, true},
        {"the placer alone", {.isPlacer = true}, false},
        {"the placer in a network game", {.isPlacer = true, .networkGame = true}, false},
        {"the placer, indiscriminate mines", {.isPlacer = true, .networkGame = true, .indiscriminate = true}, true},
        {"indiscriminate outside a network game", {.isPlacer = true, .indiscriminate = true}, false},
        {"dead", {.alive = false}, false},
        {"standing still", {.moving = false}, false},
        {"a team mate", {.sameTeam = true}, false},
        {"a team mate, friendly area damage", {.sameTeam = true, .friendlyArea = true}, true},
        {"a team mate, friendly fire", {.sameTeam = true, .friendlyFire = true}, true},
        {"area damage switched off by the server",
         {.networkGame = true, .sameTeam = true, .friendlyArea = true, .areaSetting = false}, false},
        {"friendly fire switched on by the server", {.networkGame = true, .sameTeam = true, .fireSetting = true}, true},
        {"the server's friendly fire outside a network game", {.sameTeam = true, .fireSetting = true}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MineMayTrigger(c.c), c.triggers) << c.name;

    const std::tuple<float, bool, float> radii[] = {{10.0f, false, 10.0f}, {10.0f, true, 4.0f}, {0.0f, true, 0.0f},
                                                    {0.0f, false, 0.0f}, {2.0f, true, 4.0f}};
    for (const auto& [definition, multiplayer, expected] : radii)
        EXPECT_FLOAT_EQ(MineTriggerRadius(definition, multiplayer), expected);
}

TEST(TimedBomb, CountdownBeepsFasterAndExplodesOnce)
{
    BombCountdown clock;
    clock.timeLeft = 30.0f;
    std::vector<float> beeps;
    int longBeeps = 0, explosions = 0;
    float explodedAt = 0.0f;
    const float frame = 0.01f;
    for (int i = 0; i < 3200; ++i) {
        const float now = float(i) * frame;
        const BombCountdown::Frame f = clock.Step(frame);
        if (f.shortBeep)
            beeps.push_back(now);
        if (f.longBeep) {
            ++longBeeps;
            EXPECT_GT(now, 29.2f);
        }
        if (f.explode) {
            ++explosions;
            explodedAt = now;
        }
    }
    ASSERT_FALSE(beeps.empty());
    EXPECT_GT(beeps.front(), 20.0f); // silent but for the ticking until 10 s remain
    for (std::size_t i = 2; i < beeps.size(); ++i)
        EXPECT_LE(beeps[i] - beeps[i - 1], beeps[i - 1] - beeps[i - 2] + 0.02f);
    EXPECT_NEAR(beeps[1] - beeps[0], 0.9f, 0.03f);
    float shortest = 1.0f;
    for (std::size_t i = 1; i < beeps.size(); ++i)
        shortest = std::min(shortest, beeps[i] - beeps[i - 1]);
    // Never closer than 0.2 s; the last beeps, in the second before 1 s remains, come about 0.3 s apart.
    EXPECT_GE(shortest, 0.19f);
    EXPECT_LT(shortest, 0.35f);
    EXPECT_LT(beeps.back(), 29.0f);      // none in the last second
    EXPECT_EQ(longBeeps, 1);
    EXPECT_EQ(explosions, 1);
    EXPECT_NEAR(explodedAt, 30.0f, 0.02f);

    BombCountdown zero;
    zero.timeLeft = 0.0f;
    EXPECT_TRUE(zero.Step(0.016f).explode);

    int timer = 10;
    std::vector<int> steps;
    for (int i = 0; i < 7; ++i)
        steps.push_back(timer = NextBombTimer(timer));
    EXPECT_EQ(steps, (std::vector<int>{20, 30, 40, 50, 60, 0, 10}));
}

} // namespace
