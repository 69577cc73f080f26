#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

namespace platform::net {

// A growable sequence of bits for network records. Multi-byte values are little-endian; within a
// byte the first bit written is the most significant one, so a stream written only with whole
// bytes is the plain byte record.
//
// Writing never grows the stream past its byte limit: a write that would is refused, leaves the
// stream as it was and marks it overflowed. Reading never runs past the written bits: a read that
// would returns false, sets its output to zero (or empty) and leaves the read position where it was.
class BitStream {
public:
    // Large enough for a saved game sent to a joining client.
    static constexpr std::size_t kDefaultMaxBytes = 16u * 1024u * 1024u;

    explicit BitStream(std::size_t maxBytes = kDefaultMaxBytes);
    // A stream to read from a copy of a received record. A record above the limit gives an empty,
    // overflowed stream.
    BitStream(const std::uint8_t* data, std::size_t byteCount, std::size_t maxBytes = kDefaultMaxBytes);
    // The same for a record whose exact length in bits is known (a remote procedure's arguments).
    static BitStream FromBits(const std::uint8_t* data, std::size_t bitCount, std::size_t maxBytes = kDefaultMaxBytes);

    // Writing. Every write answers whether it fit under the limit.
    bool WriteBit(bool bit);
    bool Write0() { return WriteBit(false); }
    bool Write1() { return WriteBit(true); }
    // The low `bitCount` (0-64) bits of `value`, most significant first.
    bool WriteBits(std::uint64_t value, unsigned bitCount);
    bool WriteBytes(const void* data, std::size_t byteCount);
    // Also for the other streams' content, bit for bit.
    bool WriteStream(const BitStream& other);

    template <typename T>
    bool Write(T value)
    {
        static_assert(std::is_arithmetic_v<T> || std::is_enum_v<T>);
        return WriteLittleEndian(ToBits(value), sizeof(T));
    }

    // Small magnitudes take fewer bits: seven bits a group with a continuation bit; signed values
    // are zig-zag mapped first so that -1 is as small as 1.
    bool WriteCompressed(std::uint64_t value);
    bool WriteCompressed(std::uint32_t value) { return WriteCompressed(std::uint64_t{value}); }
    bool WriteCompressed(std::uint16_t value) { return WriteCompressed(std::uint64_t{value}); }
    bool WriteCompressed(std::int64_t value);
    bool WriteCompressed(std::int32_t value) { return WriteCompressed(std::int64_t{value}); }
    bool WriteCompressed(std::int16_t value) { return WriteCompressed(std::int64_t{value}); }

    // Reading.
    bool ReadBit(bool& bit);
    bool ReadBits(std::uint64_t& value, unsigned bitCount);
    bool ReadBytes(void* data, std::size_t byteCount);

    template <typename T>
    bool Read(T& value)
    {
        static_assert(std::is_arithmetic_v<T> || std::is_enum_v<T>);
        std::uint64_t bits = 0;
        if (!ReadLittleEndian(bits, sizeof(T))) {
            value = T{};
            return false;
        }
        value = FromBits<T>(bits);
        return true;
    }

    bool ReadCompressed(std::uint64_t& value) { return ReadCompressedUnsigned(value, 64); }
    bool ReadCompressed(std::uint32_t& value) { return ReadCompressedAs(value, 32); }
    bool ReadCompressed(std::uint16_t& value) { return ReadCompressedAs(value, 16); }
    bool ReadCompressed(std::int64_t& value) { return ReadCompressedSigned(value, 64); }
    bool ReadCompressed(std::int32_t& value) { return ReadCompressedAs(value, 32); }
    bool ReadCompressed(std::int16_t& value) { return ReadCompressedAs(value, 16); }

    // Skips bits without reading them; false, and nothing skipped, when fewer remain.
    bool IgnoreBits(std::size_t bitCount);
    void ResetReadPointer() { readBit = 0; }
    // Goes back to (or ahead to) a bit read before; false, and no move, past the written bits.
    bool SetReadOffset(std::size_t bitOffset)
    {
        if (bitOffset > bitsUsed)
            return false;
        readBit = bitOffset;
        return true;
    }
    void Reset();

    const std::uint8_t* GetData() const { return bytes.data(); }
    std::size_t GetNumberOfBitsUsed() const { return bitsUsed; }
    std::size_t GetNumberOfBytesUsed() const { return (bitsUsed + 7) / 8; }
    std::size_t GetReadOffset() const { return readBit; }
    std::size_t GetNumberOfUnreadBits() const { return bitsUsed - readBit; }
    std::size_t GetMaxBytes() const { return maxBytes; }
    // True once a write was refused or a record above the limit was handed in.
    bool HasOverflowed() const { return overflowed; }

private:
    template <typename T>
    static std::uint64_t ToBits(T value)
    {
        if constexpr (std::is_floating_point_v<T>) {
            using U = std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>;
            static_assert(sizeof(T) == sizeof(U));
            return std::bit_cast<U>(value);
        } else if constexpr (std::is_same_v<T, bool>) {
            return value ? 1u : 0u;
        } else if constexpr (std::is_enum_v<T>) {
            return ToBits(static_cast<std::underlying_type_t<T>>(value));
        } else {
            return static_cast<std::uint64_t>(static_cast<std::make_unsigned_t<T>>(value));
        }
    }

    template <typename T>
    static T FromBits(std::uint64_t bits)
    {
        if constexpr (std::is_floating_point_v<T>) {
            using U = std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>;
            return std::bit_cast<T>(static_cast<U>(bits));
        } else if constexpr (std::is_same_v<T, bool>) {
            return bits != 0;
        } else {
            return static_cast<T>(bits);
        }
    }

    template <typename T>
    bool ReadCompressedAs(T& value, unsigned width)
    {
        bool ok;
        if constexpr (std::is_signed_v<T>) {
            std::int64_t wide = 0;
            ok = ReadCompressedSigned(wide, width);
            value = static_cast<T>(wide);
        } else {
            std::uint64_t wide = 0;
            ok = ReadCompressedUnsigned(wide, width);
            value = static_cast<T>(wide);
        }
        return ok;
    }

    bool WriteLittleEndian(std::uint64_t value, std::size_t byteCount);
    bool ReadLittleEndian(std::uint64_t& value, std::size_t byteCount);
    bool ReadCompressedUnsigned(std::uint64_t& value, unsigned width);
    bool ReadCompressedSigned(std::int64_t& value, unsigned width);
    bool Reserve(std::size_t extraBits);

    std::vector<std::uint8_t> bytes;
    std::size_t bitsUsed = 0;
    std::size_t readBit = 0;
    std::size_t maxBytes;
    bool overflowed = false;
};

} // namespace platform::net
