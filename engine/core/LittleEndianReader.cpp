#include "engine/core/LittleEndianReader.h"

#include <bit>
#include <cmath>
#include <cstring>

LittleEndianReader::LittleEndianReader(const void* data, std::size_t size)
    : data(static_cast<const std::uint8_t*>(data)), size(data ? size : 0)
{
}

void LittleEndianReader::Fail(std::string why)
{
    if (failed)
        return;
    failed = true;
    failure = std::move(why);
}

const std::uint8_t* LittleEndianReader::Take(std::size_t length)
{
    if (failed)
        return nullptr;
    if (length > size - offset) {
        Fail("ends early: " + std::to_string(length) + " bytes wanted at offset " + std::to_string(offset) + " of " +
             std::to_string(size));
        return nullptr;
    }
    const std::uint8_t* at = data + offset;
    offset += length;
    return at;
}

std::uint8_t LittleEndianReader::U8()
{
    const std::uint8_t* at = Take(1);
    return at ? at[0] : 0;
}

std::uint16_t LittleEndianReader::U16()
{
    const std::uint8_t* at = Take(2);
    return at ? static_cast<std::uint16_t>(at[0] | at[1] << 8) : 0;
}

std::uint32_t LittleEndianReader::U32()
{
    const std::uint8_t* at = Take(4);
    if (!at)
        return 0;
    return std::uint32_t(at[0]) | std::uint32_t(at[1]) << 8 | std::uint32_t(at[2]) << 16 | std::uint32_t(at[3]) << 24;
}

float LittleEndianReader::F32()
{
    return std::bit_cast<float>(U32());
}

float LittleEndianReader::FiniteF32()
{
    const std::size_t at = offset;
    const float value = F32();
    if (std::isfinite(value))
        return value;
    Fail("a number that is not finite at offset " + std::to_string(at));
    return 0.0f;
}

Vector3 LittleEndianReader::FiniteVector3()
{
    const float x = FiniteF32(), y = FiniteF32(), z = FiniteF32();
    return failed ? Vector3(0.0f, 0.0f, 0.0f) : Vector3(x, y, z);
}

std::int32_t LittleEndianReader::Count(std::size_t itemSize)
{
    const std::size_t at = offset;
    const std::int32_t count = I32();
    if (failed)
        return 0;
    if (count < 0 || (itemSize > 0 && std::uint64_t(count) > (size - offset) / itemSize)) {
        Fail("a count of " + std::to_string(count) + " at offset " + std::to_string(at) + " does not fit in the " +
             std::to_string(size - offset) + " bytes left");
        return 0;
    }
    return count;
}

void LittleEndianReader::Bytes(void* destination, std::size_t length)
{
    if (length == 0)
        return;
    const std::uint8_t* at = Take(length);
    if (at)
        std::memcpy(destination, at, length);
    else
        std::memset(destination, 0, length);
}

void LittleEndianReader::Text(char* text, std::size_t width)
{
    if (width == 0)
        return;
    Bytes(text, width);
    text[width - 1] = '\0';
}

void LittleEndianReader::Skip(std::size_t length)
{
    Take(length);
}
