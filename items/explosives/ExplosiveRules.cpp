#include "items/explosives/ExplosiveRules.h"

#include <algorithm>
#include <cmath>

#include "engine/core/q3DError.h"
#include "engine/serial/SaveStream.h"
#include "items/DefinitionLines.h"

namespace {

// The next line that is neither blank nor a "//" comment; empty once the lines run out.
struct ConfigLines {
    const std::vector<std::string>& lines;
    std::size_t next = 0;

    std::string Next()
    {
        while (next < lines.size()) {
            const std::string& line = lines[next++];
            const std::size_t first = line.find_first_not_of(" \t");
            if (first == std::string::npos || line.compare(first, 2, "//") == 0)
                continue;
            const std::size_t last = line.find_last_not_of(" \t");
            return line.substr(first, last - first + 1);
        }
        return {};
    }
};

constexpr long kMaxDamage = 1000000;
constexpr long kMaxRadius = 100000;

} // namespace

ExplosiveParameters ParseExplosiveParameters(const std::vector<std::string>& lines, const char* path,
                                             bool withTriggerRadius)
{
    ExplosiveParameters p;
    ConfigLines in{lines};
    // A count outside 1..3 is taken as its nearest bound, as the format allows.
    const std::string count = in.Next();
    p.soundCount = int(std::clamp(std::atol(count.c_str()), 1L, 3L));
    for (int i = 0; i < p.soundCount; ++i)
        p.sounds[i] = in.Next();
    p.minimumDamage = int(BoundedDefinitionInt(in.Next(), -kMaxDamage, kMaxDamage, path, "minimum damage"));
    p.maximumDamage = int(BoundedDefinitionInt(in.Next(), -kMaxDamage, kMaxDamage, path, "maximum damage"));
    p.maximumDamage = std::max(p.maximumDamage, p.minimumDamage);
    p.blastRadius = int(BoundedDefinitionInt(in.Next(), 0, kMaxRadius, path, "blast radius"));
    p.coneAngle = std::max(0.0f, FiniteDefinitionFloat(in.Next(), path, "blast cone angle", 1000.0f));
    p.placeSound = in.Next();
    p.particleEffect = in.Next();
    if (withTriggerRadius) {
        p.triggerRadius = FiniteDefinitionFloat(in.Next(), path, "trigger radius", float(kMaxRadius));
        if (p.triggerRadius < 0.0f)
            p.triggerRadius = 0.0f;
    }
    return p;
}

void ExplosiveBlock::Write(SaveStream& stream) const
{
    stream.WriteUInt8(1);
    stream.WriteBool(goneOff);
    stream.WriteBool(spare);
    stream.WriteFloat(skill);
    stream.WriteUInt32(reserved);
}

void ExplosiveBlock::Read(SaveStream& stream)
{
    stream.ExpectVersion(1, "Incorrection version number in ExplosiveItem block");
    const bool readGoneOff = stream.ReadBool();
    const bool readSpare = stream.ReadBool();
    const float readSkill = stream.ReadFloat("explosive skill multiplier");
    if (readSkill < 0.0f || readSkill > 100.0f)
        throw q3DError("Incorrect values in ExplosiveItem block (skill multiplier %g)", double(readSkill));
    reserved = stream.ReadUInt32();
    goneOff = readGoneOff;
    spare = readSpare;
    skill = readSkill;
}

void MineBlock::Write(SaveStream& stream) const
{
    stream.WriteUInt8(1);
    stream.WriteFloat(armingDelay);
}

void MineBlock::Read(SaveStream& stream)
{
    stream.ExpectVersion(1, "Incorrection version number in AT- or APMineItem block");
    const float delay = stream.ReadFloat("mine arming delay");
    if (delay > 3600.0f)
        throw q3DError("Incorrect values in AT- or APMineItem block (arming delay %g)", double(delay));
    armingDelay = delay;
}

int MineFieldGrid::PerSide() const
{
    if (!IsValidHalfSize(halfSize) || halfSize == 0.0f)
        return 0;
    // Counted as whole steps so that a rounding of the running coordinate cannot add a point.
    const float spacing = Spacing();
    return int(std::ceil(2.0f * halfSize / spacing));
}

bool MineFieldGrid::IsValidHalfSize(float value)
{
    return std::isfinite(value) && value >= 0.0f && value <= kMaxHalfSize;
}

void MineFieldBlock::Write(SaveStream& stream) const
{
    stream.WriteUInt8(1);
    stream.WriteFloat(grid.halfSize);
    stream.WriteBool(grid.visibleMines);
    const std::size_t count = std::size_t(grid.Count());
    for (std::size_t i = 0; i < count; ++i)
        stream.WriteUInt8(i < goneOff.size() ? goneOff[i] : 0);
}

void MineFieldBlock::Read(SaveStream& stream)
{
    stream.ExpectVersion(1, "Incorrection version number in MineFieldItem block");
    MineFieldGrid read;
    read.halfSize = stream.ReadFloat("mine field half size");
    if (!MineFieldGrid::IsValidHalfSize(read.halfSize))
        throw q3DError("Incorrect values in MineFieldItem block (half size %g)", double(read.halfSize));
    const std::uint8_t visible = stream.ReadUInt8();
    if (visible > 1)
        throw q3DError("Incorrect values in MineFieldItem block (visible mines %d)", int(visible));
    read.visibleMines = visible == 1;
    std::vector<std::uint8_t> flags(std::size_t(read.Count()), 0);
    if (!flags.empty())
        stream.ReadBytes(flags.data(), std::uint32_t(flags.size()));
    for (std::uint8_t flag : flags)
        if (flag > 1)
            throw q3DError("Incorrect values in MineFieldItem block (gone-off flag %d)", int(flag));
    grid = read;
    goneOff = std::move(flags);
}

float MineFade(float limitSquared, float distanceSquared, float sight)
{
    const float near = 0.7f * sight;
    const float divisor = limitSquared - near * near;
    if (!(divisor > 0.0f))
        return 1.0f;
    return std::clamp((limitSquared - distanceSquared) / divisor, 0.0f, 1.0f);
}

int MineFieldDamage(float distance)
{
    if (!(distance < 40.0f))
        return 0;
    return int((1.0f - 0.025f * std::max(distance, 0.0f)) * 2500.0f);
}

bool MineMayTrigger(const MineTriggerCase& c)
{
    if (c.isPlacer && !(c.networkGame && c.indiscriminate))
        return false;
    const bool area = c.friendlyArea && !(c.networkGame && !c.areaSetting);
    const bool fire = c.friendlyFire || (c.networkGame && c.fireSetting);
    if (!c.alive || !c.moving)
        return false;
    if (c.sameTeam && !area && !fire)
        return false;
    return true;
}

float MineTriggerRadius(float definitionRadius, bool multiplayer)
{
    return multiplayer && definitionRadius != 0.0f ? 4.0f : definitionRadius;
}

BombCountdown::Frame BombCountdown::Step(float elapsed)
{
    Frame frame;
    beepCountdown -= elapsed;
    if (timeLeft > 10.0f)
        beepCountdown = 1.0f;
    if (beepCountdown < 0.0f && !exploded && timeLeft > 1.0f) {
        beepCountdown = std::max(0.2f, 1.0f - 1.0f / timeLeft);
        frame.shortBeep = true;
    }
    if (timeLeft < 0.75f && !longBeepPlayed && !exploded) {
        longBeepPlayed = true;
        frame.longBeep = true;
    }
    timeLeft -= elapsed;
    if (timeLeft < 0.0f && !exploded) {
        exploded = true;
        frame.explode = true;
    }
    return frame;
}

void TimedBombBlock::Write(SaveStream& stream) const
{
    stream.WriteFloat(timeLeft);
    stream.WriteFloat(beepCountdown);
    stream.WriteUInt16(placer);
}

void TimedBombBlock::Read(SaveStream& stream)
{
    const float time = stream.ReadFloat("timed bomb time left");
    const float beep = stream.ReadFloat("timed bomb beep countdown");
    if (time > 3600.0f || beep > 3600.0f)
        throw q3DError("Incorrect values in TimedBomb block (time left %g)", double(time));
    placer = stream.ReadUInt16();
    timeLeft = time;
    beepCountdown = beep;
}

int NextBombTimer(int timer)
{
    timer += 10;
    return timer > 60 ? 0 : timer;
}
