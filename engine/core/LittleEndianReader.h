#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/core/Vector.h"

// Reads the fields of a binary file in order from a block of bytes it does not own: integers
// little-endian at their own width, floats as IEEE single in 4 bytes.
//
// The one rule for bad input: a read that the block cannot satisfy (past the end, a count that
// needs more bytes than are left, a float that must be finite and is not) takes nothing, puts
// the reader in its failed state for good and yields zero (zeroed bytes, an empty text). Every
// later read yields zero too, so a decoder reads a group of fields, checks Failed() once and
// refuses the file with Failure() as its reason; nothing past a failure is ever trusted.
class LittleEndianReader {
public:
    LittleEndianReader(const void* data, std::size_t size);

    std::uint8_t U8();
    std::uint16_t U16();
    std::uint32_t U32();
    std::int16_t I16() { return static_cast<std::int16_t>(U16()); }
    std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
    float F32();
    // A float that must be finite; any other value fails the reader.
    float FiniteF32();
    Vector3 FiniteVector3();
    // A 32-bit count of items of itemSize bytes that follow: a negative count, or one whose items
    // do not fit in the bytes left, fails the reader before anything is made for it.
    std::int32_t Count(std::size_t itemSize);
    void Bytes(void* destination, std::size_t length);
    // A text field of a fixed width, always terminated in text (width bytes long).
    void Text(char* text, std::size_t width);
    void Skip(std::size_t length);
    // The next length bytes where they lie, for a caller that decodes them in place; null when
    // fewer are left.
    const std::uint8_t* Block(std::size_t length) { return Take(length); }

    bool Failed() const { return failed; }
    // Why the reader failed, with the offset; empty while it has not.
    const std::string& Failure() const { return failure; }
    std::size_t Offset() const { return offset; }
    std::size_t Remaining() const { return failed ? 0 : size - offset; }

private:
    // The next length bytes, or null (and the reader failed) when fewer are left.
    const std::uint8_t* Take(std::size_t length);
    void Fail(std::string why);

    const std::uint8_t* data;
    std::size_t size;
    std::size_t offset = 0;
    bool failed = false;
    std::string failure;
};
