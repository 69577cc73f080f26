#include "items/events/AirStrikeOrder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/core/EngineLog.h"
#include "engine/core/q3DError.h"
#include "engine/serial/SaveStream.h"
#include "platform/net/BitStream.h"
#include "platform/net/StringCompressor.h"

namespace {

char* Names(AirStrikeOrder& order, int index)
{
    char* names[] = {order.flightSound, order.bombSound, order.bombEffect,
                     order.bomberModel, order.markerModel, order.chatterSound};
    return names[index];
}

const char* Names(const AirStrikeOrder& order, int index)
{
    return Names(const_cast<AirStrikeOrder&>(order), index);
}

constexpr int kNameCount = 6;

bool Finite(const Vector3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

} // namespace

bool IsSafeOrderPath(const char* name)
{
    if (!name || std::memchr(name, 0, AirStrikeOrder::kNameSize) == nullptr)
        return false;
    if (name[0] == '/' || name[0] == '\\' || (name[0] && name[1] == ':'))
        return false;
    // A ".." step between separators (or at either end) leaves the data folders.
    const char* step = name;
    while (*step) {
        const std::size_t length = std::strcspn(step, "/\\");
        if (length == 2 && step[0] == '.' && step[1] == '.')
            return false;
        step += length;
        if (*step)
            ++step;
    }
    return true;
}

void AirStrikeOrder::Clamp()
{
    bombCount = std::clamp(bombCount, 1, kMaxBombs);
    pattern = pattern == 0 ? 0 : 1;
    damage = std::max(damage, 0);
    radius = std::max(radius, 0);
    // The comparisons also catch NaN, which no order may keep.
    duration = duration >= 0.001f ? duration : 0.001f;
    interval = interval >= 0.001f ? interval : 0.001f;
    delay = delay >= 0.0f ? delay : 0.0f;
    if (!std::isfinite(modelScale))
        modelScale = 1.0f;
    if (!std::isfinite(markerScale))
        markerScale = 1.0f;
    for (int i = 0; i < kNameCount; ++i) {
        char* name = Names(*this, i);
        name[kNameSize - 1] = '\0';
        if (!IsSafeOrderPath(name)) {
            LogToEngine("Airstrike order names %s outside the data folders; it is left out", name);
            name[0] = '\0';
        }
    }
}

void AirStrikeOrder::Save(SaveStream& stream) const
{
    stream.WriteUInt16(callerID);
    stream.WriteUInt16(radioID);
    stream.WriteInt32(damage);
    stream.WriteInt32(radius);
    stream.WriteVector3(target);
    stream.WriteVector3(flightStart);
    stream.WriteVector3(flightEnd);
    stream.WriteFloat(duration);
    stream.WriteFloat(modelScale);
    stream.WriteFloat(markerScale);
    stream.WriteFloat(delay);
    stream.WriteFloat(interval);
    stream.WriteInt32(bombCount);
    stream.WriteInt32(pattern);
    for (int i = 0; i < kNameCount; ++i)
        stream.WriteText(Names(*this, i), kNameSize);
}

void AirStrikeOrder::Load(SaveStream& stream)
{
    callerID = stream.ReadUInt16();
    radioID = stream.ReadUInt16();
    damage = stream.ReadInt32();
    radius = stream.ReadInt32();
    target = stream.ReadVector3("airstrike target");
    flightStart = stream.ReadVector3("airstrike flight start");
    flightEnd = stream.ReadVector3("airstrike flight end");
    duration = stream.ReadFloat("airstrike flight duration");
    modelScale = stream.ReadFloat("airstrike model scale");
    markerScale = stream.ReadFloat("airstrike marker scale");
    delay = stream.ReadFloat("airstrike delay");
    interval = stream.ReadFloat("airstrike bomb interval");
    bombCount = stream.ReadInt32();
    pattern = stream.ReadInt32();
    for (int i = 0; i < kNameCount; ++i)
        stream.ReadText(Names(*this, i), kNameSize);
    Clamp();
}

bool AirStrikeOrder::Write(platform::net::BitStream& stream) const
{
    bool ok = stream.Write(callerID) && stream.Write(radioID);
    ok = ok && stream.WriteCompressed(damage) && stream.WriteCompressed(radius);
    for (const Vector3* v : {&target, &flightStart, &flightEnd})
        ok = ok && stream.Write(v->x) && stream.Write(v->y) && stream.Write(v->z);
    for (float value : {duration, modelScale, markerScale, delay, interval})
        ok = ok && stream.Write(value);
    ok = ok && stream.WriteCompressed(bombCount) && stream.WriteCompressed(pattern);
    for (int i = 0; i < kNameCount && ok; ++i)
        ok = platform::net::StringCompressor::EncodeString(Names(*this, i), kNameSize, stream);
    return ok;
}

bool AirStrikeOrder::Read(platform::net::BitStream& stream)
{
    AirStrikeOrder read;
    bool ok = stream.Read(read.callerID) && stream.Read(read.radioID);
    ok = ok && stream.ReadCompressed(read.damage) && stream.ReadCompressed(read.radius);
    for (Vector3* v : {&read.target, &read.flightStart, &read.flightEnd})
        ok = ok && stream.Read(v->x) && stream.Read(v->y) && stream.Read(v->z);
    for (float* value : {&read.duration, &read.modelScale, &read.markerScale, &read.delay, &read.interval})
        ok = ok && stream.Read(*value) && std::isfinite(*value);
    ok = ok && Finite(read.target) && Finite(read.flightStart) && Finite(read.flightEnd);
    ok = ok && stream.ReadCompressed(read.bombCount) && stream.ReadCompressed(read.pattern);
    for (int i = 0; i < kNameCount && ok; ++i)
        ok = platform::net::StringCompressor::DecodeString(Names(read, i), kNameSize, stream);
    if (!ok)
        return false;
    read.Clamp();
    *this = read;
    return true;
}
