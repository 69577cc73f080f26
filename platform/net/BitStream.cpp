#include "platform/net/BitStream.h"

#include <algorithm>
#include <cstring>

namespace platform::net {

namespace {

constexpr unsigned kGroupBits = 7;

// Groups a compressed value of `width` bits may take at most.
constexpr unsigned MaxGroups(unsigned width)
{
    return (width + kGroupBits - 1) / kGroupBits;
}

} // namespace

BitStream::BitStream(std::size_t maxBytes)
    : maxBytes(maxBytes)
{
}

BitStream::BitStream(const std::uint8_t* data, std::size_t byteCount, std::size_t maxBytes)
    : maxBytes(maxBytes)
{
    if (byteCount > maxBytes || (byteCount > 0 && data == nullptr)) {
        overflowed = true;
        return;
    }
    bytes.assign(data, data + byteCount);
    bitsUsed = byteCount * 8;
}

BitStream BitStream::FromBits(const std::uint8_t* data, std::size_t bitCount, std::size_t maxBytes)
{
    BitStream stream(data, (bitCount + 7) / 8, maxBytes);
    if (!stream.overflowed) {
        stream.bitsUsed = bitCount;
        // Bits past the end stay zero so that appending to this stream works as for a written one.
        if (bitCount % 8 != 0)
            stream.bytes.back() &= static_cast<std::uint8_t>(0xFF00u >> (bitCount % 8));
    }
    return stream;
}

void BitStream::Reset()
{
    bytes.clear();
    bitsUsed = 0;
    readBit = 0;
    overflowed = false;
}

bool BitStream::Reserve(std::size_t extraBits)
{
    if (extraBits > maxBytes * 8 - bitsUsed) {
        overflowed = true;
        return false;
    }
    const std::size_t needed = (bitsUsed + extraBits + 7) / 8;
    if (needed > bytes.size())
        bytes.resize(needed, 0);
    return true;
}

bool BitStream::WriteBit(bool bit)
{
    if (!Reserve(1))
        return false;
    if (bit)
        bytes[bitsUsed / 8] |= static_cast<std::uint8_t>(0x80u >> (bitsUsed % 8));
    ++bitsUsed;
    return true;
}

bool BitStream::WriteBits(std::uint64_t value, unsigned bitCount)
{
    if (bitCount > 64 || !Reserve(bitCount))
        return false;
    while (bitCount > 0) {
        const unsigned offset = bitsUsed % 8;
        const unsigned take = std::min(8 - offset, bitCount);
        const auto chunk = static_cast<unsigned>((value >> (bitCount - take)) & ((1u << take) - 1));
        bytes[bitsUsed / 8] |= static_cast<std::uint8_t>(chunk << (8 - offset - take));
        bitsUsed += take;
        bitCount -= take;
    }
    return true;
}

bool BitStream::WriteBytes(const void* data, std::size_t byteCount)
{
    if (byteCount == 0)
        return true;
    if (data == nullptr || byteCount > maxBytes || !Reserve(byteCount * 8))
        return (overflowed = true, false);
    const auto* in = static_cast<const std::uint8_t*>(data);
    if (bitsUsed % 8 == 0) {
        std::memcpy(bytes.data() + bitsUsed / 8, in, byteCount);
        bitsUsed += byteCount * 8;
        return true;
    }
    for (std::size_t i = 0; i < byteCount; ++i)
        WriteBits(in[i], 8);
    return true;
}

bool BitStream::WriteStream(const BitStream& other)
{
    if (&other == this) {
        const BitStream copy = other;
        return WriteStream(copy);
    }
    const std::size_t count = other.bitsUsed;
    if (!Reserve(count))
        return false;
    const std::size_t whole = count / 8;
    if (!WriteBytes(other.bytes.data(), whole))
        return false;
    const unsigned rest = count % 8;
    if (rest != 0)
        WriteBits(other.bytes[whole] >> (8 - rest), rest);
    return true;
}

bool BitStream::WriteLittleEndian(std::uint64_t value, std::size_t byteCount)
{
    std::uint8_t out[8];
    for (std::size_t i = 0; i < byteCount; ++i)
        out[i] = static_cast<std::uint8_t>(value >> (8 * i));
    return WriteBytes(out, byteCount);
}

bool BitStream::WriteCompressed(std::uint64_t value)
{
    unsigned groups = 1;
    while (groups < MaxGroups(64) && (value >> (kGroupBits * groups)) != 0)
        ++groups;
    if (!Reserve(groups * (kGroupBits + 1)))
        return false;
    for (unsigned g = 0; g < groups; ++g) {
        WriteBit(g + 1 < groups);
        WriteBits((value >> (kGroupBits * g)) & 0x7F, kGroupBits);
    }
    return true;
}

bool BitStream::WriteCompressed(std::int64_t value)
{
    const auto u = static_cast<std::uint64_t>(value);
    return WriteCompressed((u << 1) ^ (value < 0 ? ~std::uint64_t{0} : 0));
}

bool BitStream::ReadBit(bool& bit)
{
    bit = false;
    if (readBit >= bitsUsed)
        return false;
    bit = (bytes[readBit / 8] & (0x80u >> (readBit % 8))) != 0;
    ++readBit;
    return true;
}

bool BitStream::ReadBits(std::uint64_t& value, unsigned bitCount)
{
    value = 0;
    if (bitCount > 64 || bitCount > bitsUsed - readBit)
        return false;
    std::uint64_t out = 0;
    while (bitCount > 0) {
        const unsigned offset = readBit % 8;
        const unsigned take = std::min(8 - offset, bitCount);
        const unsigned chunk = (bytes[readBit / 8] >> (8 - offset - take)) & ((1u << take) - 1);
        out = (out << take) | chunk;
        readBit += take;
        bitCount -= take;
    }
    value = out;
    return true;
}

bool BitStream::ReadBytes(void* data, std::size_t byteCount)
{
    auto* out = static_cast<std::uint8_t*>(data);
    if (byteCount == 0)
        return true;
    if (out == nullptr)
        return false;
    if (byteCount > (bitsUsed - readBit) / 8) {
        std::memset(out, 0, byteCount);
        return false;
    }
    if (readBit % 8 == 0) {
        std::memcpy(out, bytes.data() + readBit / 8, byteCount);
        readBit += byteCount * 8;
        return true;
    }
    for (std::size_t i = 0; i < byteCount; ++i) {
        std::uint64_t b = 0;
        ReadBits(b, 8);
        out[i] = static_cast<std::uint8_t>(b);
    }
    return true;
}

bool BitStream::ReadLittleEndian(std::uint64_t& value, std::size_t byteCount)
{
    std::uint8_t in[8];
    value = 0;
    if (!ReadBytes(in, byteCount))
        return false;
    for (std::size_t i = 0; i < byteCount; ++i)
        value |= std::uint64_t{in[i]} << (8 * i);
    return true;
}

bool BitStream::ReadCompressedUnsigned(std::uint64_t& value, unsigned width)
{
    value = 0;
    const std::size_t start = readBit;
    std::uint64_t out = 0;
    for (unsigned g = 0;; ++g) {
        bool more = false;
        std::uint64_t group = 0;
        // A value longer than its type, with bits above the type's width, or ending in an empty
        // group (a writer never sends one) is malformed.
        const bool ok = g < MaxGroups(width) && ReadBit(more) && ReadBits(group, kGroupBits)
            && (kGroupBits * g + kGroupBits <= width || (group >> (width - kGroupBits * g)) == 0)
            && (more || g == 0 || group != 0);
        if (!ok) {
            readBit = start;
            return false;
        }
        out |= group << (kGroupBits * g);
        if (!more)
            break;
    }
    value = out;
    return true;
}

bool BitStream::ReadCompressedSigned(std::int64_t& value, unsigned width)
{
    std::uint64_t zigzag = 0;
    value = 0;
    if (!ReadCompressedUnsigned(zigzag, width))
        return false;
    value = static_cast<std::int64_t>((zigzag >> 1) ^ (~(zigzag & 1) + 1));
    return true;
}

bool BitStream::IgnoreBits(std::size_t bitCount)
{
    if (bitCount > bitsUsed - readBit)
        return false;
    readBit += bitCount;
    return true;
}

} // namespace platform::net
