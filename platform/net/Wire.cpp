#include "platform/net/Wire.h"

#include <cstring>

namespace platform::net::wire {

Writer& Writer::U8(std::uint8_t value)
{
    out.push_back(value);
    return *this;
}

Writer& Writer::U16(std::uint16_t value)
{
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    return *this;
}

Writer& Writer::U32(std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    return *this;
}

Writer& Writer::Bytes(const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (size > 0)
        out.insert(out.end(), bytes, bytes + size);
    return *this;
}

bool Reader::U8(std::uint8_t& value)
{
    if (Left() < 1)
        return false;
    value = data[at++];
    return true;
}

bool Reader::U16(std::uint16_t& value)
{
    if (Left() < 2)
        return false;
    value = static_cast<std::uint16_t>(data[at] | data[at + 1] << 8);
    at += 2;
    return true;
}

bool Reader::U32(std::uint32_t& value)
{
    if (Left() < 4)
        return false;
    value = ReadU32(data + at);
    at += 4;
    return true;
}

bool Reader::Bytes(std::size_t count, const std::uint8_t*& where)
{
    if (Left() < count)
        return false;
    where = data + at;
    at += count;
    return true;
}

void EncodeRpc(std::vector<std::uint8_t>& out, const std::string& name, bool timestamp, const void* data,
               std::uint32_t bitLength)
{
    Writer(out)
        .U8(static_cast<std::uint8_t>(FrameKind::Rpc))
        .U8(timestamp ? 1 : 0)
        .U8(static_cast<std::uint8_t>(name.size()))
        .Bytes(name.data(), name.size())
        .U32(bitLength)
        .Bytes(data, (static_cast<std::size_t>(bitLength) + 7) / 8);
}

bool DecodeRpc(const std::uint8_t* frame, std::size_t size, RpcFrame& out)
{
    Reader reader(frame, size);
    std::uint8_t kind = 0, flags = 0, nameLength = 0;
    const std::uint8_t* name = nullptr;
    std::uint32_t bits = 0;
    if (!reader.U8(kind) || kind != static_cast<std::uint8_t>(FrameKind::Rpc) || !reader.U8(flags) || flags > 1 ||
        !reader.U8(nameLength) || nameLength == 0 || nameLength > kMaxRpcName || !reader.Bytes(nameLength, name) ||
        !reader.U32(bits))
        return false;
    for (std::size_t i = 0; i < nameLength; ++i)
        if (name[i] < 0x21 || name[i] > 0x7E)
            return false;
    const std::size_t bytes = (static_cast<std::size_t>(bits) + 7) / 8;
    if (reader.Left() != bytes || (flags == 1 && bits < 32))
        return false;
    out.name.assign(reinterpret_cast<const char*>(name), nameLength);
    out.timestamp = flags == 1;
    out.bitLength = bits;
    out.payloadBytes = bytes;
    reader.Bytes(bytes, out.payload);
    return true;
}

} // namespace platform::net::wire
